// The Windows backend's rules on names and identities, on real files under Wine, with the
// system's answers changed where Wine cannot give them: a name's entry that shows another
// file, a FAT number that moves with a rename, a deletion the system takes but does not carry
// out, volumes of one serial of which one keeps named streams.
#include "platform/FileSystem.h"
#include "platform/Win32Calls.h"
#include "platform/Win32FileSystem.h"
#include "ScratchFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include <windows.h>

namespace {

class ScriptedCalls final : public Win32Calls {
public:
    // Every identity read whole, as on ReFS or a driver of unknown numbers; else the volume of
    // each held folder stands for its files'.
    bool numbersSuffice = false;
    // FAT: a rename moves the file's folder entry, and its number with it.
    bool numbersMove = false;
    enum class Deletion { Done, Refused, TakenButKept } deletion = Deletion::Done;
    int streamOpens = 0;
    // What a stream open was asked for, and the error it answers with (none: the system's).
    std::wstring streamPath;
    DWORD streamError = ERROR_SUCCESS;
    // Files with no final path by drive letter, and by volume GUID on a volume of their own
    // (reached through a junction to a volume with no letter) or on their drive's.
    bool noFinalPaths = false;
    bool letterlessVolume = false;
    bool placeholdersExposed = false;
    // FileIdInfo answers 0, as a file system without 128-bit numbers; 128-bit numbers (of
    // FileIdInfo and the 128-bit listing) that differ from the 64-bit ones by this much.
    bool zeroIdInfo = false;
    std::uint64_t wideShift = 0;
    // What the overlay filter says of every file.
    bool overlayBacked = false;
    // The error with which a read-only file's attribute open fails; whether its attributes
    // cannot be written (a write-protected stick).
    DWORD attributesError = ERROR_SUCCESS;
    bool attributesRefused = false;
    // What a read-only file's attribute handle shows (a file put in its place).
    std::function<void(FileId&)> attributesShow;

    // From now on the name's own entry shows the held file changed so.
    void EntryShows(std::function<void(FileId&)> change) {
        FEntries.clear();
        FChange = std::move(change);
        FNoEntry = false;
    }
    // From now on the name's own entry does not open at all.
    void NoEntry() {
        EntryShows(nullptr);
        FNoEntry = true;
    }

    FileHandle OpenEntry(const std::string& path, DWORD access) override {
        if (FNoEntry)
            return FileHandle();
        FileHandle entry = Win32Calls::OpenEntry(path, access);
        if (entry && FChange)
            FEntries.insert(entry.Get());
        return entry;
    }
    FileHandle OpenAttributes(const std::string& path, DWORD& error) override {
        if (attributesError != ERROR_SUCCESS) {
            error = attributesError;
            return FileHandle();
        }
        FileHandle file = Win32Calls::OpenAttributes(path, error);
        FAttributeHandle = file.Get();
        return file;
    }
    bool SetAttributes(HANDLE handle, DWORD attributes) override {
        return !attributesRefused && Win32Calls::SetAttributes(handle, attributes);
    }
    bool IdInfo(HANDLE handle, FILE_ID_INFO& info) override {
        if (!Win32Calls::IdInfo(handle, info))
            return false;
        std::uint64_t high = 0;
        std::memcpy(&high, info.FileId.Identifier + 8, sizeof high);
        high += wideShift;
        std::memcpy(info.FileId.Identifier + 8, &high, sizeof high);
        if (zeroIdInfo)
            std::memset(info.FileId.Identifier, 0, sizeof info.FileId.Identifier);
        return true;
    }
    // Both kinds from the 64-bit listing, which Wine gives.
    bool NumberedEntries(HANDLE folder, bool wide, std::vector<NumberedEntry>& entries) override {
        if (!Win32Calls::NumberedEntries(folder, false, entries))
            return false;
        for (NumberedEntry& entry : entries)
            if (wide) {
                entry.high += wideShift;
                if (zeroIdInfo)
                    entry.high = entry.low = 0;
            }
        return true;
    }
    bool OverlayBacked(HANDLE) override { return overlayBacked; }
    // As Windows answers, unless a test asks for Wine's creation times.
    bool creationFollowsWrites = false;
    bool CreationFollowsWrites() override { return creationFollowsWrites; }
    FileId FullId(HANDLE handle) override { return Shown(handle, Win32Calls::FullId(handle)); }
    FileId LocalId(HANDLE handle) override { return Shown(handle, Win32Calls::LocalId(handle)); }
    // An entry shown as another file tells no place: it is read whole, volume and all.
    std::string FinalPath(HANDLE handle) override {
        const bool none =
            (FChange && FEntries.count(handle) != 0) || (noFinalPaths && !IsFolder(handle));
        std::string path = none ? std::string() : Win32Calls::FinalPath(handle);
        // Where the system's final paths follow a moved folder (Windows): the folder
        // `movedFrom` ("\\name") now stands at `movedTo`.
        const std::size_t at = movedFrom.empty() ? std::string::npos : path.find(movedFrom);
        const std::size_t end = at + movedFrom.size();
        if (finalPathsFollowMoves && at != std::string::npos &&
            (end == path.size() || path[end] == '\\'))
            path.replace(at, movedFrom.size(), movedTo);
        return path;
    }
    bool finalPathsFollowMoves = false;
    std::string movedFrom, movedTo;
    bool FinalPathsFollowMoves() override { return finalPathsFollowMoves; }
    // "\\?\C:\x" as "\\?\Volume{C}\x".
    std::string GuidPath(HANDLE handle) override {
        const std::string path = Win32Calls::FinalPath(handle);
        const bool other = letterlessVolume && !IsFolder(handle);
        return "\\\\?\\Volume{" + (other ? std::string("other") : path.substr(4, 1)) + "}" +
               path.substr(6);
    }
    void ExposePlaceholders() override { placeholdersExposed = true; }
    bool NumbersSuffice(HANDLE) override { return numbersSuffice; }
    // Volumes of one serial: only the folders named "with-streams" and "unread-streams" keep
    // named streams, and the list of the latter's files cannot be read.
    std::optional<bool> KeepsStreams(HANDLE handle) override {
        return FinalPath(handle).find("-streams") != std::string::npos &&
               FinalPath(handle).find("no-streams") == std::string::npos;
    }
    DWORD Streams(HANDLE handle, std::vector<StreamEntry>& streams) override {
        if (FinalPath(handle).find("unread-streams") != std::string::npos)
            return ERROR_ACCESS_DENIED;
        streams = {{L"::$DATA", 3}, {L":zone:$DATA", 5}};
        return ERROR_SUCCESS;
    }
    FileHandle OpenStream(const std::wstring& path, DWORD& error) override {
        ++streamOpens;
        streamPath = path;
        if (streamError == ERROR_SUCCESS)
            return Win32Calls::OpenStream(path, error);
        error = streamError;
        return FileHandle();
    }
    // What happens to the folders right before the n-th rename by a handle (from 1), and
    // right before a deletion is asked for: a folder moved after the check before the act.
    std::function<void(int)> beforeRename;
    std::function<void()> beforeDeletion;
    int renames = 0;

    bool Rename(HANDLE handle, const std::string& path) override {
        if (beforeRename)
            beforeRename(++renames);
        const std::uint64_t number = Win32Calls::LocalId(handle).index;
        if (!Win32Calls::Rename(handle, path))
            return false;
        if (numbersMove)
            FMoved[number] += 1000;
        return true;
    }
    bool MarkForDeletion(HANDLE handle) override {
        if (beforeDeletion)
            beforeDeletion();
        if (deletion == Deletion::TakenButKept)
            return true;
        return deletion == Deletion::Done && Win32Calls::MarkForDeletion(handle);
    }

private:
    static bool IsFolder(HANDLE handle) {
        FILE_STANDARD_INFO standard{};
        return GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard) &&
               standard.Directory;
    }
    FileId Shown(HANDLE handle, FileId id) {
        if (!id.known)
            return id;
        // One serial for every volume.
        if (id.volume != 0)
            id.volume = 7;
        const auto moved = FMoved.find(id.index);
        if (moved != FMoved.end())
            id.index += moved->second;
        if (FChange && FEntries.count(handle) != 0)
            FChange(id);
        if (attributesShow && handle == FAttributeHandle)
            attributesShow(id);
        return id;
    }

    std::function<void(FileId&)> FChange;
    std::set<HANDLE> FEntries;
    bool FNoEntry = false;
    HANDLE FAttributeHandle = nullptr;
    std::map<std::uint64_t, std::uint64_t> FMoved;
};

class Win32NameChecks : public testing::Test {
protected:
    // Whether volumes are read once per held folder; the folders held so far go.
    void NumbersSuffice(bool suffice) {
        calls.numbersSuffice = suffice;
        files->ReleaseFolders();
    }
    // A read-only file to shred, opened as a run opens it.
    std::unique_ptr<FileStream> Opened(const std::string& name = "Listed.txt") {
        const std::string path = temp / name;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        WriteFileContent(path, "abc");
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
        TargetOpen opened = files->OpenTarget(path);
        EXPECT_TRUE(opened.file) << path;
        return std::move(opened.file);
    }
    bool ReadOnly(const std::string& path) {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    }
    // The files of a folder (its path ends in a delimiter), by name.
    static std::vector<std::string> FilesIn(const std::string& folder) {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        const FindHandle search(FindFirstFileA((folder + "*").c_str(), &found));
        if (search)
            do
                if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                    names.push_back(found.cFileName);
            while (FindNextFileA(search.Get(), &found));
        return names;
    }
    static void Erase(const std::string& path) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
    // The files in the folder besides the listed one, removed when `remove`.
    int Others(bool remove = false) {
        int count = 0;
        for (const std::string& name : FilesIn(temp.Path())) {
            if (name == "Listed.txt" && !remove)
                continue;
            ++count;
            if (remove)
                Erase(temp / name);
        }
        return count;
    }
    // A folder of the test and its files, read-only ones too, gone.
    void Cleared(const std::string& folder) {
        for (const std::string& name : FilesIn(folder + kDelimiter))
            Erase(folder + kDelimiter + name);
        RemoveDirectoryA(folder.c_str());
    }

    TempFolder temp;
    ScriptedCalls calls;
    std::unique_ptr<FileSystem> files = MakeWin32FileSystem(calls);
    const std::string listed = temp / "Listed.txt";
};

// Every act through the name (a rename, the deletion, giving the name back, opening a named
// stream, taking back a file whose deletion did not happen) first checks that the name's own
// entry shows the held file whole: another number, the same number on another volume, or the
// same number and volume with another creation time (serials repeat and read 0) is another
// file, however it answers a sharing probe.
TEST_F(Win32NameChecks, OnlyTheHeldFilesWholeIdentityLetsItsNameBeUsed) {
    const struct {
        const char* what;
        void (*change)(FileId&);
        bool passes;
        bool creationFollowsWrites = false;
    } rows[] = {
        {"the held file", [](FileId&) {}, true},
        {"another number", [](FileId& id) { ++id.index; }, false},
        {"another volume", [](FileId& id) { ++id.volume; }, false},
        {"another creation time", [](FileId& id) { ++id.created; }, false},
        // Wine's creation time is the last write time: on a known volume, the same file.
        {"another creation time that follows writes", [](FileId& id) { ++id.created; }, true, true},
        {"no entry at the name", nullptr, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const bool passes = row.passes;
        calls.creationFollowsWrites = row.creationFollowsWrites;
        const auto show = [&] {
            if (row.change)
                calls.EntryShows(row.change);
            else
                calls.NoEntry();
        };
        for (const bool suffice : {false, true}) {
            NumbersSuffice(suffice);
            auto file = Opened();
            show();
            EXPECT_EQ(file->HideName(), passes);
            EXPECT_EQ(PathExists(listed), !passes);
            calls.EntryShows(nullptr);
            file->RestoreName();

            show();
            EXPECT_EQ(file->Delete(), passes);
            file->Close();
            EXPECT_EQ(PathExists(listed), !passes);
            calls.EntryShows(nullptr);
        }

        auto file = Opened();
        ASSERT_TRUE(file->HideName());
        show();
        EXPECT_EQ(file->RestoreName(), passes);
        EXPECT_EQ(PathExists(listed), passes);
        calls.streamOpens = 0;
        file->OpenNamedStream({"zone", 5, u"zone"});
        EXPECT_EQ(calls.streamOpens, passes ? 1 : 0);
        calls.EntryShows(nullptr);
        file->RestoreName();
        file->Close();

        // Wine deletes as the handle closes, and can fail there: the file that stays gets its
        // name and read-only bit back, only through a handle that reaches it.
        calls.deletion = ScriptedCalls::Deletion::TakenButKept;
        file = Opened();
        ASSERT_TRUE(file->HideName());
        ASSERT_TRUE(file->Delete());
        show();
        EXPECT_FALSE(file->Close());
        EXPECT_EQ(PathExists(listed), passes);
        EXPECT_EQ(ReadOnly(listed), passes);
        calls.EntryShows(nullptr);
        calls.deletion = ScriptedCalls::Deletion::Done;
        Others(true);
    }
}

// On FAT a file's number is the place of its folder entry, and a rename to a name that takes
// another number of entries moves it: the held file is known by the number its handle shows
// now, so that it is still deleted, or given its name back when the deletion is refused. A
// number that moved with the hiding names says that the old name's entries stay readable.
TEST_F(Win32NameChecks, AFileWhoseNumberMovesWithEachRenameIsStillDeletedOrGivenItsNameBack) {
    calls.numbersMove = true;
    for (const bool suffice : {false, true}) {
        for (const bool refused : {false, true}) {
            SCOPED_TRACE(std::string(suffice ? "volume by folder" : "read whole") +
                         (refused ? ", deletion refused" : ""));
            NumbersSuffice(suffice);
            calls.deletion =
                refused ? ScriptedCalls::Deletion::Refused : ScriptedCalls::Deletion::Done;
            auto file = Opened();
            EXPECT_FALSE(file->HideName()) << "the old name's entries stay where they were";
            EXPECT_EQ(file->Delete(), !refused);
            if (refused) {
                EXPECT_TRUE(file->RestoreName());
            }
            EXPECT_TRUE(file->Close());
            EXPECT_EQ(PathExists(listed), refused);
            EXPECT_EQ(ReadOnly(listed), refused);
            EXPECT_EQ(Others(), 0) << "a hiding name stays";
            Others(true);
        }
    }
}

// Whether a volume keeps named streams is asked with each held folder, never taken from
// another volume of the same serial; a list of streams that cannot be read is no list.
TEST_F(Win32NameChecks, NamedStreamsAreAskedOfEachVolumeNotOfItsSerial) {
    NumbersSuffice(true);
    const struct {
        const char* folder;
        std::optional<std::vector<NamedStream>> streams;
    } rows[] = {
        {"no-streams", std::vector<NamedStream>{}},
        {"with-streams", std::vector<NamedStream>{{"zone", 5, u"zone"}}},
        {"unread-streams", std::nullopt},
    };
    for (const auto& row : rows) {
        MakeFolder(temp / row.folder);
        auto file = Opened(std::string(row.folder) + kDelimiter + "a.txt");
        EXPECT_EQ(file->NamedStreams(), row.streams) << row.folder;
    }
}

} // namespace

namespace {

// Where the system gives a file no final path by drive letter, its place by volume GUID
// decides: a junction on the way to a volume with no letter, or a link at the name itself,
// makes it a file reached through a link, never opened to be shredded.
TEST_F(Win32NameChecks, WithoutAFinalPathAFileIsPlacedByItsVolume) {
    EXPECT_TRUE(calls.placeholdersExposed) << "a cloud file could pass for a plain one";
    calls.noFinalPaths = true;
    const struct {
        const char* what;
        bool letterless, entryElsewhere;
        OpenRefusal refusal;
    } rows[] = {
        {"on its drive's volume", false, false, OpenRefusal::None},
        {"on a volume with no letter", true, false, OpenRefusal::Link},
        {"its name an entry of another file", false, true, OpenRefusal::Link},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        calls.letterlessVolume = row.letterless;
        calls.EntryShows(row.entryElsewhere ? [](FileId& id) { ++id.index; }
                                            : std::function<void(FileId&)>());
        WriteFileContent(listed, "abc");
        const TargetOpen opened = files->OpenTarget(listed);
        EXPECT_EQ(opened.refusal, row.refusal);
        calls.EntryShows(nullptr);
    }
}

// A named stream opens through the file's own name in UTF-16 ("\\?\" form, whatever its
// length, and a stream name the system code page cannot spell), and one that another program
// holds is said so, to be tried again.
TEST_F(Win32NameChecks, ANamedStreamOpensByItsUnicodeNameAndTellsWhenItIsHeld) {
    auto file = Opened();
    calls.streamError = ERROR_SHARING_VIOLATION;
    const TargetOpen opened = file->OpenNamedStream({"?", 5, u"\u4E2D"});
    EXPECT_EQ(opened.refusal, OpenRefusal::InUse);
    EXPECT_EQ(calls.streamPath,
              L"\\\\?\\" + std::wstring(listed.begin(), listed.end()) + L":\u4E2D:$DATA");
}

} // namespace

namespace {

// One file matches itself whichever call read its number: the folder's listing, a lookup of
// its name and the run's handle read numbers of one kind. A FileIdInfo of 0 comes from a file
// system without 128-bit numbers; where 64-bit numbers name a file, 128-bit ones may differ.
TEST_F(Win32NameChecks, OneFileMatchesItselfWhicheverCallReadItsNumber) {
    const struct {
        const char* what;
        bool suffice, zeroIdInfo;
        std::uint64_t wideShift;
    } rows[] = {
        {"64-bit numbers suffice, 128-bit ones differ", true, false, 5},
        {"64-bit numbers suffice, FileIdInfo answers 0", true, true, 0},
        {"128-bit numbers, FileIdInfo answers 0", false, true, 0},
        {"128-bit numbers", false, false, 5},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        NumbersSuffice(row.suffice);
        calls.zeroIdInfo = row.zeroIdInfo;
        calls.wideShift = row.wideShift;
        WriteFileContent(listed, "abc");
        FileId fromListing;
        files->ListDirectory(temp.Path(), [&](const DirectoryEntry& entry) {
            if (entry.name == "Listed.txt")
                fromListing = entry.id;
        });
        const FileId looked = files->Identify(listed);
        TargetOpen opened = files->OpenTarget(listed);
        ASSERT_TRUE(opened.file);
        EXPECT_TRUE(fromListing.known);
        EXPECT_EQ(fromListing, opened.file->Id());
        EXPECT_EQ(looked, opened.file->Id());
        EXPECT_TRUE(opened.file->HideName());
        EXPECT_TRUE(opened.file->Delete());
        EXPECT_TRUE(opened.file->Close());
        EXPECT_FALSE(PathExists(listed));
    }
}

TEST(NumbersSufficeOn, OnlyFileSystemsKnownToNameFilesBy64BitNumbers) {
    for (const wchar_t* name : {L"NTFS", L"FAT", L"FAT32", L"exFAT"})
        EXPECT_TRUE(NumbersSufficeOn(name)) << name;
    for (const wchar_t* name : {L"ReFS", L"NFS", L"", L"ntfs"})
        EXPECT_FALSE(NumbersSufficeOn(name)) << name;
}

// A read-only file is opened only once its bit is cleared on that very file: a name that
// is not there is no file, one whose attributes Windows will not let be changed is refused
// as such, and a file put in its place meanwhile is not the listed one (its bit goes back).
TEST_F(Win32NameChecks, AReadOnlyFileIsOpenedOnlyThroughItsOwnClearedBit) {
    const struct {
        const char* what;
        DWORD error;
        bool refused;
        void (*shows)(FileId&);
        OpenRefusal refusal;
    } rows[] = {
        {"its bit cleared", ERROR_SUCCESS, false, nullptr, OpenRefusal::None},
        {"gone", ERROR_FILE_NOT_FOUND, false, nullptr, OpenRefusal::NoFile},
        {"its attributes not for this user", ERROR_ACCESS_DENIED, false, nullptr,
         OpenRefusal::Denied},
        {"on a write-protected stick", ERROR_SUCCESS, true, nullptr, OpenRefusal::Denied},
        {"replaced once its bit was cleared", ERROR_SUCCESS, false, [](FileId& id) { ++id.index; },
         OpenRefusal::Changed},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        calls.attributesError = row.error;
        calls.attributesRefused = row.refused;
        calls.attributesShow = row.shows;
        SetFileAttributesA(listed.c_str(), FILE_ATTRIBUTE_NORMAL);
        WriteFileContent(listed, "abc");
        SetFileAttributesA(listed.c_str(), FILE_ATTRIBUTE_READONLY);
        TargetOpen opened = files->OpenTarget(listed);
        EXPECT_EQ(opened.refusal, row.refusal);
        EXPECT_EQ(opened.file != nullptr, row.refusal == OpenRefusal::None);
        opened.file.reset();
        EXPECT_TRUE(ReadOnly(listed));
        calls.attributesRefused = false;
    }
}

// The overlay filter (CompactOS) shows a file as a plain one through its handle: whether it
// backs the file is part of where the file keeps its bytes.
TEST_F(Win32NameChecks, AFileTheOverlayFilterKeepsIsSaidToBeKeptSo) {
    for (const bool backed : {false, true}) {
        calls.overlayBacked = backed;
        auto file = Opened();
        EXPECT_EQ(file->Storage() & kStoredOverlay, backed ? kStoredOverlay : 0u) << backed;
    }
}

} // namespace

namespace {

// A file listed in another letter case than its entry on disk is hidden under a name of its
// entry's shape: one of the name as typed would need other folder entries on FAT, and leave
// the old ones readable.
TEST_F(Win32NameChecks, AHidingNameTakesTheShapeOfTheNameOnDisk) {
    WriteFileContent(listed, "abc");
    TargetOpen opened = files->OpenTarget(temp / "LISTED.TXT");
    ASSERT_TRUE(opened.file);
    EXPECT_TRUE(opened.file->HideName());
    // The second of its two hiding names.
    EXPECT_EQ(FilesIn(temp.Path()), std::vector<std::string>{"Yyyyyy.yyy"});
    EXPECT_TRUE(opened.file->Delete());
    EXPECT_TRUE(opened.file->Close());
}

} // namespace

namespace {

// Wine renames and deletes an open file by the name it was opened by. A folder on the file's
// way moved after the check before an act (and other files made under the old names): the
// deletion is believed only where the held folder, wherever it is now, no longer holds the
// file; a rename that reached another file is undone at once, and nothing more is done by
// name; the file left is named where it is, or by its own name where its folder was moved to
// where Windows cannot tell (Wine).
TEST_F(Win32NameChecks, AFolderMovedUnderARunTouchesNoOtherFileAndTheFileIsNamedWhereItIs) {
    const struct {
        const char* what;
        int renameMoved; // 0: moved before the deletion instead
        std::vector<std::string> others;
        std::string left; // the held file's name in the moved folder
        bool touched;
        // Windows' final paths follow the folder: the file is named where it is now.
        bool followsMoves = false;
    } rows[] = {
        {"moved before the deletion", 0, {}, "yyyyyy.yyy", false},
        {"moved before the deletion, final paths following it", 0, {}, "yyyyyy.yyy", false, true},
        {"moved before the deletion, other files under every name",
         0,
         {"secret.txt", "zzzzzz.zzz", "yyyyyy.yyy"},
         "yyyyyy.yyy",
         false},
        {"moved before the first hiding rename", 1, {}, "secret.txt", false},
        {"moved before the first hiding rename, another file under the listed name",
         1,
         {"secret.txt"},
         "secret.txt",
         true},
        {"moved before the second hiding rename, another file under the first hiding name",
         2,
         {"zzzzzz.zzz"},
         "zzzzzz.zzz",
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        MakeFolder(temp / "dir");
        calls.finalPathsFollowMoves = row.followsMoves;
        calls.movedFrom.clear();
        const auto move = [&] {
            ASSERT_TRUE(MoveFileA((temp / "dir").c_str(), (temp / "moved").c_str()));
            calls.movedFrom = "\\dir";
            calls.movedTo = "\\moved";
            MakeFolder(temp / "dir");
            for (const std::string& name : row.others)
                WriteFileContent(temp / "dir" + kDelimiter + name, "other " + name);
        };
        calls.renames = 0;
        calls.beforeRename = [&](int rename) {
            if (rename == row.renameMoved)
                move();
        };
        calls.beforeDeletion = [&] {
            if (row.renameMoved == 0)
                move();
        };
        auto file = Opened("dir\\secret.txt");
        file->HideName();
        // Where the deletion was taken, closing says the file stayed.
        EXPECT_EQ(file->Delete(), row.renameMoved == 0);
        EXPECT_EQ(file->Close(), row.renameMoved != 0);
        calls.beforeRename = nullptr;
        calls.beforeDeletion = nullptr;

        EXPECT_TRUE(PathExists(temp / "moved" + kDelimiter + row.left));
        for (const std::string& name : row.others)
            EXPECT_EQ(ReadFileContent(temp / "dir" + kDelimiter + name), "other " + name);
        EXPECT_EQ(file->TouchedAnother().touched, row.touched);
        EXPECT_EQ(file->TouchedAnother().given, row.touched);
        const std::string moved = temp / "moved" + kDelimiter + row.left;
        EXPECT_EQ(file->Where().path, row.followsMoves ? moved : row.left);
        EXPECT_EQ(file->Where().folderLost, !row.followsMoves);
        file.reset();
        files->ReleaseFolders();
        for (const char* folder : {"dir", "moved"})
            Cleared(temp / folder);
    }
}

} // namespace
