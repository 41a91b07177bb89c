// A preview's picture as a PNG file, written through the system's seam as
// every output is: a new file beside its target, its permissions, its flush,
// then the move over the target and the flush of its folder.
#include <algorithm>
#include <string>

#include "merge/Messages.h"
#include "merge/Preview.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace merge {

namespace {

// The whole PNG, as the encoder hands it over.
void Collect(void* context, void* data, int size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    static_cast<std::string*>(context)->append(bytes, bytes + size);
}

Status WriteAll(Os& os, OutputFile* file, const std::string& bytes) {
    constexpr size_t Part = size_t{1} << 30;
    for (size_t done = 0; done < bytes.size(); done += Part) {
        const size_t size = std::min(bytes.size() - done, Part);
        const Status written = os.Write(file, bytes.data() + done, static_cast<uint32_t>(size));
        if (!written.ok()) return written;
    }
    return {};
}

// The new file beside target, whole and on the disk; removed on a failure.
Status WriteTemporary(Os& os, const std::string& target, const std::string& png,
                      std::string* temporary) {
    OutputFile* file = nullptr;
    Status status = CreateTemporary(os, target, nullptr, temporary, &file);
    if (!status.ok()) return status;
    status = WriteAll(os, file, png);
    if (status.ok()) status = os.TakePermissionsOf(file, target.c_str());
    if (status.ok()) status = os.Flush(file);
    const Status closed = os.CloseOutput(file);
    if (status.ok()) status = closed;
    if (!status.ok()) os.Remove(temporary->c_str());
    return status;
}

}  // namespace

bool WritePicture(Os& os, Session& session, const std::string& path, const Picture& picture) {
    std::string png;
    // Each row filtered against the pixel on its left: the tiles' flat
    // backgrounds then compress best, and a whole folder's picture in half
    // the time of trying every filter on every row.
    stbi_write_force_png_filter = 1;
    const int stride = static_cast<int>(picture.width * 3);
    if (!stbi_write_png_to_func(Collect, &png, static_cast<int>(picture.width),
                                static_cast<int>(picture.height), 3, picture.pixels.data(),
                                stride)) {
        session.AppendLog(text::NoMemory);
        return false;
    }
    std::string target, temporary;
    Status status = os.ResolveLinks(path.c_str(), &target);
    if (status.ok()) status = WriteTemporary(os, target, png, &temporary);
    // A failed replacement has removed the temporary file itself, or kept
    // it and said where.
    if (status.ok()) status = ReplaceUnlessInterrupted(os, temporary, target);
    if (!status.ok()) {
        ReportLastError(session, " ", status);
        return false;
    }
    session.AppendLog(text::PreviewWritten);
    session.AppendLog(path.c_str());
    session.AppendLog(text::LineEnd);
    const std::string folder = FolderOf(os, target);
    const Status synced = os.SyncFolder(folder.c_str());
    if (synced.ok()) return true;
    LogPathAndText(session, text::FolderNotFlushed, folder, synced.text);
    return false;
}

}  // namespace merge
