#include "controls/HListBox.h"

namespace {

int AveCharWidth(HDC dc) {
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    return metrics.tmAveCharWidth;
}

int Measure(HDC dc, int aveCharWidth, const std::string& text) {
    SIZE extent{};
    GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &extent);
    return (extent.cx + aveCharWidth) & 0xFFFF;
}

} // namespace

THListBox::THListBox() noexcept : TListBox(WS_HSCROLL) {}

THListBox::TBulkAdd::TBulkAdd(THListBox& list) : FList(list) {
    if (FList.FBulk)
        return;
    // A window DC starts with the system font: the list box's own font must be selected.
    FDC.emplace(FList.Handle());
    FFont.emplace(FDC->Get(), FList.Font());
    FAveCharWidth = AveCharWidth(FDC->Get());
    FList.SetRedraw(false);
    FList.FBulk = this;
}

THListBox::TBulkAdd::~TBulkAdd() {
    if (FList.FBulk != this)
        return;
    FList.FBulk = nullptr;
    FFont.reset();
    FDC.reset();
    FList.SetRedraw(true);
    // The frame too: the scroll bars follow the lines added.
    RedrawWindow(FList.Handle(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
}

int THListBox::GetTextWidth(const std::string& text) {
    if (FBulk)
        return Measure(FBulk->FDC->Get(), FBulk->FAveCharWidth, text);
    TWindowDC dc(Handle());
    TSelectObject font(dc.Get(), Font());
    return Measure(dc.Get(), AveCharWidth(dc.Get()), text);
}

void THListBox::AddString(const std::string& text, LPARAM data) {
    const int width = GetTextWidth(text);
    if (width > FMaxWidth) {
        FMaxWidth = width;
        SetHorizontalExtent(FMaxWidth);
    }
    const int index = Add(text);
    if (data != 0)
        SetItemData(index, data);
}

void THListBox::ScaleChanged(int fromDpi, int toDpi) {
    FMaxWidth = Scaled(FMaxWidth, toDpi, fromDpi);
    SetHorizontalExtent(FMaxWidth);
}
