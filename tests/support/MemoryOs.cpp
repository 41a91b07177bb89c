#include "tests/support/MemoryOs.h"

#include <algorithm>
#include <cstring>

#include "merge/Messages.h"
#include "merge/Paths.h"

namespace testsupport {

using merge::Status;

// A file open for reading: its bytes and stamp as they were when opened.
struct MemoryOs::Stream final : rw::ByteStream {
    std::string path;
    Bytes bytes;
    merge::FileStamp stamp;
    uint64_t size = 0, readable = 0, position = 0;
    MemoryOs* os = nullptr;

    uint64_t End() const { return std::min<uint64_t>(readable, bytes.size()); }
    uint32_t Read(void* buffer, uint32_t count) override {
        std::lock_guard<std::recursive_mutex> lock(os->mutex);
        // Saved in place, the open file is read as it is now.
        if (os->files.count(path) && os->identities[path] == stamp.index) bytes = os->files[path];
        if (position >= End()) return 0;
        const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(count, End() - position));
        std::memcpy(buffer, bytes.data() + position, n);
        position += n;
        os->bytesRead[path] += n;
        return n;
    }
    bool Seek(int64_t distance, rw::SeekFrom from, uint64_t* newPosition) override {
        return rw::MovePosition(position, distance, from, newPosition);
    }
    uint64_t Size() override { return size; }
};

namespace {

const Bytes Guard = {0xA5, 0x5A, 0xA5, 0x5A, 0xA5, 0x5A, 0xA5, 0x5A};

std::string ParentFolder(const std::string& path) {
    const size_t at = path.find_last_of("\\/");
    return at == std::string::npos ? std::string() : path.substr(0, at);
}

}  // namespace

std::string ErrorText(SystemError error) {
    static const std::map<SystemError, std::string> texts = {
        {SystemError::FileNotFound, "The system cannot find the file specified."},
        {SystemError::PathNotFound, "The system cannot find the path specified."},
        {SystemError::AccessDenied, "Access is denied."},
        {SystemError::SharingViolation,
         "The process cannot access the file because it is being used by another process."},
        {SystemError::FileExists, "The file exists."},
        {SystemError::DiskFull, "There is not enough space on the disk."},
        {SystemError::NotAFolder, "The directory name is invalid."},
        {SystemError::Aborted, "The I/O operation has been aborted because of either a thread "
                               "exit or an application request."},
        {SystemError::NotSupported, "The request is not supported."},
    };
    return texts.at(error) + "\r\n";
}

Status Failure(SystemError error) {
    merge::Problem problem = merge::Problem::Other;
    if (error == SystemError::DiskFull) problem = merge::Problem::OutOfSpace;
    if (error == SystemError::FileNotFound || error == SystemError::PathNotFound)
        problem = merge::Problem::Absent;
    if (error == SystemError::FileExists) problem = merge::Problem::Exists;
    if (error == SystemError::NotSupported) problem = merge::Problem::Unsupported;
    return Status{true, static_cast<uint32_t>(error), ErrorText(error), problem};
}

MemoryOs::~MemoryOs() {
    // What the code under test leaked is freed here; Held() has told.
    for (Stream* stream : streams) delete stream;
    for (const auto& block : blocks) delete[] block.first;
}

void MemoryOs::Change(const std::string& path, const Bytes& bytes, bool withinTheTick) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    files.emplace(path, Bytes());  // a file made where there was none
    const bool same = withinTheTick && files[path].size() == bytes.size();
    const uint64_t identity = StampOfPath(path).index, version = same ? 0 : ++lastVersion;
    for (auto& name : identities)
        if (name.second == identity && files.count(name.first))
            files[name.first] = bytes, versions[name.first] = same ? versions[name.first] : version;
}

void MemoryOs::HardLink(const std::string& name, const std::string& existing) {
    identities[name] = StampOfPath(existing).index;
    versions[name] = versions[existing];
    files[name] = files[existing];
}

Status MemoryOs::Called(Call call) {
    const int k = ++calls[static_cast<int>(call)];
    Status status;
    auto range = planned.equal_range({call, k});
    for (auto it = range.first; it != range.second; ++it)
        if (it->second.action) it->second.action();
    for (auto it = range.first; it != range.second && status.ok(); ++it)
        if (!it->second.action) status = Failure(it->second.error);
    return status;
}

std::string MemoryOs::Followed(std::string path) {
    for (int k = 0; k < 40 && links.count(path); ++k) path = links[path];
    return path;
}

merge::FileStamp MemoryOs::StampOfPath(const std::string& path) {
    uint64_t& identity = identities[path];
    if (identity == 0) identity = ++lastVersion;  // a file the test put there
    merge::FileStamp stamp;
    const auto file = files.find(path);
    stamp.index = identity, stamp.modified = versions[path];
    stamp.size = file == files.end() ? 0 : file->second.size();
    stamp.kind = links.count(path) ? merge::FileKind::Link : merge::FileKind::File;
    stamp.racy = coarseClock;
    return stamp;
}

Status MemoryOs::Makeable(const std::string& path) {
    if (files.count(path) || links.count(path)) return Failure(SystemError::FileExists);
    return folders.count(ParentFolder(path)) ? Status{} : Failure(SystemError::PathNotFound);
}

Status MemoryOs::OpenForReading(const char* name, rw::ByteStream** file) {
    CALLED(Call::Open);
    const std::string path = Followed(name);
    auto found = files.find(path);
    if (!status.ok()) return status;
    if (folders.count(path)) return Failure(SystemError::AccessDenied);  // as Windows opens one
    if (found == files.end())
        return Failure(folders.count(ParentFolder(path)) ? SystemError::FileNotFound
                                                         : SystemError::PathNotFound);
    Stream* stream = new Stream;
    stream->path = path, stream->bytes = found->second, stream->stamp = StampOfPath(path);
    stream->readable = readableUpTo.count(path) ? readableUpTo[path] : stream->bytes.size();
    stream->size = declaredSize.count(path) ? declaredSize[path] : stream->bytes.size();
    stream->os = this;
    streams.insert(stream);
    *file = stream;
    return status;
}

void MemoryOs::Close(rw::ByteStream* file) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    if (!streams.erase(static_cast<Stream*>(file))) return void(++misuses);
    delete static_cast<Stream*>(file);
}

Status MemoryOs::StampOf(rw::ByteStream* file, merge::FileStamp* stamp) {
    CALLED(Call::StampOf);
    // Saved in place, the open file is changed too; moved over or removed,
    // it is still the file it was.
    const Stream& stream = *static_cast<Stream*>(file);
    const bool there = files.count(stream.path) && identities[stream.path] == stream.stamp.index;
    *stamp = there ? StampOfPath(stream.path) : stream.stamp;
    return status;
}

Status MemoryOs::StampAt(const char* name, merge::FileStamp* stamp) {
    CALLED(Call::StampAt);
    const std::string path = Followed(name);
    if (!files.count(path)) return status.ok() ? Failure(SystemError::FileNotFound) : status;
    *stamp = StampOfPath(path);
    return status;
}

Status MemoryOs::MakeDirectory(const char* path, bool* made) {
    CALLED(Call::MakeDirectory);
    *made = false;
    if (!status.ok() || folders.count(path)) return status;
    if (!(status = Makeable(path)).ok()) return status;
    *made = folders.insert(path).second;
    return status;
}

Status MemoryOs::CreateNewFile(const char* path, merge::OutputFile** file) {
    CALLED(Call::Create);
    if (!status.ok() || !(status = Makeable(path)).ok()) return status;
    files[path];
    identities[path] = versions[path] = ++lastVersion;
    temporaries[path] = {};
    *file = reinterpret_cast<merge::OutputFile*>(nextOutput++);
    outputs[*file] = path;
    return status;
}

Status MemoryOs::Write(merge::OutputFile* file, const void* data, uint32_t size) {
    CALLED(Call::Write);
    Bytes& to = files[outputs.at(file)];
    const uint8_t* from = static_cast<const uint8_t*>(data);
    to.insert(to.end(), from, from + (status.ok() ? size : size / 2));
    return status;
}

Status MemoryOs::CopyRange(rw::ByteStream* from, uint64_t offset, uint64_t length,
                           merge::OutputFile* file, uint64_t* copied) {
    CALLED(Call::CopyRange);
    *copied = 0;
    if (!status.ok()) return status;
    // As far as the file can be read, as the system would.
    const Stream& stream = *static_cast<Stream*>(from);
    const uint64_t end = stream.End();
    const uint64_t n = offset < end ? std::min({length, end - offset, copiesAtMost}) : 0;
    Bytes& to = files[outputs.at(file)];
    to.insert(to.end(), stream.bytes.begin() + offset, stream.bytes.begin() + offset + n);
    bytesRead[stream.path] += n;
    *copied = n;
    return status;
}

Status MemoryOs::CloseOutput(merge::OutputFile* file) {
    CALLED(Call::CloseOutput);
    if (!outputs.erase(file)) return ++misuses, Failure(SystemError::AccessDenied);
    return status;
}

Status MemoryOs::StampOfName(const char* path, merge::FileStamp* stamp) {
    CALLED(Call::StampOfName);
    if (folders.count(path)) stamp->kind = merge::FileKind::Folder;
    else if (!files.count(path) && !links.count(path))
        return status.ok() ? Failure(SystemError::FileNotFound) : status;
    else *stamp = StampOfPath(path);
    return status;
}

void MemoryOs::Swap(const std::string& a, const std::string& b) {
    std::swap(files[a], files[b]);
    std::swap(identities[a], identities[b]);
    std::swap(versions[a], versions[b]);
    const bool aLink = links.count(a), bLink = links.count(b);
    const std::string aTo = aLink ? links[a] : "", bTo = bLink ? links[b] : "";
    links.erase(a), links.erase(b);
    if (aLink) links[b] = aTo;
    if (bLink) links[a] = bTo;
}

Status MemoryOs::Moving(Status status, const std::string& temporary, const std::string& target) {
    for (const Stream* stream : streams)
        if (status.ok() && stream->path == target) status = Failure(SystemError::SharingViolation);
    if (status.ok() && !files.count(temporary)) status = Failure(SystemError::FileNotFound);
    if (!status.ok()) return status;
    const Temporary made = temporaries[temporary];
    misuses += made.permissionsOf.empty() || !made.flushed;
    temporaries.erase(temporary);
    unflushedFolders.insert(merge::FolderOf(*this, target));
    return status;
}

Status MemoryOs::Replace(const char* temporary, const char* target) {
    CALLED(Call::Replace);
    if (!(status = Moving(status, temporary, target)).ok()) return status;
    Swap(temporary, target);
    files.erase(temporary), links.erase(temporary);
    return status;
}

Status MemoryOs::Exchange(const char* temporary, const char* target) {
    CALLED(Call::Exchange);
    if (status.ok() && !swapsNames) return Failure(SystemError::NotSupported);
    // Swapped back: the temporary file is ours again.
    if (status.ok() && !temporaries.count(temporary) && files.count(target)) {
        Swap(temporary, target);
        temporaries[temporary] = {"(back)", true};
        return status;
    }
    if (!(status = Moving(status, temporary, target)).ok()) return status;
    Swap(temporary, target);
    return status;
}

Status MemoryOs::MoveNew(const char* temporary, const char* target) {
    CALLED(Call::MoveNew);
    if (status.ok() && !swapsNames) return Failure(SystemError::NotSupported);
    if (status.ok() && (files.count(target) || links.count(target)))
        return Failure(SystemError::FileExists);
    if (!(status = Moving(status, temporary, target)).ok()) return status;
    Swap(temporary, target);
    files.erase(temporary);
    return status;
}

void MemoryOs::RemoveFolder(const char* path) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    for (const auto& file : files) if (ParentFolder(file.first) == path) return;
    for (const std::string& folder : folders) if (ParentFolder(folder) == path) return;
    folders.erase(path);
}

uint8_t* MemoryOs::AllocateZeroed(size_t size) {
    CALLED(Call::Allocate);
    largestAllocation = std::max(largestAllocation, size);
    if (!status.ok() || size > (size_t{1} << 30)) return nullptr;
    // Guard bytes after the block tell of a write past its end.
    uint8_t* block = new uint8_t[size + Guard.size()]();
    std::copy(Guard.begin(), Guard.end(), block + size);
    blocks[block] = size;
    return block;
}

void MemoryOs::Release(uint8_t* block) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    auto found = blocks.find(block);
    if (found == blocks.end()) return void(++misuses);
    misuses += !std::equal(Guard.begin(), Guard.end(), block + found->second);
    blocks.erase(found);
    delete[] block;
}

Status MemoryOs::FullPath(const char* name, std::string* full) {
    CALLED(Call::FullPath);
    const bool absolute = std::strchr(name, ':') || name[0] == '\\';
    *full = absolute ? name : std::string("C:\\work\\") + name;
    return status;
}

Status MemoryOs::ListFolder(const char* path, std::vector<merge::FolderEntry>* entries) {
    CALLED(Call::ListFolder);
    if (!status.ok()) return status;
    if (!folders.count(path))
        return Failure(files.count(path) ? SystemError::NotAFolder : SystemError::PathNotFound);
    const size_t start = std::strlen(path) + 1;
    const auto add = [&](const std::string& name, bool isFolder) {
        if (ParentFolder(name) == path && name != path)
            entries->push_back({name.substr(start), isFolder});
    };
    for (const auto& file : files) add(file.first, false);
    for (const auto& link : links) add(link.first, false);
    for (const std::string& folder : folders) add(folder, true);
    return status;
}

}  // namespace testsupport
