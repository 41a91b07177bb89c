// The output stage in two steps, with one owner: prepare (where the merged
// model goes, its folder made, and a new temporary file beside its target
// that holds it, copied from the day file, with the target's permissions,
// left open and not yet on the disk) and commit (the file flushed and
// closed, the target still the file that was first found there, the
// temporary file moved over it, its folder flushed, the log). The window
// commits each output as soon as it is prepared; a batch decides when to
// commit a group of them. A failure before the move leaves the target as it
// was.
#include <map>
#include <string>

#include "merge/DropSequence.h"
#include "merge/Messages.h"

namespace merge {

namespace {

// A temporary file's name is the target's with a character changed to one
// of these: no letters, so that it cannot name the target on a file system
// that ignores case, and no dot or blank, which Windows drops at the end of
// a name.
const char TemporaryCharacters[] = "~0123456789_-";
constexpr size_t TemporaryCharacterCount = sizeof TemporaryCharacters - 1;
constexpr size_t TemporaryPositions = 2;

// OutputPath: the chosen one, or DayPath's own or its name in the "dff"
// folder; false, logged, when it is longer than the session takes.
bool BuildOutputPath(DropSequence& sequence, Os& os, Session& session, bool inDffFolder) {
    sequence.OutputPath = sequence.ChosenOutput.empty()
                              ? OutputPathFor(os, sequence.DayPath, inDffFolder)
                              : sequence.ChosenOutput;
    if (session.PathFits(sequence.OutputPath.c_str())) return true;
    session.AppendLog(text::OutputPathTooLong);
    return false;
}

// The folder that OutputPath names ("dff", or one of a chosen output tree),
// made when it is missing, with those above it.
bool MakeOutputFolder(DropSequence& sequence, Os& os, Session& session) {
    const size_t name = os.NameStart(sequence.OutputPath.c_str());
    const std::string folder = sequence.OutputPath.substr(0, name - 1);
    const Status status = MakeFolders(os, folder, &sequence.MadeFolders);
    if (!status.ok()) LogPathAndText(session, text::FolderFailed, folder, status.text);
    return status.ok();
}

// A folder that this sequence made and nothing was written into goes again
// (left to a batch, whose other sequences may be about to write into it).
void RemoveFolderMadeInVain(DropSequence& sequence, Os& os) {
    if (!sequence.LeavesMadeFolders) RemoveMadeFolder(sequence, os);
}

// TargetPath: the file that OutputPath names, through its links, so that a
// link stays a link and the file it names is replaced in its own folder.
bool FindTarget(DropSequence& sequence, Os& os, Session& session) {
    const Status resolved = os.ResolveLinks(sequence.OutputPath.c_str(), &sequence.TargetPath);
    if (!resolved.ok()) {
        ReportLastError(session, " ", resolved);
        return false;
    }
    if (!session.PathFits(sequence.TargetPath.c_str())) {
        session.AppendLog(text::OutputPathTooLong);
        return false;
    }
    // Absent, or stamped: a target that cannot be looked at is not replaced.
    const Status stamped = os.StampAt(sequence.TargetPath.c_str(), &sequence.TargetStamp);
    if (!stamped.ok() && !stamped.absent) ReportLastError(session, " ", stamped);
    sequence.TargetFound = stamped.ok();
    return stamped.ok() || stamped.absent;
}

// Whether the target is still the file that FindTarget found, or still
// absent; the failure to look at it otherwise.
Status TargetUnchanged(const DropSequence& sequence, Os& os, bool* unchanged) {
    FileStamp now;
    const Status stamped = os.StampAt(sequence.TargetPath.c_str(), &now);
    *unchanged = stamped.ok() == sequence.TargetFound &&
                 (!stamped.ok() || SameFile(now, sequence.TargetStamp));
    return stamped.ok() || stamped.absent ? Status{} : stamped;
}

// Whether the day file is still the very file the day stage read; why not
// (it changed, or the failure to look at it) is logged.
bool DayUnchanged(const DropSequence& sequence, Os& os, Session& session, rw::ByteStream* day) {
    FileStamp stamp;
    const Status stamped = os.StampOf(day, &stamp);
    const bool same = stamped.ok() && SameFile(stamp, sequence.DayStamp);
    if (!stamped.ok())
        ReportLastError(session, " ", stamped);
    else if (!same)
        session.AppendLog(text::FileChanged);
    return same;
}

}  // namespace

// A new file beside the target, its name the target's with one of the last
// two characters of one byte in its name changed (never a byte of a longer
// character), and no name the batch uses: the next candidate while one
// cannot be created (most often because it exists), the last failure
// otherwise.
Status CreateTemporary(Os& os, const std::string& target, const std::set<std::string>* inUse,
                       std::string* temporary, OutputFile** file) {
    Status status{true, 0, text::NoTemporaryName};
    *file = nullptr;
    if (os.StopRequested()) return os.Interrupted();
    size_t positions = 0;
    for (size_t at = target.size();
         at > os.NameStart(target.c_str()) && positions < TemporaryPositions;) {
        if (static_cast<unsigned char>(target[--at]) >= 0x80) continue;
        ++positions;
        for (size_t k = 0; k < TemporaryCharacterCount; ++k) {
            if (TemporaryCharacters[k] == target[at]) continue;
            *temporary = target;
            (*temporary)[at] = TemporaryCharacters[k];
            if (inUse && inUse->count(FileIdentity(os, *temporary))) continue;
            status = os.CreateNewFile(temporary->c_str(), file);
            if (status.ok()) return status;
        }
    }
    *file = nullptr;
    return status;
}

Status ReplaceUnlessInterrupted(Os& os, const std::string& temporary, const std::string& target) {
    if (!os.AbandonRequested()) return os.Replace(temporary.c_str(), target.c_str());
    os.Remove(temporary.c_str());
    return os.Interrupted();
}

namespace {

// Closes the temporary file, if one was made, and removes it.
void DropTemporary(DropSequence& sequence, Os& os) {
    if (!sequence.Output) return;
    sequence.Output.reset();
    os.Remove(sequence.TemporaryPath.c_str());
}

// The merged model and its permissions, the file left open for its commit;
// the first failure is reported, and the temporary file goes. The model is
// copied from the day file only while it is still the very file the day
// stage read, from before the copy until it is whole.
DropResult WriteTemporary(DropSequence& sequence, Os& os, Session& session, rw::ByteStream* day) {
    if (!DayUnchanged(sequence, os, session, day)) return DropResult::NotWritten;
    OutputFile* file = nullptr;
    Status status = CreateTemporary(os, sequence.TargetPath, sequence.NamesInUse,
                                    &sequence.TemporaryPath, &file);
    sequence.Output = OutputHandle(file, OutputClose{&os});
    // A write that fails says so in status; a day file that comes up short
    // of its size leaves status as it is.
    WriteResult written = WriteResult::WriteFailed;
    if (status.ok()) written = WriteMergedModel(*sequence.Plan, os, *day, file, &status);
    const bool read = written != WriteResult::ReadFailed;
    const bool same = !status.ok() || !read || DayUnchanged(sequence, os, session, day);
    if (status.ok() && read && same)
        status = os.TakePermissionsOf(file, sequence.TargetPath.c_str());
    if (status.ok() && read && same) return DropResult::Prepared;
    if (!read)
        session.AppendLog(text::Unreadable);
    else if (same)  // otherwise said already
        ReportLastError(session, " ", status);
    DropTemporary(sequence, os);
    return status.outOfSpace ? DropResult::OutOfSpace : DropResult::NotWritten;
}

// The day file opened again for the copy, and closed after it. A day file
// that is gone, or another file now, changed while it was merged.
DropResult WriteFromDayFile(DropSequence& sequence, Os& os, Session& session) {
    InputFile day;
    const Status opened = OpenInput(os, sequence.DayPath.c_str(), &day);
    if (!opened.ok()) {
        FileStamp now;
        const Status there = os.StampAt(sequence.DayPath.c_str(), &now);
        if (there.ok() ? !SameFile(now, sequence.DayStamp) : there.absent)
            session.AppendLog(text::FileChanged);
        else
            ReportLastError(session, " ", opened);
        return DropResult::NotWritten;
    }
    return WriteTemporary(sequence, os, session, day.get());
}

// Puts the temporary file on the disk (unless its file system was flushed
// whole) and closes it; then, while the run goes on and the target is
// unchanged, moves it over the target. The temporary file goes otherwise. A
// step after the replacement that failed leaves its text in warning.
bool ReplaceTarget(DropSequence& sequence, Os& os, Session& session, Status status,
                   bool flushEach, std::string* warning) {
    if (status.ok() && flushEach) status = os.Flush(sequence.Output.get());
    const Status closed = os.CloseOutput(sequence.Output.release());
    if (status.ok()) status = closed;
    // A file that another program saved in the meantime is never lost.
    bool unchanged = false;
    if (status.ok()) status = TargetUnchanged(sequence, os, &unchanged);
    if (status.ok() && !unchanged) {
        session.AppendLog(text::FileChanged);
    } else if (status.ok()) {
        // A failed replacement has removed the temporary file itself, or
        // kept it and said where.
        status = ReplaceUnlessInterrupted(os, sequence.TemporaryPath, sequence.TargetPath);
        if (!status.ok()) ReportLastError(session, " ", status);
        *warning = status.ok() ? status.text : "";
        return status.ok();
    } else {
        ReportLastError(session, " ", status);
    }
    os.Remove(sequence.TemporaryPath.c_str());
    return false;
}

}  // namespace

void RemoveMadeFolder(DropSequence& sequence, Os& os) {
    for (auto folder = sequence.MadeFolders.rbegin(); folder != sequence.MadeFolders.rend();
         ++folder)
        os.RemoveFolder(folder->c_str());
    sequence.MadeFolders.clear();
}

DropResult PrepareOutput(DropSequence& sequence, Os& os, Session& session) {
    const bool inDffFolder = session.IsTicked(Option::OutputInDffFolder);
    // A batch's model merged once more keeps the folder its first try made.
    if (!sequence.LeavesMadeFolders) sequence.MadeFolders.clear();
    const bool inFolder = inDffFolder || !sequence.ChosenOutput.empty();
    const DropResult prepared =
        BuildOutputPath(sequence, os, session, inDffFolder) &&
                (!inFolder || MakeOutputFolder(sequence, os, session)) &&
                FindTarget(sequence, os, session)
            ? WriteFromDayFile(sequence, os, session)
            : DropResult::NotWritten;
    sequence.Plan.reset();
    if (prepared != DropResult::Prepared) RemoveFolderMadeInVain(sequence, os);
    return prepared;
}

DropResult PlanOutput(DropSequence& sequence, Os& os, Session& session) {
    const bool inDffFolder = session.IsTicked(Option::OutputInDffFolder);
    const bool found = BuildOutputPath(sequence, os, session, inDffFolder) &&
                       FindTarget(sequence, os, session);
    sequence.Plan.reset();
    if (found) {
        session.AppendLog(text::WouldBeCreated);
        session.AppendLog(sequence.OutputPath.c_str());
        session.AppendLog(text::LineEnd);
    }
    ReturnToAwaitingDay(sequence, session);
    return found ? DropResult::WouldBeWritten : DropResult::NotWritten;
}

void CommitOutputs(std::vector<PendingCommit>& group, Os& os) {
    // Many outputs on a system that flushes a whole file system as cheaply
    // as one file: each file system once, before any replacement.
    std::map<std::string, Status> systems;
    const bool whole = group.size() > 1 && os.SyncsWholeFileSystems();
    if (whole) {
        for (PendingCommit& commit : group) systems[FolderOf(os, commit.sequence->TargetPath)];
        for (auto& system : systems) system.second = os.SyncFileSystem(system.first.c_str());
    }
    // Each folder that holds a new name is flushed once, after all its
    // replacements.
    std::map<std::string, Status> folders;
    std::vector<std::string> warnings(group.size());
    for (size_t k = 0; k < group.size(); ++k) {
        PendingCommit& commit = group[k];
        DropSequence& sequence = *commit.sequence;
        Status flushed = whole ? systems[FolderOf(os, sequence.TargetPath)] : Status{};
        commit.written =
            ReplaceTarget(sequence, os, *commit.session, flushed, !whole, &warnings[k]);
        if (commit.written)
            folders[FolderOf(os, sequence.TargetPath)];
        else
            RemoveFolderMadeInVain(sequence, os);
    }
    for (auto& folder : folders) folder.second = os.SyncFolder(folder.first.c_str());
    for (size_t k = 0; k < group.size(); ++k) {
        PendingCommit& commit = group[k];
        DropSequence& sequence = *commit.sequence;
        Session& session = *commit.session;
        if (commit.written) {
            session.AppendLog(text::Created);
            session.AppendLog(sequence.OutputPath.c_str());
            session.AppendLog(text::LineEnd);
            if (!warnings[k].empty()) {
                session.AppendLog(text::ReplacedPartly);
                session.AppendLog(warnings[k].c_str());
            }
            // The model is replaced, but its new name may not be on the disk.
            const std::string folder = FolderOf(os, sequence.TargetPath);
            const Status& synced = folders[folder];
            if (!synced.ok()) LogPathAndText(session, text::FolderNotFlushed, folder, synced.text);
            commit.written = synced.ok();
        }
        ReturnToAwaitingDay(sequence, session);
    }
}

}  // namespace merge
