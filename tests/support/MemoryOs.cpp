#include "tests/support/MemoryOs.h"

#include <algorithm>
#include <cstring>

namespace testsupport {

using merge::Status;

// A file open for reading: a copy of its bytes at the moment of opening.
struct MemoryOs::Stream final : rw::ByteStream {
    std::string path;
    Bytes bytes;
    uint64_t size = 0, readable = 0, position = 0;
    uint64_t* bytesRead = nullptr;

    uint32_t Read(void* buffer, uint32_t count) override {
        const uint64_t end = std::min<uint64_t>(readable, bytes.size());
        if (position >= end) return 0;
        const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(count, end - position));
        std::memcpy(buffer, bytes.data() + position, n);
        position += n;
        *bytesRead += n;
        return n;
    }
    bool Seek(int64_t distance, rw::SeekFrom from, uint64_t* newPosition) override {
        const uint64_t base = from == rw::SeekFrom::Start ? 0 : position;
        if (distance < 0 && uint64_t(0) - static_cast<uint64_t>(distance) > base) return false;
        position = base + static_cast<uint64_t>(distance);
        if (newPosition) *newPosition = position;
        return true;
    }
    uint64_t Size() override { return size; }
};

namespace {

Status Failure(SystemError error) { return Status{true, static_cast<uint32_t>(error), ErrorText(error)}; }

std::string ParentFolder(const std::string& path) {
    const size_t at = path.find_last_of("\\/");
    return at == std::string::npos ? std::string() : path.substr(0, at);
}

}  // namespace

std::string ErrorText(SystemError error) {
    switch (error) {
        case SystemError::FileNotFound: return "The system cannot find the file specified.\r\n";
        case SystemError::PathNotFound: return "The system cannot find the path specified.\r\n";
        case SystemError::AccessDenied: return "Access is denied.\r\n";
        case SystemError::NotEnoughMemory:
            return "Not enough memory resources are available to process this command.\r\n";
        case SystemError::SharingViolation:
            return "The process cannot access the file because it is being used by another process.\r\n";
        case SystemError::FileExists: return "The file exists.\r\n";
        case SystemError::DiskFull: return "There is not enough space on the disk.\r\n";
    }
    return "Unknown error.\r\n";
}

MemoryOs::~MemoryOs() {
    // What the code under test leaked is freed here; Held() has told.
    for (Stream* stream : streams) delete stream;
    for (uint8_t* block : blocks) delete[] block;
}

void MemoryOs::FailCall(Call call, int k, SystemError error) {
    faults.insert({static_cast<int>(call), {k, error}});
}

Status MemoryOs::Called(Call call) {
    const int k = ++calls[static_cast<int>(call)];
    auto range = faults.equal_range(static_cast<int>(call));
    for (auto it = range.first; it != range.second; ++it)
        if (it->second.first == k) return Failure(it->second.second);
    return {};
}

Status MemoryOs::OpenForReading(const char* path, rw::ByteStream** file) {
    Status status = Called(Call::Open);
    const std::string real = path;
    auto found = files.find(real);
    if (!status.ok()) return status;
    if (found == files.end())
        return Failure(folders.count(path)                 ? SystemError::AccessDenied
                       : folders.count(ParentFolder(path)) ? SystemError::FileNotFound
                                                           : SystemError::PathNotFound);
    Stream* stream = new Stream;
    stream->path = real;
    stream->bytes = found->second;
    stream->readable = readableUpTo.count(real) ? readableUpTo[real] : stream->bytes.size();
    stream->size = declaredSize.count(real) ? declaredSize[real] : stream->bytes.size();
    stream->bytesRead = &bytesRead[real];
    streams.insert(stream);
    *file = stream;
    return status;
}

void MemoryOs::Close(rw::ByteStream* file) {
    if (!streams.erase(static_cast<Stream*>(file))) return void(++misuses);
    delete static_cast<Stream*>(file);
}

Status MemoryOs::MakeDirectory(const char* path) {
    Status status = Called(Call::MakeDirectory);
    if (!status.ok()) return status;
    if (files.count(path)) return Failure(SystemError::FileExists);
    if (!folders.count(ParentFolder(path))) return Failure(SystemError::PathNotFound);
    folders.insert(path);
    return status;
}

Status MemoryOs::CreateNewFile(const char* path, merge::OutputFile** file) {
    Status status = Called(Call::Create);
    if (!status.ok()) return status;
    if (files.count(path)) return Failure(SystemError::FileExists);
    if (folders.count(path)) return Failure(SystemError::AccessDenied);
    if (!folders.count(ParentFolder(path))) return Failure(SystemError::PathNotFound);
    files[path];
    temporaries[path] = {};
    *file = reinterpret_cast<merge::OutputFile*>(nextOutput++);
    outputs[*file] = path;
    created.push_back(path);
    return status;
}

Status MemoryOs::Write(merge::OutputFile* file, const void* data, uint32_t size) {
    const std::string& path = outputs.at(file);
    const Status status = Called(Call::Write);
    const uint8_t* from = static_cast<const uint8_t*>(data);
    files[path].insert(files[path].end(), from, from + (status.ok() ? size : size / 2));
    return status;
}

Status MemoryOs::TakePermissionsOf(merge::OutputFile* file, const char* target) {
    const Status status = Called(Call::TakePermissions);
    if (status.ok()) temporaries[outputs.at(file)].permissionsOf = target;
    return status;
}

Status MemoryOs::Flush(merge::OutputFile* file) {
    const Status status = Called(Call::Flush);
    if (status.ok()) temporaries[outputs.at(file)].flushed = true;
    return status;
}

Status MemoryOs::CloseOutput(merge::OutputFile* file) {
    auto it = outputs.find(file);
    if (it == outputs.end()) return ++misuses, Failure(SystemError::AccessDenied);
    const Status status = Called(Call::CloseOutput);
    outputs.erase(it);
    return status;
}

Status MemoryOs::Replace(const char* temporary, const char* target) {
    Status status = Called(Call::Replace);
    if (!status.ok()) return status;
    for (const Stream* stream : streams)
        if (stream->path == target) return Failure(SystemError::SharingViolation);
    auto source = files.find(temporary);
    if (source == files.end()) return Failure(SystemError::FileNotFound);
    files[target] = std::move(source->second);
    files.erase(temporary);
    if (temporaries[temporary].permissionsOf != target || !temporaries[temporary].flushed) ++misuses;
    temporaries.erase(temporary);
    unflushedFolders.insert(std::string(target).substr(0, NameStart(target)));
    return status;
}

// Asked for, even when it fails, it comes after the replacement.
Status MemoryOs::SyncFolder(const char* folder) {
    unflushedFolders.erase(folder);
    return Called(Call::SyncFolder);
}

void MemoryOs::Remove(const char* path) {
    files.erase(path);
    temporaries.erase(path);
}

size_t MemoryOs::NameStart(const char* path) { return std::string(path).find_last_of("\\/") + 1; }

Status MemoryOs::ResolveLinks(const char* path, std::string* resolved) {
    *resolved = path;
    return {};
}

uint8_t* MemoryOs::AllocateZeroed(size_t size) {
    largestAllocation = std::max(largestAllocation, size);
    if (!Called(Call::Allocate).ok() || size > (size_t{1} << 30)) return nullptr;
    uint8_t* block = new uint8_t[size ? size : 1]();
    blocks.insert(block);
    return block;
}

void MemoryOs::Release(uint8_t* block) {
    if (!blocks.erase(block)) return void(++misuses);
    delete[] block;
}

}  // namespace testsupport
