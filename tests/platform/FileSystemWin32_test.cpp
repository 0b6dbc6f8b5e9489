// What only the Windows backend has: devices by name and drives by number.
#include "platform/FileSystem.h"
#include "ScratchFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

TEST(Win32FileSystem, DevicesAreNeitherOpenedNorMadeAsFiles) {
    // A device name has no place on a drive: it can be no file the user listed.
    for (const char* device : {"NUL", "C:\\folder\\CON"}) {
        EXPECT_EQ(SystemFileSystem().Create(device), nullptr) << device;
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

} // namespace
