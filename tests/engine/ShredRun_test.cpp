#include "engine/Random.h"
#include "engine/ShredRun.h"
#include "framework/Exception.h"
#include "platform/FileSystem.h"
#include "RecordingDisplay.h"
#include "ScratchFiles.h"
#include "TestFiles.h"
#include "WindowsLikeFileSystem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

namespace {

std::string Done(const std::string& path) {
    return std::string(kDoneMarker) + path;
}

std::vector<ToldReason> ToldReasons(const ShredRun& run) {
    std::vector<ToldReason> told;
    for (const ToldEntry& entry : run.Told())
        told.push_back(entry.reason);
    return told;
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

// A mistyped folder: said as such, not as a drive that could not be wiped.
TEST_F(ShredRunOnScratch, AMissingFileInAMissingFolderIsLeftAlone) {
    const std::string missing = (scratch->Path() / "gone" / "file.bin").string();
    RecordingDisplay display({missing});
    ShredRun run(display, SystemFileSystem());
    EXPECT_NO_THROW(run.Execute());
    ASSERT_EQ(run.Left().size(), 1u);
    EXPECT_EQ(run.Left()[0].reason, LeftReason::NoFolder);
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

// Another program holds the third of five files past the run's patience: that entry is left
// whole and said, and the run goes on with the rest.
TEST_F(ShredRunTest, AFileHeldOpenByAnotherProgramIsLeftAndTheRunGoesOn) {
    std::vector<std::string> paths;
    for (int i = 1; i <= 5; ++i) {
        paths.push_back(dir / ("file" + std::to_string(i) + ".txt"));
        WriteAll(paths.back(), Filled(3000, static_cast<unsigned char>('0' + i)));
    }
    RecordingDisplay display(paths);
    ShredRun run(display, SystemFileSystem());
    {
        const OtherHolder holder(paths[2]);
        EXPECT_NO_THROW(run.Execute());
    }

    EXPECT_EQ(display.list, (std::vector<std::string>{Done(paths[0]), Done(paths[1]), paths[2],
                                                      Done(paths[3]), Done(paths[4])}));
    EXPECT_EQ(ReadAll(paths[2]), Filled(3000, '3'));
    ASSERT_EQ(run.Left().size(), 1u);
    EXPECT_EQ(run.Left()[0].path, paths[2]);
    EXPECT_EQ(run.Left()[0].reason, LeftReason::InUse);
}

// A folder another program keeps open: the first few held files are each waited for, through
// the display (which keeps the window alive) and named on the status line; later ones are
// asked for once more only.
TEST_F(ShredRunTest, AfterTheFirstFewHeldFilesEachIsAskedForOnceMore) {
    WindowsLikeFileSystem files(SystemFileSystem());
    RecordingDisplay display;
    std::vector<std::string> paths;
    for (int i = 1; i <= 5; ++i) {
        paths.push_back(dir / ("held" + std::to_string(i) + ".txt"));
        WriteAll(paths.back(), Filled(100, 'h'));
        display.List(paths.back(), files);
        files.busyOpens[paths.back()] = 1000;
    }
    ShredRun run(display, files);

    run.Execute();

    EXPECT_EQ(display.list, paths);
    ASSERT_EQ(run.Left().size(), paths.size());
    ASSERT_EQ(display.statusLines.size(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(files.openTargets[paths[i]], i < 3 ? 21 : 2) << i;
        EXPECT_EQ(display.statusLines[i], std::string(kWaitingStatus) + paths[i]);
        EXPECT_EQ(run.Left()[i].reason, LeftReason::InUse);
    }
    EXPECT_EQ(display.waits.size(), 3u * 20u + 2u);
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

// The run holds the file from its sizing to its deletion: another program that tries to hold
// it meanwhile cannot, and the passes and the deletion go on; a read-only one too.
TEST_F(ShredRunTest, NoOtherProgramCanHoldAFileTheRunHolds) {
    for (const bool readOnly : {false, true}) {
        const std::string path = dir / "kept.bin";
        WriteAll(path, Filled(3000, 'k'));
        FileSystem& files = SystemFileSystem();
        if (readOnly)
            files.SetAttributes(path, files.GetAttributes(path) | kAttrReadOnly);
        RecordingDisplay display;
        display.List(path, files);
        int refused = 0;
        display.onStatus = [&](const std::string&) {
            try {
                OtherHolder holder(path);
            } catch (const std::runtime_error&) {
                ++refused;
            }
        };

        ShredRun(display, files).Execute();

        EXPECT_EQ(refused, 7) << readOnly;
        EXPECT_EQ(display.list, std::vector<std::string>{Done(path)}) << readOnly;
        EXPECT_FALSE(std::filesystem::exists(path)) << readOnly;
    }
}

// Before its deletion a file is renamed to a name of one letter, never over another file: with
// every such name taken, its content and the file still go, its entry is marked, and the run
// says that its name could not be hidden.
TEST_F(ShredRunTest, AFileWhoseNameCannotBeHiddenIsStillShreddedAndSaid) {
    const std::string path = dir / "ab.txt";
    WriteAll(path, Filled(3000, 's'));
    // The name's shape and case: two letters, a dot and three, all small.
    const auto hiding = [](char letter) {
        return std::string(2, letter) + "." + std::string(3, letter);
    };
    for (char letter = 'a'; letter <= 'z'; ++letter)
        WriteAll(dir / hiding(letter), Filled(10, static_cast<unsigned char>(letter)));
    RecordingDisplay display;
    display.List(path, SystemFileSystem());
    ShredRun run(display, SystemFileSystem());

    run.Execute();

    EXPECT_EQ(display.list, std::vector<std::string>{Done(path)});
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(run.Left().empty());
    ASSERT_EQ(run.Told().size(), 1u);
    EXPECT_EQ(run.Told()[0].path, path);
    EXPECT_EQ(run.Told()[0].reason, ToldReason::NameNotHidden);
    for (char letter = 'a'; letter <= 'z'; ++letter)
        EXPECT_EQ(ReadAll(dir / hiding(letter)), Filled(10, static_cast<unsigned char>(letter)));
}

// What Windows and its file systems answer for one listed file where Wine cannot show it. The
// entry after it is always shredded: no answer ends the run. A file kept where overwriting in
// place does not reach is shredded as any other, and said.
TEST_F(ShredRunOnScratch, WhatWindowsAnswersForAListedFileDecidesItAlone) {
    struct Case {
        const char* what;
        std::function<void(WindowsLikeFileSystem&, const std::string&)> arrange;
        bool shredded;
        LeftReason reason;
        int opens;
        std::vector<ToldReason> told = {};
        FileStream::Whereabouts where = {};
    };
    const FileId first = MakeFileId(1, 0, 12), other = MakeFileId(2, 0, 12);
    const auto kept = [](std::uint32_t storage) {
        return [storage](WindowsLikeFileSystem& files, const std::string& path) {
            files.storage[path] = storage;
        };
    };
    const std::vector<Case> cases = {
        {"held by another program for a moment",
         [](WindowsLikeFileSystem& files, const std::string& path) { files.busyOpens[path] = 3; },
         true,
         {},
         4},
        {"held past the run's patience",
         [](WindowsLikeFileSystem& files, const std::string& path) {
             files.busyOpens[path] = 1000;
         },
         false, LeftReason::InUse, 21},
        // A lookup failed in between: seven passes as long as the drive's free space.
        {"found by its name, gone as it is opened",
         [](WindowsLikeFileSystem& files, const std::string& path) {
             files.vanishingOpens[path] = 1;
         },
         false, LeftReason::Gone, 1},
        {"the drive letter now leads to another volume's file of that number",
         [&](WindowsLikeFileSystem& files, const std::string& path) { files.ids[path] = other; },
         false, LeftReason::Changed, 1},
        {"a number known when listed, none now",
         [](WindowsLikeFileSystem& files, const std::string& path) { files.ids[path] = {}; },
         true,
         {},
         1},
        // Read-only: the bit comes back with the name.
        {"its deletion refused by the folder",
         [](WindowsLikeFileSystem& files, const std::string& path) {
             files.refusedDeletions.insert(path);
         },
         false, LeftReason::NotDeleted, 1},
        {"not to be looked at by this user",
         [](WindowsLikeFileSystem& files, const std::string& path) {
             files.unreadable.insert(path);
         },
         false, LeftReason::NotOpened, 0},
        {"a failure as it is opened",
         [](WindowsLikeFileSystem& files, const std::string& path) {
             files.failingOpens.insert(path);
         },
         false, LeftReason::NotOpened, 1},
        {"kept compressed", kept(kStoredCompressed), true, {}, 1, {ToldReason::Compressed}},
        {"deduplicated, with integrity streams, compressed by the overlay filter",
         kept(kStoredDeduplicated | kStoredIntegrity | kStoredOverlay),
         true,
         {},
         1,
         {ToldReason::IntegrityStreams, ToldReason::Deduplicated, ToldReason::OverlayCompressed}},
        {"compressed by the overlay filter until its first write",
         [](WindowsLikeFileSystem& files, const std::string& path) {
             files.storage[path] = kStoredOverlay;
             files.storagePlainOnceWritten.insert(path);
         },
         true,
         {},
         1,
         {ToldReason::OverlayCompressed}},
        {"a cloud file", kept(kStoredInCloud), true, {}, 1, {ToldReason::InCloud}},
        // Its folder moved while its name was hidden: Wine's rename by name reached another
        // file, given its name back; this one stays, named where it is.
        {"a rename by its name reached another file",
         [](WindowsLikeFileSystem& files, const std::string& path) {
             files.touched[path] = {true, true};
             files.whereabouts[path] = {"zzzzzzzz.zzz", true};
             files.refusedDeletions.insert(path);
         },
         false,
         LeftReason::OtherFileRenamed,
         1,
         {},
         {"zzzzzzzz.zzz", true}},
        {"its deletion taken where its folder moved",
         [](WindowsLikeFileSystem& files, const std::string& path) {
             files.whereabouts[path] = {"C:\\moved\\yyyyyyyy.yyy", false};
             files.refusedDeletions.insert(path);
         },
         false,
         LeftReason::NotDeleted,
         1,
         {},
         {"C:\\moved\\yyyyyyyy.yyy", false}},
        {"kept sparse and encrypted",
         kept(kStoredSparse | kStoredEncrypted),
         true,
         {},
         1,
         {ToldReason::Sparse, ToldReason::Encrypted}},
    };
    for (const Case& c : cases) {
        const std::string path = In("listed.txt"), after = In("after.txt");
        WriteAll(path, Filled(3000, 'l'));
        WriteAll(after, Filled(2000, 'a'));
        FileSystem& real = SystemFileSystem();
        real.SetAttributes(path, real.GetAttributes(path) | kAttrReadOnly);
        WindowsLikeFileSystem files(real);
        files.ids[path] = first;
        RecordingDisplay display;
        display.List(path, files);
        display.List(after, files);
        c.arrange(files, path);
        ShredRun run(display, files);

        run.Execute();

        EXPECT_EQ(display.list[0], c.shredded ? Done(path) : path) << c.what;
        EXPECT_EQ(display.list[1], Done(after)) << c.what;
        EXPECT_EQ(files.openTargets[path], c.opens) << c.what;
        EXPECT_EQ(std::filesystem::exists(path), !c.shredded) << c.what;
        EXPECT_EQ(ToldReasons(run), c.told) << c.what;
        if (!c.shredded) {
            ASSERT_EQ(run.Left().size(), 1u) << c.what;
            EXPECT_EQ(run.Left()[0].reason, c.reason) << c.what;
            EXPECT_EQ(run.Left()[0].now, c.where.path) << c.what;
            EXPECT_EQ(run.Left()[0].folderLost, c.where.folderLost) << c.what;
            EXPECT_NE(real.GetAttributes(path) & kAttrReadOnly, 0u) << c.what;
            if (c.reason != LeftReason::NotDeleted && c.reason != LeftReason::OtherFileRenamed) {
                EXPECT_EQ(ReadAll(path), Filled(3000, 'l')) << c.what;
            }
            real.SetAttributes(path, real.GetAttributes(path) & ~kAttrReadOnly);
            std::filesystem::remove(path);
        }
        EXPECT_EQ(std::filesystem::directory_iterator(scratch->Path()),
                  std::filesystem::directory_iterator())
            << c.what << ": a name given before a deletion stays";
    }
}

// Two entries whose files tell the same number: one file only where the volume is the same
// too; a number the file system does not know matches nothing. Even one identity proves
// nothing while the second name still leads to a file: that file is checked and shredded as
// any other; only a name that leads to no file any more is taken for the first one.
TEST_F(ShredRunOnScratch, FilesAreTheSameOnlyWithTheSameVolumeAndAKnownNumber) {
    struct Case {
        const char* what;
        FileId first, second;
        bool secondGone; // with the first, as one file under two names is
        bool secondWritten;
    };
    const std::vector<Case> cases = {
        {"two sticks formatted alike", MakeFileId(1, 0, 12), MakeFileId(2, 0, 12), false, true},
        {"no number known", MakeFileId(1, 0, 0), MakeFileId(1, 0, 0), false, true},
        {"all ones: no number known", MakeFileId(1, ~0ull, ~0ull), MakeFileId(1, ~0ull, ~0ull),
         false, true},
        {"ReFS numbers alike in their low half", MakeFileId(1, 1, 12), MakeFileId(1, 2, 12), false,
         true},
        {"two volumes that read serial 0, one number and one time", MakeFileId(0, 0, 12, 0, 5),
         MakeFileId(0, 0, 12, 0, 5), false, true},
        {"one file under two names", MakeFileId(1, 0, 12), MakeFileId(1, 0, 12), true, false},
    };
    for (const Case& c : cases) {
        const std::string one = In("one.txt"), two = In("two.txt");
        WriteAll(one, Filled(3000, '1'));
        WriteAll(two, Filled(2000, '2'));
        WindowsLikeFileSystem files(SystemFileSystem());
        files.ids = {{one, c.first}, {two, c.second}};
        ActingDisplay display;
        display.List(one, files);
        display.List(two, files);
        display.onMark = [&] {
            if (c.secondGone)
                std::filesystem::remove(two);
        };

        ShredRun(display, files).Execute();

        EXPECT_EQ(display.list, (std::vector<std::string>{Done(one), Done(two)})) << c.what;
        EXPECT_FALSE(std::filesystem::exists(one)) << c.what;
        EXPECT_FALSE(std::filesystem::exists(two)) << c.what;
        EXPECT_EQ(display.statusLines.size(), c.secondWritten ? 14u : 7u) << c.what;
        EXPECT_TRUE(files.foldersReleased) << c.what;
    }
}

// A wipe fills the free space the user may use in files each below the file system's largest
// (FAT32: 4 GiB - 1), every one written by all seven passes, each flushed before the next is
// written, and all gone at the end; a wipe that a quota kept from part of the free space says
// so, and one whose part stays on the drive is no wipe.
TEST_F(ShredRunOnScratch, AWipeIsSplitBelowTheLargestFileAndSaysWhatAQuotaKept) {
    struct Case {
        const char* what;
        std::int64_t largest, quotaKeeps;
        std::size_t parts;
        std::vector<ToldReason> told;
        bool partsStay = false;
    };
    const std::int64_t mebibyte = 1 << 20;
    const std::vector<Case> cases = {
        {"no limit", kNoFileSizeLimit, 0, 1, {ToldReason::WipedFreeSpace}},
        {"a limit of one MiB", mebibyte, 0, 4, {ToldReason::WipedFreeSpace}},
        {"a quota",
         kNoFileSizeLimit,
         mebibyte,
         1,
         {ToldReason::WipedFreeSpace, ToldReason::QuotaLimited}},
        {"parts the system does not remove", mebibyte, 0, 4, {}, true},
    };
    for (const Case& c : cases) {
        const std::string wipe = In("wipe.tmp");
        const auto before = std::filesystem::space(scratch->Path()).available;
        WindowsLikeFileSystem files(SystemFileSystem());
        files.largestFile = c.largest;
        files.quotaKeeps = c.quotaKeeps;
        files.fillersStay = c.partsStay;
        RecordingDisplay display({wipe});
        ShredRun run(display, files);

        run.Execute();

        const std::int64_t size = display.progressMax;
        EXPECT_EQ(display.list[0], c.partsStay ? wipe : Done(wipe)) << c.what;
        EXPECT_EQ(ToldReasons(run), c.told) << c.what;
        if (c.partsStay) {
            ASSERT_EQ(run.Left().size(), 1u) << c.what;
            EXPECT_EQ(run.Left()[0].reason, LeftReason::NotWiped) << c.what;
            for (const auto& entry : std::filesystem::directory_iterator(scratch->Path()))
                std::filesystem::remove(entry.path());
        }
        EXPECT_EQ(std::filesystem::space(scratch->Path()).available, before) << c.what;
        EXPECT_EQ(std::filesystem::directory_iterator(scratch->Path()),
                  std::filesystem::directory_iterator())
            << c.what;
        ASSERT_EQ(files.fillerPasses.size(), c.parts) << c.what;
        EXPECT_EQ(files.partsWrittenPastUnflushed, 0) << c.what;
        for (int pass = 0; pass < kPassCount; ++pass) {
            std::int64_t written = 0;
            for (const auto& passes : files.fillerPasses) {
                ASSERT_EQ(passes.size(), static_cast<std::size_t>(kPassCount)) << c.what;
                EXPECT_LE(passes[static_cast<std::size_t>(pass)], c.largest) << c.what;
                written += passes[static_cast<std::size_t>(pass)];
            }
            EXPECT_EQ(written, size) << c.what << ", pass " << pass + 1;
        }
    }
}

// A file's named streams (NTFS) get the same seven passes, each after the main stream's,
// whose bytes and draws stay as they are without streams. A stream that cannot be written,
// or a list of streams that cannot be read, keeps the file and says why.
TEST_F(ShredRunOnScratch, NamedStreamsGetTheSevenPassesAfterTheMainOne) {
    struct Case {
        const char* what;
        const char* failing; // the stream whose writes fail
        bool unlisted;
        bool shredded;
        LeftReason reason;
        const char* unopenable = ""; // the stream that cannot be opened
        int held = 0;                // opens of "zone" that another program's hold refuses
    };
    const std::vector<Case> cases = {
        {"two named streams", "", false, true, {}},
        {"a stream that cannot be opened", "", false, false, LeftReason::StreamNotOverwritten,
         "zone"},
        {"a stream that cannot be written", "summary", false, false,
         LeftReason::StreamNotOverwritten},
        {"streams that cannot be listed", "", true, false, LeftReason::StreamsUnlisted},
        {"a stream another program holds for a moment", "", false, true, {}, "", 3},
        {"a stream another program holds for good", "", false, false, LeftReason::StreamInUse, "",
         1000},
    };
    const std::vector<std::pair<std::string, std::size_t>> streams = {{"zone", 500},
                                                                      {"summary", 20000}};
    for (const Case& c : cases) {
        const std::string path = In("doc.txt"), plain = In("plain.txt");
        WriteAll(path, Filled(3000, 'd'));
        WriteAll(plain, Filled(3000, 'd'));
        WindowsLikeFileSystem files(SystemFileSystem());
        for (const auto& [name, size] : streams) {
            WriteAll(path + "~" + name, Filled(size, 's'));
            files.streams[path].push_back(name);
        }
        if (*c.failing)
            files.failingStreams.insert(path + ":" + c.failing);
        if (c.unlisted)
            files.unlistedStreams.insert(path);
        if (*c.unopenable)
            files.unopenableStreams.insert(path + ":" + c.unopenable);
        files.busyOpens[path + ":zone"] = c.held;
        const std::uint32_t state = RandomState();
        RecordingDisplay display;
        display.List(path, files);
        ShredRun run(display, files);
        run.Execute();
        SetRandomState(state);
        RecordingDisplay alone;
        alone.List(plain, files);
        ShredRun(alone, files).Execute();

        EXPECT_EQ(files.written[path], files.written[plain]) << c.what;
        EXPECT_EQ(display.list[0], c.shredded ? Done(path) : path) << c.what;
        EXPECT_EQ(std::filesystem::exists(path), !c.shredded) << c.what;
        if (c.shredded) {
            for (const auto& [name, size] : streams) {
                const auto& passes = files.written[path + ":" + name];
                ASSERT_EQ(passes.size(), static_cast<std::size_t>(kPassCount)) << name;
                for (const auto& bytes : passes)
                    EXPECT_EQ(bytes.size(), size) << name;
                EXPECT_EQ(ReadAll(path + "~" + name), passes.back()) << name;
            }
            EXPECT_EQ(display.statusLines.back(),
                      "shredding " + path + ":summary: size is 20000 bytes ... Pass 7");
        } else {
            ASSERT_EQ(run.Left().size(), 1u) << c.what;
            EXPECT_EQ(run.Left()[0].reason, c.reason) << c.what;
        }
        for (const auto& entry : std::filesystem::directory_iterator(scratch->Path()))
            std::filesystem::remove(entry.path());
    }
}
