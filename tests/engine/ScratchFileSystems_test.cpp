// Shred runs on small real file systems mounted for the test (tools/with-scratch-fs):
// what reaches the device, a full file system, a folder that refuses deletion, and the
// free-space wipe.
#include "engine/ShredRun.h"
#include "platform/FileSystem.h"
#include "RecordingDisplay.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/statvfs.h>
#endif

namespace {

struct Scratch {
    std::string tmpfs; // as this process names it
    std::string ext4;
    std::string ext4Image;
    char delimiter;
};

Scratch Mounted() {
#ifdef _WIN32
    return {EnvOrEmpty("OSTREVANE_TMPFS_DRIVE"), EnvOrEmpty("OSTREVANE_EXT4_DRIVE"),
            HostPath(EnvOrEmpty("OSTREVANE_EXT4_IMAGE")), '\\'};
#else
    return {EnvOrEmpty("OSTREVANE_TMPFS"), EnvOrEmpty("OSTREVANE_EXT4"),
            EnvOrEmpty("OSTREVANE_EXT4_IMAGE"), '/'};
#endif
}

// Free space measured without the program's file layer.
std::int64_t FreeBytes(const std::string& root) {
#ifdef _WIN32
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA((root + "\\").c_str(), &available, nullptr, nullptr))
        return -1;
    return static_cast<std::int64_t>(available.QuadPart);
#else
    struct statvfs info;
    if (statvfs(root.c_str(), &info) != 0)
        return -1;
    return static_cast<std::int64_t>(info.f_bavail) * static_cast<std::int64_t>(info.f_frsize);
#endif
}

bool Contains(const std::vector<unsigned char>& haystack,
              const std::vector<unsigned char>& needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) !=
           haystack.end();
}

std::vector<unsigned char> Text(const std::string& text) {
    return {text.begin(), text.end()};
}

class ScratchFileSystems : public testing::Test {
protected:
    void SetUp() override {
        if (scratch.tmpfs.empty() || scratch.ext4.empty())
            GTEST_SKIP() << "needs root to mount small file systems (tools/with-scratch-fs)";
    }
    std::string OnTmpfs(const std::string& name) const {
        return scratch.tmpfs + scratch.delimiter + name;
    }
    std::string OnExt4(const std::string& name) const {
        return scratch.ext4 + scratch.delimiter + name;
    }

    Scratch scratch = Mounted();
    RecordingDisplay display;
};

} // namespace

TEST_F(ScratchFileSystems, ShreddedBytesReachTheDevice) {
    // A distinctive text that the image holds only where the file's blocks are.
    std::vector<unsigned char> original;
    const auto marker = Text("OSTREVANE-FORENSIC-MARKER-");
    while (original.size() < 256 * 1024)
        original.insert(original.end(), marker.begin(), marker.end());
    const std::string path = OnExt4("secret.doc");
    {
        auto file = SystemFileSystem().Create(path);
        ASSERT_TRUE(file);
        ASSERT_TRUE(file->Write(original.data(), original.size()));
        ASSERT_TRUE(file->Flush());
    }
    ASSERT_TRUE(Contains(ReadAll(scratch.ext4Image), marker))
        << "the original must be on the device";

    display.list = {path};
    ShredRun(display, SystemFileSystem()).Execute();

    EXPECT_EQ(display.list[0], std::string(kDoneMarker) + path);
    EXPECT_FALSE(SystemFileSystem().IsRegularFile(path));
    EXPECT_FALSE(Contains(ReadAll(scratch.ext4Image), marker))
        << "the original bytes are still readable on the device";
}

TEST_F(ScratchFileSystems, AFailedWriteLeavesTheFileUndeletedAndUnmarked) {
    // A sparse file needs new blocks to be overwritten: on a full file system the write fails.
    const std::string sparse = OnTmpfs("sparse.bin");
    {
        auto file = SystemFileSystem().Create(sparse);
        ASSERT_TRUE(file);
        ASSERT_TRUE(file->Write("S", 1));
    }
    std::filesystem::resize_file(std::filesystem::path(sparse), 2 * 1024 * 1024);
    const std::string filler = OnTmpfs("filler.bin");
    {
        auto file = SystemFileSystem().Create(filler);
        ASSERT_TRUE(file);
        const std::vector<unsigned char> block(64 * 1024, 0xF1);
        while (file->Write(block.data(), block.size())) {
        }
        const unsigned char one = 0xF1;
        while (file->Write(&one, 1)) {
        }
    }
    display.list = {sparse};

    ShredRun(display, SystemFileSystem()).Execute();

    EXPECT_EQ(display.list[0], sparse);
    EXPECT_TRUE(SystemFileSystem().IsRegularFile(sparse));
    EXPECT_EQ(display.progress, 0);
    SystemFileSystem().Delete(filler);
    SystemFileSystem().Delete(sparse);
}

TEST_F(ScratchFileSystems, AFailedDeletionLeavesTheEntryUnmarked) {
    // The folder is immutable: its files can be written but not removed.
    const std::string victim =
        scratch.ext4 + scratch.delimiter + "locked" + scratch.delimiter + "victim.bin";
    ASSERT_TRUE(SystemFileSystem().IsRegularFile(victim));
    const auto before = ReadAll(victim);
    display.list = {victim};

    ShredRun(display, SystemFileSystem()).Execute();

    EXPECT_EQ(display.list[0], victim);
    EXPECT_TRUE(SystemFileSystem().IsRegularFile(victim));
    EXPECT_NE(ReadAll(victim), before) << "the passes themselves were written";
}

TEST_F(ScratchFileSystems, AMissingNameWipesNinetyFivePercentOfTheFreeSpace) {
    const std::string wipe = OnTmpfs("wipe.tmp");
    const std::int64_t freeBytes = FreeBytes(scratch.tmpfs);
    ASSERT_GT(freeBytes, 0);
    display.list = {wipe};

    ShredRun(display, SystemFileSystem()).Execute();

    const std::int64_t expected = NinetyFivePercent(freeBytes);
    EXPECT_EQ(display.progressMax, expected);
    EXPECT_EQ(display.statusLines.back(),
              "shredding " + wipe + ": size is " + std::to_string(expected) + " bytes ... Pass 7");
    EXPECT_EQ(display.list[0], std::string(kDoneMarker) + wipe);
    EXPECT_FALSE(SystemFileSystem().IsRegularFile(wipe));
    EXPECT_EQ(FreeBytes(scratch.tmpfs), freeBytes);
}

TEST_F(ScratchFileSystems, TheSameFileTwiceBecomesAFreeSpaceWipeTheSecondTime) {
    const std::string path = OnTmpfs("twice.txt");
    WriteAll(path, Filled(5000, 't'));
    display.list = {path, path};

    ShredRun(display, SystemFileSystem()).Execute();

    EXPECT_EQ(display.list, (std::vector<std::string>{std::string(kDoneMarker) + path,
                                                      std::string(kDoneMarker) + path}));
    EXPECT_EQ(display.statusLines[6], "shredding " + path + ": size is 5000 bytes ... Pass 7");
    EXPECT_NE(display.statusLines[7].find(": size is "), std::string::npos);
    EXPECT_EQ(display.statusLines[7].find(": size is 5000 "), std::string::npos);
    EXPECT_FALSE(SystemFileSystem().IsRegularFile(path));
}
