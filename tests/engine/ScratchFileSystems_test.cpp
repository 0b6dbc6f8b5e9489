// Shred runs on small real file systems mounted for the test (tools/with-scratch-fs):
// what reaches the device on ext4, FAT32 and NTFS, a full file system, a folder that
// refuses deletion, and the free-space wipe.
#include "engine/Random.h"
#include "engine/ShredRun.h"
#include "platform/FileSystem.h"
#include "RecordingDisplay.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/statvfs.h>
#endif

namespace {

struct Scratch {
    std::string tmpfs; // as this process names it
    std::string ext4;
    char delimiter;
};

Scratch Mounted() {
#ifdef _WIN32
    return {EnvOrEmpty("OSTREVANE_TMPFS_DRIVE"), EnvOrEmpty("OSTREVANE_EXT4_DRIVE"), '\\'};
#else
    return {EnvOrEmpty("OSTREVANE_TMPFS"), EnvOrEmpty("OSTREVANE_EXT4"), '/'};
#endif
}

// A file system whose image the test reads behind its back.
struct Device {
    std::string root; // as this process names it
    std::string image;
};

// name: EXT4, FAT32 or NTFS, as tools/with-scratch-fs exports them.
Device MountedDevice(const std::string& name) {
    const std::string variable = "OSTREVANE_" + name;
    const std::string image = EnvOrEmpty((variable + "_IMAGE").c_str());
    if (image.empty())
        return {};
#ifdef _WIN32
    return {EnvOrEmpty((variable + "_DRIVE").c_str()), HostPath(image)};
#else
    return {EnvOrEmpty(variable.c_str()), image};
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

// A whole file (an image) as a string, read and searched at library speed even in a
// sanitized debug build.
std::string Image(const std::string& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary | std::ios::ate);
    std::string bytes(in ? static_cast<std::size_t>(in.tellg()) : 0, '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

bool Contains(const std::string& image, const std::string& needle) {
    return image.find(needle) != std::string::npos;
}

// `size` bytes of the marker over and over.
std::string Repeated(const std::string& marker, std::size_t size) {
    std::string bytes;
    while (bytes.size() < size)
        bytes += marker;
    bytes.resize(size);
    return bytes;
}

// Written from the start of the file (made when missing) and forced out to the device.
bool Put(const std::string& path, const std::string& bytes, bool create) {
    auto file = create ? SystemFileSystem().Create(path) : SystemFileSystem().OpenReadWrite(path);
    return file && file->Write(bytes.data(), bytes.size()) && file->Flush() && file->Close();
}

// Where on the image the first byte of a file lies: the one offset that takes each value the
// byte is rewritten with, in turn. Time stamps and checksums change as well, but not like
// that. The byte ends as `last`.
std::size_t LocateFirstByte(const std::string& path, const std::string& image, char last) {
    std::vector<std::size_t> candidates;
    bool first = true;
    for (const char value : {'\xA5', '\x5A', last}) {
        if (!Put(path, std::string(1, value), false))
            return std::string::npos;
        const std::string bytes = Image(image);
        if (first) {
            for (auto i = bytes.find(value); i != std::string::npos; i = bytes.find(value, i + 1))
                candidates.push_back(i);
            first = false;
        } else {
            std::erase_if(candidates, [&](std::size_t i) { return bytes[i] != value; });
        }
    }
    return candidates.size() == 1 ? candidates[0] : std::string::npos;
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

// A file system and a file size that lays a file out its own way: a single byte, a file
// that NTFS keeps inside its file record, one block (or cluster) and a byte more, and a
// file of several batches of blocks.
struct Layout {
    const char* fileSystem;
    std::size_t size;
};

void PrintTo(const Layout& layout, std::ostream* out) {
    *out << layout.fileSystem << ", " << layout.size << " bytes";
}

std::string LayoutName(const testing::TestParamInfo<Layout>& info) {
    return std::string(info.param.fileSystem) + "_" + std::to_string(info.param.size);
}

class ShreddedBytesReachTheDevice : public ScratchFileSystems,
                                    public testing::WithParamInterface<Layout> {};

} // namespace

TEST_P(ShreddedBytesReachTheDevice, AndNothingElseIsTouched) {
    const Layout layout = GetParam();
    const Device device = MountedDevice(layout.fileSystem);
    if (device.root.empty())
        GTEST_SKIP() << "needs " << layout.fileSystem
                     << " mounted (tools/with-scratch-fs: root and FUSE)";
#ifdef _WIN32
    // fusefat puts a write into a file shorter than its cluster at the end of the data, not
    // at its offset, once that open has read the file, and under Wine such a read comes first.
    if (std::string(layout.fileSystem) == "FAT32" && layout.size < 512)
        GTEST_SKIP() << "fusefat misplaces writes into a file shorter than one cluster";
#endif
    const std::string target = device.root + scratch.delimiter + "target.bin";
    const std::string beside = device.root + scratch.delimiter + "beside.bin";
    // Distinctive texts that the image holds only where each file's data is.
    const std::string tag = std::string(layout.fileSystem) + "-" + std::to_string(layout.size);
    const std::string marker = "OSTREVANE-TARGET-" + tag + "-";
    const std::string besideMarker = "OSTREVANE-BESIDE-" + tag + "-";
    const auto original = Repeated(marker, layout.size);
    const auto besideBytes = Repeated(besideMarker, 5000);
    ASSERT_TRUE(Put(target, original, true));
    ASSERT_TRUE(Put(beside, besideBytes, true));

    // Too small a file for the marker is found by where its one byte lies instead.
    const bool marked = layout.size >= marker.size();
    std::size_t offset = std::string::npos;
    if (marked) {
        ASSERT_TRUE(Contains(Image(device.image), marker)) << "the original must be on the device";
    } else {
        offset = LocateFirstByte(target, device.image, original[0]);
        ASSERT_NE(offset, std::string::npos) << "the original must be on the device";
    }

    // Fixed, so the passes write the same bytes every time: the last one over a single byte
    // is not that byte.
    SetRandomState(1);
    display.list = {target};
    ShredRun(display, SystemFileSystem()).Execute();

    EXPECT_EQ(display.list[0], std::string(kDoneMarker) + target);
    EXPECT_FALSE(SystemFileSystem().IsRegularFile(target));
    const std::string image = Image(device.image);
    if (marked)
        EXPECT_FALSE(Contains(image, marker)) << "the original bytes are still on the device";
    else
        EXPECT_NE(image.at(offset), original[0]) << "the original byte is still on the device";
    EXPECT_EQ(Image(beside), besideBytes);
    EXPECT_TRUE(Contains(image, besideMarker)) << "a file not listed lost its bytes";
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::path(beside), ignored);
}

constexpr Layout kLayouts[] = {
    {"EXT4", 1},  {"EXT4", 600},  {"EXT4", 16385},  {"EXT4", 3 * 1024 * 1024 + 1},
    {"FAT32", 1}, {"FAT32", 600}, {"FAT32", 16385}, {"FAT32", 3 * 1024 * 1024 + 1},
    {"NTFS", 1},  {"NTFS", 600},  {"NTFS", 16385},  {"NTFS", 3 * 1024 * 1024 + 1},
};
INSTANTIATE_TEST_SUITE_P(Layouts, ShreddedBytesReachTheDevice, testing::ValuesIn(kLayouts),
                         LayoutName);

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
