#include "framework/Controls.h"
#include "framework/Exception.h"
#include <algorithm>
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
    const int top = TopIndex();
    const LPARAM data = ItemData(index);
    // A list box cannot change a line's text in place. The new line goes in first, so a
    // list that refuses it keeps the old one, and the later lines keep their places.
    Insert(index, text);
    Delete(index + 1);
    SetItemData(index, data);
    if (selected == index)
        SetItemIndex(selected);
    SetTopIndex(top);
}

void TListBox::Replace(const std::map<int, std::string>& lines) {
    if (lines.empty())
        return;
    // Every line put in or taken out before the end moves all the lines after it. So the
    // lines from the first replaced one on are taken out from the end and put back at the
    // end, none moving another. A list cut down to one page scrolls back to its top: lines
    // within the first page and one are replaced one at a time instead.
    const int count = Count();
    const int first = std::max(lines.begin()->first, VisibleCount() + 1);
    auto line = lines.begin();
    for (; line != lines.end() && line->first < first; ++line)
        Replace(line->first, line->second);
    if (line == lines.end() || first >= count)
        return;
    const int selected = ItemIndex();
    const int top = TopIndex();
    struct Line {
        std::string text;
        LPARAM data;
    };
    std::vector<Line> tail;
    tail.reserve(static_cast<std::size_t>(count - first));
    for (int i = first; i < count; ++i) {
        const bool replaced = line != lines.end() && line->first == i;
        tail.push_back({replaced ? (line++)->second : Strings(i), ItemData(i)});
    }
    for (int i = count - 1; i >= first; --i)
        Delete(i);
    // Only a system out of memory refuses room just given back; the lines not put back by
    // then are gone from the list, and the failure says so.
    for (const Line& kept : tail)
        SetItemData(Add(kept.text), kept.data);
    if (selected >= first)
        SetItemIndex(selected);
    SetTopIndex(top);
}

int TListBox::VisibleCount() const {
    RECT client{};
    GetClientRect(Handle(), &client);
    const int height = std::max(ItemHeight(), 1);
    return (client.bottom - client.top + height - 1) / height;
}
