// The writer: every file the tool writes goes through here, whatever made
// its bytes. A failure before the move leaves the target as it was; the
// move itself is guarded: where the system swaps two names in one step, the
// file moved out is checked to be the one first found, and swapped back if
// not, so that a save at the last instant is kept.
#include "merge/Writer.h"

#include <cstring>
#include <map>

#include "merge/Paths.h"

namespace merge {

namespace {

// A temporary file's name is the target's with a character changed to one
// of these: no letters, so that it cannot name the target on a file system
// that ignores case, and no dot or blank, which Windows drops at the end of
// a name.
const char TemporaryCharacters[] = "~0123456789_-";
constexpr size_t TemporaryCharacterCount = sizeof TemporaryCharacters - 1;
constexpr size_t TemporaryPositions = 2;

// The folder that the path names, made when it is missing, with those above it.
bool MakeFolder(Os& os, Session& session, PreparedFile& file) {
    const std::string& path = file.request.path;
    const std::string folder = path.substr(0, os.NameStart(path.c_str()) - 1);
    const Status status = MakeFolders(os, folder, &file.MadeFolders);
    if (!status.ok()) LogPathAndText(session, text::FolderFailed, folder, status.text);
    return status.ok();
}

void RemoveFoldersMadeInVain(Os& os, PreparedFile& file) {
    if (!file.request.leavesMadeFolders) RemoveMadeFolders(os, file.MadeFolders);
}

// Whether the target is still what was first found there (a link as a
// link), or still absent; the failure to look at it otherwise.
Status TargetUnchanged(Os& os, const PreparedFile& file, bool* unchanged) {
    FileStamp now;
    const Status stamped = os.StampOfName(file.Target.c_str(), &now);
    *unchanged = stamped.ok() == file.TargetFound &&
                 (!stamped.ok() || SameFile(now, file.TargetStamp));
    return stamped.ok() || stamped.Is(Problem::Absent) ? Status{} : stamped;
}

enum class Moved { Done, Changed, SwappedBack, Failed, Kept };

// The guarded move over the target. Where the system swaps names in one
// step, the file swapped out must be the one first found there (the save of
// another program is swapped back, and kept); where it moves a file only to
// a free name, the name must still be free. Elsewhere the check comes just
// before the move.
Moved MoveOver(Os& os, PreparedFile& file, Status* status) {
    const char* temporary = file.Temporary.c_str();
    const char* target = file.Target.c_str();
    if (os.AbandonRequested()) return *status = os.Interrupted(), Moved::Failed;
    bool unchanged = false;
    if (!(*status = TargetUnchanged(os, file, &unchanged)).ok()) return Moved::Failed;
    if (!unchanged) return Moved::Changed;
    *status = file.TargetFound ? os.Exchange(temporary, target) : os.MoveNew(temporary, target);
    if (status->Is(Problem::Exists)) return Moved::Changed;
    const bool checked = !status->Is(Problem::Unsupported);
    if (!checked) *status = os.Replace(temporary, target);
    if (!status->ok()) return Moved::Failed;
    if (!checked || !file.TargetFound) return Moved::Done;
    // Swapped: what was moved out must be the file first found there.
    FileStamp out;
    if (os.StampOfName(temporary, &out).ok() && SameFileMoved(out, file.TargetStamp)) {
        os.Remove(temporary);
        return Moved::Done;
    }
    *status = os.Exchange(temporary, target);
    return status->ok() ? Moved::SwappedBack : Moved::Kept;
}

}  // namespace

Status MemorySink::Put(const void* data, uint32_t count) {
    // Sized by the plan: never more than that arrives.
    if (count > size - filled) return Status{true, 0, "Not enough memory.\r\n"};
    std::memcpy(bytes + filled, data, count);
    filled += count;
    return {};
}

Status PreparedFile::Put(const void* bytes, uint32_t size) {
    return os->Write(File.get(), bytes, size);
}

Status PreparedFile::Copy(rw::ByteStream& from, uint64_t offset, uint64_t length,
                          uint64_t* copied) {
    return os->CopyRange(&from, offset, length, File.get(), copied);
}

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

bool FindTarget(Os& os, Session& session, const FileRequest& request, PreparedFile* file) {
    file->os = &os;
    file->request = request;
    file->Target = request.path;
    Status status;
    if (request.followLinks) status = os.ResolveLinks(request.path.c_str(), &file->Target);
    if (status.ok() && !session.PathFits(file->Target.c_str())) {
        Say(session, text::OutputPathTooLong);
        return false;
    }
    // Absent, or stamped: a target that cannot be looked at is not replaced.
    if (status.ok()) status = os.StampOfName(file->Target.c_str(), &file->TargetStamp);
    file->TargetFound = status.ok();
    if (status.Is(Problem::Absent)) return true;
    if (!status.ok()) {
        ReportLastError(session, " ", status);
        return false;
    }
    const FileKind kind = file->TargetStamp.kind;
    if (kind == FileKind::File || (kind == FileKind::Link && !request.followLinks)) return true;
    Say(session, text::OutputNotAFile);
    return false;
}

bool PrepareFile(Os& os, Session& session, const FileRequest& request, PreparedFile* file) {
    file->os = &os;
    file->request = request;
    if (!request.leavesMadeFolders) file->MadeFolders.clear();
    OutputFile* made = nullptr;
    Status status;
    const bool prepared = (!request.makeFolder || MakeFolder(os, session, *file)) &&
                          FindTarget(os, session, request, file) &&
                          (status = CreateTemporary(os, file->Target, request.namesInUse,
                                                    &file->Temporary, &made))
                              .ok();
    file->File = OutputHandle(made, OutputClose{&os});
    if (!status.ok()) ReportLastError(session, " ", status);
    if (!prepared) RemoveFoldersMadeInVain(os, *file);
    return prepared;
}

Status FinishFile(Os& os, PreparedFile& file) {
    // A link at an output's name is replaced, so it gives no permissions.
    const bool takes = file.TargetFound && file.TargetStamp.kind == FileKind::File;
    return os.TakePermissionsOf(file.File.get(), takes ? file.Target.c_str() : nullptr);
}

void AbandonFile(Os& os, PreparedFile& file) {
    if (file.File) {
        file.File.reset();
        os.Remove(file.Temporary.c_str());
    }
    RemoveFoldersMadeInVain(os, file);
}

void RemoveMadeFolders(Os& os, const std::vector<std::string>& folders) {
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder)
        os.RemoveFolder(folder->c_str());
}

namespace {

// Puts the file on the disk (unless its file system was flushed whole),
// closes it and moves it over its target, guarded; logs why not.
Committed Commit(Os& os, PendingCommit& commit, Status status, bool flushEach) {
    PreparedFile& file = *commit.file;
    Session& session = *commit.session;
    if (status.ok() && flushEach) status = os.Flush(file.File.get());
    const Status closed = os.CloseOutput(file.File.release());
    if (status.ok()) status = closed;
    Moved moved = Moved::Failed;
    if (status.ok()) moved = MoveOver(os, file, &status);
    if (moved == Moved::Done) return Committed::Written;
    // Swapped, the folder's names must reach the disk as they are now.
    if (moved == Moved::SwappedBack || moved == Moved::Kept)
        (void)os.SyncFolder(FolderOf(os, file.Target).c_str());
    if (moved == Moved::Changed || moved == Moved::SwappedBack) Say(session, text::FileChanged);
    if (moved == Moved::Failed) ReportLastError(session, " ", status);
    if (moved == Moved::Kept) {
        ReportLastError(session, " ", status);
        Say(session, text::KeptBefore);
        session.AppendLog(file.Temporary.c_str());
        session.AppendLog(text::KeptBetween);
        session.AppendLog(file.Target.c_str());
        session.AppendLog(text::KeptAfter);
    } else {
        os.Remove(file.Temporary.c_str());
    }
    RemoveFoldersMadeInVain(os, file);
    return status.Is(Problem::OutOfSpace) ? Committed::OutOfSpace : Committed::NotWritten;
}

}  // namespace

void CommitFiles(std::vector<PendingCommit>& group, Os& os) {
    // Many files on a system that flushes a whole file system as cheaply as
    // one file: each file system once, before any move.
    std::map<std::string, Status> systems;
    const bool whole = group.size() > 1 && os.SyncsWholeFileSystems();
    if (whole) {
        for (PendingCommit& commit : group) systems[FolderOf(os, commit.file->Target)];
        for (auto& system : systems) system.second = os.SyncFileSystem(system.first.c_str());
    }
    // Each folder that holds a new name is flushed once, after all its moves.
    std::map<std::string, Status> folders;
    for (PendingCommit& commit : group) {
        const std::string folder = FolderOf(os, commit.file->Target);
        commit.result = Commit(os, commit, whole ? systems[folder] : Status{}, !whole);
        if (commit.result == Committed::Written) folders[folder];
    }
    for (auto& folder : folders) folder.second = os.SyncFolder(folder.first.c_str());
    for (PendingCommit& commit : group) {
        if (commit.result != Committed::Written) continue;
        Session& session = *commit.session;
        SayAbout(session, *commit.file->request.done, commit.file->request.path);
        // The file is replaced, but its new name may not be on the disk.
        const std::string folder = FolderOf(os, commit.file->Target);
        const Status& synced = folders[folder];
        if (synced.ok()) continue;
        LogPathAndText(session, text::FolderNotFlushed, folder, synced.text);
        commit.result = Committed::NotWritten;
    }
}

}  // namespace merge
