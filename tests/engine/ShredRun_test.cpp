#include "engine/ShredRun.h"
#include "framework/Exception.h"
#include "platform/FileSystem.h"
#include "RecordingDisplay.h"
#include "ScratchFiles.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

namespace {

std::string Done(const std::string& path) {
    return std::string(kDoneMarker) + path;
}

class ShredRunTest : public testing::Test {
protected:
    TempDir dir;
};

// Tests whose run could wipe free space, by design or by a broken rule, work on the scratch
// tmpfs of tools/with-scratch-fs: a wipe fills 4 MiB, never the machine's disk.
class ShredRunOnScratch : public testing::Test {
protected:
    void SetUp() override {
        if (ScratchTmpfs().empty())
            GTEST_SKIP() << "needs the scratch tmpfs of tools/with-scratch-fs (root)";
        scratch.emplace(ScratchTmpfs());
    }
    std::string In(const std::string& name) const { return *scratch / name; }
    std::optional<TempDir> scratch;
};

// Another program acts at the moment an entry is marked, or the session ends as a pass has
// written its last block.
class ActingDisplay : public RecordingDisplay {
public:
    using RecordingDisplay::RecordingDisplay;
    void ListReplace(int index, const std::string& text) override {
        RecordingDisplay::ListReplace(index, text);
        if (onMark)
            onMark();
    }
    void SetProgressPosition(std::int64_t position) override {
        const bool passDone = position == 0 && progress > 0 && progress == progressMax;
        RecordingDisplay::SetProgressPosition(position);
        if (passDone && onPassDone)
            onPassDone();
    }
    std::function<void()> onMark, onPassDone;
};

} // namespace

TEST_F(ShredRunTest, AnEmptyListOnlyResetsTheColours) {
    RecordingDisplay display;
    ShredRun(display, SystemFileSystem()).Execute();
    EXPECT_EQ(display.statusColor, 0u);
    EXPECT_EQ(display.listColor, 0u);
    EXPECT_TRUE(display.statusLines.empty());
    EXPECT_TRUE(display.patterns.empty());
    EXPECT_EQ(display.listRepaints, 0);
    EXPECT_TRUE(display.progressHistory.empty());
}

TEST_F(ShredRunTest, FilesAreOverwrittenDeletedAndMarked) {
    const std::string empty = dir / "empty.txt", readOnly = dir / "read-only.txt",
                      big = dir / "big.bin";
    WriteAll(empty, {});
    WriteAll(readOnly, Filled(1200, 'r'));
    WriteAll(big, Filled(100000, 'b'));
    FileSystem& files = SystemFileSystem();
    files.SetAttributes(readOnly, files.GetAttributes(readOnly) | kAttrReadOnly);
    RecordingDisplay display({empty, readOnly, big});

    ShredRun(display, files).Execute();

    EXPECT_EQ(display.list, (std::vector<std::string>{Done(empty), Done(readOnly), Done(big)}));
    EXPECT_FALSE(std::filesystem::exists(empty));
    EXPECT_FALSE(std::filesystem::exists(readOnly));
    EXPECT_FALSE(std::filesystem::exists(big));
    EXPECT_EQ(display.listRepaints, 3);
    ASSERT_EQ(display.statusLines.size(), 21u);
    EXPECT_EQ(display.statusLines[7], "shredding " + readOnly + ": size is 1200 bytes ... Pass 1");
    EXPECT_EQ(display.statusLines.back(), "shredding " + big + ": size is 100000 bytes ... Pass 7");
    EXPECT_EQ(display.progress, 0);
    // Seven passes of seven chunks for the big file: the last pattern stays shown.
    EXPECT_EQ(display.patterns.size(), 7u * 1 + 7u * 7);
}

TEST_F(ShredRunTest, ASizeIsTakenOnceAndEachPassSeesItsNumber) {
    const std::string path = dir / "numbers.bin";
    WriteAll(path, Filled(10, 1));
    RecordingDisplay display({path});
    ShredRun(display, SystemFileSystem()).Execute();
    ASSERT_EQ(display.statusLines.size(), 7u);
    for (int pass = 1; pass <= 7; ++pass)
        EXPECT_EQ(display.statusLines[static_cast<std::size_t>(pass - 1)],
                  "shredding " + path + ": size is 10 bytes ... Pass " + std::to_string(pass));
}

TEST_F(ShredRunOnScratch, AMissingFileInAMissingFolderIsLeftAlone) {
    const std::string missing = (scratch->Path() / "gone" / "file.bin").string();
    RecordingDisplay display({missing});
    EXPECT_NO_THROW(ShredRun(display, SystemFileSystem()).Execute());
    EXPECT_EQ(display.list, std::vector<std::string>{missing});
    EXPECT_EQ(display.statusLines.size(), 7u);
    EXPECT_TRUE(display.patterns.empty());
    EXPECT_FALSE(std::filesystem::exists(scratch->Path() / "gone"));
}

#ifdef _WIN32
TEST_F(ShredRunOnScratch, AnEntryWithoutADriveLetterIsSkipped) {
    RecordingDisplay display({"1:\\nothing\\here.bin", "\\\\?\\?", "~nowhere"});
    // A relative name would be taken from here.
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(scratch->Path());
    ShredRun(display, SystemFileSystem()).Execute();
    std::filesystem::current_path(before);
    EXPECT_EQ(display.list,
              (std::vector<std::string>{"1:\\nothing\\here.bin", "\\\\?\\?", "~nowhere"}));
    EXPECT_TRUE(display.statusLines.empty());
}
#endif

TEST_F(ShredRunTest, AFileHeldOpenStopsTheRunAtThatEntry) {
    std::vector<std::string> paths;
    for (int i = 1; i <= 5; ++i) {
        paths.push_back(dir / ("file" + std::to_string(i) + ".txt"));
        WriteAll(paths.back(), Filled(3000, static_cast<unsigned char>('0' + i)));
    }
    RecordingDisplay display(paths);
    {
        const OtherHolder holder(paths[2]);
        try {
            ShredRun(display, SystemFileSystem()).Execute();
            FAIL() << "the run went past a file it could not open";
        } catch (const Exception& failure) {
            EXPECT_EQ(failure.Message(), "Cannot open file " + paths[2]);
        }
    }

    EXPECT_EQ(display.list, (std::vector<std::string>{Done(paths[0]), Done(paths[1]), paths[2],
                                                      paths[3], paths[4]}));
    for (int i = 2; i < 5; ++i)
        EXPECT_EQ(ReadAll(paths[static_cast<std::size_t>(i)]),
                  Filled(3000, static_cast<unsigned char>('1' + i)));
}

// Entries no pass may touch: what they name now is not what the user listed.
TEST_F(ShredRunOnScratch, EntriesWhoseFileIsNotTheListedOneGetNoPass) {
    struct Row {
        const char* what;
        EntryKind kind;
        const char* name;
        bool fileThere;
    };
    const std::vector<Row> rows = {
        {"a listed file that is gone", EntryKind::File, "gone.txt", false},
        {"a file where a wipe was asked for", EntryKind::NoFile, "appeared.txt", true},
        {"an entry marked by an earlier run", EntryKind::Shredded, "marked.txt", true},
#ifdef _WIN32
        // The system would look up "namesake" instead.
        {"a name ending in a dot", EntryKind::NoFile, "namesake.", false},
        {"a name ending in a blank", EntryKind::File, "namesake ", false},
#endif
    };
    WriteAll(In("namesake"), Filled(100, 'n'));
    for (const Row& row : rows) {
        const std::string path = In(row.name);
        if (row.fileThere)
            WriteAll(path, Filled(100, 'k'));
        RecordingDisplay display({path});
        display.SetListKind(0, row.kind);

        ShredRun(display, SystemFileSystem()).Execute();

        EXPECT_TRUE(display.statusLines.empty()) << row.what;
        EXPECT_EQ(display.list, std::vector<std::string>{path}) << row.what;
        if (SystemFileSystem().NamesItself(path)) {
            EXPECT_EQ(std::filesystem::exists(path), row.fileThere) << row.what;
        }
        EXPECT_EQ(ReadAll(In("namesake")), Filled(100, 'n')) << row.what;
    }
}

// A file put again under a name this run has shredded is another file: shredded as any other.
TEST_F(ShredRunOnScratch, AFileMadeAgainUnderANameShreddedEarlierIsShreddedAsAnyOther) {
    const std::string path = In("again.bin");
    WriteAll(path, Filled(3000, 'a'));
    ActingDisplay display({path, path});
    display.onMark = [&] {
        if (display.statusLines.size() == 7)
            WriteAll(path, Filled(2000, 'b'));
    };

    ShredRun(display, SystemFileSystem()).Execute();

    EXPECT_EQ(display.list, (std::vector<std::string>{Done(path), Done(path)}));
    ASSERT_EQ(display.statusLines.size(), 14u);
    EXPECT_EQ(display.statusLines.back(), "shredding " + path + ": size is 2000 bytes ... Pass 7");
    EXPECT_FALSE(std::filesystem::exists(path));
}

// The session ends between two passes: the entry is not whole, so it stays, unmarked.
TEST_F(ShredRunOnScratch, AStopBetweenTwoPassesLeavesTheEntryUnmarkedInPlace) {
    const std::string first = In("first.bin"), second = In("second.bin");
    WriteAll(first, Filled(3000, '1'));
    WriteAll(second, Filled(3000, '2'));
    ActingDisplay display({first, second});
    ShredRun run(display, SystemFileSystem());
    display.onPassDone = [&] {
        if (display.statusLines.size() == 3)
            run.Stop();
    };

    run.Execute();

    EXPECT_EQ(display.list, (std::vector<std::string>{first, second}));
    EXPECT_EQ(display.statusLines.size(), 3u);
    EXPECT_EQ(ReadAll(first).size(), 3000u);
    EXPECT_EQ(ReadAll(second), Filled(3000, '2'));
}

// Another program holds the file for one pass, or moves it away: the passes go on, but the
// file is neither deleted nor marked, and keeps its read-only bit.
TEST_F(ShredRunTest, AFileMissedByOnePassStaysUnmarkedInPlace) {
    struct Row {
        const char* what;
        bool readOnly;
        bool moveAway;
    };
    for (const Row row : {Row{"held", false, false}, Row{"held, read-only", true, false},
                          Row{"moved away", false, true}}) {
        const std::string path = dir / "kept.bin", aside = dir / "aside.bin";
        WriteAll(path, Filled(3000, 'k'));
        FileSystem& files = SystemFileSystem();
        if (row.readOnly)
            files.SetAttributes(path, files.GetAttributes(path) | kAttrReadOnly);
        RecordingDisplay display({path});
        display.SetListKind(0, EntryKind::File);
        std::unique_ptr<OtherHolder> holder;
        display.onStatus = [&](const std::string& line) {
            if (line.ends_with("Pass 3") && row.moveAway)
                std::filesystem::rename(path, aside);
            else if (line.ends_with("Pass 3"))
                holder = std::make_unique<OtherHolder>(path);
            else
                holder.reset();
        };

        ShredRun(display, files).Execute();

        EXPECT_EQ(display.statusLines.size(), 7u) << row.what;
        EXPECT_EQ(display.list, std::vector<std::string>{path}) << row.what;
        const std::string left = row.moveAway ? aside : path;
        EXPECT_TRUE(files.IsRegularFile(left)) << row.what;
        EXPECT_EQ(files.IsRegularFile(path), !row.moveAway) << row.what << ": no filler stays";
        EXPECT_EQ((files.GetAttributes(left) & kAttrReadOnly) != 0, row.readOnly) << row.what;
        files.SetAttributes(left, 0);
        std::filesystem::remove(left);
    }
}
