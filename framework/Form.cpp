#include "framework/Form.h"
#include "framework/Monitors.h"
#include "framework/Dpi.h"
#include "framework/Exception.h"
#include "framework/Guard.h"
#include "framework/KeyboardLink.h"
#include "framework/Panel.h"
#include <algorithm>
#include <climits>
#include <cstddef>
#include <utility>

namespace {
constexpr const char* kFormClass = "OstrevaneForm";
// Control ids stay clear of IDOK and IDCANCEL, which the dialog keys send.
constexpr int kFirstControlId = 100;
constexpr UINT kFirstMenuId = 1000;
// The window classes of forms, by name: most share one, a form may have its own.
std::vector<std::pair<std::string, ATOM>> gFormClasses;

ATOM FormClassAtom(const std::string& name) {
    for (const auto& [registered, atom] : gFormClasses)
        if (registered == name)
            return atom;
    return 0;
}

TSize ClientSizeOf(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return {client.right - client.left, client.bottom - client.top};
}

// Every other enabled, visible top-level window of this thread, disabled for a modal showing
// and enabled again however the showing ends.
class TDisabledWindows {
public:
    explicit TDisabledWindows(HWND modal) : FModal(modal) {
        EnumThreadWindows(GetCurrentThreadId(), Collect, reinterpret_cast<LPARAM>(this));
        for (HWND window : FWindows)
            EnableWindow(window, FALSE);
    }
    TDisabledWindows(const TDisabledWindows&) = delete;
    TDisabledWindows& operator=(const TDisabledWindows&) = delete;
    ~TDisabledWindows() { Restore(); }

    void Restore() noexcept {
        for (HWND window : FWindows)
            EnableWindow(window, TRUE);
        FWindows.clear();
    }

private:
    static BOOL CALLBACK Collect(HWND window, LPARAM self) noexcept {
        return Guarded(TRUE, [&] {
            auto& me = *reinterpret_cast<TDisabledWindows*>(self);
            if (window != me.FModal && IsWindowVisible(window) && IsWindowEnabled(window))
                me.FWindows.push_back(window);
            return TRUE;
        });
    }

    HWND FModal;
    std::vector<HWND> FWindows;
};
} // namespace

TForm::TForm(const TFormLayout& layout)
    : FLayout(layout), FResources(layout.Form.Font, kDesignDpi) {}

TForm::~TForm() {
    DestroyHandle();
}

bool TForm::IsFormWindow(HWND window) noexcept {
    const auto atom = static_cast<ATOM>(GetClassLongPtrA(window, GCW_ATOM));
    return std::any_of(gFormClasses.begin(), gFormClasses.end(),
                       [&](const auto& formClass) { return formClass.second == atom; });
}

HWND TForm::Handle() {
    if (!FHandle)
        CreateHandle();
    return FHandle;
}

void TForm::CreateHandle() {
    HINSTANCE instance = Application().Instance();
    const TFormRow& row = FLayout.Form;
    const char* className = row.ClassName ? row.ClassName : kFormClass;
    if (gFormClasses.empty()) {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        RegisterPanelClass(instance);
    }
    if (!FormClassAtom(className)) {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
        windowClass.lpfnWndProc = FormProc;
        windowClass.hInstance = instance;
        windowClass.hIcon = LoadIconA(instance, kProgramIcon);
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.lpszClassName = className;
        const ATOM atom = RegisterClassExA(&windowClass);
        if (!atom)
            throw Exception("Error creating window class");
        gFormClasses.emplace_back(className, atom);
    }

    DWORD style = WS_CLIPCHILDREN;
    DWORD exStyle = WS_EX_CONTROLPARENT;
    if (row.Border == TBorderStyle::bsDialog) {
        style |= WS_CAPTION | WS_SYSMENU;
        exStyle |= WS_EX_DLGMODALFRAME;
    } else {
        style |= WS_OVERLAPPEDWINDOW;
        if (!(row.BorderIcons & biMinimize))
            style &= ~static_cast<DWORD>(WS_MINIMIZEBOX);
        if (!(row.BorderIcons & biMaximize))
            style &= ~static_cast<DWORD>(WS_MAXIMIZEBOX);
    }
    HMENU menu = FLayout.Menu.empty() ? nullptr : BuildMenu(FLayout.Menu, true);
    // An outer size is the design's at 96 DPI, frame and menu bar included: only the client
    // area inside it scales, the frame and the menu bar are the system's.
    FDesignClient = {row.ClientWidth, row.ClientHeight};
    if (row.ClientWidth <= 0 || row.ClientHeight <= 0) {
        const TSize frame = OuterSize({}, style, exStyle, menu != nullptr, kDesignDpi);
        FDesignClient = {row.Width - frame.Width, row.Height - frame.Height};
    }
    // Forms other than the main one are owned by it: they stay above it and have no task bar
    // button of their own.
    TForm* mainForm = Application().MainForm();
    HWND owner = mainForm && mainForm != this ? mainForm->Handle() : nullptr;
    // Until the window exists its DPI is a guess: its owner's, or the screen's.
    const int guess = owner ? WindowDpi(owner) : ScreenDpi();
    const TSize outer =
        OuterSize(Scaled(FDesignClient, guess), style, exStyle, menu != nullptr, guess);
    const POINT place = Placement(outer);
    HWND window = CreateWindowExA(exStyle, className, row.Caption, style, place.x, place.y,
                                  outer.Width, outer.Height, owner, menu, instance, this);
    if (!window) {
        if (menu)
            DestroyMenu(menu);
        throw Exception("Error creating window");
    }
    FResources = TScaledResources(FLayout.Form.Font, WindowDpi(window));
    FitClient();
    KeepInWorkArea(SystemMonitors());
}

// A small screen at a large scale (1,024 x 768 at 192 DPI) would leave part of the window, and
// the buttons at its right, out of reach: the window moves in and, where it is larger than the
// work area, is made smaller, its anchors keeping the buttons in view.
void TForm::KeepInWorkArea(TMonitors& monitors) {
    RECT outer{};
    GetWindowRect(FHandle, &outer);
    const RECT work = monitors.OfRect(outer).Work;
    const int width = std::min<int>(outer.right - outer.left, work.right - work.left);
    const int height = std::min<int>(outer.bottom - outer.top, work.bottom - work.top);
    const int left = std::clamp<int>(outer.left, work.left, work.right - width);
    const int top = std::clamp<int>(outer.top, work.top, work.bottom - height);
    if (left != outer.left || top != outer.top || width != outer.right - outer.left ||
        height != outer.bottom - outer.top)
        SetWindowPos(FHandle, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

POINT TForm::Placement(TSize outer) const {
    const TFormRow& row = FLayout.Form;
    if (row.Position == TPosition::poScreenCenter)
        return {(GetSystemMetrics(SM_CXSCREEN) - outer.Width) / 2,
                (GetSystemMetrics(SM_CYSCREEN) - outer.Height) / 2};
    return {row.Left, row.Top};
}

// The client area gets the design's size at the window's DPI, whatever the frame and the menu
// bar really take: a menu bar that wraps is taller than the metrics say.
void TForm::FitClient() {
    const TSize wanted = DesignClientSize();
    const TSize client = ClientSize();
    if (client == wanted)
        return;
    RECT outer{};
    GetWindowRect(FHandle, &outer);
    const TSize size{outer.right - outer.left + wanted.Width - client.Width,
                     outer.bottom - outer.top + wanted.Height - client.Height};
    const POINT place = Placement(size);
    SetWindowPos(FHandle, nullptr, place.x, place.y, size.Width, size.Height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

HMENU TForm::BuildMenu(const std::vector<TMenuRow>& rows, bool bar) {
    HMENU menu = bar ? CreateMenu() : CreatePopupMenu();
    for (const TMenuRow& row : rows) {
        if (!row.Items.empty()) {
            AppendMenuA(menu, MF_STRING | MF_POPUP,
                        reinterpret_cast<UINT_PTR>(BuildMenu(row.Items, false)), row.Caption);
        } else {
            const UINT command = kFirstMenuId + static_cast<UINT>(FMenuRows.size());
            FMenuRows.push_back(&row);
            FMenuItems.push_back(std::make_unique<TMenuItem>(row.Name, command));
            AppendMenuA(menu, MF_STRING, command, row.Caption);
        }
    }
    return menu;
}

void TForm::Load() {
    Handle();
    CreateControls(FHandle, nullptr);
    Realign();
    LoadComponents();
    Loaded();
}

void TForm::CreateControls(HWND parent, const TControlRow* parentRow) {
    const TControl* parentControl = parentRow ? &parentRow->Field(*this) : nullptr;
    // A panel has no frame: its client area is its whole rectangle.
    const TSize parentDesign =
        parentRow ? TSize{parentRow->Bounds.Width, parentRow->Bounds.Height} : FDesignClient;
    std::vector<std::size_t> rows;
    for (std::size_t i = 0; i < FLayout.Controls.size(); ++i) {
        const TFieldRef& rowParent = FLayout.Controls[i].Parent;
        if ((rowParent ? &rowParent(*this) : nullptr) == parentControl)
            rows.push_back(i);
    }
    // Creation order is tab order: the dialog keys walk the children in Z-order.
    const auto tabKey = [this](std::size_t i) {
        const int order = FLayout.Controls[i].TabOrder;
        return order < 0 ? INT_MAX : order;
    };
    std::stable_sort(rows.begin(), rows.end(),
                     [&](std::size_t a, std::size_t b) { return tabKey(a) < tabKey(b); });
    for (std::size_t i : rows)
        CreateControl(FLayout.Controls[i], parent, parentDesign,
                      kFirstControlId + static_cast<int>(i));
    for (std::size_t i : rows) {
        const TControlRow& row = FLayout.Controls[i];
        if (row.Field.Kind() == TControlKind::Panel)
            CreateControls(row.Field(*this).Handle(), &row);
    }
}

void TForm::CreateControl(const TControlRow& row, HWND parent, TSize parentDesign, int id) {
    TControl& control = row.Field(*this);
    const TControlOptions options = row.Options;
    DWORD style = WS_CHILD | control.ExtraStyle();
    DWORD exStyle = 0;
    const char* windowClass = "STATIC";
    const char* caption = row.Caption;
    if (!(options & coHidden))
        style |= WS_VISIBLE;
    if (options & coDisabled)
        style |= WS_DISABLED;
    switch (row.Field.Kind()) {
    case TControlKind::Label:
        style |= (options & coRightAlign) ? SS_RIGHT
                 : (options & coWordWrap) ? SS_LEFT
                                          : SS_LEFTNOWORDWRAP;
        // A right-aligned static wraps like SS_LEFT: kept on one line, a text slightly wider
        // than its label (a wider substitute font) loses a few pixels, not its last word.
        if ((options & coRightAlign) && !(options & coWordWrap))
            style |= SS_CENTERIMAGE;
        // Without SS_NOTIFY a static is transparent to the mouse: no click, no cursor of its own.
        if (row.OnClick || (options & coHandPoint))
            style |= SS_NOTIFY;
        if (IsLink(row) && row.TabOrder >= 0)
            style |= WS_TABSTOP;
        break;
    case TControlKind::Button:
        windowClass = "BUTTON";
        style |= WS_TABSTOP | ((options & coDefault) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        break;
    case TControlKind::Edit:
        windowClass = "EDIT";
        // Text of many lines wraps instead of scrolling sideways.
        style |= WS_TABSTOP | ((control.ExtraStyle() & ES_MULTILINE) ? 0 : ES_AUTOHSCROLL) |
                 ((options & coReadOnly) ? ES_READONLY : 0);
        exStyle |= WS_EX_CLIENTEDGE;
        break;
    case TControlKind::ListBox:
        windowClass = "LISTBOX";
        style |= WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                 ((options & coHScroll) ? WS_HSCROLL : 0);
        exStyle |= WS_EX_CLIENTEDGE;
        break;
    case TControlKind::ProgressBar:
        windowClass = PROGRESS_CLASSA;
        break;
    case TControlKind::Panel:
        windowClass = kPanelClass;
        style |= WS_CLIPSIBLINGS;
        // Lets the dialog keys tab into the panel's own controls.
        exStyle |= WS_EX_CONTROLPARENT;
        break;
    case TControlKind::Image:
        style |= SS_ICON | SS_REALSIZECONTROL | (row.OnClick ? SS_NOTIFY : 0);
        caption = "";
        break;
    }
    const TRect b = Scaled(row.Bounds, FResources.Dpi());
    HWND window = CreateWindowExA(
        exStyle, windowClass, caption, style, b.Left, b.Top, b.Width, b.Height, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Application().Instance(), nullptr);
    if (!window)
        throw Exception("Error creating window");
    SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    control.FHandle = window;
    if (IsLink(row) && row.TabOrder >= 0)
        MakeKeyboardLink(window);
    FSlots.push_back({&row, &control, parent, parentDesign, id});

    ScaleControl(row, control, FResources, false);
    const TColor fontColor = row.Font.Color != clDefault ? row.Font.Color : FLayout.Form.Font.Color;
    control.SetFontColor(fontColor);
    control.SetColor(row.Color);
    if (options & coDefault)
        FDefaultId = id;
    if (options & coCancel)
        FCancelId = id;

    if (row.Field.Kind() == TControlKind::ProgressBar) {
        static_cast<TProgressBar&>(control).SetRange(row.Min, row.Max);
        static_cast<TProgressBar&>(control).SetPosition(row.Min);
    }
}

// What the old scale made goes once no control holds it any more.
void TForm::ScaleTo(int dpi) {
    const int old = FResources.Dpi();
    TScaledResources scaled(FLayout.Form.Font, dpi);
    for (const TSlot& slot : FSlots) {
        ScaleControl(*slot.Row, *slot.Control, scaled, true);
        slot.Control->ScaleChanged(old, dpi);
    }
    FResources = std::move(scaled);
}

// Another monitor, another DPI: the window takes the rectangle the system suggests, the
// controls their places, fonts and icons at the new DPI.
void TForm::OnDpiChanged(int dpi, const RECT& suggested) {
    ScaleTo(dpi);
    SetWindowPos(FHandle, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    // Also when the rectangle stays the same and no WM_SIZE comes.
    Realign();
}

HBRUSH TForm::Brush(TColor color) {
    const COLORREF rgb = ColorToRGB(color);
    auto found = FBrushes.find(rgb);
    if (found == FBrushes.end()) {
        HBRUSH brush = CreateSolidBrush(rgb);
        if (!brush)
            throw Exception("Error creating brush");
        found = FBrushes.emplace(rgb, GdiObject(brush)).first;
    }
    return static_cast<HBRUSH>(found->second.Get());
}

void TForm::Realign() {
    if (!FHandle)
        return;
    const TSize client = ClientSize();
    // Slots are in creation order, so a panel has moved before its own controls are placed.
    for (const TSlot& slot : FSlots) {
        const TSize parentSize = slot.Parent == FHandle ? client : ClientSizeOf(slot.Parent);
        const int dpi = FResources.Dpi();
        const TRect wanted = WidenedToText(
            *slot.Row, *slot.Control,
            AnchoredBounds(Scaled(slot.Row->Bounds, dpi), Scaled(slot.ParentDesign, dpi),
                           parentSize, slot.Row->Anchors, slot.Row->Align));
        if (wanted != slot.Control->Bounds())
            slot.Control->SetBounds(wanted.Left, wanted.Top, wanted.Width, wanted.Height);
    }
}

const TForm::TSlot* TForm::FindSlot(HWND control) const {
    for (const TSlot& slot : FSlots)
        if (slot.Control->Handle() == control)
            return &slot;
    return nullptr;
}

TControl* TForm::FindControl(const std::string& name) {
    for (const TSlot& slot : FSlots)
        if (name == slot.Row->Name)
            return slot.Control;
    return nullptr;
}

void TForm::DestroyHandle() noexcept {
    if (!FHandle)
        return;
    for (const TSlot& slot : FSlots)
        ForgetControlColors(slot.Control->Handle());
    DestroyWindow(FHandle);
    FHandle = nullptr;
}

void TForm::Show() {
    HWND window = Handle();
    ShowWindow(window, SW_SHOW);
    HWND focus = GetFocus();
    if (focus != window && !IsChild(window, focus))
        FocusFirst();
    UpdateWindow(window);
}

void TForm::Hide() {
    if (FHandle)
        ShowWindow(FHandle, SW_HIDE);
}

void TForm::Close() {
    if (FModal) {
        if (FModalResult == mrNone)
            FModalResult = mrCancel;
        return;
    }
    if (Application().MainForm() == this)
        Application().Terminate();
    Hide();
}

int TForm::ShowModal() {
    if (FModal || Visible())
        throw Exception("Cannot make a visible window modal");
    HWND window = Handle();
    HWND previous = GetActiveWindow();
    TDisabledWindows disabled(window);
    FModal = true;
    FModalResult = mrNone;
    Show();
    while (FModalResult == mrNone) {
        MSG msg;
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            // WM_QUIT belongs to the outer loop: leave, and give it back.
            PostQuitMessage(static_cast<int>(msg.wParam));
            FModalResult = mrCancel;
        } else if (got == -1) {
            FModalResult = mrCancel;
        } else {
            Application().HandleMessage(msg);
            if (Application().Terminated() && FModalResult == mrNone)
                FModalResult = mrCancel;
        }
    }
    // Owner first, then hide: hiding while the owner is still disabled hands the activation to
    // some other program's window.
    disabled.Restore();
    Hide();
    if (previous && IsWindow(previous))
        SetActiveWindow(previous);
    FModal = false;
    return FModalResult;
}

std::string TForm::Caption() const {
    if (!FHandle)
        return FLayout.Form.Caption;
    char text[512] = {};
    GetWindowTextA(FHandle, text, static_cast<int>(sizeof text));
    return text;
}

void TForm::SetCaption(const std::string& caption) {
    SetWindowTextA(Handle(), caption.c_str());
}

TSize TForm::ClientSize() const {
    return FHandle ? ClientSizeOf(FHandle) : TSize{};
}

void TForm::FocusFirst() {
    for (const TSlot& slot : FSlots) {
        HWND control = slot.Control->Handle();
        if ((GetWindowLongA(control, GWL_STYLE) & WS_TABSTOP) && IsWindowVisible(control) &&
            IsWindowEnabled(control)) {
            ::SetFocus(control);
            return;
        }
    }
    ::SetFocus(FHandle);
}

LRESULT CALLBACK TForm::FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<TForm*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
        form->FHandle = window;
    }
    // Null before WM_NCCREATE (WM_GETMINMAXINFO comes first) and after WM_NCDESTROY.
    auto* form = reinterpret_cast<TForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!form)
        return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        form->FHandle = nullptr;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return Guarded(LRESULT{0}, [&] { return form->WndProc(message, wParam, lParam); });
}

LRESULT TForm::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        return OnCommand(wParam, lParam);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
        return OnControlColor(message, reinterpret_cast<HDC>(wParam),
                              reinterpret_cast<HWND>(lParam));
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(FHandle, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client,
                 Brush(ShownColor(FLayout.Form.Color, TColorPart::Background)));
        return 1;
    }
    case WM_SYSCOLORCHANGE:
        OnColorsChanged();
        return 0;
    case WM_SETTINGCHANGE: {
        const bool before = HighContrast();
        ReadHighContrast();
        if (wParam == SPI_SETHIGHCONTRAST || HighContrast() != before)
            OnColorsChanged();
        break;
    }
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            Realign();
        return 0;
    case WM_DPICHANGED:
        if (lParam)
            OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_CLOSE:
        Close();
        return 0;
    case WM_SHOWWINDOW:
        if (wParam && lParam == 0 && FLayout.Form.OnShow)
            FLayout.Form.OnShow(*this, this);
        break;
    case DM_GETDEFID:
        return FDefaultId ? MAKELRESULT(FDefaultId, DC_HASDEFID) : 0;
    case WM_NEXTDLGCTL: {
        // A text of many lines takes Tab itself and asks its parent, as a dialog, to move on.
        HWND next = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                   : GetNextDlgTabItem(FHandle, GetFocus(), wParam != 0);
        if (next)
            ::SetFocus(next);
        return 0;
    }
    case WM_SETCURSOR:
        if (OnSetCursor(reinterpret_cast<HWND>(wParam)))
            return TRUE;
        break;
    case WM_ACTIVATE:
        // Like a dialog, the form gives the focus back to the control that had it.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(FHandle, focus))
                FLastFocus = focus;
        } else if (!HIWORD(wParam)) {
            if (FLastFocus && IsWindow(FLastFocus) && IsChild(FHandle, FLastFocus) &&
                IsWindowEnabled(FLastFocus))
                ::SetFocus(FLastFocus);
            else
                FocusFirst();
        }
        return 0;
    default:
        break;
    }
    return DefWindowProcA(FHandle, message, wParam, lParam);
}

LRESULT TForm::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (lParam == 0 && code == 0 && id >= static_cast<int>(kFirstMenuId) &&
        id < static_cast<int>(kFirstMenuId + FMenuRows.size())) {
        const std::size_t index = static_cast<std::size_t>(id) - kFirstMenuId;
        if (FMenuRows[index]->OnClick)
            FMenuRows[index]->OnClick(*this, FMenuItems[index].get());
        return 0;
    }
    // Escape sends IDCANCEL and, with no default button, Enter sends IDOK: each acts only
    // through a button that has that role.
    int target = id;
    if (id == IDCANCEL)
        target = FCancelId;
    else if (id == IDOK)
        target = FDefaultId;
    if (code != BN_CLICKED || target == 0)
        return 0;
    for (const TSlot& slot : FSlots) {
        if (slot.Id == target) {
            if (slot.Row->OnClick && IsWindowEnabled(slot.Control->Handle()))
                slot.Row->OnClick(*this, slot.Control);
            break;
        }
    }
    return 0;
}

LRESULT TForm::OnControlColor(UINT message, HDC dc, HWND control) {
    const LRESULT standard = DefWindowProcA(FHandle, message, reinterpret_cast<WPARAM>(dc),
                                            reinterpret_cast<LPARAM>(control));
    const TSlot* slot = FindSlot(control);
    if (!slot)
        return standard;
    TColor back = slot->Control->Color();
    const TControlKind kind = slot->Row->Field.Kind();
    // Labels, panels and images show their parent's background unless given their own.
    if (back == clDefault &&
        (kind == TControlKind::Label || kind == TControlKind::Panel || kind == TControlKind::Image))
        back = FLayout.Form.Color;
    const TColorPart textPart = IsLink(*slot->Row)  ? TColorPart::Link
                                : back == clBtnFace ? TColorPart::TextOnButtonFace
                                                    : TColorPart::Text;
    const TColor fontColor = ShownColor(slot->Control->FontColor(), textPart);
    if (fontColor != clDefault)
        SetTextColor(dc, ColorToRGB(fontColor));
    back = ShownColor(back, TColorPart::Background);
    if (back == clDefault)
        return standard;
    SetBkColor(dc, ColorToRGB(back));
    SetBkMode(dc, (slot->Row->Options & coTransparent) ? TRANSPARENT : OPAQUE);
    return reinterpret_cast<LRESULT>(Brush(back));
}

// The user's scheme or high-contrast setting changed: every colour is chosen again.
void TForm::OnColorsChanged() {
    ReadHighContrast();
    for (const TSlot& slot : FSlots) {
        // The common controls keep system colours of their own and learn of a change only so.
        if (slot.Row->Field.Kind() == TControlKind::ProgressBar)
            SendMessageA(slot.Control->Handle(), WM_SYSCOLORCHANGE, 0, 0);
        slot.Control->ColorsChanged();
    }
    RedrawWindow(FHandle, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

bool TForm::OnSetCursor(HWND control) {
    const TSlot* slot = FindSlot(control);
    if (!slot || !(slot->Row->Options & coHandPoint))
        return false;
    SetCursor(LoadCursorA(nullptr, IDC_HAND));
    return true;
}
