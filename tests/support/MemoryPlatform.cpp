#include "tests/support/MemoryPlatform.h"

#include <algorithm>
#include <cstring>

namespace testsupport {

// A file open for reading: a copy of its bytes at the moment of opening.
struct MemoryPlatform::Stream final : rw::ByteStream {
    std::string path;
    Bytes bytes;
    uint64_t size = 0;
    uint64_t readable = 0;  // reads stop here (the fault of readableUpTo)
    uint64_t position = 0;
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

struct Output {
    std::string path;
};

Output* AsOutput(merge::OutputFile* file) { return reinterpret_cast<Output*>(file); }

const char* ErrorText(SystemError error) {
    switch (error) {
        case SystemError::None:
            return "The operation completed successfully.\r\n";
        case SystemError::FileNotFound:
            return "The system cannot find the file specified.\r\n";
        case SystemError::PathNotFound:
            return "The system cannot find the path specified.\r\n";
        case SystemError::AccessDenied:
            return "Access is denied.\r\n";
        case SystemError::NotEnoughMemory:
            return "Not enough memory resources are available to process this command.\r\n";
        case SystemError::SharingViolation:
            return "The process cannot access the file because it is being used by another "
                   "process.\r\n";
        case SystemError::FileExists:
            return "The file exists.\r\n";
        case SystemError::DiskFull:
            return "There is not enough space on the disk.\r\n";
    }
    return "Unknown error.\r\n";
}

}  // namespace

std::string ParentFolder(const std::string& path) {
    const size_t at = path.find_last_of("\\/");
    return at == std::string::npos ? std::string() : path.substr(0, at);
}

MemoryPlatform::MemoryPlatform() {
    checked = {{1000, false}, {1001, false}, {1015, false}, {1016, false}};
    texts = {{1004, "64"}, {1007, "64"}, {1010, "64"}, {1013, "255"}};
    enabled = {{1016, true}};
}

MemoryPlatform::~MemoryPlatform() {
    // Whatever the code under test leaked is freed here, so that the tests
    // and the fuzzer run clean; the counters have already told.
    for (Stream* stream : streams) delete stream;
    for (auto& output : outputs) delete AsOutput(output.first);
    for (auto& block : blocks) delete[] block.first;
}

void MemoryPlatform::FailCall(Operation op, int k, SystemError error) {
    faults.insert({static_cast<int>(op), Fault{k, error}});
}

bool MemoryPlatform::Faulted(Operation op) {
    const int index = static_cast<int>(op);
    const int k = ++calls[index];
    auto range = faults.equal_range(index);
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second.k == k) {
            lastError = it->second.error;
            return true;
        }
    }
    return false;
}

bool MemoryPlatform::FolderExists(const std::string& path) const {
    if (path.empty() || folders.count(path)) return true;
    for (const auto& file : files)
        if (file.first.size() > path.size() && file.first.compare(0, path.size(), path) == 0 &&
            (file.first[path.size()] == '\\' || file.first[path.size()] == '/'))
            return true;
    for (const auto& folder : folders)
        if (ParentFolder(folder) == path) return true;
    return false;
}

bool MemoryPlatform::IsOpenForReading(const std::string& path) const {
    for (const Stream* stream : streams)
        if (stream->path == path) return true;
    return false;
}

rw::ByteStream* MemoryPlatform::OpenForReading(const char* path) {
    if (Faulted(Operation::Open)) return nullptr;
    auto file = files.find(path);
    if (file == files.end()) {
        lastError = folders.count(path)                ? SystemError::AccessDenied
                    : FolderExists(ParentFolder(path)) ? SystemError::FileNotFound
                                                       : SystemError::PathNotFound;
        return nullptr;
    }
    Stream* stream = new Stream;
    stream->path = path;
    stream->bytes = file->second;
    auto limit = readableUpTo.find(path);
    stream->readable = limit == readableUpTo.end() ? stream->bytes.size() : limit->second;
    auto declared = declaredSize.find(path);
    stream->size = declared == declaredSize.end() ? stream->bytes.size() : declared->second;
    stream->bytesRead = &bytesRead[path];
    ++opensForReading[path];
    streams.insert(stream);
    return stream;
}

void MemoryPlatform::Close(rw::ByteStream* file) {
    auto it = streams.find(static_cast<Stream*>(file));
    if (it == streams.end()) {
        ++badCloses;
        return;
    }
    delete *it;
    streams.erase(it);
}

void MemoryPlatform::MakeDirectory(const char* path) {
    if (Faulted(Operation::MakeDirectory)) return;
    if (files.count(path) || !FolderExists(ParentFolder(path))) return;
    folders.insert(path);
}

merge::OutputFile* MemoryPlatform::CreateNewFile(const char* path) {
    if (Faulted(Operation::Create)) return nullptr;
    if (files.count(path) || folders.count(path)) {
        lastError = files.count(path) ? SystemError::FileExists : SystemError::AccessDenied;
        return nullptr;
    }
    if (!FolderExists(ParentFolder(path))) {
        lastError = SystemError::PathNotFound;
        return nullptr;
    }
    files[path];
    Output* output = new Output{path};
    merge::OutputFile* handle = reinterpret_cast<merge::OutputFile*>(output);
    outputs[handle] = path;
    return handle;
}

bool MemoryPlatform::Write(merge::OutputFile* file, const void* data, uint32_t size) {
    Bytes& bytes = files[AsOutput(file)->path];
    const uint8_t* from = static_cast<const uint8_t*>(data);
    if (Faulted(Operation::Write)) {
        bytes.insert(bytes.end(), from, from + size / 2);
        return false;
    }
    bytes.insert(bytes.end(), from, from + size);
    return true;
}

bool MemoryPlatform::CloseOutput(merge::OutputFile* file) {
    auto it = outputs.find(file);
    if (it == outputs.end()) {
        ++badCloses;
        return false;
    }
    delete AsOutput(file);
    outputs.erase(it);
    return !Faulted(Operation::CloseOutput);
}

bool MemoryPlatform::MoveFileOver(const char* from, const char* to) {
    if (Faulted(Operation::Replace)) return false;
    if (readOnly.count(to)) {
        lastError = SystemError::AccessDenied;
        return false;
    }
    if (IsOpenForReading(to)) {
        lastError = SystemError::SharingViolation;
        return false;
    }
    auto source = files.find(from);
    if (source == files.end()) {
        lastError = SystemError::FileNotFound;
        return false;
    }
    Bytes bytes = std::move(source->second);
    files.erase(source);
    files[to] = std::move(bytes);
    return true;
}

void MemoryPlatform::RemoveFile(const char* path) {
    files.erase(path);
    deleted.push_back(path);
}

uint8_t* MemoryPlatform::AllocateZeroed(size_t size) {
    largestAllocation = std::max(largestAllocation, size);
    if (Faulted(Operation::Allocate)) return nullptr;
    if (size > allocationLimit) {
        lastError = SystemError::NotEnoughMemory;
        return nullptr;
    }
    uint8_t* block = new uint8_t[size ? size : 1]();
    blocks[block] = size;
    ++allocations;
    return block;
}

void MemoryPlatform::Release(uint8_t* block) {
    auto it = blocks.find(block);
    if (it == blocks.end()) {
        ++doubleReleases;
        return;
    }
    delete[] block;
    blocks.erase(it);
    ++releases;
}

bool MemoryPlatform::IsChecked(int controlId) { return checked[controlId]; }

void MemoryPlatform::ControlText(int controlId, char* buffer, int size) {
    if (size <= 0) return;
    const std::string& text = texts[controlId];
    const size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

void MemoryPlatform::EnableControl(int controlId, bool value) { enabled[controlId] = value; }

void MemoryPlatform::AppendLog(const char* text) { log += text; }

std::string MemoryPlatform::LastErrorText() { return ErrorText(lastError); }

}  // namespace testsupport
