#include "platform/Win32OtherNames.h"
#include "platform/Win32Handles.h"
#include "framework/CodePages.h"
#include "framework/SystemFunction.h"

#include <windows.h>

#include <cwchar>

namespace {

// The longest name the wide functions take.
constexpr DWORD kLongestName = 32768;

bool SameIgnoringCase(const std::wstring& first, const std::wstring& second) {
    return CompareStringOrdinal(first.c_str(), static_cast<int>(first.size()), second.c_str(),
                                static_cast<int>(second.size()), TRUE) == CSTR_EQUAL;
}

std::wstring FolderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// A name as the volume's own names spell it: full, in its long form where the file is there.
std::wstring Spelled(const std::wstring& path) {
    std::wstring full(kLongestName, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), kLongestName, full.data(), nullptr);
    if (length == 0 || length >= kLongestName)
        return path;
    full.resize(length);
    std::wstring longForm(kLongestName, L'\0');
    length = GetLongPathNameW(full.c_str(), longForm.data(), kLongestName);
    if (length == 0 || length >= kLongestName)
        return full;
    longForm.resize(length);
    return longForm;
}

// NtQueryInformationFile with FileHardLinkInformation, the query FindFirstFileNameW is made
// of. Wine (8 at least) keeps FindFirstFileNameW as a stub that ends the process when called,
// but answers the query as not implemented: asked first, it tells whether the function may be.
using QueryInformationFileFunction = LONG(WINAPI*)(HANDLE, void*, void*, ULONG, int);
constexpr int kFileHardLinkInformation = 46;
constexpr LONG kNotImplemented = static_cast<LONG>(0xC0000002);
constexpr LONG kInvalidInfoClass = static_cast<LONG>(0xC0000003);

bool SystemListsNames(const std::wstring& path) {
    static const auto query =
        SystemFunction<QueryInformationFileFunction>("ntdll.dll", "NtQueryInformationFile");
    const FileHandle file(CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!query || !file)
        return false;
    struct {
        void* status;
        ULONG_PTR information;
    } io{};
    alignas(8) char links[1024];
    const LONG status = query(file.Get(), &io, links, sizeof links, kFileHardLinkInformation);
    return status != kNotImplemented && status != kInvalidInfoClass;
}

std::optional<std::vector<std::wstring>> SystemNames(const std::wstring& path) {
    if (!SystemListsNames(path))
        return std::nullopt;
    std::vector<std::wstring> names;
    std::wstring name(kLongestName, L'\0');
    DWORD length = kLongestName;
    const FindHandle search(FindFirstFileNameW(path.c_str(), 0, &length, name.data()));
    if (!search)
        return std::nullopt;
    do {
        names.emplace_back(name.c_str());
        length = kLongestName;
    } while (FindNextFileNameW(search.Get(), &length, name.data()));
    if (GetLastError() != ERROR_HANDLE_EOF)
        return std::nullopt;
    return names;
}

std::wstring SystemVolumeFolder(const std::wstring& path) {
    std::wstring volume(kLongestName, L'\0');
    if (!GetVolumePathNameW(path.c_str(), volume.data(), kLongestName))
        return {};
    volume.resize(wcslen(volume.c_str()));
    return volume;
}

} // namespace

NameQueries SystemNameQueries() {
    return {SystemVolumeFolder, SystemNames};
}

std::optional<std::vector<OtherName>> OtherNamesOf(const std::string& path,
                                                   const NameQueries& queries) {
    const std::wstring asked = Widened(path);
    std::wstring volume = queries.volumeFolder(asked);
    const std::optional<std::vector<std::wstring>> names = queries.names(asked);
    if (volume.empty() || !names)
        return std::nullopt;
    // The names start with the delimiter the volume's folder ends in.
    if (volume.back() == L'\\')
        volume.pop_back();
    const std::wstring self = Spelled(asked);
    std::vector<OtherName> others;
    bool selfFound = false;
    for (const std::wstring& name : *names) {
        const std::wstring full = volume + name;
        if (!selfFound && SameIgnoringCase(full, self))
            selfFound = true;
        else
            others.push_back({Narrowed(full), SameIgnoringCase(FolderOf(full), FolderOf(self))});
    }
    if (!selfFound)
        return std::nullopt;
    return others;
}
