// What only the POSIX backend has: devices and FIFOs by path, links made natively, the
// read-only bit as a permission, and free space found by path.
#include "platform/FileSystem.h"
#include "ScratchFiles.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::int64_t kMiB = 1024 * 1024;

class PosixFileSystemTest : public testing::Test {
protected:
    FileSystem& fs = SystemFileSystem();
    TempFolder temp;

    mode_t ModeOf(const std::string& path) {
        struct stat status {};
        EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
        return status.st_mode & 07777;
    }
};

TEST_F(PosixFileSystemTest, DevicesAndFifosAreNoDiskFiles) {
    auto null = fs.OpenReadWrite("/dev/null");
    ASSERT_NE(null, nullptr);
    EXPECT_FALSE(null->IsDiskFile());

    // With no writer at the other end, a plain open of a FIFO would never return.
    const std::string fifo = temp / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(fs.FileLength(fifo), 0);
    auto opened = fs.OpenReadWrite(fifo);
    ASSERT_NE(opened, nullptr);
    EXPECT_FALSE(opened->IsDiskFile());
    EXPECT_TRUE(opened->Close());

    EXPECT_EQ(fs.CreateFiller(fifo), nullptr);
    struct stat status {};
    ASSERT_EQ(lstat(fifo.c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
}

TEST_F(PosixFileSystemTest, ReadOnlyIsTheOwnersWritePermission) {
    const std::string path = temp / "a.txt";
    WriteFileContent(path, "abc");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);

    ASSERT_TRUE(fs.SetAttributes(path, fs.GetAttributes(path) | kAttrReadOnly));
    EXPECT_EQ(ModeOf(path), 0440u);
    EXPECT_NE(fs.GetAttributes(path) & kAttrReadOnly, 0u);

    ASSERT_TRUE(fs.SetAttributes(path, fs.GetAttributes(path) & ~kAttrReadOnly));
    EXPECT_EQ(ModeOf(path), 0640u);
    EXPECT_EQ(fs.GetAttributes(path) & kAttrReadOnly, 0u);

    // Another program's chmod shows the same way.
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    EXPECT_NE(fs.GetAttributes(path) & kAttrReadOnly, 0u);
}

TEST_F(PosixFileSystemTest, SymbolicLinksAreReportedAsLinks) {
    MakeFolder(temp / "folder");
    WriteFileContent(temp / "file.txt", "abc");
    ASSERT_EQ(symlink("folder", (temp / "folder-link").c_str()), 0);
    ASSERT_EQ(symlink("file.txt", (temp / "file-link").c_str()), 0);
    ASSERT_EQ(symlink("gone", (temp / "dangling").c_str()), 0);

    std::map<std::string, std::uint32_t> listed;
    ASSERT_TRUE(fs.ListDirectory(
        temp.Path(), [&](const DirectoryEntry& entry) { listed[entry.name] = entry.attributes; }));
    for (const char* name : {"folder-link", "file-link", "dangling"}) {
        ASSERT_EQ(listed.count(name), 1u) << name;
        EXPECT_EQ(listed[name], fs.GetAttributes(temp / name)) << name;
    }
    const std::uint32_t kind = kAttrDirectory | kAttrReparsePoint;
    EXPECT_EQ(listed["folder-link"] & kind, kind);
    EXPECT_EQ(listed["file-link"] & kind, kAttrReparsePoint);
    EXPECT_EQ(listed["dangling"] & kind, kAttrReparsePoint);
    EXPECT_EQ(listed["folder"] & kind, kAttrDirectory);
    EXPECT_EQ(listed["file.txt"] & kind, 0u);

    EXPECT_TRUE(fs.IsRegularFile(temp / "file-link"));
    EXPECT_FALSE(fs.IsRegularFile(temp / "dangling"));
    EXPECT_FALSE(fs.IsDirectory(temp / "dangling"));

    // A dangling link is no name for a free-space wipe: the file would be made elsewhere.
    EXPECT_TRUE(fs.ReachedThroughLink(temp / "dangling"));
    EXPECT_EQ(fs.CreateFiller(temp / "dangling"), nullptr);
    EXPECT_FALSE(PathExists(temp / "gone"));
}

TEST_F(PosixFileSystemTest, FreeSpaceIsThatOfTheNearestExistingFolder) {
    const std::string tmpfs = ScratchTmpfs();
    if (tmpfs.empty())
        GTEST_SKIP() << "needs the scratch tmpfs that tools/with-scratch-fs mounts "
                        "(run through ctest as root)";
    WriteFileContent(tmpfs + "file.txt", std::string(4096, 'x'));
    const std::int64_t expected = 4 * kMiB - 4096;

    // The drive number means nothing without drive letters.
    EXPECT_EQ(fs.FreeSpace(0, tmpfs + "missing/deeper/new.bin"), expected);
    EXPECT_EQ(fs.FreeSpace(0xEF, tmpfs + "file.txt"), expected);
    EXPECT_EQ(fs.FreeSpace(3, tmpfs + "file.txt/below"), expected);
    EXPECT_EQ(fs.FreeSpace(0, tmpfs), expected);

    char saved[PATH_MAX];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(chdir(tmpfs.c_str()), 0);
    const std::int64_t relative = fs.FreeSpace(0, "missing/new.bin");
    const std::int64_t bare = fs.FreeSpace(0, "new.bin");
    ASSERT_EQ(chdir(saved), 0);
    EXPECT_EQ(relative, expected);
    EXPECT_EQ(bare, expected);

    EXPECT_EQ(unlink((tmpfs + "file.txt").c_str()), 0);
}

} // namespace
