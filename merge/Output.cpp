// The output: where the merged model goes, and its writing. The image is
// written to a new temporary file beside the target and moved over the
// target only once the whole of it is on disk, so that a failed write (a full
// disk) never costs the target, which is often the day model itself.
#include <cstring>
#include <string>

#include "merge/DropSequence.h"
#include "merge/Messages.h"

namespace merge {

namespace {

const char OutputFolder[] = "dff";
constexpr size_t OutputFolderLength = sizeof OutputFolder - 1;
constexpr size_t MaxPathLength = PathBufferSize - 1;

// A temporary file's name is the target's with one of its last two
// characters changed to one of these: no letters, so that it cannot name the
// target on a file system that ignores case, and no dot or blank, which
// Windows drops at the end of a name.
const char TemporaryCharacters[] = "~0123456789_-";
constexpr size_t TemporaryCharacterCount = sizeof TemporaryCharacters - 1;
constexpr size_t TemporaryPositions = 2;

// OutputPath from DayPath: the day model itself, or the same name in the
// "dff" folder beside it. False, logged, when the path would not fit.
bool BuildOutputPath(DropSequence& sequence, Os& os, Session& session, bool inDffFolder) {
    const char* day = sequence.DayPath;
    char* out = sequence.OutputPath;
    const size_t length = std::strlen(day);
    if (!inDffFolder) {
        std::memcpy(out, day, length + 1);
        return true;
    }
    if (length + 1 + OutputFolderLength > MaxPathLength) {
        session.AppendLog(text::OutputPathTooLong);
        return false;
    }
    // The folder, the separator found before the name, "dff"; then that
    // separator and the name. A path without a folder gets "dff/", which
    // every system takes.
    const size_t name = os.NameStart(day);
    const size_t folder = name > 0 ? name - 1 : 0;
    const char separator = name > 0 ? day[folder] : '/';
    std::memcpy(out, day, folder);
    size_t at = folder;
    if (name > 0) out[at++] = separator;
    std::memcpy(out + at, OutputFolder, OutputFolderLength);
    at += OutputFolderLength;
    out[at++] = separator;
    std::memcpy(out + at, day + name, length - name + 1);
    return true;
}

// The "dff" folder that OutputPath names, made when it is missing.
bool MakeOutputFolder(DropSequence& sequence, Os& os, Session& session) {
    const size_t name = os.NameStart(sequence.OutputPath);
    const std::string folder(sequence.OutputPath, name - 1);
    const Status made = os.MakeDirectory(folder.c_str());
    if (made.ok()) return true;
    session.AppendLog(text::FolderFailed);
    session.AppendLog(folder.c_str());
    session.AppendLog(text::FolderFailedBecause);
    session.AppendLog(made.text.c_str());
    return false;
}

// TargetPath: the file that OutputPath names, through its links, so that a
// link stays a link and the file it names is replaced in its own folder.
bool FindTarget(DropSequence& sequence, Os& os, Session& session) {
    std::string target;
    const Status resolved = os.ResolveLinks(sequence.OutputPath, &target);
    if (!resolved.ok()) {
        ReportLastError(session, " ", resolved);
        return false;
    }
    if (target.size() > MaxPathLength) {
        session.AppendLog(text::OutputPathTooLong);
        return false;
    }
    std::memcpy(sequence.TargetPath, target.c_str(), target.size() + 1);
    return true;
}

// Candidate k for the temporary file's path, as long as the target; false
// when there are no more. A candidate may equal the target; callers skip it.
bool TemporaryCandidate(Os& os, const char* target, size_t k, char* candidate) {
    const size_t length = std::strlen(target);
    const size_t back = k / TemporaryCharacterCount + 1;
    if (back > TemporaryPositions || back > length - os.NameStart(target)) return false;
    std::memcpy(candidate, target, length + 1);
    candidate[length - back] = TemporaryCharacters[k % TemporaryCharacterCount];
    return true;
}

// A new file beside the target, taking the next candidate while one cannot
// be created (most often because it exists); the last failure otherwise.
Status CreateTemporary(Os& os, const char* target, char* temporary, OutputFile** file) {
    Status status;
    for (size_t k = 0; TemporaryCandidate(os, target, k, temporary); ++k) {
        if (std::strcmp(temporary, target) == 0) continue;
        status = os.CreateNewFile(temporary, file);
        if (status.ok()) return status;
    }
    *file = nullptr;
    return status;
}

// The image, its permissions, its flush and its close; the first failure is
// reported, and the temporary file goes.
bool WriteTemporary(DropSequence& sequence, Os& os, Session& session) {
    OutputFile* file = nullptr;
    Status status = CreateTemporary(os, sequence.TargetPath, sequence.TemporaryPath, &file);
    // Z - R: the zero bytes left at the end by a replaced chunk stay out.
    if (status.ok())
        status = os.Write(file, sequence.OutputImage, sequence.ImageSize - sequence.ReplacedLength);
    if (status.ok()) status = os.TakePermissionsOf(file, sequence.TargetPath);
    if (status.ok() && !sequence.CommitsInGroups) status = os.Flush(file);
    if (file) {
        const Status closed = os.CloseOutput(file);
        if (status.ok()) status = closed;
    }
    if (status.ok()) return true;
    ReportLastError(session, " ", status);
    if (file) os.Remove(sequence.TemporaryPath);
    return false;
}

}  // namespace

std::string FolderOf(Os& os, const char* path) {
    const size_t name = os.NameStart(path);
    return name > 0 ? std::string(path, name) : std::string(".");
}

bool WriteOutput(DropSequence& sequence, Os& os, Session& session) {
    return WriteTemporaryOutput(sequence, os, session) &&
           ReplaceTargetWithOutput(sequence, os, session);
}

bool WriteTemporaryOutput(DropSequence& sequence, Os& os, Session& session) {
    const bool inDffFolder = session.IsTicked(Option::OutputInDffFolder);
    const bool written = BuildOutputPath(sequence, os, session, inDffFolder) &&
                         (!inDffFolder || MakeOutputFolder(sequence, os, session)) &&
                         FindTarget(sequence, os, session) &&
                         WriteTemporary(sequence, os, session);
    ReleaseDayBlocks(sequence, os);
    return written;
}

bool ReplaceTargetWithOutput(DropSequence& sequence, Os& os, Session& session) {
    Status status = os.Replace(sequence.TemporaryPath, sequence.TargetPath);
    if (!status.ok()) {
        ReportLastError(session, " ", status);
        os.Remove(sequence.TemporaryPath);
        return false;
    }
    if (!sequence.CommitsInGroups) {
        status = os.SyncFolder(FolderOf(os, sequence.TargetPath).c_str());
        if (!status.ok()) {
            ReportLastError(session, " ", status);
            return false;
        }
    }
    session.AppendLog(text::Created);
    session.AppendLog(sequence.OutputPath);
    session.AppendLog(text::LineEnd);
    return true;
}

}  // namespace merge
