#include "controls/HListBox.h"
#include "framework/GdiObject.h"

THListBox::THListBox() noexcept : TListBox(WS_HSCROLL) {}

int THListBox::GetTextWidth(const std::string& text) {
    // A window DC starts with the system font: the list box's own font must be selected.
    TWindowDC dc(Handle());
    TSelectObject font(dc.Get(), Font());
    SIZE extent{};
    GetTextExtentPoint32A(dc.Get(), text.data(), static_cast<int>(text.size()), &extent);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc.Get(), &metrics);
    return (extent.cx + metrics.tmAveCharWidth) & 0xFFFF;
}

void THListBox::AddString(const std::string& text) {
    const int width = GetTextWidth(text);
    if (width > FMaxWidth) {
        FMaxWidth = width;
        SetHorizontalExtent(FMaxWidth);
    }
    Add(text);
}
