#include "platform/Win32Paths.h"
#include "platform/Win32Calls.h"
#include "platform/Win32FileIds.h"
#include "platform/Win32Handles.h"
#include "framework/CodePages.h"

#include <map>
#include <vector>

namespace {

// GetFinalPathNameByHandleW's flags: the normalized name, with a drive letter.
constexpr DWORD kFinalNameFlags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;

// Calls `get(buffer, size)` (a Win32 "fill this buffer or tell me the size" function) until
// the text fits; "" on failure.
template <typename Char = char, typename Get> std::basic_string<Char> GrowingText(Get get) {
    std::vector<Char> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD length = get(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size())
            return std::basic_string<Char>(buffer.data(), length);
        buffer.resize(length + 1);
    }
    return {};
}

// A handle's final path in the program's code page. Asked in UTF-16: Wine's ANSI form takes
// twice as long as the wide one, and a name check asks for two final paths before every rename
// and the deletion.
std::string FinalPathText(HANDLE handle, DWORD flags) {
    return Narrowed(GrowingText<wchar_t>([handle, flags](wchar_t* buffer, DWORD size) {
        return GetFinalPathNameByHandleW(handle, buffer, size, flags);
    }));
}

std::string LongPathName(const std::string& path) {
    return GrowingText(
        [&path](char* buffer, DWORD size) { return GetLongPathNameA(path.c_str(), buffer, size); });
}

} // namespace

std::string PlainFinalPath(std::string_view path) {
    std::string plain;
    if (path.substr(0, 8) == "\\\\?\\UNC\\")
        plain = "\\\\" + std::string(path.substr(8));
    else if (path.substr(0, 4) == "\\\\?\\")
        plain = path.substr(4);
    else
        plain = path;
    while (!plain.empty() && plain.back() == '\\')
        plain.pop_back();
    return plain;
}

namespace {

// The long form of a full name whose last part may not exist yet (a file being created).
std::string LongFormOf(const std::string& full) {
    // Names the system made short all hold a tilde; looking names up costs a directory search
    // per part of the path.
    if (full.find('~') == std::string::npos)
        return full;
    std::string longName = LongPathName(full);
    if (!longName.empty())
        return longName;
    const std::size_t slash = full.find_last_of('\\');
    if (slash == std::string::npos || slash + 1 == full.size())
        return {};
    const std::string folder = LongPathName(full.substr(0, slash + 1));
    if (folder.empty())
        return {};
    return folder + (folder.back() == '\\' ? "" : "\\") + full.substr(slash + 1);
}

// The final path of a root ("C:\\", "\\\\server\\share\\"); "" when it cannot be opened.
std::string RootFinalPath(const std::string& root) {
    // Asked once in a while, not per open: a drive's root leads where it did a moment ago.
    // Were it remapped meanwhile, names on it would only fail to match, never match wrongly.
    constexpr ULONGLONG kFreshFor = 2000;
    struct Known {
        std::string final;
        ULONGLONG asked = 0;
    };
    static std::map<std::string, Known> known;
    const ULONGLONG now = GetTickCount64();
    Known& entry = known[UpperCaseName(root)];
    if (entry.final.empty() || now - entry.asked > kFreshFor) {
        const FileHandle rootHandle(
            CreateFileA(root.c_str(), FILE_READ_ATTRIBUTES,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        entry.final = rootHandle ? FinalPathOf(rootHandle.Get()) : std::string();
        entry.asked = now;
    }
    return entry.final;
}

} // namespace

// Where the normalized name cannot be had (on a share with an unreadable folder on the way, or
// from some virtual-disk drivers), the name as opened also has every link on the way resolved.
std::string FinalPathOf(HANDLE handle) {
    for (const DWORD flags : {kFinalNameFlags, DWORD{FILE_NAME_OPENED | VOLUME_NAME_DOS}}) {
        std::string final = FinalPathText(handle, flags);
        if (!final.empty())
            return final;
    }
    return {};
}

std::string FullPathName(const std::string& path) {
    if (path.empty())
        return {};
    return GrowingText([&path](char* buffer, DWORD size) {
        return GetFullPathNameA(path.c_str(), size, buffer, nullptr);
    });
}

std::string PathRoot(const std::string& full) {
    if (full.size() >= 3 && full[1] == ':' && full[2] == '\\')
        return full.substr(0, 3);
    if (full.size() < 5 || full[0] != '\\' || full[1] != '\\' || full[2] == '?' || full[2] == '.')
        return {};
    const std::size_t serverEnd = full.find('\\', 2);
    if (serverEnd == std::string::npos || serverEnd == 2 || serverEnd + 1 == full.size())
        return {};
    const std::size_t shareEnd = full.find('\\', serverEnd + 1);
    if (shareEnd == serverEnd + 1)
        return {};
    return shareEnd == std::string::npos ? full + "\\" : full.substr(0, shareEnd + 1);
}

std::string UpperCaseName(std::string_view name) {
    const std::wstring wide = Widened(name);
    if (wide.empty())
        return std::string(name);
    const int size = static_cast<int>(wide.size());
    std::wstring upper(wide.size(), L'\0');
    if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), size, upper.data(), size,
                      nullptr, nullptr, 0) != size)
        return std::string(name);
    return Narrowed(upper, CP_UTF8);
}

bool SameNameIgnoringCase(std::string_view first, std::string_view second) {
    return UpperCaseName(first) == UpperCaseName(second);
}

bool FinalPathMatches(std::string_view rootFinal, std::string_view tail,
                      std::string_view finalPath) {
    const std::string root = PlainFinalPath(rootFinal);
    if (root.empty() || finalPath.empty())
        return false;
    while (!tail.empty() && tail.back() == '\\')
        tail.remove_suffix(1);
    const std::string expected = tail.empty() ? root : root + "\\" + std::string(tail);
    return SameNameIgnoringCase(expected, PlainFinalPath(finalPath));
}

bool ReachesDirectly(std::string_view rootFinal, std::string_view tail, std::string_view finalPath,
                     const std::function<std::pair<std::string, std::string>()>& volumePaths,
                     const std::function<bool()>& nameIsEntry) {
    if (rootFinal.empty())
        return nameIsEntry();
    if (!finalPath.empty())
        return FinalPathMatches(rootFinal, tail, finalPath);
    const auto [rootVolume, handleVolume] = volumePaths();
    if (rootVolume.empty())
        return nameIsEntry();
    return FinalPathMatches(rootVolume, tail, handleVolume) && nameIsEntry();
}

std::string GuidPathOf(HANDLE handle) {
    return FinalPathText(handle, FILE_NAME_NORMALIZED | VOLUME_NAME_GUID);
}

bool ReachedDirectly(Win32Calls& calls, HANDLE handle, const std::string& path,
                     std::string* finalPath) {
    const std::string full = FullPathName(path);
    const std::string root = PathRoot(full);
    if (root.empty())
        return false;
    // The names as stored: a short 8.3 name reads in its long form in the final path.
    const std::string longName = LongFormOf(full);
    if (longName.size() < root.size() ||
        !SameNameIgnoringCase(std::string_view(longName).substr(0, root.size()), root))
        return false;
    const std::string final = calls.FinalPath(handle);
    if (finalPath)
        *finalPath = final;
    const auto volumePaths = [&] {
        const FileHandle rootHandle(
            CreateFileA(root.c_str(), FILE_READ_ATTRIBUTES,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        return std::pair{rootHandle ? calls.GuidPath(rootHandle.Get()) : std::string(),
                         calls.GuidPath(handle)};
    };
    // The name's own entry, not followed, is the file the handle has: no link at the name.
    const auto nameIsEntry = [&] {
        const FileHandle entry = calls.OpenEntry(path, FILE_READ_ATTRIBUTES);
        const FileId id = calls.FullId(handle);
        return entry && id.known && calls.FullId(entry.Get()) == id;
    };
    return ReachesDirectly(RootFinalPath(root), longName.substr(root.size()), final, volumePaths,
                           nameIsEntry);
}
