// The file-system layer on POSIX systems, behaving as the Windows backend does wherever the
// engine or the target list could tell the difference.
#include "platform/FileSystem.h"
#include "platform/PosixHandles.h"
#include "framework/Exception.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <linux/openat2.h>
#include <memory>
#include <string>
#include <tuple>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <utility>

namespace {

constexpr std::uint32_t kAttrArchive = 0x20;

// Asks only for what it needs. Asking for a time stamp makes this kernel give the file a
// fine-grained one on its next write, and every pass of a small file then costs extra
// journal commits.
bool Status(int dir, const char* path, int flags, unsigned mask, struct statx& status) {
    return statx(dir, path, flags | AT_STATX_SYNC_AS_STAT, mask, &status) == 0 &&
           (status.stx_mask & mask) == mask;
}

bool Status(const std::string& path, unsigned mask, struct statx& status) {
    return Status(AT_FDCWD, path.c_str(), 0, mask, status);
}

// The inode's generation, which ext4 changes whenever it gives the number to a new file (a
// birth time can repeat: it comes from a coarse clock). 0 where the file system has none.
std::uint64_t GenerationOf(int fd) {
    int generation = 0;
    return ioctl(fd, FS_IOC_GETVERSION, &generation) == 0 ? static_cast<unsigned>(generation) : 0;
}

FileId IdOf(const struct statx& status, std::uint64_t generation) {
    return {true, makedev(status.stx_dev_major, status.stx_dev_minor), status.stx_ino, generation};
}

// open(2) that refuses a symbolic link anywhere on the path (ELOOP), in one step.
int OpenWithoutLinks(int dir, const std::string& path, int flags, mode_t mode = 0) {
    open_how how{};
    how.flags = static_cast<std::uint64_t>(flags | O_CLOEXEC);
    how.mode = (flags & O_CREAT) != 0 ? mode : 0;
    how.resolve = RESOLVE_NO_SYMLINKS;
    for (;;) {
        const long fd = syscall(SYS_openat2, dir, path.c_str(), &how, sizeof how);
        if (fd >= 0 || errno != EINTR)
            return static_cast<int>(fd);
    }
}

FileId IdOfDescriptor(int fd) {
    struct statx status;
    return Status(fd, "", AT_EMPTY_PATH, STATX_INO, status) ? IdOf(status, GenerationOf(fd))
                                                            : FileId{};
}

// "dir/name" -> {"dir/", "name"}; "name" -> {"", "name"}.
std::pair<std::string, std::string> SplitName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {"", path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// Removes the name only while it is the file `id`. The folder is held while the name in it is
// checked and removed, so no link put on the way meanwhile can send the removal elsewhere; a
// link at the name is a file of its own, never the one passed.
bool RemoveName(const std::string& path, const FileId& id) {
    const auto [folder, name] = SplitName(path);
    if (!id.known || name.empty())
        return false;
    const Fd dir(folder.empty() ? Fd()
                                : Fd(OpenWithoutLinks(AT_FDCWD, folder, O_PATH | O_DIRECTORY)));
    if (!folder.empty() && !dir)
        return false;
    const int at = folder.empty() ? AT_FDCWD : dir.Get();
    struct statx status;
    // The number is enough here: the file `id` is still open, so no new file can have it.
    return Status(at, name.c_str(), AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_INO, status) &&
           S_ISREG(status.stx_mode) && IdOf(status, id.generation) == id &&
           unlinkat(at, name.c_str(), 0) == 0;
}

class PosixFileStream final : public FileStream {
public:
    // path: the name it was opened by. lock: a descriptor of the same file that holds its
    // lock, where this one was opened again from it. restore: the mode to put back when the
    // stream closes without deleting the file.
    // An empty path: the file has no name any more.
    PosixFileStream(Fd fd, std::string path, Fd lock = Fd(), int restore = -1)
        : FFd(std::move(fd)), FLock(std::move(lock)), FPath(std::move(path)), FFirstPath(FPath),
          FRestore(restore) {}
    ~PosixFileStream() override { Close(); }

    bool IsDiskFile() override {
        struct statx status;
        return Status(FFd.Get(), "", AT_EMPTY_PATH, STATX_TYPE, status) && S_ISREG(status.stx_mode);
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
    bool Rewind() override { return lseek(FFd.Get(), 0, SEEK_SET) == 0; }
    bool Close() override {
        if (FFd && FRestore >= 0)
            fchmod(FFd.Get(), static_cast<mode_t>(FRestore));
        FRestore = -1;
        FLock.Reset();
        // A file whose name is removed is gone, whatever closing it says.
        return FFd.Reset() || FDeleted;
    }

    FileId Id() override { return IdOfDescriptor(FFd.Get()); }
    std::int64_t Length() override {
        struct statx status;
        return Status(FFd.Get(), "", AT_EMPTY_PATH, STATX_SIZE, status)
                   ? static_cast<std::int64_t>(status.stx_size)
                   : -1;
    }
    bool HideName() override {
        const bool emptied = ftruncate(FFd.Get(), 0) == 0 && fsync(FFd.Get()) == 0;
        if (FPath.empty())
            return emptied;
        // Twice, as on Windows: where a rename leaves the old entry behind, the second one
        // may write over it. Each rename checks the name first.
        const std::string name = SplitName(FPath).second;
        bool renamed = false;
        for (int round = 0; round < 2; ++round)
            for (char letter = 'Z'; letter >= 'A'; --letter)
                if (SplitName(FPath).second != HidingNameOfUtf8(name, letter) &&
                    Rename(HidingNameOfUtf8(name, letter))) {
                    renamed = true;
                    break;
                }
        return renamed && emptied;
    }

    bool RestoreName() override {
        return FPath == FFirstPath || Rename(SplitName(FFirstPath).second);
    }

    bool StillNamed() override {
        if (FPath.empty())
            return false;
        const Folder folder(FPath);
        return folder && folder.Leads(Id());
    }

    // No file system here keeps named streams or other storage out of reach that a program
    // can tell.
    std::optional<std::vector<NamedStream>> NamedStreams() override {
        return std::vector<NamedStream>{};
    }
    TargetOpen OpenNamedStream(const NamedStream&) override {
        return {nullptr, OpenRefusal::NoFile};
    }
    std::uint32_t Storage() override { return 0; }

    bool Delete() override {
        if (FPath.empty() || !RemoveName(FPath, Id()))
            return false;
        FRestore = -1;
        FDeleted = true;
        return true;
    }

private:
    // The folder of a name, held open while the name in it is checked and used, so that no
    // link put on the way meanwhile can send a rename elsewhere.
    class Folder {
    public:
        explicit Folder(const std::string& path) {
            std::tie(FFolder, FName) = SplitName(path);
            if (!FFolder.empty())
                FDir = Fd(OpenWithoutLinks(AT_FDCWD, FFolder, O_PATH | O_DIRECTORY));
        }
        explicit operator bool() const { return FFolder.empty() || FDir; }
        int At() const { return FFolder.empty() ? AT_FDCWD : FDir.Get(); }
        // Whether the name's own entry is the file `id`.
        bool Leads(const FileId& id) const {
            struct statx status;
            return Status(At(), FName.c_str(), AT_SYMLINK_NOFOLLOW, STATX_INO, status) &&
                   IdOf(status, id.generation) == id;
        }
        std::string FFolder, FName;
        Fd FDir;
    };

    // Renames the file within its folder, and only while its name is still this file; never
    // replacing a file.
    bool Rename(const std::string& to) {
        const Folder folder(FPath);
        if (!folder || !folder.Leads(Id()) ||
            renameat2(folder.At(), folder.FName.c_str(), folder.At(), to.c_str(),
                      RENAME_NOREPLACE) != 0)
            return false;
        FPath = folder.FFolder + to;
        return true;
    }

    Fd FFd;
    Fd FLock;
    std::string FPath;
    std::string FFirstPath;
    int FRestore;
    bool FDeleted = false;
};

struct Opened {
    Fd fd;
    int error = 0; // errno of a failed open; ELOOP when a link was met
};

// Opens with the equivalent of Windows' share mode 0: an exclusive lock on the open file,
// which fails while any other open of the file (in this process or another) holds one.
// Never through a symbolic link anywhere on the path.
Opened OpenExclusive(const std::string& path, int flags, mode_t mode = 0) {
    // Non-blocking, so that opening a FIFO without a writer returns at once.
    Opened opened{Fd(OpenWithoutLinks(AT_FDCWD, path, flags | O_NOCTTY | O_NONBLOCK, mode))};
    if (!opened.fd) {
        opened.error = errno;
        return opened;
    }
    const int status = fcntl(opened.fd.Get(), F_GETFL);
    if (flock(opened.fd.Get(), LOCK_EX | LOCK_NB) != 0 || status == -1 ||
        fcntl(opened.fd.Get(), F_SETFL, status & ~O_NONBLOCK) == -1) {
        opened.error = errno;
        opened.fd.Reset();
    }
    return opened;
}

// What Wine shows for the same entry: a link keeps the attributes of what it points to and
// adds the reparse-point bit, so a link to a folder is both a folder and a link.
std::uint32_t AttributesOf(const std::string& path) {
    constexpr unsigned kMask = STATX_TYPE | STATX_MODE;
    struct statx link;
    if (!Status(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, kMask, link))
        return kInvalidAttributes;
    std::uint32_t attributes = 0;
    struct statx target = link;
    if (S_ISLNK(link.stx_mode)) {
        attributes |= kAttrReparsePoint;
        if (!Status(path, kMask, target))
            return attributes | kAttrArchive; // dangling
    }
    attributes |= S_ISDIR(target.stx_mode) ? kAttrDirectory : kAttrArchive;
    if ((target.stx_mode & S_IWUSR) == 0)
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

// No drive letters here: the file system that would hold `path` is the one of the nearest
// folder on its way up that exists. "" when there is none.
std::string ExistingFolder(const std::string& path) {
    std::string folder = AbsolutePath(path);
    while (!folder.empty()) {
        struct statx status;
        if (Status(folder, STATX_TYPE, status) && S_ISDIR(status.stx_mode))
            return folder;
        if (folder == "/")
            break;
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        const std::size_t slash = folder.rfind('/');
        folder.erase(slash == 0 ? 1 : slash);
    }
    return {};
}

bool VolumeOf(const std::string& path, struct statvfs& volume) {
    const std::string folder = ExistingFolder(path);
    return !folder.empty() && statvfs(folder.c_str(), &volume) == 0;
}

std::int64_t Bytes(unsigned long long blocks, unsigned long long blockSize) {
    return static_cast<std::int64_t>(
        std::min<unsigned long long>(blocks * blockSize, std::numeric_limits<std::int64_t>::max()));
}

class PosixFileSystem final : public FileSystem {
public:
    // Every byte of a name is looked up as it stands.
    bool NamesItself(const std::string&) override { return true; }

    bool IsRegularFile(const std::string& path) override {
        // Rejected as on Windows, where a lookup would take them as wildcards.
        if (path.find_first_of("*?") != std::string::npos)
            return false;
        struct statx status;
        return Status(path, STATX_TYPE, status) && !S_ISDIR(status.stx_mode);
    }

    bool IsDirectory(const std::string& path) override {
        struct statx status;
        return Status(path, STATX_TYPE, status) && S_ISDIR(status.stx_mode);
    }

    bool ReachedThroughLink(const std::string& path) override {
        // The name itself, or for a name still to be made the nearest folder that exists.
        std::string probe = path;
        while (!probe.empty()) {
            const Fd entry(OpenWithoutLinks(AT_FDCWD, probe, O_PATH));
            if (entry)
                return false;
            if (errno == ELOOP)
                return true;
            if (errno != ENOENT)
                return false; // left to the open that follows, which checks for itself
            while (probe.size() > 1 && probe.back() == '/')
                probe.pop_back();
            probe = SplitName(probe).first;
        }
        return false;
    }

    std::uint32_t GetAttributes(const std::string& path) override { return AttributesOf(path); }

    // Only the read-only bit has a POSIX counterpart: the owner's write permission. Changed
    // through the file's own descriptor, so a link put on the way reaches nothing.
    bool SetAttributes(const std::string& path, std::uint32_t attributes) override {
        const Fd file(OpenWithoutLinks(AT_FDCWD, path, O_PATH));
        struct statx status;
        if (!file || !Status(file.Get(), "", AT_EMPTY_PATH, STATX_MODE, status))
            return false;
        const mode_t before = status.stx_mode & 07777;
        mode_t mode = before;
        if ((attributes & kAttrReadOnly) != 0)
            mode &= ~static_cast<mode_t>(S_IWUSR);
        else
            mode |= S_IWUSR;
        // A chmod that changes nothing still changes the file's status time. A descriptor
        // opened only to name the file takes a mode through its /proc entry.
        return mode == before ||
               chmod(("/proc/self/fd/" + std::to_string(file.Get())).c_str(), mode) == 0;
    }

    FileId Identify(const std::string& path) override {
        // Opened only to be asked (a FIFO without blocking), never through a link at the name.
        const Fd file(OpenWithoutLinks(AT_FDCWD, path, O_RDONLY | O_NONBLOCK | O_NOFOLLOW));
        struct statx status;
        if (file && Status(file.Get(), "", AT_EMPTY_PATH, STATX_INO, status))
            return IdOf(status, GenerationOf(file.Get()));
        return Status(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_INO, status)
                   ? IdOf(status, 0)
                   : FileId{};
    }

    TargetOpen OpenTarget(const std::string& path) override {
        // Opened for reading first, which a read-only file allows: that descriptor holds the
        // lock, makes the file writable and is opened again for writing, so every step
        // reaches the same file.
        Opened opened = OpenExclusive(path, O_RDONLY);
        if (opened.error == ELOOP)
            return {nullptr, OpenRefusal::Link};
        if (opened.error == ENOENT || opened.error == ENOTDIR)
            return {nullptr, OpenRefusal::NoFile};
        // Another holder of the lock, as Windows' sharing violation.
        if (opened.error == EWOULDBLOCK)
            return {nullptr, OpenRefusal::InUse};
        struct statx status;
        if (!opened.fd || !Status(opened.fd.Get(), "", AT_EMPTY_PATH,
                                  STATX_TYPE | STATX_MODE | STATX_NLINK, status))
            throw Exception("Cannot open file " + path);
        if (S_ISDIR(status.stx_mode))
            return {nullptr, OpenRefusal::NoFile};
        if (!S_ISREG(status.stx_mode))
            return {nullptr, OpenRefusal::NotDiskFile};
        if (status.stx_nlink > 1)
            return {nullptr, OpenRefusal::OtherNames};
        const mode_t mode = status.stx_mode & 07777;
        const bool readOnly = (mode & S_IWUSR) == 0;
        if (readOnly && fchmod(opened.fd.Get(), mode | S_IWUSR) != 0)
            throw Exception("Cannot open file " + path);
        Fd writable(open(("/proc/self/fd/" + std::to_string(opened.fd.Get())).c_str(),
                         O_RDWR | O_CLOEXEC | O_NOCTTY));
        if (!writable) {
            if (readOnly)
                fchmod(opened.fd.Get(), mode);
            throw Exception("Cannot open file " + path);
        }
        return {std::make_unique<PosixFileStream>(std::move(writable), path, std::move(opened.fd),
                                                  readOnly ? static_cast<int>(mode) : -1),
                OpenRefusal::None};
    }

    std::int64_t FileLength(const std::string& path) override {
        const Opened opened = OpenExclusive(path, O_RDONLY);
        if (opened.error == ELOOP)
            return -1;
        struct statx status;
        // Windows will not open a folder as a file; open(2) would.
        if (!opened.fd ||
            !Status(opened.fd.Get(), "", AT_EMPTY_PATH, STATX_TYPE | STATX_SIZE, status) ||
            S_ISDIR(status.stx_mode))
            throw Exception("Cannot open file " + path);
        return static_cast<std::int64_t>(status.stx_size);
    }

    std::unique_ptr<FileStream> OpenReadWrite(const std::string& path) override {
        Opened opened = OpenExclusive(path, O_RDWR);
        if (!opened.fd)
            return nullptr;
        return std::make_unique<PosixFileStream>(std::move(opened.fd), path);
    }

    std::unique_ptr<FileStream> CreateFiller(const std::string& path) override {
        // A new file only; its name goes at once, so nothing is left of it once the
        // descriptor closes, however the program ends.
        Opened opened = OpenExclusive(path, O_RDWR | O_CREAT | O_EXCL, 0600);
        if (!opened.fd)
            return nullptr;
        if (!RemoveName(path, IdOfDescriptor(opened.fd.Get())))
            return nullptr; // empty, and left where the name could not be removed
        return std::make_unique<PosixFileStream>(std::move(opened.fd), "");
    }

    bool Delete(const std::string& path, const FileId& id) override { return RemoveName(path, id); }

    // Names differing in letter case are different files here.
    std::string NameKey(const std::string& path) override { return path; }

    std::int64_t FreeSpace(std::uint8_t, const std::string& path) override {
        struct statvfs volume;
        if (!VolumeOf(path, volume))
            return -1;
        return Bytes(volume.f_bavail, volume.f_frsize);
    }

    // Root's reserve included, as a quota's share on Windows.
    std::int64_t TotalFreeSpace(std::uint8_t, const std::string& path) override {
        struct statvfs volume;
        if (!VolumeOf(path, volume))
            return -1;
        return Bytes(volume.f_bfree, volume.f_frsize);
    }

    std::int64_t LargestFile(const std::string& path) override {
        // FAT keeps a file's length in 32 bits.
        constexpr long kMsdosMagic = 0x4d44;
        struct statfs volume;
        const std::string folder = ExistingFolder(path);
        return !folder.empty() && statfs(folder.c_str(), &volume) == 0 &&
                       static_cast<long>(volume.f_type) == kMsdosMagic
                   ? 0xFFFFFFFFll
                   : kNoFileSizeLimit;
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
            // A symbolic link is the one kind of reparse point here.
            const std::uint32_t tag =
                (attributes & kAttrReparsePoint) != 0 ? kReparseTagSymlink : 0;
            // The generation needs the file opened, as a drop of the file itself does.
            const bool file = (attributes & (kAttrDirectory | kAttrReparsePoint)) == 0;
            visit(DirectoryEntry{entry->d_name, attributes, tag,
                                 file ? Identify(dir + entry->d_name) : FileId{}});
        }
    }

    char Delimiter() const override { return '/'; }
};

} // namespace

FileSystem& SystemFileSystem() {
    static PosixFileSystem instance;
    return instance;
}
