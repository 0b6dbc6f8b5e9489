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

TEST_F(DropOnWindow, NamesThatCannotBeListedAreNamedInOneMessageAfterTheDrop) {
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

    // In the listing's order, which the platform chooses.
    std::vector<std::string> listed = {f + "\\a.txt"};
    std::vector<std::string> reported = {f + "\\report.  (Windows would take it for another name)"};
    if (!longPaths)
        reported.push_back(tooDeep + "\\  (path too long)");
    for (int copy = 0; copy < 2; ++copy) {
        if (longPaths)
            listed.push_back(longName);
        else
            reported.push_back(longName + "  (path too long)");
    }
    EXPECT_EQ(Sorted(Entries()), Sorted(listed));
    EXPECT_TRUE(Form().btnWipe.Enabled());
    ASSERT_EQ(answerer.Seen().size(), 1u) << "one message for the whole drop";
    EXPECT_EQ(answerer.Seen()[0].Caption, "Windows Ostrevane");
    const std::string& text = answerer.Seen()[0].Text;
    EXPECT_EQ(text.rfind("Not listed, so not shredded:\n", 0), 0u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<int>(reported.size()) + 1);
    for (const std::string& line : reported)
        EXPECT_NE(text.find("\n" + line), std::string::npos) << line;
    DeleteFileW(Exact(longName).c_str());
    RemoveDirectoryW(Exact(tooDeep).c_str());
    DeleteFileW(Exact(f + "\\report.").c_str());
}

} // namespace
