#include "controls/HListBox.h"
#include "framework/Exception.h"
#include "framework/Form.h"
#include "tests/support/win/UiTest.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include <vector>

namespace {

// A form holding two list boxes: one in the form's font, one in a much larger font.
class TListHost : public TForm {
public:
    TListHost() : TForm(Layout()) {}

    THListBox Small;
    THListBox Large;

private:
    static const TFormLayout& Layout() noexcept {
        static const TFormLayout layout = {
            .Form = {.Caption = "list host", .Left = 40, .Top = 40, .Width = 500, .Height = 400},
            .Controls =
                {
                    {.Name = "Small", .Field = &TListHost::Small, .Bounds = {8, 8, 200, 150}},
                    {.Name = "Large",
                     .Field = &TListHost::Large,
                     .Bounds = {8, 170, 200, 150},
                     .Font = Font("Arial", -40)},
                },
        };
        return layout;
    }
};

// What GetTextWidth promises, measured apart from the list box: the text in the given font
// plus one average character, in a memory DC.
int WidthInFont(HFONT font, const std::string& text) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE extent{};
    GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &extent);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    DeleteDC(dc);
    return extent.cx + metrics.tmAveCharWidth;
}

// While it lives, the list box refuses every new line, as one whose capacity is exhausted does.
class TRefusing {
public:
    explicit TRefusing(HWND window) : FWindow(window) {
        SetPropA(window, "previous",
                 reinterpret_cast<HANDLE>(GetWindowLongPtrA(window, GWLP_WNDPROC)));
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc));
    }
    TRefusing(const TRefusing&) = delete;
    TRefusing& operator=(const TRefusing&) = delete;
    ~TRefusing() {
        SetWindowLongPtrA(FWindow, GWLP_WNDPROC,
                          reinterpret_cast<LONG_PTR>(GetPropA(FWindow, "previous")));
        RemovePropA(FWindow, "previous");
    }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        const auto previous = reinterpret_cast<WNDPROC>(GetPropA(window, "previous"));
        if (message == LB_ADDSTRING || message == LB_INSERTSTRING)
            return LB_ERRSPACE;
        return CallWindowProcA(previous, window, message, wParam, lParam);
    }

    HWND FWindow;
};

class HListBox : public testing::Test {
protected:
    void SetUp() override {
        FHost = &Application().CreateForm<TListHost>();
        FHost->Show();
        PumpMessages();
    }
    void TearDown() override { Application().DestroyForms(); }

    TListHost& Host() { return *FHost; }

private:
    TListHost* FHost = nullptr;
};

TEST_F(HListBox, IsMadeForSingleSelectionAndScrollsSidewaysOnceALineIsTooWide) {
    THListBox& list = Host().Small;
    const auto style = [&] {
        return static_cast<DWORD>(GetWindowLongPtrA(list.Handle(), GWL_STYLE));
    };
    EXPECT_EQ(style() & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL), 0u);
    EXPECT_EQ(list.MaxWidth(), 0);
    EXPECT_EQ(list.HorizontalExtent(), 0);

    // The list box shows its horizontal bar (and sets the style bit) only when needed.
    list.AddString(std::string(80, 'W'));
    PumpMessages();
    EXPECT_NE(style() & WS_HSCROLL, 0u);
}

TEST_F(HListBox, MeasuresInItsOwnFontPlusOneAverageCharacter) {
    const std::string text = "C:\\Documents\\quarterly report.txt";
    EXPECT_EQ(Host().Small.GetTextWidth(text), WidthInFont(Host().Small.Font(), text));
    EXPECT_EQ(Host().Large.GetTextWidth(text), WidthInFont(Host().Large.Font(), text));
    // The large font really is what was measured, not the DC's default font.
    EXPECT_GT(Host().Large.GetTextWidth(text), 2 * Host().Small.GetTextWidth(text));
    // An empty text is one average character wide.
    EXPECT_GT(Host().Small.GetTextWidth(""), 0);
    EXPECT_LT(Host().Small.GetTextWidth(""), Host().Small.GetTextWidth("W"));
}

TEST_F(HListBox, CutsTheWidthToItsLow16Bits) {
    const std::string text(6000, 'W');
    const int full = WidthInFont(Host().Large.Font(), text);
    ASSERT_GT(full, 0xFFFF) << "the text must be wider than 65535 pixels for this test";
    EXPECT_EQ(Host().Large.GetTextWidth(text), full & 0xFFFF);
}

TEST_F(HListBox, AddStringWidensTheScrollRangeToTheWidestLineOnly) {
    THListBox& list = Host().Small;
    list.AddString("C:\\a.txt");
    const int first = list.GetTextWidth("C:\\a.txt");
    EXPECT_EQ(list.MaxWidth(), first);
    EXPECT_EQ(list.HorizontalExtent(), first);

    const std::string wide = "C:\\a folder with a long name\\and a long file name as well.txt";
    list.AddString(wide);
    EXPECT_EQ(list.MaxWidth(), list.GetTextWidth(wide));
    EXPECT_EQ(list.HorizontalExtent(), list.MaxWidth());

    list.AddString("C:\\b.txt");
    EXPECT_EQ(list.MaxWidth(), list.GetTextWidth(wide));
    EXPECT_EQ(list.HorizontalExtent(), list.MaxWidth());
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Strings(0), "C:\\a.txt");
    EXPECT_EQ(list.Strings(1), wide);
    EXPECT_EQ(list.Strings(2), "C:\\b.txt");
}

TEST_F(HListBox, TheWidestWidthSurvivesRemovalClearingAndReplacement) {
    THListBox& list = Host().Small;
    const std::string wide = "C:\\a folder with a long name\\and a long file name as well.txt";
    list.AddString("C:\\a.txt");
    list.AddString(wide);
    const int widest = list.MaxWidth();

    list.Delete(1);
    EXPECT_EQ(list.MaxWidth(), widest);
    EXPECT_EQ(list.HorizontalExtent(), widest);

    // Marking a line makes it wider without touching the scroll range.
    list.Replace(0, "SHREDDED! ... " + wide + wide);
    EXPECT_EQ(list.MaxWidth(), widest);
    EXPECT_EQ(list.HorizontalExtent(), widest);

    list.Clear();
    EXPECT_EQ(list.MaxWidth(), widest);
    EXPECT_EQ(list.HorizontalExtent(), widest);

    list.AddString("C:\\b.txt");
    EXPECT_EQ(list.MaxWidth(), widest);
    EXPECT_EQ(list.HorizontalExtent(), widest);
}

TEST_F(HListBox, ARefusedLineFailsAfterWidening) {
    THListBox& list = Host().Small;
    list.AddString("C:\\a.txt");

    const std::string wide = "C:\\a folder with a long name\\and a long file name as well.txt";
    std::string message = "<no failure>";
    try {
        const TRefusing refusing(list.Handle());
        list.AddString(wide);
    } catch (const Exception& failure) {
        message = failure.Message();
    }

    EXPECT_EQ(message, "Unable to insert a line");
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.MaxWidth(), list.GetTextWidth(wide));
    EXPECT_EQ(list.HorizontalExtent(), list.MaxWidth());
}

// Many lines added in one go are measured in one device context with redraw off: the widths
// must be those of line by line, and a failure must leave the list redrawing again.
TEST_F(HListBox, ABulkAdditionWidensAsLineByLineAndRedrawsAgainWhenAFailureEndsIt) {
    THListBox& list = Host().Large;
    std::vector<std::string> lines;
    int widest = 0;
    for (int i = 0; i < 40; ++i) {
        lines.push_back("C:\\folder " + std::string(static_cast<std::size_t>(i % 7), 'W') +
                        "\\file " + std::to_string(i * 37) + ".txt");
        widest = std::max(widest, list.GetTextWidth(lines.back()));
    }
    const std::string refused = "C:\\" + std::string(30, 'W') + ".txt";
    ASSERT_GT(list.GetTextWidth(refused), widest);

    std::string message = "<no failure>";
    try {
        const THListBox::TBulkAdd bulk(list);
        for (const std::string& line : lines)
            list.AddString(line);
        EXPECT_EQ(list.MaxWidth(), widest);
        EXPECT_EQ(list.HorizontalExtent(), widest);
        const TRefusing refusing(list.Handle());
        list.AddString(refused);
    } catch (const Exception& failure) {
        message = failure.Message();
    }

    EXPECT_EQ(message, "Unable to insert a line");
    EXPECT_EQ(list.Count(), static_cast<int>(lines.size()));
    EXPECT_EQ(list.MaxWidth(), list.GetTextWidth(refused));
    EXPECT_EQ(list.HorizontalExtent(), list.MaxWidth());
    // The list box updates its scroll bar only while it redraws.
    SCROLLINFO scroll{};
    scroll.cbSize = sizeof scroll;
    scroll.fMask = SIF_RANGE;
    ASSERT_TRUE(GetScrollInfo(list.Handle(), SB_VERT, &scroll));
    EXPECT_EQ(scroll.nMax, static_cast<int>(lines.size()) - 1);
}

} // namespace
