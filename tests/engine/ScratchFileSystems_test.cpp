// Shred runs on small real file systems mounted for the test (tools/with-scratch-fs):
// what reaches the device on ext4, FAT32 and NTFS, a full file system, a folder that
// refuses deletion, and the free-space wipe.
#include "engine/Random.h"
#include "engine/ShredRun.h"
#include "platform/FileSystem.h"
#include "RecordingDisplay.h"
#include "HostProcess.h"
#include "ScratchFiles.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>
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

std::string OnScratchExt4(const std::string& name) {
    const Scratch scratch = Mounted();
    return scratch.ext4 + scratch.delimiter + name;
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
    if (create)
        WriteAll(path, {});
    auto file = SystemFileSystem().OpenReadWrite(path);
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
    WriteAll(sparse, {'S'});
    std::filesystem::resize_file(std::filesystem::path(sparse), 2 * 1024 * 1024);
    const std::string filler = OnTmpfs("filler.bin");
    {
        WriteAll(filler, {});
        auto file = SystemFileSystem().OpenReadWrite(filler);
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
    std::filesystem::remove(filler);
    std::filesystem::remove(sparse);
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

TEST_F(ScratchFileSystems, TheSameFileListedTwiceIsShreddedOnceAndMarkedTwice) {
    // Windows takes names in any letter case for the same file.
    const std::string path = OnTmpfs("twice.txt");
    const std::string again =
#ifdef _WIN32
        OnTmpfs("TWICE.txt");
#else
        path;
#endif
    WriteAll(path, Filled(5000, 't'));
    const std::int64_t freeBytes = FreeBytes(scratch.tmpfs);
    // The third entry was listed where no file was: a wipe, whatever was shredded before it.
    display.list = {path, again, again};
    display.SetListKind(2, EntryKind::NoFile);

    ShredRun(display, SystemFileSystem()).Execute();

    EXPECT_EQ(display.list, (std::vector<std::string>{std::string(kDoneMarker) + path,
                                                      std::string(kDoneMarker) + again,
                                                      std::string(kDoneMarker) + again}));
    // No free-space wipe under the name of the second once the file is gone.
    ASSERT_EQ(display.statusLines.size(), 14u);
    EXPECT_EQ(display.statusLines[6], "shredding " + path + ": size is 5000 bytes ... Pass 7");
    EXPECT_TRUE(display.statusLines[7].starts_with("shredding " + again + ": size is "));
    EXPECT_NE(display.statusLines[7], "shredding " + again + ": size is 5000 bytes ... Pass 1");
    EXPECT_FALSE(SystemFileSystem().IsRegularFile(path));
    EXPECT_EQ(FreeBytes(scratch.tmpfs), freeBytes + 8192);
}

namespace {

// Does what a test asks once the run shows a given status line.
class SwappingDisplay : public RecordingDisplay {
public:
    SwappingDisplay(std::vector<std::string> entries, std::string trigger,
                    std::function<void()> swap)
        : RecordingDisplay(std::move(entries)), FTrigger(std::move(trigger)),
          FSwap(std::move(swap)) {}

    void SetStatusText(const std::string& text) override {
        RecordingDisplay::SetStatusText(text);
        if (text == FTrigger && !swapped) {
            swapped = true;
            FSwap();
        }
    }

    bool swapped = false;

private:
    std::string FTrigger;
    std::function<void()> FSwap;
};

// A name on the ext4 scratch drive as the host names it.
std::string HostOnExt4(const std::string& path) {
#ifdef _WIN32
    std::string result = EnvOrEmpty("OSTREVANE_EXT4") + path.substr(2);
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
#else
    return path;
#endif
}

// Runs a shell command as another program of the host would (under Wine, Wine's own calls
// would be refused by the run's handle or move what a link points to), and waits for it.
void OnHost(const std::string& script) {
    const std::string marker = HostOnExt4(OnScratchExt4("host-done"));
    const std::string command = "{ " + script + "; } && touch " + marker;
#ifdef _WIN32
    const std::string done = OnScratchExt4("host-done");
    // Wine splits the command line as Windows does: by double quotes.
    ASSERT_TRUE(RunOnHost("Z:\\bin\\sh", "sh -c \"" + command + "\"", [&] {
        return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES;
    })) << script;
    DeleteFileA(done.c_str());
#else
    ASSERT_EQ(std::system(command.c_str()), 0) << script;
    std::filesystem::remove(marker);
#endif
}

// Moves a name on the ext4 scratch drive, a link as a link.
void MoveOnExt4(const std::string& from, const std::string& to) {
    OnHost("mv -T " + HostOnExt4(from) + " " + HostOnExt4(to));
}

} // namespace

TEST_F(ScratchFileSystems, FilesDatedOutsideDosDatesAreShreddedAtTheirOwnLength) {
    const std::string image = MountedDevice("EXT4").image;
    ASSERT_FALSE(image.empty());
    for (const int year : {1970, 2200}) {
        const std::string marker = "OSTREVANE-DATED-" + std::to_string(year) + "-";
        const std::string path = OnExt4("dated" + std::to_string(year) + ".bin");
        ASSERT_TRUE(Put(path, Repeated(marker, 6000), true));
        SetModificationYear(path, year);
        ASSERT_TRUE(Contains(Image(image), marker)) << year;
        RecordingDisplay run({path});

        ShredRun(run, SystemFileSystem()).Execute();

        EXPECT_EQ(run.statusLines.back(), "shredding " + path + ": size is 6000 bytes ... Pass 7")
            << year;
        EXPECT_EQ(run.list[0], std::string(kDoneMarker) + path) << year;
        EXPECT_FALSE(Contains(Image(image), marker)) << year;
    }
}

#ifdef _WIN32
// A small file system mounted in a folder of a larger drive: a wipe there is sized from the
// volume that holds the name, not from its drive's letter, and fills it.
TEST_F(ScratchFileSystems, AWipeInAFolderThatMountsAnotherVolumeFillsThatVolume) {
    const std::string folder = OnExt4("nested");
    if (EnvOrEmpty("OSTREVANE_NESTED").empty())
        GTEST_SKIP() << "needs the file system that tools/with-scratch-fs mounts in a folder";
    const std::string filler = folder + scratch.delimiter + "filler.tmp";
    const std::int64_t freeBefore = FreeBytes(folder);
    ASSERT_LT(freeBefore, FreeBytes(scratch.ext4));
    display.list = {filler};

    ShredRun(display, SystemFileSystem()).Execute();

    EXPECT_EQ(display.progressMax, NinetyFivePercent(freeBefore));
    EXPECT_EQ(display.list[0], std::string(kDoneMarker) + filler);
    EXPECT_FALSE(SystemFileSystem().IsRegularFile(filler));
    EXPECT_EQ(FreeBytes(folder), freeBefore);
}
#else
TEST_F(ScratchFileSystems, AWipeThatCannotFinishLeavesNoFiller) {
    // A file-size limit stops the writes as FAT32's 4 GiB limit does.
    const std::string folder = scratch.tmpfs;
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const struct rlimit limit = {1024 * 1024, saved.rlim_max};
    const auto previous = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const std::string filler = folder + scratch.delimiter + "filler.tmp";
    const std::int64_t freeBefore = FreeBytes(folder);
    display.list = {filler};

    ShredRun(display, SystemFileSystem()).Execute();

    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
    EXPECT_EQ(display.statusLines.size(), 7u);
    EXPECT_EQ(display.list[0], filler);
    EXPECT_FALSE(SystemFileSystem().IsRegularFile(filler));
    EXPECT_EQ(FreeBytes(folder), freeBefore);
}
#endif

// A link put in place of a later entry's file, or of a folder on its path, while the run is
// under way: the file the link leads to is not listed and must come through untouched.
TEST_F(ScratchFileSystems, ALinkSwappedInDuringTheRunLeadsNowhere) {
    const char d = scratch.delimiter;
    const std::string links = OnExt4("links") + d;
    struct Case {
        const char* what;
        std::string entry;  // the listed name
        std::string moved;  // what the link replaces
        std::string link;   // the link, made by tools/with-scratch-fs
        std::string target; // an unlisted file the link leads to
        int swapAtPass;     // of the entry itself; 0: while the first entry is shredded
    };
    const std::string sub = links + "sub" + d, folder = links + "folder" + d;
    const std::vector<Case> cases = {
        {"file, before sizing", links + "listed.txt", links + "listed.txt", links + "file-link",
         links + "file.txt", 0},
        {"file, between passes", links + "listed.txt", links + "listed.txt", links + "file-link",
         links + "file.txt", 3},
        {"folder, before sizing", sub + "inside.txt", links + "sub", links + "folder-link",
         folder + "inside.txt", 0},
        {"folder, between passes", sub + "inside.txt", links + "sub", links + "folder-link",
         folder + "inside.txt", 3},
        // A free-space wipe would fill a folder nobody listed.
        {"wipe, before sizing", sub + "new.bin", links + "sub", links + "folder-link",
         folder + "inside.txt", 0},
    };
    const std::string first = OnExt4("first.bin");
    for (const Case& c : cases) {
        WriteAll(first, Filled(3000, 'f'));
        std::filesystem::create_directories(std::filesystem::path(links + "sub"));
        WriteAll(links + "listed.txt", Filled(100, 'l'));
        WriteAll(links + "sub" + d + "inside.txt", Filled(100, 'l'));
        const auto before = ReadAll(c.target);
        ASSERT_FALSE(before.empty()) << c.what;
        const std::string trigger = c.swapAtPass == 0
                                        ? "shredding " + first + ": size is 3000 bytes ... Pass 4"
                                        : "shredding " + c.entry + ": size is 100 bytes ... Pass " +
                                              std::to_string(c.swapAtPass);
        SwappingDisplay run({first, c.entry}, trigger, [&] {
            MoveOnExt4(c.moved, c.moved + ".aside");
            MoveOnExt4(c.link, c.moved);
        });

        ShredRun(run, SystemFileSystem()).Execute();

        EXPECT_TRUE(run.swapped) << c.what;
        // Met when sizing, the link costs the entry every pass.
        EXPECT_EQ(run.statusLines.size(), c.swapAtPass == 0 ? 7u : 14u) << c.what;
        EXPECT_EQ(run.list, (std::vector<std::string>{std::string(kDoneMarker) + first, c.entry}))
            << c.what;
        EXPECT_EQ(ReadAll(c.target), before) << c.what;
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(folder + "new.bin")));
        // Put back for the next case and the other tests.
        MoveOnExt4(c.moved, c.link);
        std::filesystem::remove_all(std::filesystem::path(c.moved + ".aside"));
    }
}

// Another program acts on a listed file after it was listed, or while the run holds it: only
// the file the user listed is ever written, its entry is marked only when all of that file
// went, no other file changes, and the run says why it left the entry.
TEST_F(ScratchFileSystems, WhatAnotherProgramDoesToAListedFileCostsNoOtherFile) {
    struct Case {
        const char* what;
        int atPass; // 0: after listing, before the run
        const char* script;
        bool readOnly;
        LeftReason reason;
        std::size_t passes;
        const char* name;    // the file in the folder afterwards
        std::string content; // and all of its bytes
    };
    const std::string listedBytes(3000, 'L'), otherBytes(2000, 'O');
    const std::vector<Case> cases = {
        {"replaced before the run", 0, "mv -f other.bin listed.bin", false, LeftReason::Changed, 0,
         "listed.bin", otherBytes},
        // The read-only bit goes back on the file the passes wrote, not on the newcomer, and
        // the newcomer is not named as the file to delete by hand.
        {"replaced between passes", 3, "mv -f other.bin listed.bin", true, LeftReason::NameMoved, 7,
         "listed.bin", otherBytes},
        {"grown between passes", 2, "cat other.bin >> listed.bin", false, LeftReason::Resized, 7,
         "listed.bin", std::string()},
        {"given a second name", 0, "ln listed.bin second.bin", false, LeftReason::OtherNames, 0,
         "second.bin", listedBytes},
        // Windows looks names up in any letter case; Wine's drives are case-sensitive folders.
        {"deleted beside a namesake in capitals", 0, "rm listed.bin && mv other.bin LISTED.BIN",
         false,
#ifdef _WIN32
         LeftReason::Changed,
#else
         LeftReason::Gone,
#endif
         0, "LISTED.BIN", otherBytes},
    };
    const char d = scratch.delimiter;
    const std::string folder = OnExt4("acted") + d, listed = folder + "listed.bin";
    for (const Case& c : cases) {
        std::filesystem::remove_all(std::filesystem::path(folder));
        MakeFolder(folder);
        WriteAll(listed, std::vector<unsigned char>(listedBytes.begin(), listedBytes.end()));
        WriteAll(folder + "other.bin",
                 std::vector<unsigned char>(otherBytes.begin(), otherBytes.end()));
        FileSystem& files = SystemFileSystem();
        if (c.readOnly)
            files.SetAttributes(listed, files.GetAttributes(listed) | kAttrReadOnly);
        const std::string script = "cd " + HostOnExt4(folder) + " && " + c.script;
        SwappingDisplay shown(
            {}, "shredding " + listed + ": size is 3000 bytes ... Pass " + std::to_string(c.atPass),
            [&] { OnHost(script); });
        shown.List(listed, files);
        if (c.atPass == 0)
            OnHost(script);
        ShredRun run(shown, files);

        run.Execute();

        EXPECT_EQ(shown.swapped, c.atPass != 0) << c.what;
        EXPECT_EQ(shown.statusLines.size(), c.passes) << c.what;
        EXPECT_EQ(shown.list, std::vector<std::string>{listed}) << c.what;
        ASSERT_EQ(run.Left().size(), 1u) << c.what;
        EXPECT_EQ(run.Left()[0].path, listed) << c.what;
        EXPECT_EQ(run.Left()[0].reason, c.reason) << c.what;
        const std::string after = folder + c.name;
        if (!c.content.empty()) {
            EXPECT_EQ(ReadAll(after),
                      std::vector<unsigned char>(c.content.begin(), c.content.end()))
                << c.what;
            EXPECT_EQ(files.GetAttributes(after) & kAttrReadOnly, 0u) << c.what;
        } else {
            // Grown: the bytes added after the sizing were never overwritten, so the file
            // stays where it is.
            const auto bytes = ReadAll(after);
            ASSERT_EQ(bytes.size(), 5000u) << c.what;
            EXPECT_EQ(std::string(bytes.begin() + 3000, bytes.end()), otherBytes) << c.what;
        }
    }
    std::filesystem::remove_all(std::filesystem::path(folder));
}

#ifdef _WIN32
// While the run holds a listed file, a folder on its way is swapped for a link to another
// volume whose file of that name has the same number and is held, with no sharing, by another
// program: that file answers a sharing probe as the listed one would. It keeps its name and
// bytes, and the entry is left with what happened (not "delete it yourself").
TEST_F(ScratchFileSystems, AHeldNamesakeOnAnotherVolumeKeepsItsNameAndBytes) {
    const std::string one = EnvOrEmpty("OSTREVANE_TWIN1_DRIVE"),
                      two = EnvOrEmpty("OSTREVANE_TWIN2_DRIVE");
    const std::string hostOne = EnvOrEmpty("OSTREVANE_TWIN1"),
                      hostTwo = EnvOrEmpty("OSTREVANE_TWIN2");
    if (one.empty() || two.empty())
        GTEST_SKIP() << "needs the twin volumes of tools/with-scratch-fs";
    // Made in the same order on two copies of one image: the same numbers.
    for (const std::string& drive : {one, two}) {
        ASSERT_TRUE(CreateDirectoryA((drive + "\\d").c_str(), nullptr)) << drive;
        WriteAll(drive + "\\d\\secret.bin", Filled(3000, drive == one ? 'l' : 'n'));
    }
    struct PutBack {
        std::string one, two;
        ~PutBack() {
            OnHost("if [ -L " + one + "/d ]; then rm " + one + "/d && mv " + one + "/d.old " + one +
                   "/d; fi; rm -rf " + one + "/d " + two + "/d");
        }
    } putBack{hostOne, hostTwo};
    const std::string listed = one + "\\d\\secret.bin", namesake = two + "\\d\\secret.bin";
    ASSERT_EQ(SystemFileSystem().Identify(listed).index,
              SystemFileSystem().Identify(namesake).index);
    FileHandle holder;
    SwappingDisplay shown({}, "shredding " + listed + ": size is 3000 bytes ... Pass 7", [&] {
        OnHost("mv " + hostOne + "/d " + hostOne + "/d.old && ln -s " + hostTwo + "/d " + hostOne +
               "/d");
        holder = FileHandle(
            CreateFileA(namesake.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    });
    shown.List(listed, SystemFileSystem());
    ShredRun run(shown, SystemFileSystem());

    run.Execute();

    EXPECT_TRUE(holder) << "the other program could not hold its file";
    holder.Reset();
    EXPECT_EQ(shown.list, std::vector<std::string>{listed});
    ASSERT_EQ(run.Left().size(), 1u);
    EXPECT_EQ(run.Left()[0].reason, LeftReason::NameMoved);
    EXPECT_EQ(ReadAll(namesake), Filled(3000, 'n'));
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(two + "\\d"))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"secret.bin"});
}
#endif

#ifndef _WIN32
// ext4 gives a freed inode number to the next new file: a file deleted and made again under
// the listed name can have the listed file's number, but not its birth.
TEST_F(ScratchFileSystems, AFileMadeAgainUnderAReusedNumberIsNotTheListedOne) {
    const std::string path = OnExt4("again.bin");
    WriteAll(path, Filled(3000, 'L'));
    display.List(path, SystemFileSystem());
    const FileId listed = display.ids[0];
    bool reused = false;
    for (int attempt = 0; attempt < 20 && !reused; ++attempt) {
        std::filesystem::remove(path);
        WriteAll(path, Filled(2000, 'N'));
        reused = SystemFileSystem().Identify(path).index == listed.index;
    }
    if (!reused)
        GTEST_SKIP() << "this ext4 gave the number to no new file";
    ShredRun run(display, SystemFileSystem());

    run.Execute();

    EXPECT_TRUE(display.statusLines.empty());
    EXPECT_EQ(ReadAll(path), Filled(2000, 'N'));
    ASSERT_EQ(run.Left().size(), 1u);
    EXPECT_EQ(run.Left()[0].reason, LeftReason::Changed);
}
#endif

// The session ends while a wipe works: the run stops there and its filler goes.
TEST_F(ScratchFileSystems, AWipeStoppedMidwayLeavesNoFillerAndNoMark) {
    const std::string wipe = OnTmpfs("stopped.tmp");
    const std::int64_t freeBefore = FreeBytes(scratch.tmpfs);
    display.list = {wipe, OnTmpfs("after.tmp")};
    ShredRun run(display, SystemFileSystem());
    display.onStatus = [&](const std::string& line) {
        if (line.ends_with("Pass 2"))
            run.Stop();
    };

    run.Execute();

    EXPECT_EQ(display.statusLines.size(), 2u);
    EXPECT_EQ(display.list, (std::vector<std::string>{wipe, OnTmpfs("after.tmp")}));
    EXPECT_EQ(display.progress, 0);
    EXPECT_FALSE(SystemFileSystem().IsRegularFile(wipe));
    EXPECT_EQ(FreeBytes(scratch.tmpfs), freeBefore);
}

namespace {

constexpr const char* kKilledWipeVariable = "OSTREVANE_KILLED_WIPE";

// The wipe the test below kills: it stops for good once its first pass is written.
void WipeUntilTheSecondPass(const std::string& name) {
    RecordingDisplay run({name});
    run.SetListKind(0, EntryKind::NoFile);
    run.onStatus = [](const std::string& line) {
        if (line.ends_with("Pass 2"))
            for (;;)
#ifdef _WIN32
                Sleep(INFINITE);
#else
                pause();
#endif
    };
    ShredRun(run, SystemFileSystem()).Execute();
}

} // namespace

// Run only as the child of the test below, which names the wipe in the environment.
TEST(KilledWipe, DISABLED_Child) {
    const std::string name = EnvOrEmpty(kKilledWipeVariable);
    ASSERT_FALSE(name.empty());
    WipeUntilTheSecondPass(name);
}

// Killed as Task Manager, a crash or a log-off would, a wipe leaves no filler behind.
TEST_F(ScratchFileSystems, AWipeKilledAfterItsFirstPassLeavesNoFiller) {
    const std::string name = OnTmpfs("killed.tmp");
    const std::int64_t freeBefore = FreeBytes(scratch.tmpfs);
    const auto filled = [&] { return FreeBytes(scratch.tmpfs) < freeBefore / 10; };
#ifdef _WIN32
    SetEnvironmentVariableA(kKilledWipeVariable, name.c_str());
    const PROCESS_INFORMATION child = StartThisTest("KilledWipe.DISABLED_Child");
    SetEnvironmentVariableA(kKilledWipeVariable, nullptr);
    ASSERT_NE(child.hProcess, nullptr);
    for (int i = 0; i < 1000 && !filled(); ++i)
        Sleep(10);
    const bool wasFilled = filled();
    TerminateProcess(child.hProcess, 9);
    WaitForSingleObject(child.hProcess, 10000);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
#else
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        WipeUntilTheSecondPass(name);
        _exit(0);
    }
    for (int i = 0; i < 1000 && !filled(); ++i)
        usleep(10000);
    const bool wasFilled = filled();
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
#endif
    ASSERT_TRUE(wasFilled) << "the first pass never filled the drive";
    // The system removes what a killed process held a moment after it has gone.
    for (int i = 0; i < 200 && FreeBytes(scratch.tmpfs) != freeBefore; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(FreeBytes(scratch.tmpfs), freeBefore);
    EXPECT_FALSE(SystemFileSystem().IsRegularFile(name));
}
