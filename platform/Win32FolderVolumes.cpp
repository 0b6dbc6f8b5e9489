#include "platform/Win32FolderVolumes.h"
#include "platform/Win32Paths.h"

#include <string_view>

namespace {

std::string_view WithoutTrailingDelimiter(std::string_view path) {
    while (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    return path;
}

} // namespace

FolderVolumes::Place FolderVolumes::Whole(HANDLE file) {
    return {FCalls.OwnId(file), false, std::nullopt};
}

bool FolderVolumes::IsFolder(HANDLE handle, const std::string& folder) {
    return SameNameIgnoringCase(WithoutTrailingDelimiter(FCalls.FinalPath(handle)),
                                WithoutTrailingDelimiter(folder));
}

FolderVolumes::Place FolderVolumes::PlaceOf(HANDLE file, const std::string& finalPath) {
    const std::size_t slash = finalPath.find_last_of('\\');
    if (slash == std::string::npos)
        return Whole(file);
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
        // Opened by name, the folder may be another than the file's by now.
        if (!held || !IsFolder(held.Get(), folder))
            return Whole(file);
        // A folder whose volume cannot stand for its files' is remembered as such too, so
        // that it is not asked again for every file.
        Held entry{std::move(held), std::nullopt, std::nullopt};
        if (FCalls.NumbersSuffice(entry.folder.Get())) {
            const FileId own = FCalls.FullId(entry.folder.Get());
            if (own.known) {
                entry.volume = own.volume;
                entry.keepsStreams = FCalls.KeepsStreams(entry.folder.Get());
            }
        }
        // A run takes a folder's files one after another: a few folders are enough to know,
        // and a tree of thousands holds no more handles than that.
        constexpr std::size_t kFoldersHeld = 16;
        if (FHeld.size() >= kFoldersHeld)
            FHeld.clear();
        found = FHeld.emplace(key, std::move(entry)).first;
    }
    if (!found->second.volume)
        return Whole(file);
    FileId id = FCalls.LocalId(file);
    if (id.known)
        id.volume = *found->second.volume;
    return {FCalls.Settled(id), id.known, found->second.keepsStreams};
}
