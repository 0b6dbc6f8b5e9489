// The file-system layer as the engine and the target list meet it, on real files: the same
// cases hold on Windows (under Wine) and natively.
#include "platform/FileSystem.h"
#include "framework/Exception.h"
#include "ScratchFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t kMiB = 1024 * 1024;

class FileSystemTest : public testing::Test {
protected:
    FileSystem& fs = SystemFileSystem();
    TempFolder temp;

    // The message of the failure FileLength raises, or a note that it raised none.
    std::string FileLengthFailure(const std::string& path) {
        try {
            fs.FileLength(path);
        } catch (const Exception& failure) {
            return failure.Message();
        }
        return "(no failure)";
    }

    std::vector<DirectoryEntry> List(const std::string& dir) {
        std::vector<DirectoryEntry> entries;
        EXPECT_TRUE(fs.ListDirectory(dir, [&](const DirectoryEntry& e) { entries.push_back(e); }));
        return entries;
    }

    std::map<std::string, std::uint32_t> ListByName(const std::string& dir) {
        std::map<std::string, std::uint32_t> byName;
        for (const DirectoryEntry& entry : List(dir))
            EXPECT_TRUE(byName.emplace(entry.name, entry.attributes).second) << entry.name;
        return byName;
    }

    // Deletion as the shred run asks for it: of the file an open of the name reaches.
    bool DeleteByName(const std::string& path) {
        FileId id;
        if (auto file = fs.OpenReadWrite(path))
            id = file->Id();
        return fs.Delete(path, id);
    }
};

std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

// ---- What counts as an existing file or folder ----

TEST_F(FileSystemTest, FileFolderAndMissingNameAreToldApart) {
    WriteFileContent(temp / "a.txt", "abc");
    MakeFolder(temp / "sub");

    EXPECT_TRUE(fs.IsRegularFile(temp / "a.txt"));
    EXPECT_FALSE(fs.IsDirectory(temp / "a.txt"));

    EXPECT_TRUE(fs.IsDirectory(temp / "sub"));
    EXPECT_TRUE(fs.IsDirectory(temp / "sub" + kDelimiter));
    EXPECT_FALSE(fs.IsRegularFile(temp / "sub"));

    for (const std::string& missing :
         {temp / "missing.txt", temp / "nowhere" + kDelimiter + "a.txt", std::string()}) {
        EXPECT_FALSE(fs.IsRegularFile(missing)) << missing;
        EXPECT_FALSE(fs.IsDirectory(missing)) << missing;
    }
}

TEST_F(FileSystemTest, FilesCountWhateverTheirTimeStamps) {
    // Dates a DOS date cannot hold: archives stamp 1970, and clocks go wrong.
    for (const int year : {1970, 1979, 2107, 2200}) {
        const std::string path = temp.Path() + "y" + std::to_string(year) + ".bin";
        WriteFileContent(path, "data");
        SetModificationYear(path, year);
        EXPECT_TRUE(fs.IsRegularFile(path)) << year;
        EXPECT_EQ(fs.FileLength(path), 4) << year;
    }
}

TEST_F(FileSystemTest, WildcardNamesNeverFindAnotherFile) {
    WriteFileContent(temp / "a1.txt", "abc");
    EXPECT_FALSE(fs.IsRegularFile(temp / "a?.txt"));
    EXPECT_FALSE(fs.IsRegularFile(temp / "a*.txt"));
    EXPECT_FALSE(fs.IsRegularFile(temp / "*"));
    EXPECT_TRUE(fs.IsRegularFile(temp / "a1.txt"));
}

// ---- Attributes ----

TEST_F(FileSystemTest, AttributesOfFileFolderAndMissingName) {
    WriteFileContent(temp / "a.txt", "abc");
    MakeFolder(temp / "sub");

    const std::uint32_t file = fs.GetAttributes(temp / "a.txt");
    ASSERT_NE(file, kInvalidAttributes);
    EXPECT_EQ(file & (kAttrDirectory | kAttrReadOnly | kAttrReparsePoint), 0u);

    const std::uint32_t folder = fs.GetAttributes(temp / "sub");
    ASSERT_NE(folder, kInvalidAttributes);
    EXPECT_EQ(folder & (kAttrDirectory | kAttrReparsePoint), kAttrDirectory);

    EXPECT_EQ(fs.GetAttributes(temp / "missing.txt"), kInvalidAttributes);
    EXPECT_FALSE(fs.SetAttributes(temp / "missing.txt", 0));
    EXPECT_FALSE(PathExists(temp / "missing.txt"));
}

TEST_F(FileSystemTest, ReadOnlyFileTakesWritesOnceTheBitIsCleared) {
    const std::string path = temp / "ro.txt";
    WriteFileContent(path, "0123456789");
    const std::uint32_t plain = fs.GetAttributes(path);

    ASSERT_TRUE(fs.SetAttributes(path, plain | kAttrReadOnly));
    EXPECT_EQ(fs.GetAttributes(path), plain | kAttrReadOnly);

    // As the overwrite pass does it: the low 16 bits without the read-only bit.
    ASSERT_TRUE(fs.SetAttributes(path, fs.GetAttributes(path) & 0xFFFF & ~kAttrReadOnly));
    EXPECT_EQ(fs.GetAttributes(path), plain);

    auto file = fs.OpenReadWrite(path);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->Write("abc", 3));
    EXPECT_TRUE(file->Close());
    EXPECT_EQ(ReadFileContent(path), "abc3456789");
}

// ---- Sizing ----

TEST_F(FileSystemTest, FileLengthOfEmptyAndHugeFiles) {
    WriteFileContent(temp / "empty.bin", "");
    EXPECT_EQ(fs.FileLength(temp / "empty.bin"), 0);

    // Past 4 GiB: a length cut to 32 bits would read as 3.
    const std::int64_t huge = 5 * 1024 * kMiB + 3;
    MakeSparseFile(temp / "huge.bin", huge);
    EXPECT_EQ(fs.FileLength(temp / "huge.bin"), huge);
}

TEST_F(FileSystemTest, FileLengthOfWhatIsNoFileRaisesCannotOpenFile) {
    MakeFolder(temp / "sub");
    for (const std::string& path : {temp / "missing.bin", temp / "sub"})
        EXPECT_EQ(FileLengthFailure(path), "Cannot open file " + path);
}

// ---- Exclusive access ----

TEST_F(FileSystemTest, FileHeldByAnotherProgramIsNeitherOpenedNorReplaced) {
    const std::string path = temp / "held.txt";
    WriteFileContent(path, "precious");
    {
        OtherHolder other(path);
        EXPECT_EQ(FileLengthFailure(path), "Cannot open file " + path);
        EXPECT_EQ(fs.OpenTarget(path).refusal, OpenRefusal::InUse);
        EXPECT_EQ(fs.OpenReadWrite(path), nullptr);
        EXPECT_EQ(fs.CreateFiller(path), nullptr);
    }
    EXPECT_EQ(ReadFileContent(path), "precious");
    EXPECT_EQ(fs.FileLength(path), 8);
    EXPECT_NE(fs.OpenReadWrite(path), nullptr);
}

TEST_F(FileSystemTest, AnOpenFileShutsOutEveryOtherOpen) {
    const std::string path = temp / "mine.txt";
    WriteFileContent(path, "mine");
    auto first = fs.OpenReadWrite(path);
    ASSERT_NE(first, nullptr);

    EXPECT_EQ(fs.OpenReadWrite(path), nullptr);
    EXPECT_EQ(fs.CreateFiller(path), nullptr);
    EXPECT_EQ(FileLengthFailure(path), "Cannot open file " + path);

    EXPECT_TRUE(first->Close());
    EXPECT_EQ(fs.FileLength(path), 4);
    EXPECT_EQ(ReadFileContent(path), "mine");
}

// ---- Opening, creating, writing, deleting ----

TEST_F(FileSystemTest, OpenReadWriteWritesFromTheStartWithoutTruncating) {
    const std::string path = temp / "t.txt";
    WriteFileContent(path, "ABCDEFGHIJ");
    auto file = fs.OpenReadWrite(path);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->IsDiskFile());
    EXPECT_TRUE(file->Write("xy", 2));
    EXPECT_TRUE(file->Write("z", 1)); // follows on from the first write
    EXPECT_TRUE(file->Close());
    EXPECT_EQ(ReadFileContent(path), "xyzDEFGHIJ");
}

TEST_F(FileSystemTest, OpenReadWriteNeverCreates) {
    EXPECT_EQ(fs.OpenReadWrite(temp / "missing.txt"), nullptr);
    EXPECT_FALSE(PathExists(temp / "missing.txt"));
}

TEST_F(FileSystemTest, AFillerIsANewFileThatGoesWhenClosed) {
    WriteFileContent(temp / "old.txt", "ABCDEFGHIJ");
    EXPECT_EQ(fs.CreateFiller(temp / "old.txt"), nullptr);
    EXPECT_EQ(ReadFileContent(temp / "old.txt"), "ABCDEFGHIJ");

    auto filler = fs.CreateFiller(temp / "new.txt");
    ASSERT_NE(filler, nullptr);
    EXPECT_TRUE(filler->IsDiskFile());
    EXPECT_TRUE(filler->Id().known);
    EXPECT_TRUE(filler->Write("12", 2));
    EXPECT_TRUE(filler->Rewind());
    EXPECT_TRUE(filler->Write("3", 1));
    EXPECT_TRUE(filler->Close());
    EXPECT_FALSE(PathExists(temp / "new.txt"));

    EXPECT_EQ(fs.CreateFiller(temp / "nowhere" + kDelimiter + "new.txt"), nullptr);
}

TEST_F(FileSystemTest, WriteFlushAndCloseKeepEveryByte) {
    const std::string path = temp / "big.bin";
    const std::string bytes = Pattern(3 * kMiB + 17);
    WriteFileContent(path, "");
    auto file = fs.OpenReadWrite(path);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->Write(bytes.data(), bytes.size()));
    EXPECT_TRUE(file->Write(bytes.data(), 0));
    EXPECT_TRUE(file->Flush());
    EXPECT_TRUE(file->Close());
    EXPECT_EQ(ReadFileContent(path), bytes);
}

TEST_F(FileSystemTest, DeleteRemovesOnlyTheFileItIsGiven) {
    WriteFileContent(temp / "a.txt", "abc");
    WriteFileContent(temp / "b.txt", "b");
    MakeFolder(temp / "sub");
    FileId a, b;
    {
        auto first = fs.OpenReadWrite(temp / "a.txt");
        auto other = fs.OpenReadWrite(temp / "b.txt");
        ASSERT_TRUE(first && other);
        a = first->Id();
        b = other->Id();
    }
    ASSERT_TRUE(a.known);
    EXPECT_FALSE(a == b);

    // Another file under the name, or no file known: nothing goes.
    EXPECT_FALSE(fs.Delete(temp / "a.txt", b));
    EXPECT_FALSE(fs.Delete(temp / "a.txt", FileId{}));
    EXPECT_EQ(ReadFileContent(temp / "a.txt"), "abc");
    EXPECT_FALSE(fs.Delete(temp / "sub", a));
    EXPECT_TRUE(fs.IsDirectory(temp / "sub"));

    EXPECT_TRUE(fs.Delete(temp / "a.txt", a));
    EXPECT_FALSE(PathExists(temp / "a.txt"));
    EXPECT_FALSE(fs.Delete(temp / "a.txt", a));
    EXPECT_EQ(ReadFileContent(temp / "b.txt"), "b");
}

// Before its deletion a shredded file is emptied and renamed, through its handle, to a name
// of the same shape (the dots where they were, so that FAT writes it over the old entries in
// place) that no file in the folder has; a file that stays gets its name back.
TEST_F(FileSystemTest, AFileToShredHidesItsNameAndSizeWithoutReplacingAnyFile) {
    WriteFileContent(temp / "tax.pdf", "secret");
    WriteFileContent(temp / "zzz.zzz", "a bystander");
    {
        TargetOpen opened = fs.OpenTarget(temp / "tax.pdf");
        ASSERT_TRUE(opened.file);
        // No drive here keeps named streams (Wine's neither): an empty list, not an unread one.
        EXPECT_EQ(opened.file->NamedStreams(), std::vector<NamedStream>{});
        EXPECT_EQ(opened.file->Storage(), 0u);
        EXPECT_TRUE(opened.file->HideName());
        EXPECT_FALSE(PathExists(temp / "tax.pdf"));
        EXPECT_TRUE(PathExists(temp / "xxx.xxx"));
        EXPECT_EQ(ReadFileContent(temp / "zzz.zzz"), "a bystander");
        EXPECT_EQ(opened.file->Length(), 0);
        EXPECT_TRUE(opened.file->RestoreName());
    }
    EXPECT_EQ(ReadFileContent(temp / "tax.pdf"), "");
    TargetOpen again = fs.OpenTarget(temp / "tax.pdf");
    ASSERT_TRUE(again.file);
    EXPECT_TRUE(again.file->HideName());
    EXPECT_TRUE(again.file->Delete());
    EXPECT_TRUE(again.file->Close());
    EXPECT_FALSE(PathExists(temp / "tax.pdf"));
    EXPECT_FALSE(PathExists(temp / "xxx.xxx"));
    EXPECT_EQ(ReadFileContent(temp / "zzz.zzz"), "a bystander");
}

// The hiding name of everyday names. On FAT a plain 8.3 name takes one folder entry and any
// other a long-name entry more for every 13 UTF-16 units: so each hiding name has the old
// one's UTF-16 length and, where the old one needs long-name entries (mixed case in a part, a
// blank, "+", a character outside ASCII, a part too long, more dots), needs them too, and
// where it needs none, needs none (each part's case kept).
TEST(HidingNameTest, AHidingNameTakesTheFolderEntriesOfTheOldName) {
    const std::pair<const char*, const char*> rows[] = {
        {"report.txt", "zzzzzz.zzz"},
        {"REPORT.TXT", "ZZZZZZ.ZZZ"},
        {"README.txt", "ZZZZZZ.zzz"},
        {"1234.TXT", "ZZZZ.ZZZ"},
        {"my_file.txt", "zzzzzzz.zzz"},
        {"Report.txt", "Zzzzzz.zzz"},
        {"Photo.jpg", "Zzzzz.zzz"},
        {"Makefile", "Zzzzzzzz"},
        {"notes.Md", "Zzzzz.zz"},
        {"a b.txt", "Zzz.zzz"},
        {"tax 2025.pdf", "Zzzzzzzz.zzz"},
        {"a+b.txt", "Zzz.zzz"},
        {"r\xC3\xA9sum\xC3\xA9.doc", "Zzzzzz.zzz"}, // résumé: 6 units, not 8 bytes
        {"\xC3\xBC"
         "ber.txt",
         "Zzzz.zzz"},                  // über
        {"\xE4\xB8\xAD.txt", "Z.Zzz"}, // 中: one unit, the extension mixed
        {"\xF0\x9F\x98\x80", "Zz"},    // an emoji: two units
        {"\xC3\xA9", ","},             // é alone: no case to mix
        {"x.tar.gz", "Z.ZZZ.ZZ"},
        {"notes.markdown", "ZZZZZ.ZZZZZZZZ"},
        {".profile", ".ZZZZZZZ"},
    };
    for (const auto& [name, hidden] : rows)
        EXPECT_EQ(HidingNameOfUtf8(name, 'Z'), hidden) << name;
    EXPECT_EQ(HidingNameOfUtf8("Report.txt", 'q'), "Qqqqqq.qqq");
}

TEST(FileIdTest, NumbersThatFileSystemsGiveForNoneMakeNoIdentity) {
    const struct {
        std::uint64_t high, low;
        bool known;
    } rows[] = {
        {0, 0, false}, {0, ~0ull, false}, {~0ull, ~0ull, false}, {0, 12, true}, {1, 0, true},
    };
    for (const auto& row : rows)
        EXPECT_EQ(MakeFileId(0, row.high, row.low).known, row.known) << row.high << ":" << row.low;
}

// ---- Listing folders ----

TEST(StorageTest, WhatOverwritingInPlaceCannotReachIsToldByAttributesAndTags) {
    struct Case {
        std::uint32_t attributes, tag, storage;
    };
    constexpr Case cases[] = {
        {0x20, 0, 0},                  // a plain file
        {0x800, 0, kStoredCompressed}, // NTFS-compressed
        {0x200 | 0x4000, 0, kStoredSparse | kStoredEncrypted},
        {0x400 | 0x20, 0x9000701A, kStoredInCloud},                      // a cloud placeholder
        {0x400000, 0, kStoredInCloud},                                   // recalled on access
        {0x1000, 0, kStoredInCloud},                                     // offline
        {0x400, 0x80000013, kStoredDeduplicated},                        // the chunk store keeps it
        {0x400 | 0x800, 0x80000017, kStoredCompressed | kStoredOverlay}, // CompactOS
        {0x8000, 0, kStoredIntegrity},                                   // ReFS integrity streams
        {0x20, 0x9000701A, 0}, // a tag without the reparse bit
    };
    for (const Case& c : cases)
        EXPECT_EQ(StorageOf(c.attributes, c.tag), c.storage) << std::hex << c.attributes;
}

TEST(DirectoryEntryTest, OnlyNameSurrogateReparsePointsAreLinks) {
    struct Case {
        std::uint32_t attributes;
        std::uint32_t tag;
        bool link;
    };
    constexpr Case cases[] = {
        {0x20, 0, false},           // a plain file
        {0x410, 0xA000000C, true},  // symbolic link to a folder
        {0x400, 0xA000000C, true},  // symbolic link to a file
        {0x410, 0xA0000003, true},  // junction or mount point
        {0x410, 0, true},           // tag not told (Wine): taken for a link
        {0x420, 0x9000001A, false}, // cloud placeholder file
        {0x410, 0x9000601A, false}, // cloud placeholder folder
        {0x420, 0x80000013, false}, // deduplicated file
        {0x20, 0xA000000C, false},  // a tag without the attribute means nothing
    };
    for (const Case& c : cases)
        EXPECT_EQ((DirectoryEntry{"x", c.attributes, c.tag, {}}.IsLink()), c.link)
            << std::hex << c.attributes << " " << c.tag;
}

TEST_F(FileSystemTest, ListingGivesEveryEntryOnceWithItsAttributes) {
    WriteFileContent(temp / "a.txt", "abc");
    WriteFileContent(temp / "ro.txt", "abc");
    ASSERT_TRUE(
        fs.SetAttributes(temp / "ro.txt", fs.GetAttributes(temp / "ro.txt") | kAttrReadOnly));
    MakeFolder(temp / "sub");
    WriteFileContent(temp / "sub" + kDelimiter + "deep.txt", "abc");

    const auto entries = ListByName(temp.Path());
    std::set<std::string> names;
    for (const auto& [name, attributes] : entries)
        names.insert(name);
    EXPECT_EQ(names, (std::set<std::string>{".", "..", "a.txt", "ro.txt", "sub"}));

    EXPECT_EQ(entries.at("a.txt") & (kAttrDirectory | kAttrReadOnly), 0u);
    EXPECT_EQ(entries.at("ro.txt") & (kAttrDirectory | kAttrReadOnly), kAttrReadOnly);
    EXPECT_EQ(entries.at("sub") & (kAttrDirectory | kAttrReparsePoint), kAttrDirectory);
    EXPECT_NE(entries.at(".") & kAttrDirectory, 0u);
}

TEST_F(FileSystemTest, ListingGoesOnAfterTheCallbackListsAnotherFolder) {
    for (const char* name : {"b.txt", "a.txt", "c.txt", "e.txt", "d.txt"})
        WriteFileContent(temp / name, name);
    for (const char* folder : {"one", "two"}) {
        MakeFolder(temp / folder);
        for (const char* name : {"x.txt", "y.txt"})
            WriteFileContent(temp / folder + kDelimiter + name, name);
    }
    std::vector<std::string> plain;
    for (const DirectoryEntry& entry : List(temp.Path()))
        plain.push_back(entry.name);

    // Depth first, as folder expansion does it.
    std::vector<std::string> outer;
    std::map<std::string, std::set<std::string>> inner;
    ASSERT_TRUE(fs.ListDirectory(temp.Path(), [&](const DirectoryEntry& entry) {
        outer.push_back(entry.name);
        if (entry.IsDirectory() && entry.name != "." && entry.name != "..") {
            const std::string dir = temp / entry.name + kDelimiter;
            EXPECT_TRUE(fs.ListDirectory(
                dir, [&](const DirectoryEntry& e) { inner[entry.name].insert(e.name); }));
        }
    }));

    EXPECT_EQ(outer, plain); // same entries, same order
    EXPECT_EQ(plain.size(), 9u);
    const std::set<std::string> subfolder = {".", "..", "x.txt", "y.txt"};
    EXPECT_EQ(inner["one"], subfolder);
    EXPECT_EQ(inner["two"], subfolder);
}

TEST_F(FileSystemTest, ListingWhatIsNoFolderFails) {
    WriteFileContent(temp / "a.txt", "abc");
    int calls = 0;
    const auto count = [&](const DirectoryEntry&) { ++calls; };
    EXPECT_FALSE(fs.ListDirectory(temp / "missing" + kDelimiter, count));
    EXPECT_FALSE(fs.ListDirectory(temp / "a.txt" + kDelimiter, count));
    EXPECT_EQ(calls, 0);
}

// ---- On the scratch file systems of tools/with-scratch-fs ----

class ScratchFileSystemTest : public FileSystemTest {
protected:
    void SetUp() override {
        tmpfs = ScratchTmpfs();
        ext4 = ScratchExt4();
        if (tmpfs.empty() || ext4.empty())
            GTEST_SKIP() << "needs the scratch file systems that tools/with-scratch-fs mounts "
                            "(run through ctest as root)";
    }
    std::string tmpfs;
    std::string ext4;
};

TEST_F(ScratchFileSystemTest, FreeSpaceFollowsWhatIsWrittenAndDeleted) {
    const std::uint8_t drive = DriveNumberOf(tmpfs);
    const std::string path = tmpfs + "wipe.bin";
    // The launcher mounts an empty tmpfs of 4 MiB, which counts whole pages only.
    EXPECT_EQ(fs.FreeSpace(drive, path), 4 * kMiB);

    auto file = fs.CreateFiller(path);
    ASSERT_NE(file, nullptr);
    const std::string bytes = Pattern(kMiB);
    ASSERT_TRUE(file->Write(bytes.data(), bytes.size()));
    ASSERT_TRUE(file->Flush());
    EXPECT_EQ(fs.FreeSpace(drive, path), 3 * kMiB);

    ASSERT_TRUE(file->Close());
    EXPECT_EQ(fs.FreeSpace(drive, path), 4 * kMiB);

    // The other scratch file system is another drive with its own figure.
    const std::int64_t other = fs.FreeSpace(DriveNumberOf(ext4), ext4 + "x.bin");
    EXPECT_GT(other, 4 * kMiB);
    EXPECT_LT(other, 32 * kMiB);
}

TEST_F(ScratchFileSystemTest, EmptyRootListsWithoutFailing) {
    std::vector<std::string> names;
    EXPECT_TRUE(fs.ListDirectory(tmpfs, [&](const DirectoryEntry& e) { names.push_back(e.name); }));
    for (const std::string& name : names)
        EXPECT_TRUE(name == "." || name == "..") << name;
}

TEST_F(ScratchFileSystemTest, FileThatCannotBeDeletedCanStillBeOverwritten) {
    const std::string victim = ext4 + "locked" + kDelimiter + "victim.bin";
    const std::string before = ReadFileContent(victim);
    ASSERT_EQ(before.size(), 65536u);

    EXPECT_FALSE(DeleteByName(victim));
    EXPECT_TRUE(fs.IsRegularFile(victim));

    auto file = fs.OpenReadWrite(victim);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->Write("0123456789abcdef", 16));
    EXPECT_TRUE(file->Close());
    EXPECT_EQ(ReadFileContent(victim), "0123456789abcdef" + before.substr(16));
}

TEST_F(ScratchFileSystemTest, LinkToAFolderIsListedAsAFolderLink) {
    const std::string links = ext4 + "links" + kDelimiter;
    const auto entries = ListByName(links);
    ASSERT_EQ(entries.count("folder-link"), 1u);
    ASSERT_EQ(entries.count("file-link"), 1u);

    EXPECT_EQ(entries.at("folder-link") & (kAttrDirectory | kAttrReparsePoint),
              kAttrDirectory | kAttrReparsePoint);
    EXPECT_EQ(entries.at("folder") & (kAttrDirectory | kAttrReparsePoint), kAttrDirectory);
    EXPECT_EQ(entries.at("file.txt") & (kAttrDirectory | kAttrReparsePoint), 0u);
    EXPECT_EQ(entries.at("file-link") & kAttrDirectory, 0u);

    // The existence tests follow links; nothing that writes or deletes does.
    EXPECT_TRUE(fs.IsDirectory(links + "folder-link"));
    EXPECT_TRUE(fs.IsRegularFile(links + "file-link"));
}

TEST_F(ScratchFileSystemTest, NothingIsWrittenOrDeletedThroughALink) {
    const std::string links = ext4 + "links" + kDelimiter;
    const std::string throughFolder = links + "folder-link" + kDelimiter;
    const std::string direct = links + "folder" + kDelimiter + "inside.txt";
    FileId inside;
    {
        auto file = fs.OpenReadWrite(direct);
        ASSERT_NE(file, nullptr) << "the same file by its own path is no link";
        inside = file->Id();
        EXPECT_FALSE(fs.ReachedThroughLink(direct));
    }
    // A link at the name, a link to a folder on the way, and a link to a folder as the name
    // of a file to be made there.
    for (const std::string& path : {links + "file-link", throughFolder + "inside.txt"}) {
        EXPECT_TRUE(fs.ReachedThroughLink(path)) << path;
        EXPECT_EQ(fs.FileLength(path), -1) << path;
        EXPECT_EQ(fs.OpenReadWrite(path), nullptr) << path;
        EXPECT_EQ(fs.CreateFiller(path), nullptr) << path;
    }
    EXPECT_TRUE(fs.ReachedThroughLink(throughFolder + "new.txt"));
    EXPECT_EQ(fs.CreateFiller(throughFolder + "new.txt"), nullptr);
    EXPECT_FALSE(fs.Delete(throughFolder + "inside.txt", inside));

    EXPECT_EQ(ReadFileContent(links + "file.txt"), "file\n");
    EXPECT_EQ(ReadFileContent(direct), "inside\n");
    EXPECT_FALSE(PathExists(links + "folder" + kDelimiter + "new.txt"));
    EXPECT_FALSE(fs.ReachedThroughLink(ext4 + "nowhere" + kDelimiter + "new.txt"));
}

} // namespace
