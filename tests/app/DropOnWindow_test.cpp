// Names dropped on the main window from the shell: a real drop handle posted as the shell
// posts it, through the window's drop receiver to the target list.
#include "MainWindowFixture.h"
#include "TestFiles.h"
#include <gtest/gtest.h>
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

} // namespace
