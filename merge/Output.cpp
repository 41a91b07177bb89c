// The output: where the merged model goes, and its writing. The image is
// written to a new temporary file beside the target and moved over the
// target only once the whole of it is on disk, so that a failed write (a full
// disk) never costs the target, which is often the day model itself.
#include <string>

#include "merge/DropSequence.h"
#include "merge/Messages.h"

namespace merge {

namespace {

const char OutputFolder[] = "dff";

// A temporary file's name is the target's with a character changed to one
// of these: no letters, so that it cannot name the
// target on a file system that ignores case, and no dot or blank, which
// Windows drops at the end of a name.
const char TemporaryCharacters[] = "~0123456789_-";
constexpr size_t TemporaryCharacterCount = sizeof TemporaryCharacters - 1;
constexpr size_t TemporaryPositions = 2;

// OutputPath from DayPath: the day model itself, or the same name in the
// "dff" folder beside it. False, logged, when the path would be longer than
// the session takes.
bool BuildOutputPath(DropSequence& sequence, Os& os, Session& session, bool inDffFolder) {
    const std::string& day = sequence.DayPath;
    if (!inDffFolder) {
        sequence.OutputPath = day;
        return true;
    }
    // The folder, the separator found before the name, "dff"; then that
    // separator and the name. A path without a folder gets "dff/", which
    // every system takes.
    const size_t name = os.NameStart(day.c_str());
    const std::string separator = name > 0 ? day.substr(name - 1, 1) : "/";
    sequence.OutputPath = day.substr(0, name) + OutputFolder + separator + day.substr(name);
    if (session.PathFits(sequence.OutputPath.c_str())) return true;
    session.AppendLog(text::OutputPathTooLong);
    return false;
}

// The "dff" folder that OutputPath names, made when it is missing.
bool MakeOutputFolder(DropSequence& sequence, Os& os, Session& session) {
    const size_t name = os.NameStart(sequence.OutputPath.c_str());
    const std::string folder = sequence.OutputPath.substr(0, name - 1);
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
    const Status resolved = os.ResolveLinks(sequence.OutputPath.c_str(), &sequence.TargetPath);
    if (!resolved.ok()) {
        ReportLastError(session, " ", resolved);
        return false;
    }
    if (session.PathFits(sequence.TargetPath.c_str())) return true;
    session.AppendLog(text::OutputPathTooLong);
    return false;
}

// A new file beside the target, its name the target's with one of the last
// two characters of one byte in its name changed (never a byte of a longer
// character): the next candidate while one cannot be created (most often
// because it exists), the last failure otherwise.
Status CreateTemporary(Os& os, const std::string& target, std::string* temporary,
                       OutputFile** file) {
    Status status{true, 0, text::NoTemporaryName};
    *file = nullptr;
    size_t positions = 0;
    for (size_t at = target.size(); at > os.NameStart(target.c_str()) && positions < TemporaryPositions;) {
        if (static_cast<unsigned char>(target[--at]) >= 0x80) continue;
        ++positions;
        for (size_t k = 0; k < TemporaryCharacterCount; ++k) {
            if (TemporaryCharacters[k] == target[at]) continue;
            *temporary = target;
            (*temporary)[at] = TemporaryCharacters[k];
            status = os.CreateNewFile(temporary->c_str(), file);
            if (status.ok()) return status;
        }
    }
    *file = nullptr;
    return status;
}

// The image, its permissions, its flush and its close; the first failure is
// reported, and the temporary file goes.
bool WriteTemporary(DropSequence& sequence, Os& os, Session& session) {
    OutputFile* file = nullptr;
    Status status = CreateTemporary(os, sequence.TargetPath, &sequence.TemporaryPath, &file);
    // Z - R: the zero bytes left at the end by a replaced chunk stay out.
    if (status.ok())
        status = os.Write(file, sequence.OutputImage, sequence.ImageSize - sequence.ReplacedLength);
    if (status.ok()) status = os.TakePermissionsOf(file, sequence.TargetPath.c_str());
    if (status.ok() && !sequence.CommitsInGroups) status = os.Flush(file);
    if (file) {
        const Status closed = os.CloseOutput(file);
        if (status.ok()) status = closed;
    }
    if (status.ok()) return true;
    ReportLastError(session, " ", status);
    if (file) os.Remove(sequence.TemporaryPath.c_str());
    return false;
}

}  // namespace

std::string FolderOf(Os& os, const std::string& path) {
    const size_t name = os.NameStart(path.c_str());
    return name > 0 ? path.substr(0, name) : std::string(".");
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
    Status status = os.Replace(sequence.TemporaryPath.c_str(), sequence.TargetPath.c_str());
    if (!status.ok()) {
        ReportLastError(session, " ", status);
        os.Remove(sequence.TemporaryPath.c_str());
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
    session.AppendLog(sequence.OutputPath.c_str());
    session.AppendLog(text::LineEnd);
    return true;
}

}  // namespace merge
