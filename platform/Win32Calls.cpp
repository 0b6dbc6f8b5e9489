#include "platform/Win32Calls.h"
#include "platform/Win32FileIds.h"
#include "platform/Win32Paths.h"
#include "framework/SystemFunction.h"

#include <string_view>

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

} // namespace

FileHandle Win32Calls::OpenEntry(const std::string& path, DWORD access) {
    return FileHandle(CreateFileA(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
}

FileId Win32Calls::FullId(HANDLE handle) {
    return FullIdOf(handle);
}

FileId Win32Calls::LocalId(HANDLE handle) {
    return LocalIdOf(handle);
}

std::string Win32Calls::FinalPath(HANDLE handle) {
    return FinalPathOf(handle);
}

std::string Win32Calls::GuidPath(HANDLE handle) {
    return GuidPathOf(handle);
}

// ReFS numbers take 128 bits, and what a network or other driver gives is not known.
bool Win32Calls::NumbersSuffice(HANDLE handle) {
    wchar_t system[MAX_PATH + 1] = L"";
    if (!GetVolumeInformationByHandleW(handle, nullptr, 0, nullptr, nullptr, nullptr, system,
                                       MAX_PATH + 1))
        return false;
    const std::wstring_view name(system);
    return name == L"NTFS" || name == L"FAT" || name == L"FAT32" || name == L"exFAT";
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
