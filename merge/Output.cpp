// The output stage in two steps, with one owner: prepare (where the merged
// model goes, and a new temporary file beside its target that holds it,
// copied from the day file, whole and on the disk) and commit (the target still the file that was
// read, the temporary file moved over it, its folder flushed, the log). The
// window commits each output as soon as it is prepared; a batch commits a
// group of them after one flush of their file system. A failure at any step
// leaves the target as it was.
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

void LogPathAndText(Session& session, const char* line, const std::string& path,
                    const std::string& text) {
    session.AppendLog(line);
    session.AppendLog(path.c_str());
    session.AppendLog(text::PathFailedBecause);
    session.AppendLog(text.c_str());
}

// OutputPath from DayPath; false, logged, when it is longer than the session
// takes.
bool BuildOutputPath(DropSequence& sequence, Os& os, Session& session, bool inDffFolder) {
    sequence.OutputPath = OutputPathFor(os, sequence.DayPath, inDffFolder);
    if (session.PathFits(sequence.OutputPath.c_str())) return true;
    session.AppendLog(text::OutputPathTooLong);
    return false;
}

// The "dff" folder that OutputPath names, made when it is missing.
bool MakeOutputFolder(DropSequence& sequence, Os& os, Session& session) {
    const size_t name = os.NameStart(sequence.OutputPath.c_str());
    const std::string folder = sequence.OutputPath.substr(0, name - 1);
    bool made = false;
    const Status status = os.MakeDirectory(folder.c_str(), &made);
    if (!status.ok()) LogPathAndText(session, text::FolderFailed, folder, status.text);
    if (made) sequence.MadeFolder = folder;
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
    sequence.TargetFound = os.StampAt(sequence.TargetPath.c_str(), &sequence.TargetStamp).ok();
    return true;
}

// Whether the target is still the file that FindTarget found, or still absent.
bool TargetUnchanged(const DropSequence& sequence, Os& os) {
    FileStamp now;
    const bool found = os.StampAt(sequence.TargetPath.c_str(), &now).ok();
    return found == sequence.TargetFound && (!found || SameFile(now, sequence.TargetStamp));
}

// Whether the day file is still the very file the day stage read.
bool DayUnchanged(const DropSequence& sequence, Os& os, rw::ByteStream* day) {
    FileStamp stamp;
    return os.StampOf(day, &stamp).ok() && SameFile(stamp, sequence.DayStamp);
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
    if (!os.StopRequested()) return os.Replace(temporary.c_str(), target.c_str());
    os.Remove(temporary.c_str());
    return os.Interrupted();
}

namespace {

// The merged model, its permissions, its flush (unless the caller flushes a
// group) and its close; the first failure is reported, and the temporary
// file goes. The model is copied from the day file only while it is still
// the very file the day stage read, from before the copy until it is whole.
bool WriteTemporary(DropSequence& sequence, Os& os, Session& session, rw::ByteStream* day) {
    if (!DayUnchanged(sequence, os, day)) {
        session.AppendLog(text::FileChanged);
        return false;
    }
    OutputFile* file = nullptr;
    Status status = CreateTemporary(os, sequence.TargetPath, sequence.NamesInUse,
                                    &sequence.TemporaryPath, &file);
    // A write that fails says so in status; a day file that comes up short
    // of its size leaves status as it is.
    WriteResult written = WriteResult::WriteFailed;
    if (status.ok()) written = WriteMergedModel(sequence, os, *day, file, &status);
    const bool read = written != WriteResult::ReadFailed;
    const bool same = !status.ok() || !read || DayUnchanged(sequence, os, day);
    if (status.ok() && read && same)
        status = os.TakePermissionsOf(file, sequence.TargetPath.c_str());
    if (status.ok() && read && same && !sequence.CommitsInGroups) status = os.Flush(file);
    if (file) {
        const Status closed = os.CloseOutput(file);
        if (status.ok()) status = closed;
    }
    if (status.ok() && read && same) return true;
    if (!read)
        session.AppendLog(text::Unreadable);
    else if (!same)
        session.AppendLog(text::FileChanged);
    else
        ReportLastError(session, " ", status);
    if (file) os.Remove(sequence.TemporaryPath.c_str());
    return false;
}

// The day file opened again for the copy, and closed after it. A day file
// that is gone, or another file now, changed while it was merged.
bool WriteFromDayFile(DropSequence& sequence, Os& os, Session& session) {
    rw::ByteStream* day = nullptr;
    const Status opened = os.OpenForReading(sequence.DayPath.c_str(), &day);
    if (!opened.ok()) {
        FileStamp now;
        if (!os.StampAt(sequence.DayPath.c_str(), &now).ok() || !SameFile(now, sequence.DayStamp))
            session.AppendLog(text::FileChanged);
        else
            ReportLastError(session, " ", opened);
        return false;
    }
    const bool written = WriteTemporary(sequence, os, session, day);
    CloseFile(os, day);
    return written;
}

// Moves the temporary file over the target, once its flush and the target
// allow it; the temporary file goes otherwise. A step after the replacement
// that failed leaves its text in warning.
bool ReplaceTarget(DropSequence& sequence, Os& os, Session& session, const Status& flushed,
                   std::string* warning) {
    Status status = flushed;
    // A file that another program saved in the meantime is never lost.
    if (status.ok() && !TargetUnchanged(sequence, os)) {
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
    if (!sequence.MadeFolder.empty()) os.RemoveFolder(sequence.MadeFolder.c_str());
    sequence.MadeFolder.clear();
}

bool PrepareOutput(DropSequence& sequence, Os& os, Session& session) {
    const bool inDffFolder = session.IsTicked(Option::OutputInDffFolder);
    sequence.MadeFolder.clear();
    const bool prepared = BuildOutputPath(sequence, os, session, inDffFolder) &&
                          (!inDffFolder || MakeOutputFolder(sequence, os, session)) &&
                          FindTarget(sequence, os, session) &&
                          WriteFromDayFile(sequence, os, session);
    sequence.Chunks.clear();
    if (!prepared) RemoveFolderMadeInVain(sequence, os);
    return prepared;
}

void CommitOutputs(std::vector<PendingCommit>& group, Os& os) {
    // Each folder that holds a new name is flushed once, after all its
    // replacements.
    std::map<std::string, Status> folders;
    std::vector<std::string> warnings(group.size());
    for (size_t k = 0; k < group.size(); ++k) {
        PendingCommit& commit = group[k];
        commit.written =
            ReplaceTarget(*commit.sequence, os, *commit.session, commit.flushed, &warnings[k]);
        if (commit.written)
            folders[FolderOf(os, commit.sequence->TargetPath)];
        else
            RemoveFolderMadeInVain(*commit.sequence, os);
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
