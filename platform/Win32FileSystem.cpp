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
#include <string_view>
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
    explicit Win32FileStream(FileHandle handle) : FHandle(std::move(handle)) {}

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
    bool Rewind() override {
        return SetFilePointerEx(FHandle.Get(), LARGE_INTEGER{}, nullptr, FILE_BEGIN) != FALSE;
    }
    bool Close() override { return FHandle.Reset(); }
    FileId Id() override { return IdOf(FHandle.Get()); }

private:
    FileHandle FHandle;
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

// Whether a part of a path ("report.", "notes ") is one that Windows shortens before it
// looks; "." and ".." are the folder references they always were.
bool RewrittenPart(std::string_view part) {
    return !part.empty() && (part.back() == '.' || part.back() == ' ') && part != "." &&
           part != "..";
}

class Win32FileSystem final : public FileSystem {
public:
    bool NamesItself(const std::string& path) override {
        std::size_t start = 0;
        for (;;) {
            const std::size_t end = path.find_first_of("\\/", start);
            if (RewrittenPart(std::string_view(path).substr(start, end - start)))
                return false;
            if (end == std::string::npos)
                return true;
            start = end + 1;
        }
    }

    bool IsRegularFile(const std::string& path) override {
        // A directory lookup treats these as wildcards and would find some other file.
        if (path.find_first_of("*?") != std::string::npos || !NamesItself(path))
            return false;
        // Any time stamp will do: a file dated 1970 or 2200 is still a file to shred, not a
        // name for a free-space wipe. The attributes come from the same directory entry that
        // FindFirstFileA would return, at a fraction of its cost.
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }

    bool IsDirectory(const std::string& path) override {
        if (!NamesItself(path))
            return false;
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }

    std::uint32_t GetAttributes(const std::string& path) override {
        return GetFileAttributesA(path.c_str());
    }

    bool CanLookUp(const std::string& path) override {
        if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }

    bool SetAttributes(const std::string& path, std::uint32_t attributes) override {
        // Writing attributes is allowed on a read-only file, and needs no exclusive access.
        const FileHandle file(
            CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll,
                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!file || !ReachedDirectly(file.Get(), path))
            return false;
        FILE_BASIC_INFO basic{};
        // Zero times are left as they are; zero attributes would mean "leave" too.
        basic.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
        return SetFileInformationByHandle(file.Get(), FileBasicInfo, &basic, sizeof basic) != FALSE;
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
        return std::make_unique<Win32FileStream>(std::move(file));
    }

    std::unique_ptr<FileStream> CreateFiller(const std::string& path) override {
        // CREATE_NEW never opens what exists and never follows a link at the name; the system
        // deletes the file when its handle closes, also when the program is killed.
        FileHandle file(CreateFileA(path.c_str(), kReadWrite | DELETE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        // Made through a junction, in a folder nobody listed: closing it removes it again.
        if (!file || !ReachedDirectly(file.Get(), path))
            return nullptr;
        return std::make_unique<Win32FileStream>(std::move(file));
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
        // The full form would drop what makes "report." another name than "report".
        const std::string full = NamesItself(path) ? FullPathName(path) : std::string();
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
