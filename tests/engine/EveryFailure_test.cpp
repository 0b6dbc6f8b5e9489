// Every file-system call of a run made to fail in turn (that call alone, or every call from
// it on, as when a drive is pulled out), on the scratch drives of tools/with-scratch-fs:
// whichever call fails, the run goes on to its end and names every entry it left, no file is
// gone without its entry marked, no entry is marked before seven full passes and the deletion
// of its file, and nothing but the listed files is touched.
#include "engine/ShredRun.h"
#include "framework/Exception.h"
#include "FailingFileSystem.h"
#include "RecordingDisplay.h"
#include "ScratchFiles.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>

namespace {

using Mode = FailingFileSystem::Mode;

// The list, in its order. The name for the wipe lies on a drive of its own, which holds
// nothing else, so its free space must come back exactly.
struct Row {
    const char* listed;
    const char* file; // the file the entry names; null for a free-space wipe
    std::size_t size;
    bool readOnly;
};
const Row kRows[] = {
    {"plain.txt", "plain.txt", 3000, false},
    {"read-only.txt", "read-only.txt", 1200, true},
    {"blocks.bin", "blocks.bin", 3 * kBlockSize + 100, false},
    {"wipe.tmp", nullptr, 0, false},
    {"twice.txt", "twice.txt", 5000, false},
#ifdef _WIN32
    {"TWICE.txt", "twice.txt", 5000, false},
#else
    {"twice.txt", "twice.txt", 5000, false},
#endif
};
constexpr const char* kBystander = "bystander.bin";

std::int64_t FreeBytes(const std::string& root) {
    return static_cast<std::int64_t>(std::filesystem::space(std::filesystem::path(root)).available);
}

class EveryFailure : public testing::TestWithParam<Mode> {
protected:
    void SetUp() override {
        if (ScratchTmpfs().empty() || ScratchExt4().empty())
            GTEST_SKIP() << "needs root to mount small file systems (tools/with-scratch-fs)";
    }

    std::string Listed(const Row& row) const {
        return row.file ? folder + row.listed : ScratchTmpfs() + row.listed;
    }
    std::string File(const Row& row) const { return folder + row.file; }

    // The files as they were before any run, and the wipe drive's free space then.
    void LayOut() {
        RemoveTree(folder);
        MakeFolder(folder);
        for (const Row& row : kRows) {
            if (!row.file || PathExists(File(row)))
                continue;
            WriteAll(File(row), Filled(row.size, static_cast<unsigned char>(row.listed[0])));
            if (row.readOnly)
                std::filesystem::permissions(File(row),
                                             std::filesystem::perms::owner_write |
                                                 std::filesystem::perms::group_write |
                                                 std::filesystem::perms::others_write,
                                             std::filesystem::perm_options::remove);
        }
        WriteAll(folder + kBystander, bystander);
        wipeFree = FreeBytes(ScratchTmpfs());
    }

    // One run through `files`: the entries it left, and the failure that escaped it, if any.
    struct Outcome {
        std::vector<LeftEntry> left;
        std::string escaped;
    };
    Outcome Run(FileSystem& files, RecordingDisplay& display) {
        for (const Row& row : kRows)
            display.List(Listed(row), SystemFileSystem());
        ShredRun run(display, files);
        try {
            run.Execute();
        } catch (const Exception& failure) {
            return {run.Left(), failure.Message()};
        } catch (const std::exception& failure) {
            return {run.Left(), std::string("unexpected: ") + failure.what()};
        }
        return {run.Left(), {}};
    }

    void Check(const RecordingDisplay& display, const FailingFileSystem& files,
               const Outcome& outcome) {
        EXPECT_EQ(outcome.escaped, "") << "no failure of the file system ends the run";
        std::vector<std::string> unmarked, left;
        for (const LeftEntry& entry : outcome.left)
            left.push_back(entry.path);
        // An open that failed outright leaves its entry, and only that one, as one that could
        // not be opened.
        if (GetParam() == Mode::Once && std::string(files.Failed()) == "OpenTarget") {
            EXPECT_EQ(outcome.left.size(), 1u) << "the run went on";
            for (const LeftEntry& entry : outcome.left)
                EXPECT_EQ(entry.reason, LeftReason::NotOpened) << entry.path;
        }
        std::set<std::string> markedFiles;
        std::map<std::string, int> fullPasses; // per file, over the names it was listed by
        std::set<std::string> listedNames;
        for (std::size_t i = 0; i < std::size(kRows); ++i) {
            const Row& row = kRows[i];
            const std::string listed = Listed(row);
            const bool marked = display.list[i] == std::string(kDoneMarker) + listed;
            EXPECT_TRUE(marked || display.list[i] == listed) << display.list[i];
            if (!marked)
                unmarked.push_back(listed);
            if (!row.file) {
                EXPECT_FALSE(PathExists(listed)) << "a filler is left";
                continue;
            }
            if (marked)
                markedFiles.insert(row.file);
            const auto passes = files.fullPasses.find(listed);
            if (listedNames.insert(listed).second && passes != files.fullPasses.end())
                fullPasses[row.file] += static_cast<int>(
                    std::count(passes->second.begin(), passes->second.end(), row.size));
        }
        // A file listed twice is gone once either of its entries is marked.
        for (const Row& row : kRows) {
            if (!row.file)
                continue;
            const bool gone = !PathExists(File(row));
            EXPECT_EQ(gone, markedFiles.count(row.file) == 1) << row.file;
            if (gone) {
                EXPECT_GE(fullPasses[row.file], kPassCount) << row.file << ": marked too soon";
            } else if (fullPasses[row.file] < kPassCount) {
                EXPECT_EQ(std::filesystem::file_size(File(row)), row.size) << row.file;
            } else {
                // Its content went; it may have been emptied before a deletion that failed.
                const auto size = std::filesystem::file_size(File(row));
                EXPECT_TRUE(size == row.size || size == 0) << row.file << ": " << size;
            }
        }
        // Nothing else in the folder: no name given to a file before its deletion stays.
        std::set<std::string> expected{kBystander}, found;
        for (const Row& row : kRows)
            if (row.file && PathExists(File(row)))
                expected.insert(row.file);
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            found.insert(entry.path().filename().string());
        EXPECT_EQ(found, expected);
        // Every pass over a file is as long as the file, or, once its content went and it was
        // emptied before a deletion that failed, over nothing (a later entry of the same file).
        for (const std::string& line : display.statusLines) {
            for (const Row& row : kRows) {
                const std::string shredding = "shredding " + Listed(row) + ": size is ";
                if (row.file && line.starts_with(shredding)) {
                    const std::string size = line.substr(0, line.find(" bytes"));
                    EXPECT_TRUE(size == shredding + std::to_string(row.size) ||
                                (size == shredding + "0" && fullPasses[row.file] >= kPassCount))
                        << line;
                }
            }
        }
        EXPECT_EQ(FreeBytes(ScratchTmpfs()), wipeFree);
        EXPECT_EQ(ReadAll(folder + kBystander), bystander);
        EXPECT_EQ(left, unmarked) << "every entry left is named in the report, once";
        EXPECT_TRUE(display.progressHistory.empty() || display.progress == 0);
    }

    // A tmpfs mounted in a folder of the ext4: flushes that cost nothing, in a sweep of
    // hundreds of runs.
    const std::string folder = ScratchExt4() + "nested" + kDelimiter + "every-failure" + kDelimiter;
    const std::vector<unsigned char> bystander = Filled(5000, 'B');
    std::int64_t wipeFree = 0;
};

std::string ModeName(const testing::TestParamInfo<Mode>& mode) {
    return mode.param == Mode::Once ? "OneCall" : "EveryCallFromThereOn";
}

} // namespace

TEST_P(EveryFailure, LosesNothingAndClaimsNothingItDidNotDo) {
    LayOut();
    RecordingDisplay clean;
    FailingFileSystem counting(SystemFileSystem(), 0, Mode::Once);
    const Outcome cleanRun = Run(counting, clean);
    for (std::size_t i = 0; i < std::size(kRows); ++i)
        EXPECT_EQ(clean.list[i], std::string(kDoneMarker) + Listed(kRows[i]));
    Check(clean, counting, cleanRun);
    const int calls = counting.Calls();

    // Stops at the first call whose failure breaks the promise: the one to look into.
    for (int failAt = 1; failAt <= calls && !HasFailure(); ++failAt) {
        LayOut();
        RecordingDisplay display;
        FailingFileSystem files(SystemFileSystem(), failAt, GetParam());
        const Outcome outcome = Run(files, display);
        SCOPED_TRACE("call " + std::to_string(failAt) + " of " + std::to_string(calls) + " (" +
                     files.Failed() + ") failed");
        Check(display, files, outcome);
    }
    RecordProperty("calls", calls);
    std::cout << "each of " << calls << " calls made to fail\n";
}

INSTANTIATE_TEST_SUITE_P(Modes, EveryFailure, testing::Values(Mode::Once, Mode::FromThereOn),
                         ModeName);
