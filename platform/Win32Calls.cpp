#include "platform/Win32Calls.h"
#include "platform/Win32FileIds.h"
#include "platform/Win32Paths.h"
#include "framework/CodePages.h"
#include "framework/SystemFunction.h"

#include <winioctl.h>
#include <winternl.h>

#include <cstring>
#include <string_view>
#include <type_traits>

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

} // namespace

FileHandle Win32Calls::OpenEntry(const std::string& path, DWORD access) {
    return FileHandle(CreateFileA(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
}

FileId Win32Calls::FullId(HANDLE handle) {
    FILE_ID_INFO info{};
    return FullIdOf(handle, IdInfo(handle, info) ? &info : nullptr);
}

// Wine's creation time is the last write time: an edit in place, or the program's own passes,
// would make a file another. Where the volume is known, it and the number name the file, and
// the time is left out; on a drive of serial 0 only the time tells its file from another
// drive's of the same number (a letter moved to such a drive), so it stays.
FileId Win32Calls::Settled(FileId id) {
    if (id.known && id.volume != 0 && CreationFollowsWrites())
        id.created = 0;
    return id;
}

bool Win32Calls::IdInfo(HANDLE handle, FILE_ID_INFO& info) {
    return GetFileInformationByHandleEx(handle, FileIdInfo, &info, sizeof info) != FALSE;
}

FileId Win32Calls::OwnId(HANDLE handle) {
    const FileId whole = FullId(handle);
    if (!whole.known || !NumbersSuffice(handle))
        return Settled(whole);
    FileId id = LocalId(handle);
    if (id.known)
        id.volume = whole.volume;
    return Settled(id);
}

FileId Win32Calls::LocalId(HANDLE handle) {
    return LocalIdOf(handle);
}

namespace {

// Only Wine's ntdll has it.
bool UnderWine() {
    static const bool wine = SystemFunction<void (*)()>("ntdll.dll", "wine_get_version") != nullptr;
    return wine;
}

} // namespace

bool Win32Calls::CreationFollowsWrites() {
    return UnderWine();
}

bool Win32Calls::ActsByName() {
    return UnderWine();
}

bool Win32Calls::FinalPathsFollowMoves() {
    return !UnderWine();
}

std::string Win32Calls::FinalPath(HANDLE handle) {
    return FinalPathOf(handle);
}

std::string Win32Calls::GuidPath(HANDLE handle) {
    return GuidPathOf(handle);
}

bool NumbersSufficeOn(std::wstring_view fileSystem) {
    return fileSystem == L"NTFS" || fileSystem == L"FAT" || fileSystem == L"FAT32" ||
           fileSystem == L"exFAT";
}

bool Win32Calls::NumbersSuffice(HANDLE handle) {
    wchar_t system[MAX_PATH + 1] = L"";
    return GetVolumeInformationByHandleW(handle, nullptr, 0, nullptr, nullptr, nullptr, system,
                                         MAX_PATH + 1) &&
           NumbersSufficeOn(system);
}

std::optional<bool> Win32Calls::KeepsStreams(HANDLE handle) {
    DWORD flags = 0;
    if (!GetVolumeInformationByHandleW(handle, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0))
        return std::nullopt;
    return (flags & FILE_NAMED_STREAMS) != 0;
}

DWORD Win32Calls::Streams(HANDLE handle, std::vector<StreamEntry>& streams) {
    streams.clear();
    std::vector<LONGLONG> buffer(8192); // 64 KiB, aligned as the entries need
    while (!GetFileInformationByHandleEx(handle, FileStreamInfo, buffer.data(),
                                         static_cast<DWORD>(buffer.size() * sizeof(LONGLONG)))) {
        const DWORD error = GetLastError();
        if (error != ERROR_MORE_DATA || buffer.size() >= (1u << 20))
            return error;
        buffer.resize(buffer.size() * 2);
    }
    const char* next = reinterpret_cast<const char*>(buffer.data());
    for (;;) {
        const auto& info = *reinterpret_cast<const FILE_STREAM_INFO*>(next);
        streams.push_back({std::wstring(info.StreamName, info.StreamNameLength / sizeof(WCHAR)),
                           info.StreamSize.QuadPart});
        if (info.NextEntryOffset == 0)
            return ERROR_SUCCESS;
        next += info.NextEntryOffset;
    }
}

FileHandle Win32Calls::OpenStream(const std::wstring& path, DWORD& error) {
    FileHandle stream(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    error = stream ? ERROR_SUCCESS : GetLastError();
    return stream;
}

// The system takes a full name: Wine would take a bare one relative to the current folder.
bool Win32Calls::Rename(HANDLE handle, const std::string& path) {
    const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (length <= 1)
        return false;
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) +
                             sizeof(WCHAR) * static_cast<std::size_t>(length));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength =
        static_cast<DWORD>(sizeof(WCHAR) * static_cast<std::size_t>(length - 1));
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, rename->FileName, length);
    return SetFileInformationByHandle(handle, FileRenameInfo, rename,
                                      static_cast<DWORD>(buffer.size())) != FALSE;
}

bool Win32Calls::MarkForDeletion(HANDLE handle) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition) != FALSE;
}

bool Win32Calls::SetAttributes(HANDLE handle, DWORD attributes) {
    FILE_BASIC_INFO basic{};
    // Zero times are left as they are; zero attributes would mean "leave" too.
    basic.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    return SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic) != FALSE;
}

bool Win32Calls::NameExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

FileHandle Win32Calls::OpenAttributes(const std::string& path, DWORD& error) {
    FileHandle file(CreateFileW(Widened(path).c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                nullptr));
    error = file ? ERROR_SUCCESS : GetLastError();
    return file;
}

// No listing right: a folder one may pass through but not list is held too.
FileHandle Win32Calls::OpenFolder(const std::string& path) {
    return FileHandle(CreateFileW(Widened(path).c_str(),
                                  FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// NtOpenFile with the folder as the root of the name (OBJECT_ATTRIBUTES.RootDirectory), looked
// up at run time as the rest of ntdll's functions.
FileHandle Win32Calls::OpenInFolder(HANDLE folder, const std::wstring& name, DWORD access,
                                    DWORD& error) {
    using OpenFile =
        LONG(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, ULONG, ULONG);
    using DosError = ULONG(NTAPI*)(LONG);
    static const auto openFile = SystemFunction<OpenFile>("ntdll.dll", "NtOpenFile");
    static const auto dosError = SystemFunction<DosError>("ntdll.dll", "RtlNtStatusToDosError");
    constexpr ULONG kCaseInsensitive = 0x40;      // OBJ_CASE_INSENSITIVE
    constexpr ULONG kOpenReparsePoint = 0x200000; // FILE_OPEN_REPARSE_POINT
    constexpr ULONG kSynchronousIo = 0x20;        // FILE_SYNCHRONOUS_IO_NONALERT
    const auto bytes = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    UNICODE_STRING text{bytes, bytes, const_cast<PWSTR>(name.c_str())};
    OBJECT_ATTRIBUTES attributes{};
    attributes.Length = sizeof attributes;
    attributes.RootDirectory = folder;
    attributes.ObjectName = &text;
    attributes.Attributes = kCaseInsensitive;
    IO_STATUS_BLOCK io{};
    HANDLE entry = nullptr;
    const LONG status = openFile ? openFile(&entry, access | SYNCHRONIZE, &attributes, &io,
                                            kShareAll, kOpenReparsePoint | kSynchronousIo)
                                 : -1;
    // A deletion that waits for another program's handle reads as access denied otherwise.
    constexpr LONG kDeletePending = static_cast<LONG>(0xC0000056); // STATUS_DELETE_PENDING
    if (status < 0) {
        error = status == kDeletePending ? ERROR_DELETE_PENDING
                : openFile && dosError   ? dosError(status)
                                         : ERROR_INVALID_FUNCTION;
        return FileHandle();
    }
    error = ERROR_SUCCESS;
    return FileHandle(entry);
}

FindHandle Win32Calls::FindFirst(const std::wstring& pattern, WIN32_FIND_DATAW& found) {
    return FindHandle(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
}

bool Win32Calls::FindNext(HANDLE search, WIN32_FIND_DATAW& found) {
    return FindNextFileW(search, &found) != FALSE;
}

namespace {

template <typename Info> NumberedEntry Numbered(const Info& entry) {
    NumberedEntry numbered{std::wstring(entry.FileName, entry.FileNameLength / sizeof(WCHAR)), 0, 0,
                           static_cast<std::uint64_t>(entry.CreationTime.QuadPart)};
    if constexpr (std::is_same_v<Info, FILE_ID_EXTD_DIR_INFO>) {
        std::memcpy(&numbered.low, entry.FileId.Identifier, sizeof numbered.low);
        std::memcpy(&numbered.high, entry.FileId.Identifier + sizeof numbered.low,
                    sizeof numbered.high);
    } else {
        numbered.low = static_cast<std::uint64_t>(entry.FileId.QuadPart);
    }
    return numbered;
}

template <typename Info>
bool ReadNumbers(HANDLE folder, FILE_INFO_BY_HANDLE_CLASS restart, FILE_INFO_BY_HANDLE_CLASS more,
                 std::vector<NumberedEntry>& entries) {
    std::vector<LONGLONG> buffer(8192); // 64 KiB, aligned as the entries need
    FILE_INFO_BY_HANDLE_CLASS kind = restart;
    while (GetFileInformationByHandleEx(folder, kind, buffer.data(),
                                        static_cast<DWORD>(buffer.size() * sizeof(LONGLONG)))) {
        kind = more;
        const char* next = reinterpret_cast<const char*>(buffer.data());
        for (;;) {
            const auto& info = *reinterpret_cast<const Info*>(next);
            entries.push_back(Numbered(info));
            if (info.NextEntryOffset == 0)
                break;
            next += info.NextEntryOffset;
        }
    }
    return kind == more;
}

} // namespace

bool Win32Calls::NumberedEntries(HANDLE folder, bool wide, std::vector<NumberedEntry>& entries) {
    entries.clear();
    if (wide)
        return ReadNumbers<FILE_ID_EXTD_DIR_INFO>(folder, FileIdExtdDirectoryRestartInfo,
                                                  FileIdExtdDirectoryInfo, entries);
    return ReadNumbers<FILE_ID_BOTH_DIR_INFO>(folder, FileIdBothDirectoryRestartInfo,
                                              FileIdBothDirectoryInfo, entries);
}

// What WofIsExternalFile asks, through the held handle rather than a name (Wine exports
// WofIsExternalFile as a stub that ends the program). Windows 8.1 and later answer it; a
// system without the overlay filter refuses it, and a plain file is "not externally backed".
bool Win32Calls::OverlayBacked(HANDLE handle) {
    LONGLONG info[8] = {}; // WOF_EXTERNAL_INFO and the provider's data, aligned
    DWORD returned = 0;
    return DeviceIoControl(handle, FSCTL_GET_EXTERNAL_BACKING, nullptr, 0, info, sizeof info,
                           &returned, nullptr) ||
           GetLastError() == ERROR_MORE_DATA;
}

void Win32Calls::ExposePlaceholders() {
    // Looked up at run time: Windows before 10 (1803) and Wine lack it.
    using SetMode = CHAR(NTAPI*)(CHAR);
    static const auto setMode =
        SystemFunction<SetMode>("ntdll.dll", "RtlSetProcessPlaceholderCompatibilityMode");
    constexpr CHAR kExposePlaceholders = 2; // PHCM_EXPOSE_PLACEHOLDERS
    if (setMode)
        setMode(kExposePlaceholders);
}

Win32Calls& Win32Calls::System() {
    static Win32Calls system;
    return system;
}
