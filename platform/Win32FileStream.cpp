#include "platform/Win32FileStream.h"
#include "platform/Win32Paths.h"
#include "framework/CodePages.h"

#include <algorithm>
#include <limits>
#include <string_view>
#include <utility>

namespace {

// The last part of a full name.
std::string Leaf(const std::string& path) {
    return path.substr(path.find_last_of('\\') + 1);
}

// A full name in the system code page as the system takes it in UTF-16 beyond MAX_PATH:
// "\\?\C:\..." or "\\?\UNC\server\share\...", normalized first, since that prefix
// turns normalization off.
std::wstring LongForm(const std::string& path) {
    const std::wstring wide = Widened(path);
    std::wstring full(GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr), L'\0');
    const DWORD length =
        GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    full.resize(length < full.size() ? length : 0);
    if (full.rfind(L"\\\\?\\", 0) == 0)
        return full;
    if (full.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

} // namespace

Win32FileStream::Win32FileStream(Win32Calls& calls, FolderVolumes& folders, FileHandle handle,
                                 Win32StreamSetup setup)
    : FCalls(calls), FFolders(folders), FHandle(std::move(handle)), FPath(std::move(setup.path)),
      FFirstPath(FPath), FPlace(setup.place), FRestore(setup.restore), FNamed(setup.named),
      FFolder(std::move(setup.folder)) {}

bool Win32FileStream::Write(const void* data, std::size_t size) {
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        // WriteFile takes a 32-bit count. (max) in parentheses: windows.h defines a max macro.
        const DWORD part =
            static_cast<DWORD>(std::min<std::size_t>(size, (std::numeric_limits<DWORD>::max)()));
        DWORD written = 0;
        if (!WriteFile(FHandle.Get(), next, part, &written, nullptr) || written == 0)
            return false;
        next += written;
        size -= written;
    }
    return true;
}

bool Win32FileStream::Close() {
    if (!FHandle)
        return true;
    if (!FDeleting) {
        if (FRestore != INVALID_FILE_ATTRIBUTES)
            FCalls.SetAttributes(FHandle.Get(), FRestore);
        return FHandle.Reset();
    }
    // Wine unlinks when the handle is closed and drops a failure there, so success is only
    // believed once the name is gone. On Windows a file whose deletion waits for another
    // program's handle already reads as gone (access denied).
    FLastId = HeldId();
    FHandle.Reset();
    // Where the system deletes by name and no folder could be held, a name that stopped
    // answering proves nothing.
    if (FFolder ? GoneFromFolder() : !FCalls.ActsByName() && !FCalls.NameExists(FPath))
        return true;
    Reclaim();
    return false;
}

// Asked of the held folder, wherever it is now: the old name may have stopped answering only
// because a folder on its way was moved, and Wine then skips the deletion.
bool Win32FileStream::GoneFromFolder() {
    DWORD error = ERROR_SUCCESS;
    const FileHandle entry =
        FCalls.OpenInFolder(FFolder.Get(), Widened(Leaf(FPath)), FILE_READ_ATTRIBUTES, error);
    // Windows refuses every open of a file whose deletion waits for another program's handle.
    return !entry && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                      error == ERROR_DELETE_PENDING);
}

FileId Win32FileStream::Id() {
    if (!FPlace.id.known)
        FPlace.id = FCalls.OwnId(FHandle.Get());
    return FPlace.id;
}

bool Win32FileStream::HideName() {
    FILE_END_OF_FILE_INFO end{};
    const bool emptied =
        SetFileInformationByHandle(FHandle.Get(), FileEndOfFileInfo, &end, sizeof end) &&
        FlushFileBuffers(FHandle.Get());
    if (!FNamed)
        return emptied;
    const std::size_t slash = FPath.find_last_of('\\');
    if (slash == std::string::npos)
        return false;
    const std::string folder = FPath.substr(0, slash + 1);
    // The name as its entry has it on disk: one listed by its short form or in another letter
    // case has another shape, and a hiding name of that shape would leave the entry's own.
    const std::string onDisk = Leaf(FCalls.FinalPath(FHandle.Get()));
    const std::wstring wide = Widened(onDisk.empty() ? FPath.substr(slash + 1) : onDisk);
    const std::u16string name(wide.begin(), wide.end());
    // FAT and exFAT number a file by the place of its folder entry: a number that moved with
    // the renames left the old entries, name and all, behind as deleted ones.
    const std::uint64_t number = FCalls.LocalId(FHandle.Get()).index;
    // exFAT writes a new name into free entries and leaves the old ones deleted, name and
    // all; a second rename of the same shape is given the first free entries, which are
    // the old name's, and writes over it.
    bool renamed = false;
    for (int round = 0; round < 2; ++round) {
        for (char letter = 'Z'; letter >= 'A'; --letter) {
            const std::string hidden = folder + HidingName(name, letter);
            if (hidden == FPath)
                continue;
            if (!StillNamed())
                return false;
            if (FCalls.Rename(FHandle.Get(), hidden)) {
                FRenamedFrom = FPath;
                FPath = hidden;
                renamed = true;
                break;
            }
        }
    }
    return renamed && emptied && FCalls.LocalId(FHandle.Get()).index == number;
}

void Win32FileStream::GiveBack() {
    FTouched.touched = true;
    const FileHandle other = FCalls.OpenEntry(FPath, FILE_READ_ATTRIBUTES | DELETE);
    const FileId id = other ? EntryId(other.Get()) : FileId{};
    if (other && id.known && FCalls.Rename(other.Get(), FRenamedFrom)) {
        const FileHandle back = FCalls.OpenEntry(FRenamedFrom, FILE_READ_ATTRIBUTES);
        FTouched.given = back && EntryId(back.Get()) == id;
    }
    FPath = FRenamedFrom;
    FRenamedFrom.clear();
}

FileStream::Whereabouts Win32FileStream::Where() {
    const std::string moved = FPath == FFirstPath ? std::string() : FPath;
    const std::size_t slash = FPath.find_last_of('\\');
    if (!FNamed || !FFolder || slash == std::string::npos)
        return {moved, false};
    const std::string folder = FPath.substr(0, slash + 1);
    // Where it was, while that name still leads to the held folder.
    const FileHandle byName = FCalls.OpenFolder(folder);
    const FileId held = FCalls.FullId(FFolder.Get());
    if (byName && held.known && FCalls.FullId(byName.Get()) == held)
        return {moved, false};
    // Windows tells where a held folder is now; Wine tells the name it was opened by.
    const std::string now = FCalls.FinalPathsFollowMoves()
                                ? PlainFinalPath(FCalls.FinalPath(FFolder.Get()))
                                : std::string();
    if (!now.empty() && !SameNameIgnoringCase(now + "\\", folder))
        return {now + "\\" + FPath.substr(slash + 1), false};
    return {FPath.substr(slash + 1), true};
}

bool Win32FileStream::RestoreName() {
    if (FPath == FFirstPath)
        return true;
    if (!StillNamed() || !FCalls.Rename(FHandle.Get(), FFirstPath))
        return false;
    FRenamedFrom = FPath;
    FPath = FFirstPath;
    return true;
}

// Wine renames and deletes an open file by the name it was opened by: once another file has
// taken that name, or a folder on the way leads elsewhere, either would reach that other file.
// So the name's own entry must show this very file, whole: its number alone can be another
// volume's file's, and a sharing violation only says that some program holds what answered.
//
// The check after a rename by name is the one before the next act, which every rename has.
// Another file there then is the one that rename reached: Wine renames by the name a file was
// opened by, and a folder on the way moved between the check and the rename left that name
// to another file. That file gets its name back at once, and nothing more is done by name.
bool Win32FileStream::StillNamed() {
    if (!FNamed || !FHandle || FTouched.touched)
        return false;
    const FileHandle entry = FCalls.OpenEntry(FPath, FILE_READ_ATTRIBUTES);
    if (!entry)
        return false;
    const FileId held = HeldId();
    if (held.known && EntryId(entry.Get()) == held) {
        FRenamedFrom.clear();
        return true;
    }
    // Only a rename by name can have reached another file.
    if (!FRenamedFrom.empty() && FCalls.ActsByName())
        GiveBack();
    return false;
}

FileId Win32FileStream::HeldId() {
    if (!FPlace.volumeFromFolder)
        return FCalls.Settled(FCalls.FullId(FHandle.Get()));
    FileId id = FCalls.LocalId(FHandle.Get());
    id.volume = FPlace.id.volume;
    return FCalls.Settled(id);
}

FileId Win32FileStream::EntryId(HANDLE entry) {
    if (!FPlace.volumeFromFolder)
        return FCalls.Settled(FCalls.FullId(entry));
    return FFolders.IdOf(entry, FCalls.FinalPath(entry));
}

void Win32FileStream::Reclaim() {
    const FileHandle file =
        FCalls.OpenEntry(FPath, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | DELETE);
    if (!file || !FLastId.known || !(EntryId(file.Get()) == FLastId))
        return;
    if (FPath != FFirstPath && FCalls.Rename(file.Get(), FFirstPath))
        FPath = FFirstPath;
    if (FRestore != INVALID_FILE_ATTRIBUTES)
        FCalls.SetAttributes(file.Get(), FRestore);
}

std::optional<std::vector<NamedStream>> Win32FileStream::NamedStreams() {
    // Known for the volume of the file's folder, else asked of the file itself: never taken
    // from another volume of the same serial.
    const std::optional<bool> keepsStreams =
        FPlace.keepsStreams ? FPlace.keepsStreams : FCalls.KeepsStreams(FHandle.Get());
    if (keepsStreams == false)
        return std::vector<NamedStream>{};
    std::vector<StreamEntry> entries;
    const DWORD error = FCalls.Streams(FHandle.Get(), entries);
    // A file with no data stream at all (an empty file on some systems).
    if (error == ERROR_HANDLE_EOF)
        return std::vector<NamedStream>{};
    if (error != ERROR_SUCCESS) {
        // Whether the volume keeps streams could not be read, and its file system knows none
        // (Wine's drives answer so).
        if (!keepsStreams && (error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED ||
                              error == ERROR_INVALID_PARAMETER))
            return std::vector<NamedStream>{};
        return std::nullopt;
    }
    std::vector<NamedStream> streams;
    for (const StreamEntry& entry : entries) {
        // ":name:$DATA"; the main one is "::$DATA", and only data streams hold content.
        constexpr std::wstring_view kData = L":$DATA";
        const std::wstring_view name = entry.name;
        if (name.size() <= kData.size() + 1 || name.front() != L':' || !name.ends_with(kData))
            continue;
        const std::wstring_view own = name.substr(1, name.size() - 1 - kData.size());
        // What the system code page cannot spell shows as "?"; the stream opens by its own name.
        streams.push_back(
            {Narrowed(std::wstring(own)), entry.length, std::u16string(own.begin(), own.end())});
    }
    return streams;
}

// Through the held file's own name in UTF-16, whatever its length or the stream's name.
TargetOpen Win32FileStream::OpenNamedStream(const NamedStream& named) {
    if (!StillNamed())
        return {nullptr, OpenRefusal::Changed};
    const std::wstring path = LongForm(FPath) + L":" +
                              std::wstring(named.unicode.begin(), named.unicode.end()) + L":$DATA";
    DWORD error = ERROR_SUCCESS;
    FileHandle stream = FCalls.OpenStream(path, error);
    if (!stream)
        return {nullptr, error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION
                             ? OpenRefusal::InUse
                             : OpenRefusal::NoFile};
    return {std::make_unique<Win32FileStream>(
                FCalls, FFolders, std::move(stream),
                Win32StreamSetup{FPath + ":" + named.name, {}, INVALID_FILE_ATTRIBUTES, false}),
            OpenRefusal::None};
}

std::uint32_t Win32FileStream::Storage() {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    const std::uint32_t storage =
        GetFileInformationByHandleEx(FHandle.Get(), FileAttributeTagInfo, &tag, sizeof tag)
            ? StorageOf(tag.FileAttributes, tag.ReparseTag)
            : 0;
    return storage | (FCalls.OverlayBacked(FHandle.Get()) ? kStoredOverlay : 0);
}

bool Win32FileStream::Delete() {
    if (!StillNamed() || !FCalls.MarkForDeletion(FHandle.Get()))
        return false;
    FDeleting = true;
    return true;
}
