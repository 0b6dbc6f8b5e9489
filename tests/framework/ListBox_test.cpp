#include "TestForms.h"
#include "framework/Exception.h"
#include "tests/support/win/UiTest.h"
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace {
WNDPROC gListProc = nullptr;

// A list box whose capacity is exhausted: it refuses every new line, as Windows does then.
LRESULT CALLBACK FullListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == LB_ADDSTRING || message == LB_INSERTSTRING)
        return LB_ERRSPACE;
    return CallWindowProcA(gListProc, window, message, wParam, lParam);
}

class ListBox : public testing::Test {
protected:
    void SetUp() override { FForm = &Application().CreateForm<TfrmTest>(); }
    void TearDown() override { Application().DestroyForms(); }

    std::vector<std::string> Lines() {
        std::vector<std::string> lines;
        for (int i = 0; i < List().Count(); ++i)
            lines.push_back(List().Strings(i));
        return lines;
    }
    TListBox& List() { return FForm->List1; }

    TfrmTest* FForm = nullptr;
};
} // namespace

TEST_F(ListBox, AddsInOrderUnsortedAndDeletes) {
    EXPECT_EQ(List().Add("C:\\b.txt"), 0);
    EXPECT_EQ(List().Add("C:\\a.txt"), 1);
    List().Add("C:\\c.txt");
    EXPECT_EQ(Lines(), (std::vector<std::string>{"C:\\b.txt", "C:\\a.txt", "C:\\c.txt"}));
    List().Delete(1);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"C:\\b.txt", "C:\\c.txt"}));
    List().Clear();
    EXPECT_EQ(List().Count(), 0);
    EXPECT_THROW(List().Strings(0), Exception);
}

TEST_F(ListBox, ReplaceKeepsTheSelectionAndTheLinesData) {
    for (const char* line : {"one", "two", "three"})
        List().Add(line);
    List().SetItemData(1, 7);
    EXPECT_EQ(List().ItemIndex(), -1);
    List().SetItemIndex(1);
    List().Replace(1, "SHREDDED! ... two");
    EXPECT_EQ(List().ItemIndex(), 1);
    List().Replace(0, "SHREDDED! ... one");
    EXPECT_EQ(List().ItemIndex(), 1);
    EXPECT_EQ(Lines(),
              (std::vector<std::string>{"SHREDDED! ... one", "SHREDDED! ... two", "three"}));
    EXPECT_EQ(List().ItemData(1), 7);
    EXPECT_EQ(List().ItemData(0), 0);
}

TEST_F(ListBox, ReplacingManyLinesKeepsTheOrderTheDataTheSelectionAndTheScrollPosition) {
    std::vector<std::string> expected;
    for (int i = 0; i < 40; ++i) {
        expected.push_back("line " + std::to_string(i));
        List().SetItemData(List().Add(expected.back()), i + 1);
    }
    List().SetItemIndex(20);
    List().SetTopIndex(15);
    // Lines of the first page, lines in sight, the selected one and the last.
    std::map<int, std::string> lines;
    for (int i : {1, 2, 16, 20, 25, 39})
        lines[i] = expected[static_cast<std::size_t>(i)] = "SHREDDED! ... " + std::to_string(i);
    List().Replace(lines);
    EXPECT_EQ(Lines(), expected);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(List().ItemData(i), i + 1) << i;
    EXPECT_EQ(List().ItemIndex(), 20);
    EXPECT_EQ(List().TopIndex(), 15);
}

TEST_F(ListBox, HorizontalExtentIsWhatWasSet) {
    List().SetHorizontalExtent(1234);
    EXPECT_EQ(List().HorizontalExtent(), 1234);
}

TEST_F(ListBox, AListThatRefusesALineFailsWithTheUsersText) {
    List().Add("kept");
    gListProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(List().Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FullListProc)));
    try {
        List().Add("refused");
        ADD_FAILURE() << "no failure";
    } catch (const Exception& failure) {
        EXPECT_EQ(failure.Message(), "Unable to insert a line");
    }
    EXPECT_THROW(List().Replace(0, "refused"), Exception);
    SetWindowLongPtrA(List().Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gListProc));
    // A refused replacement leaves the line it was to replace.
    ASSERT_EQ(List().Count(), 1);
    EXPECT_EQ(List().Strings(0), "kept");
}
