#pragma once
// A window built from a layout table. A form class derives from TForm, declares its controls as
// named wrapper fields and its handlers as member functions, and passes its table to TForm.
#include "framework/Application.h"
#include "framework/Component.h"
#include "framework/Controls.h"
#include "framework/FormScaling.h"
#include "framework/GdiObject.h"
#include "framework/Layout.h"
#include "framework/Monitors.h"
#include <windows.h>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

// The Sender of a menu handler.
class TMenuItem : public TObject {
public:
    TMenuItem(std::string name, UINT command) : FName(std::move(name)), FCommand(command) {}
    const std::string& Name() const noexcept { return FName; }
    UINT Command() const noexcept { return FCommand; }

private:
    std::string FName;
    UINT FCommand;
};

constexpr int mrNone = 0;
constexpr int mrOk = IDOK;
constexpr int mrCancel = IDCANCEL;

class TForm : public TComponent {
public:
    // The layout must outlive the form (a static table).
    explicit TForm(const TFormLayout& layout);
    ~TForm() override;

    // The form's window, created (hidden, without its controls) if it does not exist yet.
    HWND Handle();
    bool HandleAllocated() const noexcept { return FHandle != nullptr; }

    void Show();
    void Hide();
    bool Visible() const { return FHandle && IsWindowVisible(FHandle); }
    // The window if it exists, without creating it.
    HWND WindowHandle() const noexcept { return FHandle; }
    // Hides the form; closing the main form ends Application().Run(), closing a modal one ends
    // its ShowModal.
    void Close();
    // Shows the form with every other window of the program disabled until it is closed.
    int ShowModal();
    int ModalResult() const noexcept { return FModalResult; }
    void SetModalResult(int result) noexcept { FModalResult = result; }

    std::string Caption() const;
    void SetCaption(const std::string& caption);
    TSize ClientSize() const;
    // The DPI the form's fonts and controls are scaled for.
    int Dpi() const noexcept { return FResources.Dpi(); }
    // The client size as designed, at the window's DPI: anchors are kept relative to it.
    TSize DesignClientSize() const noexcept { return Scaled(FDesignClient, FResources.Dpi()); }
    TControl* FindControl(const std::string& name);

    // Whether a window is a form of this program (the message loops give forms dialog keys).
    static bool IsFormWindow(HWND window) noexcept;

protected:
    // Each message of the form's window; override to handle more, calling this for the rest.
    virtual LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);
    // A message taken from the queue while this form is active, before the dialog keys see
    // it; true when the form has dealt with it, and it goes no further.
    virtual bool PreviewMessage(const MSG&) { return false; }
    // Scales the fonts and controls for another DPI, as a move to a monitor of that DPI does,
    // where the system has not done so (yet): the window keeps its place and size.
    void ScaleTo(int dpi);
    // Moves the window into its monitor's work area (as `monitors` tell it), and makes it no
    // larger than that.
    void KeepInWorkArea(TMonitors& monitors);

private:
    friend class TApplication;
    struct TSlot;

    static LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam,
                                     LPARAM lParam) noexcept;
    void CreateHandle();
    void Load();
    void DestroyHandle() noexcept;
    HMENU BuildMenu(const std::vector<TMenuRow>& rows, bool bar);
    POINT Placement(TSize outer) const;
    void FitClient();
    void CreateControls(HWND parent, const TControlRow* parentRow);
    void CreateControl(const TControlRow& row, HWND parent, TSize parentDesign, int id);
    void OnDpiChanged(int dpi, const RECT& suggested);
    void OnColorsChanged();
    HBRUSH Brush(TColor color);
    void Realign();
    LRESULT OnCommand(WPARAM wParam, LPARAM lParam);
    LRESULT OnControlColor(UINT message, HDC dc, HWND control);
    bool OnSetCursor(HWND control);
    void FocusFirst();
    const TSlot* FindSlot(HWND control) const;

    const TFormLayout& FLayout;
    HWND FHandle = nullptr;
    TSize FDesignClient; // at 96 DPI
    TScaledResources FResources;
    std::vector<TSlot> FSlots;
    std::vector<std::unique_ptr<TMenuItem>> FMenuItems;
    std::vector<const TMenuRow*> FMenuRows;
    std::map<COLORREF, GdiObject> FBrushes;
    int FDefaultId = 0;
    int FCancelId = 0;
    HWND FLastFocus = nullptr;
    bool FModal = false;
    int FModalResult = mrNone;
};

struct TForm::TSlot {
    const TControlRow* Row;
    TControl* Control;
    HWND Parent;
    TSize ParentDesign; // the parent's client size as designed, at 96 DPI
    int Id;
};

template <class T> T& TApplication::CreateForm() {
    static_assert(std::is_base_of_v<TForm, T>, "a form derives from TForm");
    auto form = std::make_unique<T>();
    try {
        form->Load();
    } catch (...) {
        // The windows go while the derived form's control members still exist.
        form->DestroyHandle();
        throw;
    }
    T& result = *form;
    AddForm(std::move(form));
    return result;
}
