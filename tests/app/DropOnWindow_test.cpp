// Names dropped on the main window from the shell: a real drop handle posted as the shell
// posts it, through the window's drop receiver to the target list.
#include "MainWindowFixture.h"
#include "TestFiles.h"
#include "engine/ShredRun.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

void MakeFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    CloseHandle(file);
}

// Made through the wide functions and "\\?\", which take paths of any length.
std::wstring Exact(const std::string& path) {
    return L"\\\\?\\" + std::filesystem::path(path).wstring();
}

// A folder and all it holds, by their exact names: std::filesystem cannot remove a name that
// ends in a dot, and under Wine its remove_all then never returns.
void RemoveExact(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveExact(folder + L"\\" + name);
            else
                DeleteFileW((folder + L"\\" + name).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

class DropOnWindow : public MainWindowTest {
protected:
    // However a test ends, before the temporary folder goes.
    void TearDown() override {
        MainWindowTest::TearDown();
        RemoveExact(Exact(FDir.Path().string()));
    }

    std::string In(const std::string& name) const { return FDir.Path().string() + "\\" + name; }

    void DropNames(const std::vector<std::string>& names) {
        PostMessageA(Form().Handle(), WM_DROPFILES, DropHandle(names), 0);
        PumpMessages();
    }

    TempDir FDir;
};

TEST_F(DropOnWindow, TheWindowAcceptsDropsFromTheStart) {
    EXPECT_NE(GetWindowLongPtrA(Form().Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
    ASSERT_NE(Form().DnDForm1, nullptr);
    EXPECT_TRUE(Form().DnDForm1->Active());
}

TEST_F(DropOnWindow, DroppedFilesAndFoldersAreListedInTheOrderDropped) {
    MakeFile(In("c.txt"));
    MakeFile(In("a.txt"));
    ASSERT_TRUE(CreateDirectoryA(In("F").c_str(), nullptr));
    MakeFile(In("F\\inside.txt"));

    DropNames({In("c.txt"), In("F"), In("vanished.txt"), In("a.txt"), In("c.txt")});

    EXPECT_EQ(Entries(), (std::vector<std::string>{In("c.txt"), In("F\\inside.txt"), In("a.txt"),
                                                   In("c.txt")}));
    EXPECT_TRUE(Form().btnWipe.Enabled());
}

TEST_F(DropOnWindow, ADropOfOnlyAVanishedNameStillEnablesShredding) {
    DropNames({In("vanished.txt")});
    EXPECT_TRUE(Entries().empty());
    EXPECT_TRUE(Form().btnWipe.Enabled());
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

constexpr const char* kTooLong =
    "The full name is longer than the 260 characters Windows lets the program use, so the file "
    "was not added to the list. Move the file to a folder with a shorter path, or give it a "
    "shorter name, then drop it again.";
constexpr const char* kOtherName =
    "Windows reads the name as another one, because it ends in a blank or a dot, so the file was "
    "not added to the list. Rename it so that its name ends in another character, then drop it "
    "again.";

// Whether a report's text gives each reason once, followed by the names it applies to.
void ExpectGrouped(const std::string& text,
                   const std::vector<std::pair<std::string, const char*>>& reported) {
    for (const auto& [name, reason] : reported) {
        const std::string head = std::string(reason) + "\n\n";
        const std::size_t group = text.find(head);
        ASSERT_NE(group, std::string::npos) << reason;
        EXPECT_EQ(text.find(head, group + 1), std::string::npos) << "said once: " << reason;
        const std::size_t end = text.find("\n\n", group + head.size());
        // Whole, or below its folder where others share it.
        std::size_t at = text.find("\n    " + name + "\n", group);
        const std::size_t slash = name.find_last_of('\\', name.size() - 2) + 1;
        const std::size_t folder = text.find("\n    " + name.substr(0, slash) + "\n", group);
        if ((at == std::string::npos || at > end) && folder < end)
            at = text.find("\n        " + name.substr(slash) + "\n", folder);
        EXPECT_TRUE(at != std::string::npos && at < end) << name;
    }
}

TEST_F(DropOnWindow, NamesThatCannotBeListedAreNamedAfterTheDropAndAgainAfterTheRun) {
    // F holds a.txt, "report." (which Windows would look up as "report"), and three folders
    // down a file whose full name is over 260 characters long and a folder too deep to list.
    const std::string f = In("F");
    ASSERT_TRUE(CreateDirectoryA(f.c_str(), nullptr));
    MakeFile(f + "\\a.txt");
    MakeFile("\\\\?\\" + f + "\\report.");
    std::string deep = f;
    for (char part : {'p', 'q', 'r'}) {
        deep.append("\\").append(50, part);
        ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr)) << deep.size();
    }
    // A folder whose own name fits, but not the names of what it holds.
    const std::string tooDeep = deep + "\\" + std::string(257 - deep.size(), 's');
    ASSERT_TRUE(CreateDirectoryW(Exact(tooDeep).c_str(), nullptr));
    const std::string longName = deep + "\\" + std::string(100, 'z') + ".txt";
    ASSERT_GT(longName.size(), 260u);
    HANDLE file =
        CreateFileW(Exact(longName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    // Where the system allows long paths, the long name is a file like any other.
    const bool longPaths = GetFileAttributesA(longName.c_str()) != INVALID_FILE_ATTRIBUTES;

    TDialogAnswerer answerer;
    DropNames({f, longName});

    // In the listing's order, which the platform chooses. The name that ends in a dot is
    // quoted, so that its end shows.
    std::vector<std::string> listed = {f + "\\a.txt"};
    std::vector<std::pair<std::string, const char*>> reported = {
        {"\"" + f + "\\report.\"", kOtherName}};
    if (!longPaths)
        reported.push_back({tooDeep + "\\", kTooLong});
    for (int copy = 0; copy < 2; ++copy) {
        if (longPaths)
            listed.push_back(longName);
        else
            reported.push_back({longName, kTooLong});
    }
    EXPECT_EQ(Sorted(Entries()), Sorted(listed));
    EXPECT_TRUE(Form().btnWipe.Enabled());
    ASSERT_EQ(answerer.Seen().size(), 1u) << "one report for the whole drop";
    EXPECT_EQ(answerer.Seen()[0].Caption, "Windows Ostrevane");
    const std::string summary =
        reported.size() == 1 ? "1 file could not be added to the list, so it will not be "
                               "shredded: see why below."
                             : std::to_string(reported.size()) +
                                   " files could not be added to the list, so they will not be "
                                   "shredded: see why below.";
    EXPECT_EQ(answerer.Seen()[0].Statics.front(), summary);
    ExpectGrouped(answerer.Seen()[0].Text + "\n", reported);

    // The run that follows names them again, each once, after what it did itself.
    const auto seen = Click(Form().btnWipe);
    ASSERT_EQ(seen.size(), 1u);
    const std::size_t names = longPaths ? 1 : 3;
    const std::string dropped = "Also not shredded: " + std::to_string(names) +
                                (names == 1 ? " file" : " files") +
                                " that could not be added to the list";
    EXPECT_EQ(seen[0].Statics.front(), std::to_string(listed.size()) +
                                           (listed.size() == 1 ? " file was" : " files were") +
                                           " shredded.\r\n\r\n" + dropped);
    EXPECT_NE(seen[0].Text.find("\n" + dropped + "\n" + std::string(dropped.size(), '-') + "\n\n"),
              std::string::npos);
    ExpectGrouped(seen[0].Text + "\n", reported);

    // Once the list is emptied, they are not named any more: the next run, of a file dropped
    // once the window has settled after the last run and takes drops again, tells nothing.
    Click(Form().Button1);
    ASSERT_TRUE(Entries().empty());
    const std::string b = In("b.txt");
    MakeFile(b);
    ASSERT_TRUE(PumpUntil([&] {
        DropNames({b});
        return !Entries().empty();
    })) << "drops are listed again once the run has settled";
    EXPECT_EQ(Entries(), std::vector<std::string>{b});
    for (const TDialogSeen& told : Click(Form().btnWipe))
        ADD_FAILURE() << told.Text;
    EXPECT_EQ(Entries(), std::vector<std::string>{std::string(kDoneMarker) + b});
}

} // namespace
