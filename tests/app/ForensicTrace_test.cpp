// Shredded files as an examiner would look for them: files of real formats are shredded
// through the window on each scratch file system, then The Sleuth Kit and PhotoRec, run on
// the host over the raw image, must find neither their names, nor their sizes, nor their
// content. Each look is made once before the run as well, so that every check is shown to
// find what it looks for.
#include "HostProcess.h"
#include "MainWindowFixture.h"
#include "SampleFiles.h"
#include "TestFiles.h"
#include "engine/ShredRun.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Sample {
    std::string name;
    std::string bytes;
    bool carvable; // a format PhotoRec knows by its header
};

std::string PinCodes(std::size_t size) {
    std::string text;
    for (unsigned card = 1; text.size() < size; ++card)
        text += "Card " + std::to_string(card) + ": PIN " +
                std::to_string(1000 + card * 7919 % 9000) + "\n";
    return text.substr(0, size);
}

// Names of at most 13 characters: FAT keeps such a name in one long-name entry, exFAT (up to
// 15) in one name entry, so every piece of it can be looked for. The note is small enough for
// NTFS to keep inside its file record, and at least 512 bytes: fusefat loses a shorter write
// that follows a read of the same file, as Wine's writes do.
std::vector<Sample> Samples() {
    return {{"Holiday.jpg", samples::Jpeg(2025, 55), true},
            {"Ledger.zip", samples::Zip("ledger.csv", samples::PdfText("ledger", 60)), true},
            {"Tax-2025.pdf", samples::PdfText("Tax return 2025", 80), true},
            {"Pin-codes.txt", PinCodes(600), false}};
}

// Bytes from the middle of a file, found nowhere else on an image.
std::string Slice(const Sample& sample) {
    return sample.bytes.substr(sample.bytes.size() / 2, 64);
}

std::string Utf16(const std::string& ascii) {
    std::string wide;
    for (const char c : ascii)
        wide += std::string{c, '\0'};
    return wide;
}

// A name as file systems write it: whole in UTF-8 and in UTF-16, and in the pieces that a
// FAT long-name entry keeps apart (its first five characters, then six).
std::vector<std::string> NameForms(const std::string& name) {
    return {name, Utf16(name), Utf16(name.substr(0, 5)), Utf16(name.substr(5, 6))};
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Whether `istat` shows this byte count as a size ("size: 3980", "Size: 3980", ...).
bool ShowsSize(const std::string& istat, std::size_t size) {
    const std::string text = Lower(istat), needle = "size: " + std::to_string(size);
    for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
        if (at + needle.size() == text.size() ||
            !std::isdigit(static_cast<unsigned char>(text[at + needle.size()])))
            return true;
    return false;
}

// The record number of a listed file in `fls -r -p` output ("r/r 64-128-2:\tcase/x.jpg").
std::string RecordOf(const std::string& fls, const std::string& path) {
    const auto end = fls.find(":\t" + path + "\n");
    if (end == std::string::npos)
        return {};
    const auto start = fls.rfind(' ', end) + 1;
    const std::string address = fls.substr(start, end - start);
    return address.substr(0, address.find('-'));
}

// What the tools found on one image at one moment.
struct Findings {
    std::string fls;                          // fls -r -p, with -d: deleted entries only
    std::map<std::string, std::string> istat; // by record number
    std::vector<std::string> carved;          // PhotoRec's files
    std::string image;
    // The image less the places that may keep an old name a while, blanked.
    std::string elsewhere;
};

// Where a file system may keep an old name a while, as the read-mes say.
enum class Kept {
    Journal,      // ext4's journal holds whole copies of folder blocks
    FolderRecord, // an NTFS folder's index keeps old entries in its unused space
    // exFAT keeps a name nowhere but in the folder's entries: a rename writes the new name in
    // free entries and leaves the old ones deleted, name and all, but the second rename
    // before the deletion takes those first and writes over them.
    FolderEntries,
    // FAT (through fusefat) as well, but there the second rename does not always take the old
    // entries: `fls -d` may still list an old name (with no size), and the raw image hold it.
    RenamedEntries,
};

struct Row {
    const char* fileSystem; // as tools/with-scratch-fs names it
    Kept kept;
};

// The journal's blocks blanked: `fsstat` gives the block size, `istat` of the journal (record
// 8) its blocks.
void BlankJournal(std::string& image, const std::string& fsstat, const std::string& journal) {
    const auto sizeAt = fsstat.find("Block Size: ");
    const auto listAt = journal.find("Direct Blocks:");
    ASSERT_TRUE(sizeAt != std::string::npos && listAt != std::string::npos) << fsstat << journal;
    const std::size_t blockSize = std::stoul(fsstat.substr(sizeAt + 12));
    std::istringstream blocks(journal.substr(listAt + 14));
    std::size_t block = 0, blanked = 0;
    while (blocks >> block && (block + 1) * blockSize <= image.size()) {
        image.replace(block * blockSize, blockSize, blockSize, '\0');
        ++blanked;
    }
    EXPECT_GT(blanked, 0u) << journal;
}

// An NTFS file record starts with "FILE" on a 1024-byte boundary and holds its own number at
// offset 0x2C.
void BlankFileRecord(std::string& image, unsigned long number) {
    int blanked = 0;
    for (std::size_t at = 0; at + 1024 <= image.size(); at += 1024) {
        if (image.compare(at, 4, "FILE") != 0)
            continue;
        unsigned long own = 0;
        for (std::size_t i = 4; i-- > 0;)
            own = own * 256 + static_cast<unsigned char>(image[at + 0x2C + i]);
        if (own == number) {
            image.replace(at, 1024, 1024, '\0');
            ++blanked;
        }
    }
    EXPECT_EQ(blanked, 1) << "file record " << number;
}

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.fileSystem;
}

std::string RowName(const testing::TestParamInfo<Row>& row) {
    return row.param.fileSystem;
}

class ForensicTrace : public MainWindowTest, public testing::WithParamInterface<Row> {
protected:
    void SetUp() override {
        FImage = EnvOrEmpty((std::string("OSTREVANE_") + GetParam().fileSystem + "_IMAGE").c_str());
        FDrive = EnvOrEmpty((std::string("OSTREVANE_") + GetParam().fileSystem + "_DRIVE").c_str());
        if (FImage.empty() || FDrive.empty())
            GTEST_SKIP() << "needs " << GetParam().fileSystem
                         << " mounted (tools/with-scratch-fs: root and FUSE)";
        MainWindowTest::SetUp();
        FUp = true;
    }
    void TearDown() override {
        if (FUp)
            MainWindowTest::TearDown();
    }

    // Runs the tools on the host over the image, after `sync` has sent every write to it.
    Findings Examine(const std::string& stage, bool deletedOnly,
                     const std::vector<std::string>& records) {
        const std::string out = FImage.substr(0, FImage.rfind('/')) + "/examined-" +
                                GetParam().fileSystem + "-" + stage;
        // A record that no longer holds a file's entry says so instead of a size.
        std::string istat;
        for (const std::string& record : records)
            istat += "istat " + FImage + " " + record + " > istat-" + record + ".txt 2>&1; ";
        if (GetParam().kept == Kept::Journal)
            istat += "fsstat " + FImage + " > fsstat.txt; istat " + FImage + " 8 > journal.txt; ";
        const std::string script = "rm -rf " + out + " && mkdir " + out + " && cd " + out +
                                   " && sync && fls -r -p" + (deletedOnly ? " -d " : " ") + FImage +
                                   " > fls.txt && { " + istat + "true; } && photorec /d " + out +
                                   "/carved /cmd " + FImage +
                                   " partition_none,options,paranoid,fileopt,everything,enable,"
                                   "wholespace,search > /dev/null 2>&1";
        const std::string done = HostPath(out + "/done");
        // Wine splits a command line as Windows does: by double quotes. The status is moved
        // into place whole, so that it is never read half written.
        EXPECT_TRUE(RunOnHost(
            "Z:\\bin\\sh",
            "sh -c \"" + script + "; echo $? > " + out + "/status && mv " + out + "/status " + out +
                "/done\"",
            [&] { return std::filesystem::exists(done); }, 120))
            << script;
        EXPECT_EQ(ReadText(done), "0\n") << script;
        Findings found{
            ReadText(HostPath(out + "/fls.txt")), {}, {}, ReadText(HostPath(FImage)), {}};
        found.elsewhere = found.image;
        if (GetParam().kept == Kept::Journal)
            BlankJournal(found.elsewhere, ReadText(HostPath(out + "/fsstat.txt")),
                         ReadText(HostPath(out + "/journal.txt")));
        if (GetParam().kept == Kept::FolderRecord && !FFolder.empty())
            BlankFileRecord(found.elsewhere, std::stoul(FFolder));
        for (const std::string& record : records)
            found.istat[record] = ReadText(HostPath(out + "/istat-" + record + ".txt"));
        std::error_code none;
        for (const auto& file :
             std::filesystem::directory_iterator(HostPath(out + "/carved.1"), none))
            if (file.path().filename() != "report.xml")
                found.carved.push_back(ReadText(file.path().string()));
        return found;
    }

    std::string FImage; // host path
    std::string FDrive;
    std::string FFolder; // the record of the files' folder
    bool FUp = false;
};

bool Contains(const std::string& haystack, const std::string& needle) {
    return haystack.find(needle) != std::string::npos;
}

bool Holds(const std::string& image, const std::vector<std::string>& forms) {
    return std::any_of(forms.begin(), forms.end(),
                       [&](const std::string& form) { return Contains(image, form); });
}

std::string Printable(std::string text) {
    std::erase(text, '\0');
    return text;
}

bool Carved(const Findings& found, const Sample& sample) {
    return std::any_of(found.carved.begin(), found.carved.end(),
                       [&](const std::string& file) { return Contains(file, Slice(sample)); });
}

} // namespace

TEST_P(ForensicTrace, AfterARunNoToolFindsANameASizeOrContent) {
    const std::string folder = FDrive + "\\case";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::vector<Sample> files = Samples();
    const Kept kept = GetParam().kept;
    const bool searchNames = kept != Kept::RenamedEntries;
    for (const Sample& sample : files) {
        HANDLE file = CreateFileA((folder + "\\" + sample.name).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << sample.name;
        DWORD written = 0;
        WriteFile(file, sample.bytes.data(), static_cast<DWORD>(sample.bytes.size()), &written,
                  nullptr);
        FlushFileBuffers(file);
        CloseHandle(file);
        ASSERT_EQ(written, sample.bytes.size()) << sample.name;
    }

    // Before the run every look finds every file: the checks below can fail.
    const std::string listing = Examine("listed", false, {}).fls;
    FFolder = RecordOf(listing, "case");
    ASSERT_FALSE(FFolder.empty()) << listing;
    std::vector<std::string> records;
    for (const Sample& sample : files) {
        records.push_back(RecordOf(listing, "case/" + sample.name));
        ASSERT_FALSE(records.back().empty()) << sample.name << " not in\n" << listing;
    }
    const Findings before = Examine("before", false, records);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const Sample& sample = files[i];
        EXPECT_TRUE(ShowsSize(before.istat.at(records[i]), sample.bytes.size())) << sample.name;
        if (searchNames) {
            EXPECT_TRUE(Holds(before.elsewhere, NameForms(sample.name))) << sample.name;
        }
        EXPECT_TRUE(Contains(before.image, Slice(sample))) << sample.name;
        if (sample.carvable) {
            EXPECT_TRUE(Carved(before, sample)) << sample.name;
        }
    }

    Form().DnDForm1DnDItem(nullptr, folder);
    ASSERT_EQ(Entries().size(), files.size());
    const auto seen = Click(Form().btnWipe);

    EXPECT_TRUE(seen.empty()) << seen.front().Text;
    for (const std::string& entry : Entries())
        EXPECT_EQ(entry.rfind(kDoneMarker, 0), 0u) << entry;
    const Findings after = Examine("after", true, records);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const Sample& sample = files[i];
        EXPECT_FALSE(kept != Kept::RenamedEntries && Contains(Lower(after.fls), Lower(sample.name)))
            << sample.name << " listed as deleted:\n"
            << after.fls;
        EXPECT_FALSE(ShowsSize(after.istat.at(records[i]), sample.bytes.size()))
            << sample.name << ":\n"
            << after.istat.at(records[i]);
        for (const std::string& form : NameForms(sample.name))
            EXPECT_FALSE(searchNames && Contains(after.elsewhere, form))
                << sample.name << ": " << Printable(form);
        EXPECT_FALSE(Contains(after.image, Slice(sample))) << sample.name;
        EXPECT_FALSE(Carved(after, sample)) << sample.name;
    }
    RemoveDirectoryA(folder.c_str());
}

constexpr Row kRows[] = {{"NTFS", Kept::FolderRecord},
                         {"FAT32", Kept::RenamedEntries},
                         {"EXFAT", Kept::FolderEntries},
                         {"EXT4", Kept::Journal}};
INSTANTIATE_TEST_SUITE_P(FileSystems, ForensicTrace, testing::ValuesIn(kRows), RowName);
