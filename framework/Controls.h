#pragma once
// Thin, non-owning control wrappers: a window handle and one-line methods named for the message
// they send. The form creates the windows from its layout and attaches them; the wrapper keeps
// nothing the control does not keep itself.
#include "framework/ColorChoice.h"
#include "framework/Component.h"
#include "framework/Anchors.h"
#include <windows.h>
#include <commctrl.h>
#include <cstddef>
#include <map>
#include <string>
#include <utility>

class TForm;

enum class TControlKind { Label, Button, Edit, ListBox, ProgressBar, Panel, Image };

class TControl : public TObject {
public:
    HWND Handle() const noexcept { return FHandle; }
    // Window styles a derived wrapper adds when the form creates its control.
    DWORD ExtraStyle() const noexcept { return FExtraStyle; }

    void SetBounds(int left, int top, int width, int height) {
        MoveWindow(FHandle, left, top, width, height, TRUE);
    }
    // Position in the parent's client area.
    TRect Bounds() const;
    bool Enabled() const { return IsWindowEnabled(FHandle) != 0; }
    void SetEnabled(bool enabled) { EnableWindow(FHandle, enabled); }
    bool Visible() const { return IsWindowVisible(FHandle) != 0; }
    void SetVisible(bool visible) { ShowWindow(FHandle, visible ? SW_SHOW : SW_HIDE); }
    std::string Text() const;
    void SetText(const std::string& text) { SendMessageA(FHandle, WM_SETTEXT, 0, Param(text)); }
    HFONT Font() const { return reinterpret_cast<HFONT>(SendMessageA(FHandle, WM_GETFONT, 0, 0)); }
    void SetFocus() { ::SetFocus(FHandle); }
    // Redraws now, not at the next idle moment: long runs on the UI thread show progress this way.
    void Repaint() {
        RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
    // Colours the form uses when the control asks for them (WM_CTLCOLOR...); clDefault leaves the
    // control's own.
    TColor FontColor() const;
    void SetFontColor(TColor color);
    TColor Color() const;
    void SetColor(TColor color);
    // The form's DPI changed: what the control keeps in pixels of the old scale is rescaled.
    // Position, size and font are the form's business.
    virtual void ScaleChanged(int /*fromDpi*/, int /*toDpi*/) {}
    // The user's colours or high-contrast setting changed: a control that keeps a colour of
    // its own (not asked for at each paint) takes it again.
    virtual void ColorsChanged() {}

protected:
    explicit TControl(DWORD extraStyle = 0) noexcept : FExtraStyle(extraStyle) {}
    static LPARAM Param(const std::string& text) noexcept {
        return reinterpret_cast<LPARAM>(text.c_str());
    }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return SendMessageA(FHandle, message, wParam, lParam);
    }

private:
    friend class TForm;
    HWND FHandle = nullptr;
    DWORD FExtraStyle;
};

class TLabel : public TControl {
public:
    static constexpr TControlKind kKind = TControlKind::Label;
};

class TButton : public TControl {
public:
    static constexpr TControlKind kKind = TControlKind::Button;
    void Click() { Send(BM_CLICK); }
};

class TEdit : public TControl {
public:
    static constexpr TControlKind kKind = TControlKind::Edit;
    TEdit() noexcept = default;
    void SetReadOnly(bool readOnly) { Send(EM_SETREADONLY, readOnly); }
    // The selected characters, from first to one past the last.
    std::pair<int, int> Selection() const {
        DWORD first = 0, end = 0;
        Send(EM_GETSEL, reinterpret_cast<WPARAM>(&first), reinterpret_cast<LPARAM>(&end));
        return {static_cast<int>(first), static_cast<int>(end)};
    }

protected:
    explicit TEdit(DWORD extraStyle) noexcept : TControl(extraStyle) {}
};

// Text of many lines, its words wrapped to the control's width, scrolled up and down.
class TMemo : public TEdit {
public:
    TMemo() noexcept : TEdit(ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL) {}
};

class TListBox : public TControl {
public:
    static constexpr TControlKind kKind = TControlKind::ListBox;
    TListBox() noexcept = default;

    int Count() const { return static_cast<int>(Send(LB_GETCOUNT)); }
    std::string Strings(int index) const;
    // Appends; a list box that refuses the line fails with "Unable to insert a line".
    int Add(const std::string& text);
    void Insert(int index, const std::string& text);
    void Delete(int index) { Send(LB_DELETESTRING, static_cast<WPARAM>(index)); }
    void Clear() { Send(LB_RESETCONTENT); }
    // -1 when nothing is selected.
    int ItemIndex() const { return static_cast<int>(Send(LB_GETCURSEL)); }
    void SetItemIndex(int index) { Send(LB_SETCURSEL, static_cast<WPARAM>(index)); }
    // Puts new text in a line; its data, the selection and the scroll position stay.
    void Replace(int index, const std::string& text);
    // The same for many lines at once, in time that grows with the lines from the first one
    // replaced to the end, not with that times the lines replaced.
    void Replace(const std::map<int, std::string>& lines);
    // The first line shown.
    int TopIndex() const { return static_cast<int>(Send(LB_GETTOPINDEX)); }
    void SetTopIndex(int index) { Send(LB_SETTOPINDEX, static_cast<WPARAM>(index)); }
    // How many lines the list has room to show, counting one cut off at the bottom.
    int VisibleCount() const;
    // The value kept with a line (0 for a line added without one).
    LPARAM ItemData(int index) const {
        return static_cast<LPARAM>(Send(LB_GETITEMDATA, static_cast<WPARAM>(index)));
    }
    void SetItemData(int index, LPARAM data) {
        Send(LB_SETITEMDATA, static_cast<WPARAM>(index), data);
    }
    int HorizontalExtent() const { return static_cast<int>(Send(LB_GETHORIZONTALEXTENT)); }
    void SetHorizontalExtent(int width) {
        Send(LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(width));
    }
    // Off while many lines go in, so that the list box does not repaint for each of them.
    void SetRedraw(bool redraw) { Send(WM_SETREDRAW, redraw); }
    // Room for `count` more lines of `bytes` characters in all, made ahead; only a hint.
    void InitStorage(int count, std::size_t bytes) {
        Send(LB_INITSTORAGE, static_cast<WPARAM>(count), static_cast<LPARAM>(bytes));
    }
    int ItemHeight() const { return static_cast<int>(Send(LB_GETITEMHEIGHT)); }
    void SetItemHeight(int height) { Send(LB_SETITEMHEIGHT, 0, MAKELPARAM(height, 0)); }

protected:
    // For derived list boxes that differ only in the window styles they are made with.
    explicit TListBox(DWORD extraStyle) noexcept : TControl(extraStyle) {}
};

// Drops the colours kept with a control window, before the window goes.
void ForgetControlColors(HWND window) noexcept;

// The result of LB_ADDSTRING / LB_INSERTSTRING, or the failure the user reads.
int CheckListInsert(LRESULT result);

class TProgressBar : public TControl {
public:
    static constexpr TControlKind kKind = TControlKind::ProgressBar;
    int Min() const { return static_cast<int>(Send(PBM_GETRANGE, TRUE)); }
    int Max() const { return static_cast<int>(Send(PBM_GETRANGE, FALSE)); }
    void SetRange(int min, int max) { Send(PBM_SETRANGE32, static_cast<WPARAM>(min), max); }
    int Position() const { return static_cast<int>(Send(PBM_GETPOS)); }
    void SetPosition(int position) { Send(PBM_SETPOS, static_cast<WPARAM>(position)); }
    // Kept as designed; the bar is given the colour shown for it (PBM_SETBKCOLOR).
    void SetBkColor(TColor color) {
        SetColor(color);
        ColorsChanged();
    }
    void ColorsChanged() override {
        const TColor shown = ShownColor(Color(), TColorPart::ProgressBarBackground);
        Send(PBM_SETBKCOLOR, 0,
             static_cast<LPARAM>(shown == clDefault ? CLR_DEFAULT : ColorToRGB(shown)));
    }
};

// A bevelled container (raised inner, lowered outer) painted in its parent's background.
class TPanel : public TControl {
public:
    static constexpr TControlKind kKind = TControlKind::Panel;
};

// Shows an icon stretched to the control's size.
class TImage : public TControl {
public:
    static constexpr TControlKind kKind = TControlKind::Image;
    void SetIcon(HICON icon) { Send(STM_SETICON, reinterpret_cast<WPARAM>(icon)); }
    HICON Icon() const { return reinterpret_cast<HICON>(Send(STM_GETICON)); }
};
