// The output: where the merged model goes, and its writing. The image is
// written to a new temporary file beside the target and moved over the
// target only once the whole of it is on disk, so that a failed write (a full
// disk) never costs the target, which is often the day model itself.
#include <cstring>

#include "merge/Controls.h"
#include "merge/DropSequence.h"
#include "merge/StageSupport.h"

namespace merge {

namespace {

const char* const TextCreated = "\r\nDFF created: ";
const char* const TextOutputPathTooLong = " Error: Output path is longer than 259 characters.\r\n";
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

// Backslash for Windows paths as drops deliver them, slash for POSIX paths
// from the command line: a slash is never part of a Windows file name.
bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Index of the first character of the file name.
size_t NameStart(const char* path) {
    size_t start = 0;
    for (size_t i = 0; path[i]; ++i)
        if (IsSeparator(path[i])) start = i + 1;
    return start;
}

// OutputPath from DayPath and "Output in DFF Folder", read now; creates the
// "dff" folder when it is used. False, logged, when the path would not fit.
bool BuildOutputPath(DropSequence& sequence, Platform& platform) {
    const char* day = sequence.DayPath;
    char* out = sequence.OutputPath;
    const size_t length = std::strlen(day);
    if (!platform.IsChecked(IdOutputInDffFolder)) {
        std::memcpy(out, day, length + 1);
        return true;
    }
    if (length + 1 + OutputFolderLength > MaxPathLength) {
        platform.AppendLog(TextOutputPathTooLong);
        return false;
    }
    // The folder, the separator found before the name, "dff"; then that
    // separator and the name. A path without a folder (only from a command
    // line) gets "dff/", which Windows accepts too.
    const size_t name = NameStart(day);
    const size_t folder = name > 0 ? name - 1 : 0;
    const char separator = name > 0 ? day[folder] : '/';
    std::memcpy(out, day, folder);
    size_t at = folder;
    if (name > 0) out[at++] = separator;
    std::memcpy(out + at, OutputFolder, OutputFolderLength + 1);
    platform.MakeDirectory(out);
    at += OutputFolderLength;
    out[at++] = separator;
    std::memcpy(out + at, day + name, length - name + 1);
    return true;
}

// Candidate k for the temporary file's path, as long as the target; false
// when there are no more. A candidate may equal the target; callers skip it.
bool TemporaryCandidate(const char* target, size_t k, char* candidate) {
    const size_t length = std::strlen(target);
    const size_t back = k / TemporaryCharacterCount + 1;
    if (back > TemporaryPositions || back > length - NameStart(target)) return false;
    std::memcpy(candidate, target, length + 1);
    candidate[length - back] = TemporaryCharacters[k % TemporaryCharacterCount];
    return true;
}

// A new file beside the target, taking the next candidate while one cannot
// be created (most often because it exists). Null once the last failure is
// reported: between that call and the report only texts are compared, which
// leaves the system's last error as it was.
OutputFile* CreateTemporary(Platform& platform, const char* target, char* temporary) {
    for (size_t k = 0; TemporaryCandidate(target, k, temporary); ++k) {
        if (std::strcmp(temporary, target) == 0) continue;
        if (OutputFile* file = platform.CreateNewFile(temporary)) return file;
    }
    ReportLastError(platform, " ");
    return nullptr;
}

// Each failure is reported right after its call; the temporary file goes,
// the target stays as it was.
bool WriteThroughTemporary(DropSequence& sequence, Platform& platform) {
    char temporary[PathBufferSize];
    OutputFile* file = CreateTemporary(platform, sequence.OutputPath, temporary);
    if (!file) return false;
    // Z - R: the zero bytes left at the end by a replaced chunk stay out.
    if (!platform.Write(file, sequence.OutputImage, sequence.ImageSize - sequence.ReplacedLength)) {
        ReportLastError(platform, " ");
        platform.CloseOutput(file);
        platform.RemoveFile(temporary);
        return false;
    }
    if (!platform.CloseOutput(file) || !platform.MoveFileOver(temporary, sequence.OutputPath)) {
        ReportLastError(platform, " ");
        platform.RemoveFile(temporary);
        return false;
    }
    return true;
}

}  // namespace

bool WriteOutput(DropSequence& sequence, Platform& platform) {
    const bool written =
        BuildOutputPath(sequence, platform) && WriteThroughTemporary(sequence, platform);
    ReleaseDayBlocks(sequence, platform);
    if (!written) return false;
    platform.AppendLog(TextCreated);
    platform.AppendLog(sequence.OutputPath);
    platform.AppendLog("\r\n");
    return true;
}

}  // namespace merge
