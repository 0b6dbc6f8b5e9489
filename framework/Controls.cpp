#include "framework/Controls.h"
#include "framework/Exception.h"
#include <cstdint>
#include <vector>

namespace {
// Colours live with the control window itself (window properties), so the thin wrapper stays a
// bare handle and the form's WM_CTLCOLOR handling finds them from the control's handle.
constexpr const char* kFontColorProp = "Ostrevane.FontColor";
constexpr const char* kBackColorProp = "Ostrevane.BackColor";

TColor GetColorProp(HWND window, const char* name) {
    // Stored as colour + 1 so that black is told apart from "not set".
    const auto stored = reinterpret_cast<std::uintptr_t>(GetPropA(window, name));
    return stored == 0 ? clDefault : static_cast<TColor>(stored - 1);
}

void SetColorProp(HWND window, const char* name, TColor color) {
    if (color == clDefault)
        RemovePropA(window, name);
    else
        SetPropA(window, name, reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(color) + 1));
}
} // namespace

TRect TControl::Bounds() const {
    RECT r{};
    GetWindowRect(FHandle, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(FHandle), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::string TControl::Text() const {
    const auto length = Send(WM_GETTEXTLENGTH);
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    const auto copied = Send(WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    return std::string(buffer.data(), static_cast<std::size_t>(copied));
}

TColor TControl::FontColor() const {
    return GetColorProp(FHandle, kFontColorProp);
}

void TControl::SetFontColor(TColor color) {
    SetColorProp(FHandle, kFontColorProp, color);
    InvalidateRect(FHandle, nullptr, TRUE);
}

TColor TControl::Color() const {
    return GetColorProp(FHandle, kBackColorProp);
}

void TControl::SetColor(TColor color) {
    SetColorProp(FHandle, kBackColorProp, color);
    InvalidateRect(FHandle, nullptr, TRUE);
}

void ForgetControlColors(HWND window) noexcept {
    RemovePropA(window, kFontColorProp);
    RemovePropA(window, kBackColorProp);
}

int CheckListInsert(LRESULT result) {
    if (result == LB_ERR || result == LB_ERRSPACE)
        throw Exception("Unable to insert a line");
    return static_cast<int>(result);
}

std::string TListBox::Strings(int index) const {
    const auto length = Send(LB_GETTEXTLEN, static_cast<WPARAM>(index));
    if (length == LB_ERR)
        throw Exception("List index out of bounds (" + std::to_string(index) + ")");
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    const auto copied =
        Send(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
    return std::string(buffer.data(), copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
}

int TListBox::Add(const std::string& text) {
    return CheckListInsert(Send(LB_ADDSTRING, 0, Param(text)));
}

void TListBox::Insert(int index, const std::string& text) {
    CheckListInsert(Send(LB_INSERTSTRING, static_cast<WPARAM>(index), Param(text)));
}

void TListBox::Replace(int index, const std::string& text) {
    const int selected = ItemIndex();
    const auto top = Send(LB_GETTOPINDEX);
    const LPARAM data = ItemData(index);
    // A list box cannot change a line's text in place. The new line goes in first, so a
    // list that refuses it keeps the old one, and the later lines keep their places.
    Insert(index, text);
    Delete(index + 1);
    SetItemData(index, data);
    if (selected == index)
        SetItemIndex(selected);
    Send(LB_SETTOPINDEX, static_cast<WPARAM>(top));
}
