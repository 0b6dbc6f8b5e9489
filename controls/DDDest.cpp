#include "controls/DDDest.h"
#include "framework/Exception.h"
#include "framework/Form.h"
#include "framework/Guard.h"
#include "framework/SystemFunction.h"
#include "framework/Unique.h"
#include <shellapi.h>
#include <vector>

namespace {
// A window procedure cannot carry an object, so the receiver that replaced a window's procedure
// is found through a property of that window.
constexpr const char* kReceiverProp = "Ostrevane.DnDForm";

// The shell hands the drop's memory to the receiver: it must be released on every path, also
// when a handler fails half-way through the names.
struct DropHandleTraits {
    using Handle = HDROP;
    static Handle Empty() noexcept { return nullptr; }
    static bool Close(Handle handle) noexcept {
        DragFinish(handle);
        return true;
    }
};
using DropHandle = Unique<DropHandleTraits>;

constexpr UINT kQueryCount = 0xFFFFFFFF;

// The message the shell copies a drop's data with, before WM_DROPFILES.
constexpr UINT kCopyGlobalData = 0x0049;

// Registers the window as a drop target or withdraws it. Run as administrator, the window
// would never hear of a drop: Windows filters the messages of a drag from Explorer, which runs
// with less privilege, unless the window lets them through.
void AcceptDrops(HWND window, bool accept) {
    DragAcceptFiles(window, accept);
    // Looked up at run time: Windows 7 and later.
    static const auto changeFilter = SystemFunction<decltype(&ChangeWindowMessageFilterEx)>(
        "user32.dll", "ChangeWindowMessageFilterEx");
    if (!changeFilter)
        return;
    for (const UINT message : {UINT{WM_DROPFILES}, UINT{WM_COPYDATA}, kCopyGlobalData})
        changeFilter(window, message, accept ? MSGFLT_ALLOW : MSGFLT_RESET, nullptr);
}

// The whole name: a name cut to a fixed buffer can be the name of a different file that exists,
// which would then be destroyed in its place.
// The length is asked for first; the buffer still grows while a copy fills it completely, in
// case the length counted characters where the copy counts bytes.
std::string DroppedName(HDROP drop, UINT index) {
    constexpr UINT kLongestName = 1u << 17; // beyond any path the system can hold
    UINT size = DragQueryFileA(drop, index, nullptr, 0) + 1;
    for (;;) {
        std::vector<char> buffer(size, '\0');
        const UINT copied = DragQueryFileA(drop, index, buffer.data(), size);
        if (copied + 1 < size || size >= kLongestName)
            return std::string(buffer.data());
        size *= 2;
    }
}
} // namespace

TDnDForm::TDnDForm(TComponent* owner) : TCustomDnD(owner) {
    auto* form = dynamic_cast<TForm*>(owner);
    if (!form)
        throw EInvalidCast();
    FHandle = form->Handle();
}

TDnDForm::~TDnDForm() {
    // A window left accepting drops with nobody to release them would leak every drop.
    if (FHandle && FActive)
        AcceptDrops(FHandle, false);
    RestoreWindowProc();
}

void TDnDForm::Loaded() {
    TCustomDnD::Loaded();
    if (FHandle && !FOldWndProc) {
        SetPropA(FHandle, kReceiverProp, this);
        FOldWndProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
            FHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TDnDForm::DropWindowProc)));
    }
    if (FHandle)
        AcceptDrops(FHandle, FActive);
}

void TDnDForm::SetActive(bool value) {
    if (value == FActive)
        return;
    FActive = value;
    if (FHandle)
        AcceptDrops(FHandle, FActive);
}

void TDnDForm::RestoreWindowProc() noexcept {
    if (!FHandle || !FOldWndProc)
        return;
    if (GetPropA(FHandle, kReceiverProp) == this) {
        SetWindowLongPtrA(FHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FOldWndProc));
        RemovePropA(FHandle, kReceiverProp);
    }
    FOldWndProc = nullptr;
}

LRESULT CALLBACK TDnDForm::DropWindowProc(HWND window, UINT message, WPARAM wParam,
                                          LPARAM lParam) noexcept {
    auto* self = static_cast<TDnDForm*>(GetPropA(window, kReceiverProp));
    if (!self)
        return DefWindowProcA(window, message, wParam, lParam);
    return Guarded(LRESULT{0}, [&] { return self->WindowProc(message, wParam, lParam); });
}

LRESULT TDnDForm::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = FHandle;
    const WNDPROC previous = FOldWndProc;
    switch (message) {
    case WM_DROPFILES:
        FilesDropped(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_DESTROY:
        SetActive(false);
        break;
    case WM_NCDESTROY:
        // The property must go before the window does, and nothing is left to restore later.
        RestoreWindowProc();
        FHandle = nullptr;
        break;
    default:
        break;
    }
    return CallWindowProcA(previous, window, message, wParam, lParam);
}

void TDnDForm::FilesDropped(HDROP drop) {
    DropHandle owned(drop);
    POINT point{};
    DragQueryPoint(drop, &point);
    const UINT count = DragQueryFileA(drop, kQueryCount, nullptr, 0);
    if (FOnDnDStart)
        FOnDnDStart(this, static_cast<int>(count), point.x, point.y);
    if (FOnDnDItem) {
        const auto deliver = [&] {
            for (UINT index = 0; index < count; ++index)
                FOnDnDItem(this, DroppedName(drop, index));
        };
        if (FOnDnDItems)
            FOnDnDItems(this, deliver);
        else
            deliver();
    }
    owned.Reset();
    if (FOnDnDFinish)
        FOnDnDFinish(this);
}
