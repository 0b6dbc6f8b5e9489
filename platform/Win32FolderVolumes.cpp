#include "platform/Win32FolderVolumes.h"
#include "platform/Win32FileIds.h"
#include "platform/Win32Paths.h"

#include <string_view>

namespace {

std::string_view WithoutTrailingDelimiter(std::string_view path) {
    while (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    return path;
}

} // namespace

std::string FolderVolumes::Queries::FinalPath(HANDLE handle) {
    return FinalPathOf(handle);
}

FileId FolderVolumes::Queries::FullId(HANDLE handle) {
    return FullIdOf(handle);
}

// ReFS numbers take 128 bits, and what a network or other driver gives is not known.
bool FolderVolumes::Queries::NumbersSuffice(HANDLE handle) {
    wchar_t system[MAX_PATH + 1] = L"";
    if (!GetVolumeInformationByHandleW(handle, nullptr, 0, nullptr, nullptr, nullptr, system,
                                       MAX_PATH + 1))
        return false;
    const std::wstring_view name(system);
    return name == L"NTFS" || name == L"FAT" || name == L"FAT32" || name == L"exFAT";
}

FolderVolumes::FolderVolumes() : FQueries(SystemQueries()) {}

FolderVolumes::Queries& FolderVolumes::SystemQueries() {
    static Queries system;
    return system;
}

bool FolderVolumes::IsFolder(HANDLE handle, const std::string& folder) {
    return SameNameIgnoringCase(WithoutTrailingDelimiter(FQueries.FinalPath(handle)),
                                WithoutTrailingDelimiter(folder));
}

FileId FolderVolumes::IdOf(HANDLE file, const std::string& finalPath) {
    const std::size_t slash = finalPath.find_last_of('\\');
    if (slash == std::string::npos)
        return FQueries.FullId(file);
    // With its delimiter: "\\?\C:" without one would be the volume, not its root folder.
    const std::string folder = finalPath.substr(0, slash + 1);
    const std::string key = UpperCaseName(WithoutTrailingDelimiter(folder));
    auto found = FHeld.find(key);
    if (found != FHeld.end() && !IsFolder(found->second.folder.Get(), folder)) {
        FHeld.erase(found);
        found = FHeld.end();
    }
    if (found == FHeld.end()) {
        FileHandle held(CreateFileA(folder.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!held || !IsFolder(held.Get(), folder))
            return FQueries.FullId(file);
        // A folder whose volume cannot stand for its files' is remembered as such too, so
        // that it is not asked again for every file.
        std::optional<std::uint64_t> volume;
        if (FQueries.NumbersSuffice(held.Get())) {
            const FileId own = FQueries.FullId(held.Get());
            if (own.known)
                volume = own.volume;
        }
        // A run takes a folder's files one after another: a few folders are enough to know,
        // and a tree of thousands holds no more handles than that.
        constexpr std::size_t kFoldersHeld = 16;
        if (FHeld.size() >= kFoldersHeld)
            FHeld.clear();
        found = FHeld.emplace(key, Held{std::move(held), volume}).first;
    }
    if (!found->second.volume)
        return FQueries.FullId(file);
    return MakeFileId(*found->second.volume, 0, NumberOf(file));
}
