#pragma once
// The drop receiver: a non-visual component on a form that takes over the form's window
// procedure and turns the shell's dropped-files message into three notifications: the start
// (count and drop point), one per dropped name, and the finish.
#include "framework/Component.h"
#include <windows.h>
#include <functional>
#include <string>

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TDnDStartEvent = std::function<void(TObject* Sender, int Count, int X, int Y)>;
using TDnDItemEvent = std::function<void(TObject* Sender, const std::string& Item)>;
// Runs around the per-name notifications of one drop and must call `deliver` once: a receiver
// that fills a list can then prepare for all of the drop's names together.
using TDnDItemsEvent = std::function<void(TObject* Sender, const std::function<void()>& deliver)>;

// The state a drop receiver needs, without behaviour.
class TCustomDnD : public TComponent {
public:
    explicit TCustomDnD(TComponent* owner) : TComponent(owner) {}

protected:
    HWND FHandle = nullptr;
    bool FActive = false;
    TDnDStartEvent FOnDnDStart;
    TDnDItemEvent FOnDnDItem;
    TNotifyEvent FOnDnDFinish;
};

class TDnDForm : public TCustomDnD {
public:
    // The owner must be a form (EInvalidCast otherwise); its window is created if need be.
    explicit TDnDForm(TComponent* owner);
    ~TDnDForm() override;

    // Puts the replacement window procedure in place and registers the window as a drop
    // target when Active.
    void Loaded() override;

    bool Active() const noexcept { return FActive; }
    void SetActive(bool value);

    const TDnDStartEvent& OnDnDStart() const noexcept { return FOnDnDStart; }
    void SetOnDnDStart(TDnDStartEvent handler) { FOnDnDStart = std::move(handler); }
    const TDnDItemEvent& OnDnDItem() const noexcept { return FOnDnDItem; }
    void SetOnDnDItem(TDnDItemEvent handler) { FOnDnDItem = std::move(handler); }
    const TNotifyEvent& OnDnDFinish() const noexcept { return FOnDnDFinish; }
    void SetOnDnDFinish(TNotifyEvent handler) { FOnDnDFinish = std::move(handler); }
    const TDnDItemsEvent& OnDnDItems() const noexcept { return FOnDnDItems; }
    void SetOnDnDItems(TDnDItemsEvent handler) { FOnDnDItems = std::move(handler); }

private:
    static LRESULT CALLBACK DropWindowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) noexcept;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    void FilesDropped(HDROP drop);
    void RestoreWindowProc() noexcept;

    WNDPROC FOldWndProc = nullptr;
    TDnDItemsEvent FOnDnDItems;
};
