#include "engine/Random.h"
#include "engine/ShredRun.h"
#include "platform/FileSystem.h"
#include "RecordingDisplay.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// The block a pass draws from a given generator state.
std::vector<unsigned char> BlockFrom(std::uint32_t state, std::size_t length) {
    const std::uint32_t saved = RandomState();
    SetRandomState(state);
    std::vector<unsigned char> block(length);
    for (auto& byte : block)
        byte = static_cast<unsigned char>(RandomDraw(256));
    SetRandomState(saved);
    return block;
}

class OverwritePass : public testing::Test {
protected:
    TempDir dir;
    RecordingDisplay display;
    ShredRun run{display, SystemFileSystem()};
};

} // namespace

TEST_F(OverwritePass, FirstPassOfAFreshProgramOverAFourByteFile) {
    const std::string path = dir / "four.bin";
    WriteAll(path, {'a', 'b', 'c', 'd'});
    SetRandomState(0);

    EXPECT_EQ(run.OverwritePass(path, 1, 4), 4);

    EXPECT_EQ(ReadAll(path), (std::vector<unsigned char>{0, 8, 220, 51}));
    ASSERT_EQ(display.patterns.size(), 1u);
    EXPECT_EQ(display.patterns[0], std::string(kBitPattern.substr(26, 120)));
    EXPECT_EQ(display.statusLines.back(), "shredding " + path + ": size is 4 bytes ... Pass 1");
    EXPECT_EQ(display.progressMax, 4);
    EXPECT_EQ(display.progress, 0);
    EXPECT_EQ(display.progressHistory, (std::vector<std::int64_t>{0, 4, 0}));
}

TEST_F(OverwritePass, ChunksRepeatTheBlockUpToTheSize) {
    struct Case {
        std::int64_t size;
        std::size_t chunks;
    };
    for (const Case c : {Case{0, 0}, Case{1, 1}, Case{16384, 1}, Case{16385, 2}, Case{40000, 3},
                         Case{16384 * 70 + 5, 71}}) {
        SCOPED_TRACE(c.size);
        const std::string path = dir / ("chunks" + std::to_string(c.size));
        WriteAll(path, Filled(static_cast<std::size_t>(c.size), 0xEE));
        display.patterns.clear();
        const std::uint32_t state = RandomState();

        EXPECT_EQ(run.OverwritePass(path, 2, c.size), c.size);
        const std::uint32_t after = RandomState();

        const auto block =
            BlockFrom(state, static_cast<std::size_t>(std::min<std::int64_t>(c.size, 16384)));
        const auto content = ReadAll(path);
        ASSERT_EQ(content.size(), static_cast<std::size_t>(c.size));
        for (std::size_t i = 0; i < content.size(); ++i)
            ASSERT_EQ(content[i], block[i % block.size()]) << "at byte " << i;
        EXPECT_EQ(display.patterns.size(), c.chunks);
        // One draw of range 256 per block byte and one of range 99 per chunk.
        SetRandomState(state);
        for (std::size_t i = 0; i < block.size() + c.chunks; ++i)
            RandomDraw(1);
        EXPECT_EQ(RandomState(), after);
    }
}

TEST_F(OverwritePass, PatternsAreOddStartsIntoTheBitPattern) {
    const std::string path = dir / "patterns.bin";
    WriteAll(path, Filled(16384 * 40, 1));
    run.OverwritePass(path, 1, 16384 * 40);
    ASSERT_EQ(display.patterns.size(), 40u);
    for (const auto& pattern : display.patterns) {
        ASSERT_EQ(pattern.size(), 120u);
        const auto start = kBitPattern.find(pattern);
        ASSERT_NE(start, std::string_view::npos);
        EXPECT_EQ(start % 2, 0u) << "a pattern begins on a digit";
    }
}

// Its length read back after the flush is not the size: the pass did not reach every byte.
TEST_F(OverwritePass, AFileLongerThanTheSizeKeepsItsTailAndFailsThePass) {
    const std::string path = dir / "grown.bin";
    WriteAll(path, Filled(50000, 0x5A));
    EXPECT_EQ(run.OverwritePass(path, 3, 40000), -1);
    const auto content = ReadAll(path);
    ASSERT_EQ(content.size(), 50000u);
    for (std::size_t i = 40000; i < content.size(); ++i)
        ASSERT_EQ(content[i], 0x5A);
    EXPECT_NE(std::vector<unsigned char>(content.begin(), content.begin() + 40000),
              Filled(40000, 0x5A));
}

TEST_F(OverwritePass, AMissingFileGetsAFillerThatLaterPassesWriteAndThatLeavesNothing) {
    const std::string path = dir / "new.bin";
    {
        ShredRun wipe(display, SystemFileSystem());
        EXPECT_EQ(wipe.OverwritePass(path, 1, 20000), 20000);
        EXPECT_EQ(wipe.OverwritePass(path, 2, 20000), 20000);
        EXPECT_EQ(display.progressHistory.back(), 0);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(OverwritePass, AReadOnlyFileIsOverwrittenAndKeepsItsBitWhenLeft) {
    const std::string path = dir / "readonly.bin";
    WriteAll(path, Filled(100, 7));
    FileSystem& files = SystemFileSystem();
    ASSERT_TRUE(files.SetAttributes(path, files.GetAttributes(path) | kAttrReadOnly));
    ASSERT_NE(files.GetAttributes(path) & kAttrReadOnly, 0u);
    EXPECT_EQ(run.OverwritePass(path, 1, 100), 100);
    EXPECT_NE(files.GetAttributes(path) & kAttrReadOnly, 0u);
    EXPECT_NE(ReadAll(path), Filled(100, 7));
    files.SetAttributes(path, 0);
}

TEST_F(OverwritePass, AFailedCreateDrawsTheBlockButNoPattern) {
    const std::string missing = (dir.Path() / "no-such-folder" / "x.bin").string();
    const std::uint32_t state = RandomState();
    EXPECT_EQ(run.OverwritePass(missing, 5, 300), -1);
    const std::uint32_t after = RandomState();
    SetRandomState(state);
    for (int i = 0; i < 300; ++i)
        RandomDraw(256);
    EXPECT_EQ(RandomState(), after);
    EXPECT_TRUE(display.patterns.empty());
    EXPECT_EQ(display.statusLines.back(),
              "shredding " + missing + ": size is 300 bytes ... Pass 5");
    EXPECT_EQ(display.progress, 0);
}

#ifdef _WIN32
TEST_F(OverwritePass, ADeviceIsNeverWritten) {
    EXPECT_EQ(run.OverwritePass("NUL", 1, 1000), -1);
    EXPECT_EQ(display.progress, 0);
}
#else
TEST_F(OverwritePass, ADeviceOrPipeIsNeverWritten) {
    EXPECT_EQ(run.OverwritePass("/dev/null", 1, 1000), -1);

    const std::string fifo = dir / "pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(run.OverwritePass(fifo, 1, 1000), -1);
    char byte;
    // End of file (0) or nothing yet (-1): either way no byte reached the pipe.
    EXPECT_LE(read(reader, &byte, 1), 0);
    close(reader);
}

TEST_F(OverwritePass, ADanglingLinkIsNotFollowed) {
    const std::string link = dir / "link", target = dir / "elsewhere.bin";
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    EXPECT_EQ(run.OverwritePass(link, 1, 5000), -1);
    EXPECT_FALSE(std::filesystem::exists(target)) << "the passes filled a file nobody listed";
}
#endif
