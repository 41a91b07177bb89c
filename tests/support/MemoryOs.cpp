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

Status Failure(SystemError error) {
    return Status{true, static_cast<uint32_t>(error), ErrorText(error)};
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
            return "The process cannot access the file because it is being used by another "
                   "process.\r\n";
        case SystemError::FileExists: return "The file exists.\r\n";
        case SystemError::DiskFull: return "There is not enough space on the disk.\r\n";
    }
    return "Unknown error.\r\n";
}

std::string ParentFolder(const std::string& path) {
    const size_t at = path.find_last_of("\\/");
    return at == std::string::npos ? std::string() : path.substr(0, at);
}

MemoryOs::~MemoryOs() {
    // What the code under test leaked is freed here; the counters have told.
    for (Stream* stream : streams) delete stream;
    for (auto& block : blocks) delete[] block.first;
}

void MemoryOs::FailCall(Call call, int k, SystemError error) {
    faults.insert({static_cast<int>(call), {k, error}});
}

bool MemoryOs::Faulted(Call call, Status* status) {
    const int index = static_cast<int>(call);
    const int k = ++calls[index];
    auto range = faults.equal_range(index);
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second.first != k) continue;
        *status = Failure(it->second.second);
        return true;
    }
    return false;
}

bool MemoryOs::IsOpenForReading(const std::string& path) const {
    return std::any_of(streams.begin(), streams.end(),
                       [&](const Stream* stream) { return stream->path == path; });
}

std::string MemoryOs::PathOf(merge::OutputFile* file) const { return outputs.at(file); }

Status MemoryOs::OpenForReading(const char* path, rw::ByteStream** file) {
    Status status;
    if (Faulted(Call::Open, &status)) return status;
    std::string real;
    ResolveLinks(path, &real);
    auto found = files.find(real);
    if (found == files.end())
        return Failure(folders.count(path)                 ? SystemError::AccessDenied
                       : folders.count(ParentFolder(path)) ? SystemError::FileNotFound
                                                           : SystemError::PathNotFound);
    Stream* stream = new Stream;
    stream->path = real;
    stream->bytes = found->second;
    auto limit = readableUpTo.find(path);
    stream->readable = limit == readableUpTo.end() ? stream->bytes.size() : limit->second;
    auto declared = declaredSize.find(path);
    stream->size = declared == declaredSize.end() ? stream->bytes.size() : declared->second;
    stream->bytesRead = &bytesRead[path];
    ++opens[path];
    streams.insert(stream);
    *file = stream;
    return status;
}

void MemoryOs::Close(rw::ByteStream* file) {
    auto it = streams.find(static_cast<Stream*>(file));
    if (it == streams.end()) {
        ++badCloses;
        return;
    }
    delete *it;
    streams.erase(it);
}

Status MemoryOs::MakeDirectory(const char* path) {
    Status status;
    if (Faulted(Call::MakeDirectory, &status)) return status;
    if (files.count(path)) return Failure(SystemError::FileExists);
    if (!folders.count(ParentFolder(path))) return Failure(SystemError::PathNotFound);
    folders.insert(path);
    return status;
}

Status MemoryOs::CreateNewFile(const char* path, merge::OutputFile** file) {
    Status status;
    if (Faulted(Call::Create, &status)) return status;
    if (files.count(path) || links.count(path)) return Failure(SystemError::FileExists);
    if (folders.count(path)) return Failure(SystemError::AccessDenied);
    if (!folders.count(ParentFolder(path))) return Failure(SystemError::PathNotFound);
    files[path];
    *file = reinterpret_cast<merge::OutputFile*>(static_cast<intptr_t>(nextOutput++));
    outputs[*file] = path;
    trace.push_back("Create " + std::string(path));
    return status;
}

Status MemoryOs::Write(merge::OutputFile* file, const void* data, uint32_t size) {
    Bytes& bytes = files[PathOf(file)];
    const uint8_t* from = static_cast<const uint8_t*>(data);
    Status status;
    const bool faulted = Faulted(Call::Write, &status);
    bytes.insert(bytes.end(), from, from + (faulted ? size / 2 : size));
    trace.push_back("Write " + PathOf(file));
    return status;
}

Status MemoryOs::TakePermissionsOf(merge::OutputFile* file, const char* target) {
    Status status;
    if (Faulted(Call::TakePermissions, &status)) return status;
    trace.push_back("TakePermissions " + PathOf(file) + " " + target);
    return status;
}

Status MemoryOs::Flush(merge::OutputFile* file) {
    Status status;
    if (Faulted(Call::Flush, &status)) return status;
    trace.push_back("Flush " + PathOf(file));
    return status;
}

Status MemoryOs::CloseOutput(merge::OutputFile* file) {
    auto it = outputs.find(file);
    if (it == outputs.end()) {
        ++badCloses;
        return Failure(SystemError::AccessDenied);
    }
    trace.push_back("CloseOutput " + it->second);
    outputs.erase(it);
    Status status;
    Faulted(Call::CloseOutput, &status);
    return status;
}

Status MemoryOs::Replace(const char* temporary, const char* target) {
    Status status;
    if (Faulted(Call::Replace, &status)) return status;
    if (readOnly.count(target)) return Failure(SystemError::AccessDenied);
    if (IsOpenForReading(target)) return Failure(SystemError::SharingViolation);
    auto source = files.find(temporary);
    if (source == files.end()) return Failure(SystemError::FileNotFound);
    Bytes bytes = std::move(source->second);
    files.erase(source);
    files[target] = std::move(bytes);
    trace.push_back("Replace " + std::string(temporary) + " " + target);
    return status;
}

// Traced even when it fails: the order of the calls is what counts.
Status MemoryOs::SyncFolder(const char* folder) {
    trace.push_back("SyncFolder " + std::string(folder));
    Status status;
    Faulted(Call::SyncFolder, &status);
    return status;
}

Status MemoryOs::SyncFileSystem(const char* path) {
    trace.push_back("SyncFileSystem " + std::string(path));
    return {};
}

void MemoryOs::Remove(const char* path) {
    files.erase(path);
    trace.push_back("Remove " + std::string(path));
}

size_t MemoryOs::NameStart(const char* path) {
    const size_t at = std::string(path).find_last_of("\\/");
    return at == std::string::npos ? 0 : at + 1;
}

Status MemoryOs::ResolveLinks(const char* path, std::string* resolved) {
    *resolved = path;
    for (auto link = links.find(*resolved); link != links.end(); link = links.find(*resolved))
        *resolved = link->second;
    return {};
}

Status MemoryOs::FullPath(const char* name, std::string* full) {
    *full = name;
    return {};
}

Status MemoryOs::ListFolder(const char*, std::vector<merge::FolderEntry>*) {
    return Failure(SystemError::AccessDenied);
}

std::string MemoryOs::FileIdentity(const char* path) { return path; }

uint8_t* MemoryOs::AllocateZeroed(size_t size) {
    largestAllocation = std::max(largestAllocation, size);
    Status status;
    if (Faulted(Call::Allocate, &status) || size > (size_t{1} << 30)) return nullptr;
    uint8_t* block = new uint8_t[size ? size : 1]();
    blocks[block] = size;
    ++allocations;
    return block;
}

void MemoryOs::Release(uint8_t* block) {
    auto it = blocks.find(block);
    if (it == blocks.end()) {
        ++doubleReleases;
        return;
    }
    delete[] block;
    blocks.erase(it);
    ++releases;
}

}  // namespace testsupport
