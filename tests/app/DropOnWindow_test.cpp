// Names dropped on the main window from the shell: a real drop handle posted as the shell
// posts it, through the window's drop receiver to the target list.
#include "MainWindowFixture.h"
#include "TestFiles.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

void MakeFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    CloseHandle(file);
}

class DropOnWindow : public MainWindowTest {
protected:
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

// Made through the wide functions and "\\?\", which take paths of any length.
std::wstring Exact(const std::string& path) {
    return L"\\\\?\\" + std::filesystem::path(path).wstring();
}

constexpr const char* kTooLong =
    "This name is longer than Windows lets the program use, so it was not listed and will not "
    "be shredded. Move it to a folder with a shorter name, then drop it again.";

TEST_F(DropOnWindow, NamesThatCannotBeListedAreNamedAfterTheDropAndAgainAfterTheRun) {
    // F holds a.txt, "report." (which Windows would look up as "report"), and three folders
    // down a file whose full name is over 260 characters long and a folder too deep to list.
    const std::string f = In("F");
    ASSERT_TRUE(CreateDirectoryA(f.c_str(), nullptr));
    MakeFile(f + "\\a.txt");
    MakeFile("\\\\?\\" + f + "\\report.");
    std::string deep = f;
    for (char part : {'p', 'q', 'r'}) {
        deep += "\\" + std::string(50, part);
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
    std::vector<std::string> reported = {
        "\"" + f +
        "\\report.\"\nWindows reads this name as another one, because it ends in a "
        "blank or a dot, so it was not listed and will not be shredded. Rename it so that its "
        "name ends in another character, then drop it again."};
    if (!longPaths)
        reported.push_back(tooDeep + "\\\n" + kTooLong);
    for (int copy = 0; copy < 2; ++copy) {
        if (longPaths)
            listed.push_back(longName);
        else
            reported.push_back(longName + "\n" + kTooLong);
    }
    EXPECT_EQ(Sorted(Entries()), Sorted(listed));
    EXPECT_TRUE(Form().btnWipe.Enabled());
    ASSERT_EQ(answerer.Seen().size(), 1u) << "one report for the whole drop";
    EXPECT_EQ(answerer.Seen()[0].Caption, "Windows Ostrevane");
    const std::string& text = answerer.Seen()[0].Text;
    const std::string summary =
        reported.size() == 1 ? "One name could not be listed, so it will not be shredded."
                             : std::to_string(reported.size()) +
                                   " names could not be listed, so they will not be shredded.";
    EXPECT_EQ(answerer.Seen()[0].Statics.front(), summary);
    for (const std::string& entry : reported)
        EXPECT_NE(text.find("\n" + entry), std::string::npos) << entry;

    // The run that follows names them again, each once.
    const auto seen = Click(Form().btnWipe);
    ASSERT_EQ(seen.size(), 1u);
    const std::size_t names = longPaths ? 1 : 3;
    EXPECT_EQ(seen[0].Statics.front(), (names == 1 ? std::string("One dropped name")
                                                   : std::to_string(names) + " dropped names") +
                                           " could not be listed, so nothing was done there.");
    for (const std::string& entry : reported)
        EXPECT_NE(seen[0].Text.find("\n" + entry), std::string::npos) << entry;
    // Once the list is emptied, they are not named any more.
    Click(Form().Button1);
    MakeFile(In("b.txt"));
    DropNames({In("b.txt")});
    EXPECT_TRUE(Click(Form().btnWipe).empty());
    DeleteFileW(Exact(longName).c_str());
    RemoveDirectoryW(Exact(tooDeep).c_str());
    DeleteFileW(Exact(f + "\\report.").c_str());
}

} // namespace
