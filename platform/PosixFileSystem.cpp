// The file-system layer on POSIX systems, behaving as the Windows backend does wherever the
// engine or the target list could tell the difference.
#include "platform/FileSystem.h"
#include "platform/PosixHandles.h"
#include "framework/Exception.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <utility>

namespace {

constexpr std::uint32_t kAttrArchive = 0x20;

class PosixFileStream final : public FileStream {
public:
    explicit PosixFileStream(Fd fd) : FFd(std::move(fd)) {}

    bool IsDiskFile() override {
        struct stat status;
        return fstat(FFd.Get(), &status) == 0 && S_ISREG(status.st_mode);
    }

    bool Write(const void* data, std::size_t size) override {
        const char* next = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t written = write(FFd.Get(), next, size);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
            next += written;
            size -= static_cast<std::size_t>(written);
        }
        return true;
    }

    bool Flush() override { return fsync(FFd.Get()) == 0; }
    bool Close() override { return FFd.Reset(); }

private:
    Fd FFd;
};

// Opens with the equivalent of Windows' share mode 0: an exclusive lock on the open file,
// which fails while any other open of the file (in this process or another) holds one.
Fd OpenExclusive(const std::string& path, int flags, mode_t mode = 0) {
    // Non-blocking, so that opening a FIFO without a writer returns at once.
    Fd fd(open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, mode));
    if (!fd || flock(fd.Get(), LOCK_EX | LOCK_NB) != 0)
        return Fd();
    const int status = fcntl(fd.Get(), F_GETFL);
    if (status == -1 || fcntl(fd.Get(), F_SETFL, status & ~O_NONBLOCK) == -1)
        return Fd();
    return fd;
}

std::unique_ptr<FileStream> MakeFileStream(Fd fd) {
    if (!fd)
        return nullptr;
    return std::make_unique<PosixFileStream>(std::move(fd));
}

// What Wine shows for the same entry: a link keeps the attributes of what it points to and
// adds the reparse-point bit, so a link to a folder is both a folder and a link.
std::uint32_t AttributesOf(const std::string& path) {
    struct stat link;
    if (lstat(path.c_str(), &link) != 0)
        return kInvalidAttributes;
    std::uint32_t attributes = 0;
    struct stat target = link;
    if (S_ISLNK(link.st_mode)) {
        attributes |= kAttrReparsePoint;
        if (stat(path.c_str(), &target) != 0)
            return attributes | kAttrArchive; // dangling
    }
    attributes |= S_ISDIR(target.st_mode) ? kAttrDirectory : kAttrArchive;
    if ((target.st_mode & S_IWUSR) == 0)
        attributes |= kAttrReadOnly;
    return attributes;
}

std::string AbsolutePath(const std::string& path) {
    if (!path.empty() && path.front() == '/')
        return path;
    const std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
    if (!cwd)
        return {};
    return std::string(cwd.get()) + "/" + path;
}

class PosixFileSystem final : public FileSystem {
public:
    bool IsRegularFile(const std::string& path) override {
        // Rejected as on Windows, where a lookup would take them as wildcards.
        if (path.find_first_of("*?") != std::string::npos)
            return false;
        struct stat status;
        if (stat(path.c_str(), &status) != 0 || S_ISDIR(status.st_mode))
            return false;
        // Windows counts only files whose time fits a DOS date.
        struct tm local;
        if (localtime_r(&status.st_mtime, &local) == nullptr)
            return false;
        const int year = local.tm_year + 1900;
        return year >= 1980 && year <= 2107;
    }

    bool IsDirectory(const std::string& path) override {
        struct stat status;
        return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
    }

    std::uint32_t GetAttributes(const std::string& path) override { return AttributesOf(path); }

    // Only the read-only bit has a POSIX counterpart: the owner's write permission.
    bool SetAttributes(const std::string& path, std::uint32_t attributes) override {
        struct stat status;
        if (stat(path.c_str(), &status) != 0)
            return false;
        mode_t mode = status.st_mode & 07777;
        if ((attributes & kAttrReadOnly) != 0)
            mode &= ~static_cast<mode_t>(S_IWUSR);
        else
            mode |= S_IWUSR;
        return chmod(path.c_str(), mode) == 0;
    }

    std::int64_t FileLength(const std::string& path) override {
        const Fd fd = OpenExclusive(path, O_RDONLY);
        struct stat status;
        // Windows will not open a folder as a file; open(2) would.
        if (!fd || fstat(fd.Get(), &status) != 0 || S_ISDIR(status.st_mode))
            throw Exception("Cannot open file " + path);
        return status.st_size;
    }

    std::unique_ptr<FileStream> OpenReadWrite(const std::string& path) override {
        return MakeFileStream(OpenExclusive(path, O_RDWR));
    }

    std::unique_ptr<FileStream> Create(const std::string& path) override {
        // Truncated only once the lock is held, and only a regular file: a file that someone
        // else holds, or a device, must come through untouched.
        // Never through a symbolic link: a dangling one would have the passes fill a file
        // somewhere else, and the deletion remove only the link.
        Fd fd = OpenExclusive(path, O_RDWR | O_CREAT | O_NOFOLLOW, 0666);
        struct stat status;
        if (!fd || fstat(fd.Get(), &status) != 0)
            return nullptr;
        if (S_ISREG(status.st_mode) && ftruncate(fd.Get(), 0) != 0)
            return nullptr;
        return MakeFileStream(std::move(fd));
    }

    bool Delete(const std::string& path) override { return unlink(path.c_str()) == 0; }

    // No drive letters here: the file system that would hold `path` is the nearest folder
    // on its way up that exists.
    std::int64_t FreeSpace(std::uint8_t, const std::string& path) override {
        std::string folder = AbsolutePath(path);
        while (!folder.empty()) {
            struct stat status;
            if (stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
                struct statvfs volume;
                if (statvfs(folder.c_str(), &volume) != 0)
                    return -1;
                const auto available = static_cast<unsigned long long>(volume.f_bavail) *
                                       static_cast<unsigned long long>(volume.f_frsize);
                return static_cast<std::int64_t>(std::min<unsigned long long>(
                    available, std::numeric_limits<std::int64_t>::max()));
            }
            if (folder == "/")
                break;
            while (folder.size() > 1 && folder.back() == '/')
                folder.pop_back();
            const std::size_t slash = folder.rfind('/');
            folder.erase(slash == 0 ? 1 : slash);
        }
        return -1;
    }

    bool ListDirectory(const std::string& dir,
                       const std::function<void(const DirectoryEntry&)>& visit) override {
        const DirStream stream(opendir(dir.c_str()));
        if (!stream)
            return false;
        for (;;) {
            errno = 0; // readdir tells the end from a failure only through errno
            const dirent* entry = readdir(stream.Get());
            if (entry == nullptr)
                return errno == 0;
            const std::uint32_t attributes = AttributesOf(dir + entry->d_name);
            if (attributes == kInvalidAttributes)
                continue; // gone since the folder was read
            visit(DirectoryEntry{entry->d_name, attributes});
        }
    }

    char Delimiter() const override { return '/'; }
};

} // namespace

FileSystem& SystemFileSystem() {
    static PosixFileSystem instance;
    return instance;
}
