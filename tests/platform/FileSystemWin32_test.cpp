// What only the Windows backend has: devices by name, drives by number, volumes by folder.
#include "platform/FileSystem.h"
#include "platform/Win32FileIds.h"
#include "platform/Win32FolderVolumes.h"
#include "platform/Win32Paths.h"
#include "ScratchFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>

#include <windows.h>

namespace {

TEST(Win32FileSystem, DevicesAreNeitherOpenedNorMadeAsFiles) {
    // A device name has no place on a drive: it can be no file the user listed.
    for (const char* device : {"NUL", "C:\\folder\\CON"}) {
        EXPECT_EQ(SystemFileSystem().CreateFiller(device), nullptr) << device;
        EXPECT_EQ(SystemFileSystem().OpenReadWrite(device), nullptr) << device;
    }
}

TEST(Win32FileSystem, DriveNumbersOutsideAToZHaveNoFreeSpace) {
    FileSystem& fs = SystemFileSystem();
    for (const std::uint8_t drive :
         {std::uint8_t{27}, std::uint8_t{64}, std::uint8_t{0xEF}, std::uint8_t{0xFF}})
        EXPECT_EQ(fs.FreeSpace(drive, "C:\\"), -1) << int{drive};
}

TEST(Win32FileSystem, UnmappedDriveLetterHasNoFreeSpace) {
    const DWORD mapped = GetLogicalDrives();
    int unmapped = 0;
    for (int letter = 26; letter >= 1 && unmapped == 0; --letter)
        if ((mapped & (1u << (letter - 1))) == 0)
            unmapped = letter;
    if (unmapped == 0)
        GTEST_SKIP() << "every drive letter is in use";
    EXPECT_EQ(SystemFileSystem().FreeSpace(static_cast<std::uint8_t>(unmapped), ""), -1);
}

TEST(Win32FileSystem, DriveZeroIsTheCurrentFoldersDrive) {
    const std::string tmpfs = ScratchTmpfs();
    const std::string ext4 = ScratchExt4();
    if (tmpfs.empty() || ext4.empty())
        GTEST_SKIP() << "needs the scratch drives that tools/with-scratch-fs maps";
    FileSystem& fs = SystemFileSystem();
    char saved[MAX_PATH + 1];
    ASSERT_NE(GetCurrentDirectoryA(MAX_PATH + 1, saved), 0u);

    // Two drives with different figures, so that the answer shows which one was asked.
    ASSERT_TRUE(SetCurrentDirectoryA(tmpfs.c_str()));
    const std::int64_t onTmpfs = fs.FreeSpace(0, "");
    ASSERT_TRUE(SetCurrentDirectoryA(ext4.c_str()));
    const std::int64_t onExt4 = fs.FreeSpace(0, "");
    SetCurrentDirectoryA(saved);

    EXPECT_EQ(onTmpfs, fs.FreeSpace(DriveNumberOf(tmpfs), ""));
    EXPECT_EQ(onExt4, fs.FreeSpace(DriveNumberOf(ext4), ""));
    EXPECT_NE(onTmpfs, onExt4);
}

TEST(Win32Paths, AFinalPathMatchesOnlyTheNameItsRootLeadsTo) {
    struct Case {
        const char* rootFinal; // of the name's drive or share
        const char* tail;      // the rest of the name, in its long form
        const char* finalPath; // where the handle really is
        bool direct;
        // What the name's own entry says, not followed: asked only where the system gave no
        // final path (a share with an unreadable folder on the way, some virtual disks).
        bool entryIsFile = false;
        // The root's and the handle's final paths by volume GUID, asked only where the handle
        // has no final path with a drive letter.
        const char* rootVolume = "";
        const char* handleVolume = "";
    };
    constexpr Case cases[] = {
        {"\\\\?\\C:\\", "Dir\\File.TXT", "\\\\?\\C:\\dir\\file.txt", true},
        {"\\\\?\\C:\\", "dir\\file.txt", "C:\\dir\\file.txt", true},
        {"\\\\?\\C:\\", "", "\\\\?\\C:\\", true},
        {"\\\\?\\C:\\", "sub\\", "\\\\?\\C:\\sub", true},
        // A share, by its own name or through a mapped drive; a subst drive.
        {"\\\\?\\UNC\\server\\share\\", "a.txt", "\\\\?\\UNC\\Server\\Share\\a.txt", true},
        {"\\\\server\\share", "a.txt", "\\\\?\\UNC\\server\\share\\a.txt", true},
        {"\\\\?\\D:\\work", "a.txt", "\\\\?\\D:\\work\\a.txt", true},
        // A link to a file or folder, a share's file reached from another share, a name
        // that only begins like the target.
        {"\\\\?\\C:\\", "shared\\sub\\b.txt", "\\\\?\\C:\\private\\b.txt", false},
        {"\\\\?\\C:\\", "shared\\sub\\b.txt", "\\\\?\\C:\\shared\\private\\b.txt", false},
        {"\\\\?\\UNC\\server\\share", "a.txt", "\\\\?\\UNC\\server\\other\\a.txt", false},
        {"\\\\?\\C:\\", "ab", "\\\\?\\C:\\a\\b", false},
        {"\\\\?\\C:\\", "a.txt", "\\\\?\\D:\\a.txt", false, true},
        // No final path of the root: a failed query is no link; the name's own entry decides.
        {"", "a.txt", "\\\\?\\C:\\a.txt", false},
        {"", "a.txt", "\\\\?\\C:\\a.txt", true, true},
        // None of the handle's on a share, which has no volume GUID: its own entry decides.
        {"\\\\?\\UNC\\server\\share", "a.txt", "", true, true},
        {"\\\\?\\C:\\", "a.txt", "", false},
        // None of the handle's on a drive: by volume GUID, it must be at the name's place on
        // the root's volume, not on a volume without a letter that a junction on the way
        // leads to, and its own entry must be the file too.
        {"\\\\?\\C:\\", "dir\\a.txt", "", true, true, "\\\\?\\Volume{c}\\",
         "\\\\?\\Volume{c}\\dir\\a.txt"},
        {"\\\\?\\C:\\", "dir\\a.txt", "", false, true, "\\\\?\\Volume{c}\\",
         "\\\\?\\Volume{d}\\a.txt"},
        {"\\\\?\\C:\\", "dir\\a.txt", "", false, false, "\\\\?\\Volume{c}\\",
         "\\\\?\\Volume{c}\\dir\\a.txt"},
        {"\\\\?\\C:\\", "dir\\a.txt", "", false, true, "\\\\?\\Volume{c}\\", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReachesDirectly(
                      c.rootFinal, c.tail, c.finalPath,
                      [&] {
                          return std::pair<std::string, std::string>{c.rootVolume, c.handleVolume};
                      },
                      [&] { return c.entryIsFile; }),
                  c.direct)
            << c.rootFinal << " + " << c.tail << " vs " << c.finalPath << " / " << c.handleVolume;
}

TEST(Win32Paths, RootsOfDrivesAndShares) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\a\\b.txt", "C:\\"},
        {"\\\\server\\share\\a.txt", "\\\\server\\share\\"},
        {"\\\\server\\share", "\\\\server\\share\\"},
        {"\\\\server\\", ""},
        {"\\\\?\\C:\\a.txt", ""},
        {"\\\\.\\NUL", ""},
    };
    for (const auto& [full, root] : cases)
        EXPECT_EQ(PathRoot(full), root) << full;
}

TEST(Win32FileSystem, NamesInAnyCaseOrFormAreOneName) {
    FileSystem& fs = SystemFileSystem();
    EXPECT_EQ(fs.NameKey("C:\\a\\Report.doc"), fs.NameKey("c:\\A\\report.DOC"));
    EXPECT_EQ(fs.NameKey("C:\\a\\.\\b\\..\\x.txt"), fs.NameKey("C:\\a\\X.TXT"));
    EXPECT_NE(fs.NameKey("C:\\a\\x.txt"), fs.NameKey("C:\\a\\x.txt2"));
    EXPECT_NE(fs.NameKey("C:\\a\\x.txt"), fs.NameKey("D:\\a\\x.txt"));
    EXPECT_NE(fs.NameKey("C:\\a\\report."), fs.NameKey("C:\\a\\report"));
}

TEST(Win32FileSystem, OtherCaseAndShortNamesAreNoLinks) {
    TempFolder temp;
    const std::string path = temp / "A Long File Name.txt";
    WriteFileContent(path, "abc");
    char shortName[MAX_PATH + 1];
    const DWORD length = GetShortPathNameA(path.c_str(), shortName, sizeof shortName);
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, sizeof shortName);
    std::string upper = path;
    CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
    FileSystem& fs = SystemFileSystem();
    for (const std::string& name : {upper, std::string(shortName)}) {
        WriteFileContent(path, "abc");
        EXPECT_FALSE(fs.ReachedThroughLink(name)) << name;
        EXPECT_EQ(fs.FileLength(name), 3) << name;
        auto file = fs.OpenReadWrite(name);
        ASSERT_NE(file, nullptr) << name;
        const FileId id = file->Id();
        ASSERT_TRUE(file->Close());
        if (name == shortName) {
            EXPECT_TRUE(fs.Delete(name, id)) << name;
        } else {
            // Made under another letter case, a filler is still the name's own file.
            std::filesystem::remove(path);
            EXPECT_NE(fs.CreateFiller(name), nullptr) << name;
        }
    }
    EXPECT_FALSE(PathExists(path));
}

// FileIdInfo's 128-bit identifier is the number whole; a serial of 0 is no volume known, and
// the file keeps its identity by number and creation time.
TEST(Win32FileIds, TheIdentifierOfFileIdInfoIsTheWholeNumber) {
    FILE_ID_INFO info{};
    info.VolumeSerialNumber = 0;
    const std::uint64_t low = 12, high = 3;
    std::memcpy(info.FileId.Identifier, &low, sizeof low);
    std::memcpy(info.FileId.Identifier + sizeof low, &high, sizeof high);
    EXPECT_EQ(IdOfFileIdInfo(info, 99), MakeFileId(0, 3, 12, 0, 99));
}

// Stands in for what Wine cannot do: move a drive letter to another volume, mount ReFS.
class ScriptedVolumes final : public Win32Calls {
public:
    std::uint64_t volume = 1; // of every handle read from now on
    bool numbersSuffice = true;
    std::uint64_t high = 0; // the files' numbers above 64 bits
    int reads = 0;

    // A folder opened by its name leads elsewhere by then (its letter moved in between).
    bool foldersElsewhere = false;

    std::string FinalPath(HANDLE handle) override {
        const std::string path = FinalPathOf(handle);
        const auto read = FVolumeOf.find(handle);
        FILE_STANDARD_INFO standard{};
        const bool folder =
            GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard) &&
            standard.Directory;
        // A folder held from before the letter moved is now under another letter.
        const bool elsewhere =
            read == FVolumeOf.end() ? foldersElsewhere && folder : read->second != volume;
        return elsewhere ? "\\\\?\\V:" + path.substr(6) : path;
    }
    FileId FullId(HANDLE handle) override {
        ++reads;
        FVolumeOf[handle] = volume;
        FileId id = Win32Calls::FullId(handle);
        id.volume = volume;
        id.indexHigh = high;
        return id;
    }
    FileId LocalId(HANDLE handle) override {
        FileId id = Win32Calls::FullId(handle);
        id.volume = 0;
        return id;
    }
    bool NumbersSuffice(HANDLE) override { return numbersSuffice; }

private:
    std::map<HANDLE, std::uint64_t> FVolumeOf;
};

TEST(Win32FolderVolumes, AFileHasItsFoldersVolumeOnlyWhileTheHeldFolderIsStillThere) {
    const struct {
        const char* name;
        bool numbersSuffice;
        bool letterMoves; // after the first file
        std::uint64_t high;
        std::uint64_t volume; // of the second file
        int reads;
        bool foldersElsewhere = false;
    } rows[] = {
        {"one folder, its volume read once", true, false, 0, 1, 1},
        {"the folder's drive letter now leads to another volume", true, true, 0, 2, 2},
        {"128-bit numbers (ReFS): each file read whole", false, false, 7, 1, 2},
        {"the folder named by the file's final path is another once opened", true, false, 0, 1, 2,
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder temp;
        ScriptedVolumes system;
        system.numbersSuffice = row.numbersSuffice;
        system.high = row.high;
        system.foldersElsewhere = row.foldersElsewhere;
        FolderVolumes volumes(system);
        FileId id;
        for (const char* name : {"a", "b"}) {
            WriteFileContent(temp / name, "x");
            const FileHandle file(CreateFileA((temp / name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                              nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(file);
            id = volumes.IdOf(file.Get(), FinalPathOf(file.Get()));
            EXPECT_EQ(id.index, Win32Calls::System().FullId(file.Get()).index);
            if (row.letterMoves)
                system.volume = 2;
        }
        EXPECT_EQ(id.volume, row.volume);
        EXPECT_EQ(id.indexHigh, row.high);
        EXPECT_EQ(system.reads, row.reads);
    }
}

} // namespace
