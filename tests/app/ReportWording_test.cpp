// The words of the report after a run: what the run did, said once in the summary, then each
// reason once with the names it applies to.
#include "app/ReportWording.h"
#include "platform/Win32Holders.h"
#include "platform/Win32OtherNames.h"
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <utility>
#include <cwchar>
#include <vector>

namespace {

constexpr const char* kWiped =
    "No file had the name, so the unused space of its drive was overwritten instead. No file was "
    "shredded under this name. If you meant a file, check its name and list it again.";
constexpr const char* kQuota =
    "No file had the name, so the unused space of its drive was overwritten instead, but only as "
    "much of it as your disk quota allows. No file was shredded under this name. If you meant a "
    "file, check its name and list it again.";
constexpr const char* kNoFreeSpace =
    "No file has the name, and the unused space of its drive could not be read, so nothing was "
    "overwritten. Check that the drive is there, then press Shred NOW! again.";
constexpr const char* kNotHidden = "The file was shredded, but its name and size could not be "
                                   "hidden: the drive's records may still show them.";
constexpr const char* kRefusedName =
    "Windows reads the name as another one, because it ends in a blank or a dot. The file was "
    "left unchanged. Rename it so that its name ends in another character, then list it again.";
constexpr const char* kNotListedOtherName =
    "Windows reads the name as another one, because it ends in a blank or a dot, so the file was "
    "not added to the list. Rename it so that its name ends in another character, then drop it "
    "again.";
constexpr const char* kFolderUnread =
    "The folder could not be opened, so none of its files were added to the list. Check that you "
    "may open it, then drop it again.";

std::string KeptElsewhere(const std::string& how) {
    return "The file was shredded, but Windows kept it " + how +
           " and wrote the passes to new places on the drive: its earlier content may remain in "
           "the drive's unused space. To overwrite that too, list a name that no file on that "
           "drive has and shred it.";
}

// A report as lines: the summary, then per group its heading (marked "## ") where it has one,
// its title (marked "# "), its reason and its names, set apart.
std::vector<std::string> Lines(const TReport& report) {
    std::vector<std::string> lines{report.Summary};
    for (const TReportGroup& group : report.Groups) {
        if (!group.Heading.empty())
            lines.push_back("## " + group.Heading);
        lines.push_back("# " + group.Title);
        lines.push_back(group.Reason);
        for (const TReportItem& item : group.Items)
            lines.push_back("    " + item.Name);
    }
    return lines;
}

// Each sentence of the summary and each reason, as the report says it now.
TEST(ReportWording, TheSummarySaysWhatTheRunDidAndEachReasonIsToldOnce) {
    struct Row {
        const char* what;
        TRunFacts run;
        std::vector<std::string> lines;
    };
    const std::string wipe = "Q:\\wipe.tmp", a = "C:\\docs\\a.txt", b = "C:\\docs\\b.txt";
    const FileId one = MakeFileId(7, 0, 42, 0);
    const Row rows[] = {
        // The wipe is no file shredded; its quota is said once, in the summary and its reason.
        {"a thousand files and a wipe under a quota",
         {.Shredded = 1000,
          .Told = {{wipe, ToldReason::WipedFreeSpace}, {wipe, ToldReason::QuotaLimited}}},
         {"1,000 files were shredded. No file is called wipe.tmp in Q:\\, so the unused space of "
          "drive Q: was overwritten instead, but only as much of it as your disk quota allows. No "
          "file was shredded under this name.",
          "# No such file: unused space overwritten up to your quota (1 name)", kQuota,
          "    " + wipe}},
        {"two wipes, one under a quota",
         {.Told = {{"Q:\\a.tmp", ToldReason::WipedFreeSpace},
                   {"\\\\server\\share\\b.tmp", ToldReason::WipedFreeSpace},
                   {"\\\\server\\share\\b.tmp", ToldReason::QuotaLimited}}},
         {"2 names in the list were no file, so the unused space of their drives was overwritten "
          "instead. No file was shredded under these names.",
          "# No such file: unused space overwritten (1 name)", kWiped, "    Q:\\a.tmp",
          "# No such file: unused space overwritten up to your quota (1 name)", kQuota,
          "    \\\\server\\share\\b.tmp"}},
        {"wipes that could not be done, one in a mistyped folder",
         {.Shredded = 1,
          .Left = {{wipe, LeftReason::NoFreeSpace}, {"Q:\\Letetrs\\cv.doc", LeftReason::NoFolder}}},
         {"1 file was shredded. Nothing was overwritten for 2 names that no file had: see why "
          "below.",
          "# Unused space could not be read (1 name)", kNoFreeSpace, "    " + wipe,
          "# In a folder that does not exist (1 name)",
          "No file has the name, and the folder it names does not exist, so nothing was "
          "overwritten for this name. Check the folder's name (a letter may be mistyped), then "
          "list the name again.",
          "    Q:\\Letetrs\\cv.doc"}},
        // Counted per file, however many ways it was kept.
        {"files kept elsewhere",
         {.Shredded = 2,
          .Told = {{a, ToldReason::Compressed},
                   {a, ToldReason::Encrypted},
                   {b, ToldReason::Sparse}}},
         {"2 files were shredded. 2 shredded files may have left earlier content where "
          "overwriting does not reach: see below.",
          "# Shredded, but kept compressed (1 name)", KeptElsewhere("compressed"), "    " + a,
          "# Shredded, but kept encrypted (1 name)", KeptElsewhere("encrypted"), "    " + a,
          "# Shredded, but kept as a sparse file (1 name)", KeptElsewhere("as a sparse file"),
          "    " + b}},
        {"a name not hidden",
         {.Shredded = 1, .Told = {{a, ToldReason::NameNotHidden}}},
         {"1 file was shredded. The name and size of 1 shredded file may still be seen on the "
          "drive: see below.",
          "# Shredded, but the name not hidden (1 name)", kNotHidden, "    " + a}},
        {"names that end in a blank or a dot",
         {.Shredded = 1,
          .Left = {{"C:\\docs\\notes ", LeftReason::RefusedName}},
          .Told = {{"Q:\\wipe.", ToldReason::WipedFreeSpace}}},
         {"1 of 2 files was shredded. 1 was not: with a name ending in a blank or a dot. See why "
          "below. No file is called \"wipe.\" in Q:\\, so the unused space of drive Q: was "
          "overwritten instead. No file was shredded under this name.",
          "# With a name ending in a blank or a dot (1 name)", kRefusedName,
          "    \"C:\\docs\\notes \"", "# No such file: unused space overwritten (1 name)", kWiped,
          "    \"Q:\\wipe.\""}},
        // Files, not lines: two lines of one file count once, under its first reason; the
        // parts are headed with how many names each covers.
        {"files left for three reasons, one on two lines",
         {.Shredded = 1,
          .Left = {{a, LeftReason::InUse, {}, false, one},
                   {b, LeftReason::Gone},
                   {"C:\\DOCS\\A.TXT", LeftReason::InUse, {}, false, one},
                   {wipe, LeftReason::Gone},
                   {"C:\\c.txt", LeftReason::Changed}}},
         {"1 of 5 files was shredded. 4 were not: 1 open in another program, 2 no longer there "
          "and 1 replaced after listing. See why below.",
          "# Open in another program (2 names)", Why(LeftReason::InUse), "    " + a,
          "    C:\\DOCS\\A.TXT", "# No longer there (2 names)", Why(LeftReason::Gone), "    " + b,
          "    " + wipe, "# Replaced after listing (1 name)", Why(LeftReason::Changed),
          "    C:\\c.txt"}},
        {"what drops could not list",
         {.Shredded = 1,
          .Unlisted = {{"C:\\F\\report.", UnlistedReason::OtherName},
                       {"C:\\F\\sub", UnlistedReason::FolderUnread}}},
         {"1 file was shredded.\r\n\r\nAlso not shredded: 1 file and files in 1 folder that could "
          "not be added to the list",
          "## Also not shredded: 1 file and files in 1 folder that could not be added to the list",
          "# Not listed: the name ends in a blank or a dot (1 name)", kNotListedOtherName,
          "    \"C:\\F\\report.\"", "# A folder that could not be opened (1 name)", kFolderUnread,
          "    C:\\F\\sub"}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Lines(RunReport(row.run)), row.lines) << row.what;
}

// A file refused for its other names is named with them, as Windows lists them (a stand-in
// gives its answers: Wine lists none), each said to be in the same folder or another; five at
// most, then how many more.
TEST(ReportWording, AFileWithOtherNamesIsNamedWithThemAndWhereTheyAre) {
    const std::string listed = "Q:\\Letters\\cv.doc";
    NameQueries windows{[](const std::wstring&) { return std::wstring(L"Q:\\"); },
                        [](const std::wstring&) {
                            return std::optional<std::vector<std::wstring>>(
                                {L"\\Backup\\cv.doc", L"\\LETTERS\\CV.DOC",
                                 L"\\Letters\\cv (old).doc", L"\\a\\1", L"\\a\\2", L"\\a\\3",
                                 L"\\a\\4"});
                        }};
    TRunFacts run{.Left = {{listed, LeftReason::OtherNames}}};
    run.OtherNames = [&](const std::string& path) { return OtherNamesOf(path, windows); };

    const std::string body = ReportBody(RunReport(run));
    // After the reason, the name, then its other names.
    EXPECT_EQ(body.substr(body.find("\r\n\r\n")),
              "\r\n\r\n    " + listed +
                  "\r\n        also named Q:\\Backup\\cv.doc, in another folder"
                  "\r\n        also named Q:\\Letters\\cv (old).doc, in the same folder"
                  "\r\n        also named Q:\\a\\1, in another folder"
                  "\r\n        also named Q:\\a\\2, in another folder"
                  "\r\n        also named Q:\\a\\3, in another folder"
                  "\r\n        and 1 more name");

    // Each of its names listed: the advice is not to delete names that are all listed.
    run.Left.push_back(
        {"Q:\\BACKUP\\CV.DOC", LeftReason::OtherNames, {}, false, MakeFileId(7, 0, 42)});
    run.Left[0].file = run.Left[1].file;
    windows.names = [](const std::wstring&) {
        return std::optional<std::vector<std::wstring>>(
            {L"\\Letters\\cv.doc", L"\\Backup\\cv.doc"});
    };
    const TReport all = RunReport(run);
    ASSERT_EQ(all.Groups.size(), 1u);
    EXPECT_EQ(all.Groups[0].Reason.rfind("Each of the file's names is in the list", 0), 0u);
    EXPECT_EQ(all.Groups[0].Title, "With other names, every one of them listed (2 names)");
    EXPECT_EQ(all.Summary, "The file was not shredded: with other names. See why below.");

    // Names among which the listed one is not: their spelling cannot be trusted.
    windows.volumeFolder = [](const std::wstring&) { return std::wstring(L"R:\\"); };
    EXPECT_NE(ReportBody(RunReport(run))
                  .find("\r\n        Windows did not tell its other names, "
                        "so they could not be found here."),
              std::string::npos);
}

// A file held by another program is named with the programs the Restart Manager tells of (a
// stand-in gives Windows' answers: Wine tells none), each once; a list that grows while it is
// asked for is asked for again, and every session started is ended.
TEST(ReportWording, AHeldFileIsNamedWithTheProgramsThatHoldIt) {
    const std::string held = "Q:\\Letters\\cv.doc";
    const std::vector<std::wstring> open = {L"Notepad", L"Microsoft Word", L"Notepad"};
    int started = 0, ended = 0, asked = 0;
    DWORD enrolled = ERROR_SUCCESS;
    const RestartManagerCalls windows{
        [&](DWORD* session, WCHAR*) { return *session = ++started, DWORD(ERROR_SUCCESS); },
        [&](DWORD, const std::wstring& file) {
            EXPECT_EQ(file, L"Q:\\Letters\\cv.doc");
            return enrolled;
        },
        [&](DWORD, UINT* needed, UINT* count, RM_PROCESS_INFO* programs, DWORD*) {
            // One program more at the second asking than the first said.
            *needed = static_cast<UINT>(++asked == 1 ? open.size() - 1 : open.size());
            if (*count < *needed)
                return DWORD(ERROR_MORE_DATA);
            for (std::size_t i = 0; i < open.size(); ++i)
                wcscpy(programs[i].strAppName, open[i].c_str());
            *count = *needed;
            return DWORD(ERROR_SUCCESS);
        },
        [&](DWORD session) { return ended += session != 0, DWORD(ERROR_SUCCESS); }};
    TRunFacts run{.Left = {{held, LeftReason::InUse}}};
    run.Holders = [&](const std::string& path) { return ProgramsHolding(path, windows); };

    const std::string body = ReportBody(RunReport(run));
    EXPECT_EQ(body.substr(body.find("\r\n\r\n")),
              "\r\n\r\n    " + held + "\r\n        It is open in Notepad and Microsoft Word.");
    EXPECT_EQ(asked, 3);

    // A file the Restart Manager would not take: the reason alone, as where it cannot tell.
    enrolled = ERROR_ACCESS_DENIED;
    EXPECT_EQ(ReportBody(RunReport(run)).find("It is open in"), std::string::npos);
    EXPECT_EQ(ended, 2);
}

// Below the reason, each name is told where its file is now where its listed name does not
// lead there (hidden under another name, or in a folder moved since), as far as Windows can
// tell; names that share a folder are set below it, the folder named once, so that what tells
// them apart is not pushed out of sight by a long folder repeated on each line.
TEST(ReportWording, TheNamesBelowAReasonSayWhereEachFileIs) {
    const std::string listed = "Q:\\dir\\secret.txt",
                      folder = "Q:\\" + std::string(200, 'f') + "\\";
    const struct {
        std::vector<LeftEntry> left;
        std::string names;
    } rows[] = {
        {{{listed, LeftReason::NotDeleted, "Q:\\moved\\yyyyyy.yyy"}},
         "    " + listed + "\r\n        It is now named Q:\\moved\\yyyyyy.yyy."},
        {{{listed, LeftReason::NotDeleted, "yyyyyy.yyy", true}},
         "    " + listed +
             "\r\n        It is now named yyyyyy.yyy, in the folder that was Q:\\dir. That folder "
             "has been moved, and Windows did not tell where to: look for it by its own name."},
        {{{folder + "a.doc", LeftReason::Gone},
          {"Q:\\x.doc", LeftReason::Gone},
          {folder + "b.", LeftReason::Gone}},
         "    " + folder + "\r\n        a.doc\r\n        \"b.\"\r\n    Q:\\x.doc"},
    };
    for (const auto& row : rows) {
        const std::string body = ReportBody(RunReport({.Left = row.left}));
        EXPECT_EQ(body.substr(body.find("\r\n\r\n") + 4), row.names);
    }
}

// "Unchanged" is said only of a file that was there and is so: never of one partly
// overwritten, overwritten but not deleted, or gone.
TEST(ReportWording, UnchangedIsSaidOnlyOfAFileThatWasThereAndIsSo) {
    const std::pair<LeftReason, bool> rows[] = {
        {LeftReason::RefusedName, true},       {LeftReason::Gone, false},
        {LeftReason::Appeared, true},          {LeftReason::Changed, true},
        {LeftReason::OtherNames, true},        {LeftReason::Link, false},
        {LeftReason::NotDiskFile, false},      {LeftReason::NoFreeSpace, false},
        {LeftReason::NotWritten, true},        {LeftReason::PartlyOverwritten, false},
        {LeftReason::Resized, false},          {LeftReason::NotDeleted, false},
        {LeftReason::NameMoved, false},        {LeftReason::NotWiped, false},
        {LeftReason::NoFolder, false},         {LeftReason::InUse, true},
        {LeftReason::NotOpened, true},         {LeftReason::StreamNotOverwritten, false},
        {LeftReason::StreamsUnlisted, false},  {LeftReason::StreamInUse, false},
        {LeftReason::OtherFileRenamed, false}, {LeftReason::OtherFileNotGivenBack, false},
    };
    for (const auto& [reason, unchanged] : rows) {
        const std::string text =
            ReportText("", RunReport({.Shredded = 1, .Left = {{"C:\\a.txt", reason}}}));
        EXPECT_EQ(text.find("unchanged") != std::string::npos, unchanged)
            << static_cast<int>(reason) << ": " << text;
    }
}

} // namespace
