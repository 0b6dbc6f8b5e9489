// The file-system layer on Windows, through the ANSI (...A) functions so that paths stay in
// the system code page exactly as the shell and the file picker delivered them.
#include "platform/FileSystem.h"
#include "platform/Win32Handles.h"
#include "platform/Win32Paths.h"
#include "framework/Exception.h"
#include "framework/SystemFunction.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <string>
#include <utility>

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// NtQueryInformationFile with FileInternalInformation: the file's number alone. The Win32
// calls that give it also read the volume's serial number, which costs Wine a millisecond.
using QueryInformationFileFunction = LONG(WINAPI*)(HANDLE, void*, void*, ULONG, int);
constexpr int kFileInternalInformation = 6;

// The volume is left out: every handle compared has passed ReachedDirectly for the same name,
// so it lies on the volume that name leads to.
FileId IdOf(HANDLE handle) {
    static const auto query =
        SystemFunction<QueryInformationFileFunction>("ntdll.dll", "NtQueryInformationFile");
    struct {
        void* status;
        ULONG_PTR information;
    } io{};
    LARGE_INTEGER index{};
    if (query && query(handle, &io, &index, sizeof index, kFileInternalInformation) >= 0)
        return {true, 0, static_cast<std::uint64_t>(index.QuadPart)};
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information))
        return {};
    return {true, 0,
            (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) |
                information.nFileIndexLow};
}

// Deletion through an open handle: it removes the file the handle has, whatever the name
// leads to meanwhile.
bool DeleteThrough(HANDLE handle) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition) != FALSE;
}

class Win32FileStream final : public FileStream {
public:
    Win32FileStream(FileHandle handle, bool created)
        : FHandle(std::move(handle)), FCreated(created) {}

    bool IsDiskFile() override { return GetFileType(FHandle.Get()) == FILE_TYPE_DISK; }

    bool Write(const void* data, std::size_t size) override {
        const char* next = static_cast<const char*>(data);
        while (size > 0) {
            // WriteFile takes a 32-bit count. (max) in parentheses: windows.h defines a max macro.
            const DWORD part = static_cast<DWORD>(
                std::min<std::size_t>(size, (std::numeric_limits<DWORD>::max)()));
            DWORD written = 0;
            if (!WriteFile(FHandle.Get(), next, part, &written, nullptr) || written == 0)
                return false;
            next += written;
            size -= written;
        }
        return true;
    }

    bool Flush() override { return FlushFileBuffers(FHandle.Get()) != FALSE; }
    bool Close() override { return FHandle.Reset(); }
    FileId Id() override { return IdOf(FHandle.Get()); }
    bool Created() const override { return FCreated; }

private:
    FileHandle FHandle;
    bool FCreated;
};

FileHandle OpenExclusive(const std::string& path, DWORD access, DWORD disposition) {
    return FileHandle(
        CreateFileA(path.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Opened or created by name, then checked: a handle that a link or junction led elsewhere is
// closed before anything is written through it.
FileHandle OpenDirectly(const std::string& path, DWORD access) {
    FileHandle file = OpenExclusive(path, access, OPEN_EXISTING);
    if (file && !ReachedDirectly(file.Get(), path))
        return FileHandle();
    return file;
}

constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;

// Whether a directory lookup shows the name as a symbolic link, junction or mount point.
bool EntryIsLink(const std::string& path) {
    if (path.find_first_of("*?") != std::string::npos)
        return false;
    WIN32_FIND_DATAA found;
    const FindHandle search(FindFirstFileA(path.c_str(), &found));
    return search && DirectoryEntry{"", found.dwFileAttributes, found.dwReserved0}.IsLink();
}

using GetDiskFreeSpaceExAFunction = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                                  PULARGE_INTEGER);

class Win32FileSystem final : public FileSystem {
public:
    bool IsRegularFile(const std::string& path) override {
        // A directory lookup treats these as wildcards and would find some other file.
        if (path.find_first_of("*?") != std::string::npos)
            return false;
        // Any time stamp will do: a file dated 1970 or 2200 is still a file to shred, not a
        // name for a free-space wipe. The attributes come from the same directory entry that
        // FindFirstFileA would return, at a fraction of its cost.
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }

    bool IsDirectory(const std::string& path) override {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }

    std::uint32_t GetAttributes(const std::string& path) override {
        return GetFileAttributesA(path.c_str());
    }

    bool SetAttributes(const std::string& path, std::uint32_t attributes) override {
        return SetFileAttributesA(path.c_str(), attributes) != FALSE;
    }

    bool ReachedThroughLink(const std::string& path) override {
        std::string probe = FullPathName(path);
        const std::string root = PathRoot(probe);
        if (root.empty())
            return false;
        // A link whose target is gone cannot be opened, but its entry shows what it is.
        if (EntryIsLink(probe))
            return true;
        // The name itself, or for a name still to be made the nearest folder that exists.
        while (probe.size() > root.size()) {
            const FileHandle entry(CreateFileA(probe.c_str(), FILE_READ_ATTRIBUTES, kShareAll,
                                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                               nullptr));
            if (entry)
                return !ReachedDirectly(entry.Get(), probe);
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
                return false; // left to the open that follows, which checks for itself
            const std::size_t slash = probe.find_last_of('\\', probe.size() - 2);
            if (slash == std::string::npos)
                break;
            probe.erase(slash + 1);
        }
        return false;
    }

    std::int64_t FileLength(const std::string& path) override {
        FileHandle file = OpenExclusive(path, GENERIC_READ, OPEN_EXISTING);
        LARGE_INTEGER length;
        if (!file) {
            // A link whose target is gone is found by a lookup but cannot be opened.
            if (EntryIsLink(path))
                return -1;
            throw Exception("Cannot open file " + path);
        }
        // A handle whose size cannot be read (a device) is no file to size either.
        if (!GetFileSizeEx(file.Get(), &length))
            throw Exception("Cannot open file " + path);
        if (!ReachedDirectly(file.Get(), path))
            return -1;
        return length.QuadPart;
    }

    std::unique_ptr<FileStream> OpenReadWrite(const std::string& path) override {
        FileHandle file = OpenDirectly(path, kReadWrite);
        if (!file)
            return nullptr;
        return std::make_unique<Win32FileStream>(std::move(file), false);
    }

    std::unique_ptr<FileStream> Create(const std::string& path) override {
        // A new file first: CREATE_NEW never follows a link at the name itself. Only a file
        // made here is opened for deletion too: a file may be writable but not deletable.
        FileHandle file = OpenExclusive(path, kReadWrite | DELETE, CREATE_NEW);
        const bool created = static_cast<bool>(file);
        if (!created && GetLastError() == ERROR_FILE_EXISTS)
            file = OpenExclusive(path, kReadWrite, OPEN_EXISTING);
        if (!file)
            return nullptr;
        if (!ReachedDirectly(file.Get(), path)) {
            // Made through a junction: in a folder nobody listed, so it goes again at once.
            if (created)
                DeleteThrough(file.Get());
            return nullptr;
        }
        // Truncated only once the handle is known to be the listed file, and only a disk file.
        if (!created && GetFileType(file.Get()) == FILE_TYPE_DISK && !SetEndOfFile(file.Get()))
            return nullptr;
        return std::make_unique<Win32FileStream>(std::move(file), created);
    }

    bool Delete(const std::string& path, const FileId& id) override {
        if (!id.known)
            return false;
        // The name's own entry, not what a link there points to: a link is another file.
        FileHandle file(CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!file || !ReachedDirectly(file.Get(), path) || !(IdOf(file.Get()) == id) ||
            !DeleteThrough(file.Get()))
            return false;
        // Wine unlinks when the handle is closed and drops a failure there, so success is only
        // believed once the name is gone. On Windows a file whose deletion waits for another
        // program's handle already reads as gone (access denied).
        file.Reset();
        return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
    }

    std::string NameKey(const std::string& path) override {
        const std::string full = FullPathName(path);
        return UpperCaseName(full.empty() ? path : full);
    }

    std::int64_t FreeSpace(std::uint8_t drive, const std::string&) override {
        char root[] = "?:\\";
        const char* rootName = nullptr; // the current folder's drive
        if (drive >= 1 && drive <= 26) {
            root[0] = static_cast<char>('A' + drive - 1);
            rootName = root;
        } else if (drive != 0) {
            return -1;
        }
        // Looked up at run time: kernel32 of the oldest systems does not export it.
        static const auto getFreeSpaceEx =
            SystemFunction<GetDiskFreeSpaceExAFunction>("kernel32.dll", "GetDiskFreeSpaceExA");
        if (getFreeSpaceEx) {
            ULARGE_INTEGER available;
            ULARGE_INTEGER total;
            ULARGE_INTEGER free;
            if (!getFreeSpaceEx(rootName, &available, &total, &free))
                return -1;
            return static_cast<std::int64_t>(std::min<ULONGLONG>(
                available.QuadPart, (std::numeric_limits<std::int64_t>::max)()));
        }
        DWORD sectorsPerCluster = 0;
        DWORD bytesPerSector = 0;
        DWORD freeClusters = 0;
        DWORD clusters = 0;
        if (!GetDiskFreeSpaceA(rootName, &sectorsPerCluster, &bytesPerSector, &freeClusters,
                               &clusters))
            return -1;
        return static_cast<std::int64_t>(sectorsPerCluster) * bytesPerSector * freeClusters;
    }

    bool ListDirectory(const std::string& dir,
                       const std::function<void(const DirectoryEntry&)>& visit) override {
        WIN32_FIND_DATAA found;
        FindHandle search(FindFirstFileA((dir + "*.*").c_str(), &found));
        if (!search) {
            // The root of an empty drive has no entries at all, not even "." and "..".
            return GetLastError() == ERROR_FILE_NOT_FOUND;
        }
        do {
            // The reserved field holds the reparse tag of a reparse point.
            visit(DirectoryEntry{found.cFileName, found.dwFileAttributes, found.dwReserved0});
        } while (FindNextFileA(search.Get(), &found));
        return GetLastError() == ERROR_NO_MORE_FILES;
    }

    char Delimiter() const override { return '\\'; }
};

} // namespace

FileSystem& SystemFileSystem() {
    static Win32FileSystem instance;
    return instance;
}
