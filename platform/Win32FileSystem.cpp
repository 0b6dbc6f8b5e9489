// The file-system layer on Windows. Paths stay in the program's code page (UTF-8) as the
// shell and the file picker delivered them; the listing and the lookups ask in UTF-16, whose
// fixed fields fit every name (the code-page listing fails on a name whose UTF-8 form or
// short name does not fit its own).
#include "platform/Win32FileSystem.h"
#include "platform/Win32FileIds.h"
#include "platform/Win32FileStream.h"
#include "platform/Win32FolderVolumes.h"
#include "platform/Win32Handles.h"
#include "platform/Win32Paths.h"
#include "framework/CodePages.h"
#include "framework/Exception.h"
#include "framework/SystemFunction.h"

#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>
#include <optional>

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

FileHandle OpenExclusive(const std::string& path, DWORD access, DWORD disposition) {
    return FileHandle(
        CreateFileA(path.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Opened or created by name, then checked: a handle that a link or junction led elsewhere is
// closed before anything is written through it.
FileHandle OpenDirectly(Win32Calls& calls, const std::string& path, DWORD access) {
    FileHandle file = OpenExclusive(path, access, OPEN_EXISTING);
    if (file && !ReachedDirectly(calls, file.Get(), path))
        return FileHandle();
    return file;
}

constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;

bool NotFound(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Asked in UTF-16, as every lookup of the list: the code-page form is the same call narrowed.
// No further than the code-page forms that open and delete the file reach (MAX_PATH UTF-16
// units), which Windows' wide form keeps to as well, and Wine's does not.
DWORD AttributesOf(const std::string& path) {
    const std::wstring wide = Widened(path);
    if (wide.size() >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return INVALID_FILE_ATTRIBUTES;
    }
    return GetFileAttributesW(wide.c_str());
}

// Whether a directory lookup shows the name as a symbolic link, junction or mount point.
bool EntryIsLink(const std::string& path) {
    if (path.find_first_of("*?") != std::string::npos)
        return false;
    WIN32_FIND_DATAA found;
    const FindHandle search(FindFirstFileA(path.c_str(), &found));
    return search && DirectoryEntry{"", found.dwFileAttributes, found.dwReserved0, {}}.IsLink();
}

using GetDiskFreeSpaceExAFunction = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                                  PULARGE_INTEGER);

// Whether a part of a path ("report.", "notes ") is one that Windows shortens before it
// looks; "." and ".." are the folder references they always were.
bool RewrittenPart(std::string_view part) {
    return !part.empty() && (part.back() == '.' || part.back() == ' ') && part != "." &&
           part != "..";
}

// The identities of a folder's entries by name, read with the folder's listing in a few
// calls: asking each file for its own would open every file once more. Of the same kind as a
// run reads through the file's handle (OwnId): where 64-bit numbers name a file, the 64-bit
// listing with the folder's volume, else the 128-bit one. A number of 0 is asked per file.
std::map<std::wstring, FileId> FileIdsIn(Win32Calls& calls, const std::wstring& dir) {
    std::map<std::wstring, FileId> ids;
    const FileHandle folder(CreateFileW(dir.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                        kShareAll, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder)
        return ids;
    const FileId own = calls.FullId(folder.Get());
    if (!own.known)
        return ids;
    std::vector<NumberedEntry> entries;
    calls.NumberedEntries(folder.Get(), !calls.NumbersSuffice(folder.Get()), entries);
    for (const NumberedEntry& entry : entries) {
        const FileId id =
            calls.Settled(MakeFileId(own.volume, entry.high, entry.low, 0, entry.created));
        if (id.known)
            ids[entry.name] = id;
    }
    return ids;
}

// The caller's share of a volume's free space (all: the whole of it, quota or not), or -1 when
// it cannot be read. rootName: the volume's root folder, null for the current folder's drive.
std::int64_t FreeSpaceOf(const char* rootName, bool all) {
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
            all ? free.QuadPart : available.QuadPart, (std::numeric_limits<std::int64_t>::max)()));
    }
    DWORD sectorsPerCluster = 0;
    DWORD bytesPerSector = 0;
    DWORD freeClusters = 0;
    DWORD clusters = 0;
    if (!GetDiskFreeSpaceA(rootName, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
        return -1;
    return static_cast<std::int64_t>(sectorsPerCluster) * bytesPerSector * freeClusters;
}

// The free space a wipe of `path` would fill: of the volume that holds the name, which a folder
// on the way may mount instead of its drive's. 1 = A:, 3 = C:, 0 = the current folder's drive;
// a name on no lettered drive, or one of a file (which needs no free space), has the drive's:
// Wine asks its mount manager for a name's volume, which under the run's own writes takes
// milliseconds for every file of a folder.
std::int64_t FreeSpaceFor(std::uint8_t drive, const std::string& path, bool isFile, bool all) {
    if (drive > 26)
        return -1;
    char root[] = "?:\\";
    if (drive == 0)
        return FreeSpaceOf(nullptr, all);
    root[0] = static_cast<char>('A' + drive - 1);
    char volume[MAX_PATH + 1] = "";
    const bool onDrive = path.size() >= 3 && path[1] == ':' &&
                         (path[2] == '\\' || path[2] == '/') && (path[0] & ~0x20) == root[0];
    if (onDrive && !isFile && GetVolumePathNameA(path.c_str(), volume, sizeof volume))
        return FreeSpaceOf(volume, all);
    return FreeSpaceOf(root, all);
}

class Win32FileSystem final : public FileSystem {
public:
    explicit Win32FileSystem(Win32Calls& calls) : FCalls(calls), FFolders(calls) {
        FCalls.ExposePlaceholders();
    }

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
        const DWORD attributes = AttributesOf(path);
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }

    bool IsDirectory(const std::string& path) override {
        if (!NamesItself(path))
            return false;
        const DWORD attributes = AttributesOf(path);
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }

    std::uint32_t GetAttributes(const std::string& path) override { return AttributesOf(path); }

    bool CanLookUp(const std::string& path) override {
        return AttributesOf(path) != INVALID_FILE_ATTRIBUTES || NotFound(GetLastError());
    }

    bool SetAttributes(const std::string& path, std::uint32_t attributes) override {
        // Writing attributes is allowed on a read-only file, and needs no exclusive access.
        const FileHandle file(
            CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll,
                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!file || !ReachedDirectly(FCalls, file.Get(), path))
            return false;
        return FCalls.SetAttributes(file.Get(), attributes);
    }

    FileId Identify(const std::string& path) override {
        if (!NamesItself(path))
            return {};
        const FileHandle entry = FCalls.OpenEntry(path, FILE_READ_ATTRIBUTES);
        return entry ? FCalls.OwnId(entry.Get()) : FileId{};
    }

    TargetOpen OpenTarget(const std::string& path) override {
        // A name that cannot be looked up is no file to open (the run tells which names it
        // could not look up at all).
        const DWORD attributes = AttributesOf(path);
        if (!NamesItself(path) || attributes == INVALID_FILE_ATTRIBUTES ||
            (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return {nullptr, OpenRefusal::NoFile};
        // A read-only file opens for writing only once its bit is cleared: through a handle
        // that reached the file itself, kept until the file is open so that the bit can go
        // back on that same file if another has taken the name meanwhile.
        FileHandle attributeHandle;
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            DWORD error = ERROR_SUCCESS;
            attributeHandle = FCalls.OpenAttributes(path, error);
            if (!attributeHandle)
                return {nullptr, NotFound(error) ? OpenRefusal::NoFile : OpenRefusal::Denied};
            if (!ReachedDirectly(FCalls, attributeHandle.Get(), path))
                return {nullptr, OpenRefusal::Link};
            // A write-protected stick or a share opened read-only takes no new attributes.
            if (!FCalls.SetAttributes(attributeHandle.Get(),
                                      attributes & 0xFFFF & ~FILE_ATTRIBUTE_READONLY))
                return {nullptr, OpenRefusal::Denied};
        }
        const auto refuse = [&](OpenRefusal why) {
            if (attributeHandle)
                FCalls.SetAttributes(attributeHandle.Get(), attributes & 0xFFFF);
            return TargetOpen{nullptr, why};
        };
        FileHandle file(CreateFileA(path.c_str(), kReadWrite | DELETE | FILE_WRITE_ATTRIBUTES, 0,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            const DWORD error = GetLastError();
            if (NotFound(error))
                return refuse(OpenRefusal::NoFile);
            // An antivirus scanning the file, a preview or a backup: often gone a moment later.
            if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
                return refuse(OpenRefusal::InUse);
            // A link whose target is gone is found by a lookup but cannot be opened.
            if (EntryIsLink(path))
                return refuse(OpenRefusal::Link);
            refuse(OpenRefusal::None);
            throw Exception("Cannot open file " + path);
        }
        std::string finalPath;
        if (!ReachedDirectly(FCalls, file.Get(), path, &finalPath))
            return refuse(OpenRefusal::Link);
        if (GetFileType(file.Get()) != FILE_TYPE_DISK)
            return refuse(OpenRefusal::NotDiskFile);
        const FolderVolumes::Place place = FFolders.PlaceOf(file.Get(), finalPath);
        // The file whose bit was cleared is the one opened, as they are both placed.
        if (attributeHandle &&
            !(FFolders.IdOf(attributeHandle.Get(), FCalls.FinalPath(attributeHandle.Get())) ==
              place.id))
            return refuse(OpenRefusal::Changed);
        // The passes would reach every name of the file, and the deletion only this one.
        FILE_STANDARD_INFO standard{};
        if (!GetFileInformationByHandleEx(file.Get(), FileStandardInfo, &standard,
                                          sizeof standard) ||
            standard.Directory)
            return refuse(OpenRefusal::NoFile);
        if (standard.NumberOfLinks > 1)
            return refuse(OpenRefusal::OtherNames);
        const DWORD restore = attributeHandle ? attributes & 0xFFFF : INVALID_FILE_ATTRIBUTES;
        FileHandle folder = HeldFolder(path, file.Get());
        return {std::make_unique<Win32FileStream>(
                    FCalls, FFolders, std::move(file),
                    Win32StreamSetup{path, place, restore, true, std::move(folder)}),
                OpenRefusal::None};
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
                return !ReachedDirectly(FCalls, entry.Get(), probe);
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
        if (!ReachedDirectly(FCalls, file.Get(), path))
            return -1;
        return length.QuadPart;
    }

    std::unique_ptr<FileStream> OpenReadWrite(const std::string& path) override {
        FileHandle file = OpenDirectly(FCalls, path, kReadWrite);
        if (!file)
            return nullptr;
        return std::make_unique<Win32FileStream>(
            FCalls, FFolders, std::move(file),
            Win32StreamSetup{path, {}, INVALID_FILE_ATTRIBUTES, true});
    }

    std::unique_ptr<FileStream> CreateFiller(const std::string& path) override {
        // CREATE_NEW never opens what exists and never follows a link at the name. The system
        // deletes the file once its handle closes, also when the program is killed; a pending
        // deletion is not kept across a crash or a power cut, which leave it behind. (A POSIX
        // deletion would not help: it removes the name only as its handle closes too.)
        FileHandle file(CreateFileA(path.c_str(), kReadWrite | DELETE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        // Made through a junction, in a folder nobody listed: closing it removes it again.
        if (!file || !ReachedDirectly(FCalls, file.Get(), path))
            return nullptr;
        return std::make_unique<Win32FileStream>(
            FCalls, FFolders, std::move(file),
            Win32StreamSetup{path, {}, INVALID_FILE_ATTRIBUTES, true});
    }

    bool Delete(const std::string& path, const FileId& id) override {
        if (!id.known)
            return false;
        // The name's own entry, not what a link there points to: a link is another file.
        FileHandle file(CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!file || !ReachedDirectly(FCalls, file.Get(), path) ||
            !(FCalls.OwnId(file.Get()) == id) || !FCalls.MarkForDeletion(file.Get()))
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

    std::int64_t FreeSpace(std::uint8_t drive, const std::string& path) override {
        return FreeSpaceFor(drive, path, IsRegularFile(path), false);
    }

    std::int64_t TotalFreeSpace(std::uint8_t drive, const std::string& path) override {
        return FreeSpaceFor(drive, path, IsRegularFile(path), true);
    }

    std::int64_t LargestFile(const std::string& path) override {
        // The volume that would hold the name, also where a folder on the way mounts another.
        char volume[MAX_PATH + 1] = "";
        char system[MAX_PATH + 1] = "";
        if (!GetVolumePathNameA(path.c_str(), volume, sizeof volume) ||
            !GetVolumeInformationA(volume, nullptr, 0, nullptr, nullptr, nullptr, system,
                                   sizeof system))
            return kNoFileSizeLimit;
        // FAT keeps a file's length in 32 bits.
        constexpr std::int64_t kFatLargest = 0xFFFFFFFFll;
        return std::string_view(system).substr(0, 3) == "FAT" ? kFatLargest : kNoFileSizeLimit;
    }

    bool ListDirectory(const std::string& dir,
                       const std::function<void(const DirectoryEntry&)>& visit) override {
        const std::wstring wideDir = Widened(dir);
        // As far as the code-page forms reach that open the entries (MAX_PATH, with room for
        // a name), which Windows' wide form keeps to as well, and Wine's does not.
        if (wideDir.size() + 3 >= MAX_PATH) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return false;
        }
        const std::map<std::wstring, FileId> ids = FileIdsIn(FCalls, wideDir);
        WIN32_FIND_DATAW found;
        const FindHandle search = FCalls.FindFirst(wideDir + L"*", found);
        if (!search) {
            // The root of an empty drive has no entries at all, not even "." and "..".
            return GetLastError() == ERROR_FILE_NOT_FOUND;
        }
        do {
            // The reserved field holds the reparse tag of a reparse point.
            DirectoryEntry entry{
                Narrowed(found.cFileName), found.dwFileAttributes, found.dwReserved0, {}};
            if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                const auto id = ids.find(found.cFileName);
                // Made after the numbers were read: asked of the file itself.
                entry.id = id != ids.end() ? id->second : Identify(dir + entry.name);
            }
            visit(entry);
        } while (FCalls.FindNext(search.Get(), found));
        return GetLastError() == ERROR_NO_MORE_FILES;
    }

    char Delimiter() const override { return '\\'; }

    void ReleaseFolders() override { FFolders.Release(); }

private:
    // The folder that holds an open file, held by its handle, which follows the folder
    // wherever it is moved: what becomes of the file is then asked where it is, not by a name
    // that may lead elsewhere by then. Empty where the folder opened by name is not the file's.
    FileHandle HeldFolder(const std::string& path, HANDLE file) {
        const std::size_t slash = path.find_last_of('\\');
        if (slash == std::string::npos)
            return {};
        FileHandle folder = FCalls.OpenFolder(path.substr(0, slash + 1));
        DWORD error = ERROR_SUCCESS;
        const FileHandle entry =
            folder ? FCalls.OpenInFolder(folder.Get(), Widened(path.substr(slash + 1)),
                                         FILE_READ_ATTRIBUTES, error)
                   : FileHandle();
        const FileId held = FCalls.LocalId(file);
        if (!entry || !held.known || !(FCalls.LocalId(entry.Get()) == held))
            return {};
        return folder;
    }

    Win32Calls& FCalls;
    FolderVolumes FFolders;
};

} // namespace

std::unique_ptr<FileSystem> MakeWin32FileSystem(Win32Calls& calls) {
    return std::make_unique<Win32FileSystem>(calls);
}

FileSystem& SystemFileSystem() {
    static Win32FileSystem instance(Win32Calls::System());
    return instance;
}
