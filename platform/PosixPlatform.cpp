#include "platform/PosixPlatform.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A file open for reading, as the chunk reader's stream.
struct PosixFile final : rw::ByteStream {
    explicit PosixFile(int descriptor) : fd(descriptor) {}

    uint32_t Read(void* buffer, uint32_t count) override {
        uint32_t done = 0;
        while (done < count) {
            ssize_t n = read(fd, static_cast<char*>(buffer) + done, count - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<uint32_t>(n);
        }
        return done;
    }

    bool Seek(int64_t distance, rw::SeekFrom from, uint64_t* newPosition) override {
        off_t position = lseek(fd, static_cast<off_t>(distance),
                               from == rw::SeekFrom::Start ? SEEK_SET : SEEK_CUR);
        if (position < 0) return false;  // before the start: lseek leaves it
        if (newPosition) *newPosition = static_cast<uint64_t>(position);
        return true;
    }

    uint64_t Size() override {
        struct stat status;
        return fstat(fd, &status) == 0 ? static_cast<uint64_t>(status.st_size) : 0;
    }

    int fd;
};

struct PosixOutput {
    int fd;
};

PosixOutput* AsOutput(merge::OutputFile* file) { return reinterpret_cast<PosixOutput*>(file); }

// Read-only for everyone: refused even where access() would let root write,
// as the other platform refuses a read-only file to everyone.
bool IsReadOnly(const char* path, const struct stat& status) {
    return access(path, W_OK) != 0 || (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

// The whole model is read into one block: on a model of a hundred megabytes,
// faulting its pages in one by one took half the time of the read. Only
// advice, and only where the system has huge pages.
void AskForHugePages(void* block, size_t size) {
#ifdef MADV_HUGEPAGE
    constexpr size_t LargeBlock = size_t{4} << 20;
    if (size < LargeBlock) return;
    const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    uintptr_t start = (reinterpret_cast<uintptr_t>(block) + page - 1) & ~(page - 1);
    uintptr_t end = (reinterpret_cast<uintptr_t>(block) + size) & ~(page - 1);
    madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
    (void)block;
    (void)size;
#endif
}

}  // namespace

rw::ByteStream* PosixPlatform::OpenForReading(const char* path) {
    // Non-blocking, so that a FIFO is refused instead of waiting for a writer.
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        lastError = errno;
        return nullptr;
    }
    struct stat status;
    int error = fstat(fd, &status) != 0 ? errno
                : S_ISDIR(status.st_mode) ? EISDIR
                : !S_ISREG(status.st_mode) ? EINVAL
                : 0;
    if (error != 0) {
        lastError = error;
        close(fd);
        return nullptr;
    }
    return new PosixFile(fd);
}

void PosixPlatform::Close(rw::ByteStream* file) {
    auto* posixFile = static_cast<PosixFile*>(file);
    close(posixFile->fd);
    delete posixFile;
}

void PosixPlatform::MakeDirectory(const char* path) { mkdir(path, 0777); }

merge::OutputFile* PosixPlatform::CreateNewFile(const char* path) {
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        lastError = errno;
        return nullptr;
    }
    return reinterpret_cast<merge::OutputFile*>(new PosixOutput{fd});
}

bool PosixPlatform::Write(merge::OutputFile* file, const void* data, uint32_t size) {
    const char* bytes = static_cast<const char*>(data);
    uint32_t done = 0;
    while (done < size) {
        ssize_t n = write(AsOutput(file)->fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            lastError = n < 0 ? errno : EIO;
            return false;
        }
        done += static_cast<uint32_t>(n);
    }
    return true;
}

bool PosixPlatform::CloseOutput(merge::OutputFile* file) {
    PosixOutput* output = AsOutput(file);
    // Not retried on EINTR: the descriptor is gone either way on Linux.
    bool closed = close(output->fd) == 0;
    if (!closed) lastError = errno;
    delete output;
    return closed;
}

bool PosixPlatform::MoveFileOver(const char* from, const char* to) {
    struct stat target;
    if (stat(to, &target) == 0) {
        if (IsReadOnly(to, target)) {
            lastError = EACCES;
            return false;
        }
        // The merged model keeps the permissions of the model it replaces.
        if (chmod(from, target.st_mode & 07777) != 0) {
            lastError = errno;
            return false;
        }
    }
    if (rename(from, to) != 0) {
        lastError = errno;
        return false;
    }
    return true;
}

void PosixPlatform::RemoveFile(const char* path) { unlink(path); }

uint8_t* PosixPlatform::AllocateZeroed(size_t size) {
    // One byte at least: an empty block is still a block, not a failure.
    void* block = std::calloc(size ? size : 1, 1);
    if (!block) lastError = errno;
    if (block) AskForHugePages(block, size);
    return static_cast<uint8_t*>(block);
}

void PosixPlatform::Release(uint8_t* block) { std::free(block); }

std::string PosixPlatform::LastErrorText() {
    return std::string(std::strerror(lastError)) + "\r\n";
}
