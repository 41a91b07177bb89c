#include "platform/SystemOs.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

using merge::Status;

// A file open for reading, as the chunk reader's stream. The chunk reader
// reads fields of a few bytes here and there: they come from one read ahead
// of them, and the position is ours, so neither costs a call of its own.
// Large reads go straight into their buffer.
struct PosixFile final : rw::ByteStream {
    PosixFile(int descriptor, uint64_t bytes) : fd(descriptor), size(bytes) {}

    uint32_t Read(void* buffer, uint32_t count) override {
        char* out = static_cast<char*>(buffer);
        uint32_t done = 0;
        while (done < count) {
            if (position >= aheadStart && position < aheadStart + ahead.size()) {
                const uint64_t available = aheadStart + ahead.size() - position;
                const uint32_t n =
                    static_cast<uint32_t>(std::min<uint64_t>(available, count - done));
                std::memcpy(out + done, ahead.data() + (position - aheadStart), n);
                done += n;
                position += n;
            } else if (count - done >= ReadAhead) {
                const uint32_t n = ReadAt(out + done, count - done);
                done += n;
                if (n == 0) break;
            } else if (!Refill()) {
                break;
            }
        }
        return done;
    }

    bool Seek(int64_t distance, rw::SeekFrom from, uint64_t* newPosition) override {
        return rw::MovePosition(position, distance, from, newPosition);
    }

    uint64_t Size() override { return size; }

    static constexpr uint32_t ReadAhead = 64 * 1024;

    // Reads at the position; 0 at the end or on a failure.
    uint32_t ReadAt(char* out, uint32_t count) {
        for (;;) {
            const ssize_t n = pread(fd, out, count, static_cast<off_t>(position));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return 0;
            position += static_cast<uint64_t>(n);
            return static_cast<uint32_t>(n);
        }
    }

    bool Refill() {
        ahead.resize(ReadAhead);
        const uint64_t start = position;
        const uint32_t n = ReadAt(ahead.data(), ReadAhead);
        position = start;
        aheadStart = start;
        ahead.resize(n);
        return n > 0;
    }

    int fd;
    uint64_t size;
    uint64_t position = 0;
    std::vector<char> ahead;
    uint64_t aheadStart = 0;
};

struct PosixOutput {
    int fd;
};

PosixOutput* AsOutput(merge::OutputFile* file) { return reinterpret_cast<PosixOutput*>(file); }

Status LastError() { return PosixError(errno); }

// Read-only for everyone: refused even where access() would let root write,
// as the other system refuses a read-only file to everyone.
bool IsReadOnly(const char* path, const struct stat& status) {
    return access(path, W_OK) != 0 || (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

// A block holds a geometry's colours or a preview's points, megabytes for a
// geometry of millions of vertices: one that large is asked for huge pages,
// so that its pages are not faulted in one by one. Only advice, and only
// where the system has huge pages.
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

// The system's umask, read once: reading it means setting it.
mode_t ProcessUmask() {
    static const mode_t mask = [] {
        const mode_t old = umask(022);
        umask(old);
        return old;
    }();
    return mask;
}

// Syncs whatever fd names, then closes it.
Status SyncAndClose(int fd) {
    Status status = fsync(fd) == 0 ? Status{} : LastError();
    close(fd);
    return status;
}

}  // namespace

Status PosixError(int code) {
    // strerror may share its buffer between threads; the batch runs several.
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    merge::Problem problem = merge::Problem::Other;
    if (code == ENOSPC || code == EDQUOT) problem = merge::Problem::OutOfSpace;
    if (code == ENOENT || code == ENOTDIR) problem = merge::Problem::Absent;
    return Status{true, static_cast<uint32_t>(code), std::string(std::strerror(code)) + "\r\n",
                  problem};
}

PosixOs::PosixOs() : newFileMode(0666 & ~ProcessUmask()) {}

namespace {

// A FIFO, a device or a socket: never a model, whatever its name.
bool IsNoDiskFile(const struct stat& status) {
    return !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode);
}

Status NotADiskFile() {
    return Status{true, ENODEV, std::strerror(ENODEV), merge::Problem::NotADiskFile};
}

}  // namespace

Status PosixOs::OpenForReading(const char* path, rw::ByteStream** file) {
    // Refused before it is opened (opening some devices does something),
    // and once more after, should the name have been given to one meanwhile:
    // opened without blocking, so that a FIFO cannot wait for a writer.
    struct stat status;
    if (stat(path, &status) == 0 && IsNoDiskFile(status)) return NotADiskFile();
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return LastError();
    const int error = fstat(fd, &status) != 0 ? errno : S_ISDIR(status.st_mode) ? EISDIR : 0;
    if (error != 0 || IsNoDiskFile(status)) {
        close(fd);
        return error != 0 ? PosixError(error) : NotADiskFile();
    }
    *file = new PosixFile(fd, static_cast<uint64_t>(status.st_size));
    return {};
}

namespace {

// Whether a save of the same size, made since now, could leave the file's
// time as it is: where times are whole seconds (2 on some file systems),
// or as recent as the kernel's clock tick.
bool Racy(const struct timespec& modified) {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    const int64_t granularity = modified.tv_nsec == 0 ? int64_t{2000000000} : 20000000;
    const int64_t age = (int64_t{now.tv_sec} - modified.tv_sec) * 1000000000 +
                        (now.tv_nsec - modified.tv_nsec);
    return age < granularity;
}

Status Stamped(const struct stat& status, merge::FileStamp* stamp) {
    stamp->device = static_cast<uint64_t>(status.st_dev);
    stamp->index = static_cast<uint64_t>(status.st_ino);
    stamp->size = static_cast<uint64_t>(status.st_size);
    stamp->modified = int64_t{status.st_mtim.tv_sec} * 1000000000 + status.st_mtim.tv_nsec;
    stamp->changed = int64_t{status.st_ctim.tv_sec} * 1000000000 + status.st_ctim.tv_nsec;
    stamp->kind = S_ISREG(status.st_mode)   ? merge::FileKind::File
                  : S_ISDIR(status.st_mode) ? merge::FileKind::Folder
                  : S_ISLNK(status.st_mode) ? merge::FileKind::Link
                                            : merge::FileKind::Other;
    stamp->racy = Racy(status.st_mtim);
    return {};
}

}  // namespace

Status PosixOs::StampOf(rw::ByteStream* file, merge::FileStamp* stamp) {
    struct stat status;
    if (fstat(static_cast<PosixFile*>(file)->fd, &status) != 0) return LastError();
    return Stamped(status, stamp);
}

Status PosixOs::StampAt(const char* path, merge::FileStamp* stamp) {
    struct stat status;
    if (stat(path, &status) != 0) return LastError();
    return Stamped(status, stamp);
}

Status PosixOs::StampOfName(const char* path, merge::FileStamp* stamp) {
    struct stat status;
    if (lstat(path, &status) != 0) return LastError();
    return Stamped(status, stamp);
}

void PosixOs::Close(rw::ByteStream* file) {
    auto* posixFile = static_cast<PosixFile*>(file);
    close(posixFile->fd);
    delete posixFile;
}

Status PosixOs::MakeDirectory(const char* path, bool* made) {
    *made = mkdir(path, 0777) == 0;
    if (*made) return {};
    const int error = errno;
    struct stat status;
    if (error == EEXIST && stat(path, &status) == 0 && S_ISDIR(status.st_mode)) return {};
    return PosixError(error);
}

Status PosixOs::CreateNewFile(const char* path, merge::OutputFile** file) {
    // Never an existing file nor a link that someone put in its place, and
    // readable by us only until it has the target's permissions.
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return LastError();
    *file = reinterpret_cast<merge::OutputFile*>(new PosixOutput{fd});
    return {};
}

Status PosixOs::Write(merge::OutputFile* file, const void* data, uint32_t size) {
    const char* bytes = static_cast<const char*>(data);
    uint32_t done = 0;
    while (done < size) {
        ssize_t n = write(AsOutput(file)->fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? LastError() : PosixError(EIO);
        done += static_cast<uint32_t>(n);
    }
    return {};
}

// Through the descriptor, never by path: a path can be made to name another
// file in the meantime.
Status PosixOs::TakePermissionsOf(merge::OutputFile* file, const char* target) {
    const int fd = AsOutput(file)->fd;
    struct stat wanted;
    if (!target || stat(target, &wanted) != 0) {
        if (target && errno != ENOENT) return LastError();
        return fchmod(fd, newFileMode) == 0 ? Status{} : LastError();
    }
    // Owner and group where we may give them (root may; an owner may give a
    // group it belongs to); otherwise they stay ours.
    if (fchown(fd, wanted.st_uid, wanted.st_gid) != 0) (void)fchown(fd, -1, wanted.st_gid);
    struct stat got;
    if (fstat(fd, &got) != 0) return LastError();
    mode_t mode = wanted.st_mode & 07777;
    // A set-ID bit is worth only the owner or group it was set for.
    if (got.st_uid != wanted.st_uid) mode &= ~S_ISUID;
    if (got.st_gid != wanted.st_gid) mode &= ~S_ISGID;
    return fchmod(fd, mode) == 0 ? Status{} : LastError();
}

int RenameWithFlags(const char* from, const char* to, unsigned flags) {
#ifdef RENAME_EXCHANGE
    return renameat2(AT_FDCWD, from, AT_FDCWD, to, flags);
#else
    (void)from, (void)to, (void)flags;
    errno = ENOSYS;
    return -1;
#endif
}

ssize_t CopyFileRange(int from, off64_t* fromOffset, int to, off64_t* toOffset, size_t length,
                      unsigned flags) {
#ifdef __linux__
    return copy_file_range(from, fromOffset, to, toOffset, length, flags);
#else
    (void)from, (void)fromOffset, (void)to, (void)toOffset, (void)length, (void)flags;
    errno = ENOSYS;
    return -1;
#endif
}

Status PosixOs::CopyRange(rw::ByteStream* from, uint64_t offset, uint64_t length,
                          merge::OutputFile* file, uint64_t* copied) {
    // At most a gigabyte a call (the system copies little more at once); the
    // caller asks again after a short copy.
    constexpr uint64_t Most = uint64_t{1} << 30;
    off64_t at = static_cast<off64_t>(offset);
    *copied = 0;
    for (;;) {
        const ssize_t n = copyFileRange(static_cast<PosixFile*>(from)->fd, &at, AsOutput(file)->fd,
                                        nullptr, static_cast<size_t>(std::min(length, Most)), 0);
        if (n >= 0) {
            *copied = static_cast<uint64_t>(n);
            return {};
        }
        if (errno == EINTR) continue;
        // The file systems cannot copy between these files so: the caller
        // copies through a buffer of its own.
        if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) return {};
        return LastError();
    }
}

Status PosixOs::Flush(merge::OutputFile* file) {
    return fsync(AsOutput(file)->fd) == 0 ? Status{} : LastError();
}

Status PosixOs::CloseOutput(merge::OutputFile* file) {
    PosixOutput* output = AsOutput(file);
    // Not retried on EINTR: the descriptor is gone either way on Linux.
    const Status status = close(output->fd) == 0 ? Status{} : LastError();
    delete output;
    return status;
}

namespace {

// Read-only for everyone is refused, as the other system refuses it.
Status Writable(const char* target) {
    struct stat status;
    if (stat(target, &status) == 0 && IsReadOnly(target, status)) return PosixError(EACCES);
    return {};
}

// A rename with flags: Unsupported where the kernel or the file system
// has none, Exists where the name is taken.
Status Renamed(int result) {
    if (result == 0) return {};
    const int code = errno;
    Status status = PosixError(code);
    if (code == EINVAL || code == ENOSYS || code == ENOTSUP || code == EOPNOTSUPP)
        status.problem = merge::Problem::Unsupported;
    if (code == EEXIST) status.problem = merge::Problem::Exists;
    return status;
}

}  // namespace

Status PosixOs::Replace(const char* temporary, const char* target) {
    const Status writable = Writable(target);
    if (!writable.ok()) return writable;
    return rename(temporary, target) == 0 ? Status{} : LastError();
}

Status PosixOs::Exchange(const char* temporary, const char* target) {
    const Status writable = Writable(target);
    if (!writable.ok()) return writable;
#ifdef RENAME_EXCHANGE
    return Renamed(renameWithFlags(temporary, target, RENAME_EXCHANGE));
#else
    return Renamed((errno = ENOSYS, -1));
#endif
}

Status PosixOs::MoveNew(const char* temporary, const char* target) {
#ifdef RENAME_NOREPLACE
    return Renamed(renameWithFlags(temporary, target, RENAME_NOREPLACE));
#else
    return Renamed((errno = ENOSYS, -1));
#endif
}

Status PosixOs::SyncFolder(const char* folder) {
    const int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return fd < 0 ? LastError() : SyncAndClose(fd);
}

Status PosixOs::SyncFileSystem(const char* path) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return LastError();
#ifdef __linux__
    Status status = syncfs(fd) == 0 ? Status{} : LastError();
    close(fd);
    return status;
#else
    sync();  // everything: slower, but no less sure
    return SyncAndClose(fd);
#endif
}

void PosixOs::Remove(const char* path) { unlink(path); }

void PosixOs::RemoveFolder(const char* path) { rmdir(path); }

Status PosixOs::Interrupted() { return PosixError(EINTR); }

size_t PosixOs::NameStart(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash ? static_cast<size_t>(slash - path) + 1 : 0;
}

Status PosixOs::ResolveLinks(const char* path, std::string* resolved) {
    struct stat status;
    if (lstat(path, &status) != 0 || !S_ISLNK(status.st_mode)) {
        *resolved = path;
        return {};
    }
    char* real = realpath(path, nullptr);
    if (!real) return LastError();
    *resolved = real;
    std::free(real);
    return {};
}

Status PosixOs::FullPath(const char* name, std::string* full) {
    std::string joined = name;
    if (name[0] != '/') {
        // Of any length (POSIX leaves a null buffer open; the C libraries of
        // Linux and the BSDs allocate one).
        char* folder = getcwd(nullptr, 0);
        if (!folder) return LastError();
        joined = std::string(folder) + "/" + name;
        std::free(folder);
    }
    // Without "." parts and repeated separators; "..", which links make
    // meaningful, stays.
    full->clear();
    for (size_t at = 0; at < joined.size();) {
        size_t end = joined.find('/', at);
        if (end == std::string::npos) end = joined.size();
        const std::string part = joined.substr(at, end - at);
        if (!part.empty() && part != ".") *full += "/" + part;
        at = end + 1;
    }
    if (full->empty()) *full = "/";
    return {};
}

Status PosixOs::ListFolder(const char* path, std::vector<merge::FolderEntry>* entries) {
    DIR* folder = opendir(path);
    if (!folder) return LastError();
    const std::string prefix = std::string(path) + (path[std::strlen(path) - 1] == '/' ? "" : "/");
    for (;;) {
        errno = 0;  // readdir's only way to tell the end from a failure
        const dirent* entry = readdir(folder);
        if (!entry) break;
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        // A link to a folder is not gone into, so a link to its own parent
        // cannot make a walk endless.
        struct stat status;
        const bool isFolder =
            lstat((prefix + name).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
        entries->push_back({name, isFolder});
    }
    const int error = errno;
    closedir(folder);
    return error == 0 ? Status{} : PosixError(error);
}

uint8_t* PosixOs::AllocateZeroed(size_t size) {
    // One byte at least: an empty block is still a block, not a failure.
    void* block = std::calloc(size ? size : 1, 1);
    if (block) AskForHugePages(block, size);
    return static_cast<uint8_t*>(block);
}

void PosixOs::Release(uint8_t* block) { std::free(block); }
