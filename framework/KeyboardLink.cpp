#include "framework/KeyboardLink.h"
#include "framework/GdiObject.h"
#include "framework/Guard.h"
#include <commctrl.h>
#include <string>
#include <vector>

namespace {

bool ClicksLink(WPARAM key) {
    return key == VK_RETURN || key == VK_SPACE;
}

std::string TextOf(HWND window) {
    std::vector<char> text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1);
    GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    return text.data();
}

// Around the text as drawn, kept inside the control.
void DrawFocus(HWND link, HDC dc) {
    const std::string text = TextOf(link);
    TSelectObject font(dc, reinterpret_cast<HFONT>(SendMessageA(link, WM_GETFONT, 0, 0)));
    RECT client{};
    GetClientRect(link, &client);
    RECT around = client;
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &around,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    IntersectRect(&around, &around, &client);
    DrawFocusRect(dc, &around);
}

LRESULT CALLBACK LinkProc(HWND link, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                          DWORD_PTR) noexcept {
    return Guarded(LRESULT{0}, [&]() -> LRESULT {
        switch (message) {
        case WM_GETDLGCODE: {
            // Enter is the link's while it has the focus, not the default button's.
            const auto* key = reinterpret_cast<const MSG*>(lParam);
            if (key && key->message == WM_KEYDOWN && ClicksLink(key->wParam))
                return DLGC_WANTMESSAGE;
            break;
        }
        case WM_KEYDOWN:
            // Once per press, not again while the key repeats.
            if (ClicksLink(wParam) && !(lParam & (1 << 30))) {
                SendMessageA(GetParent(link), WM_COMMAND,
                             MAKEWPARAM(GetDlgCtrlID(link), STN_CLICKED),
                             reinterpret_cast<LPARAM>(link));
                return 0;
            }
            break;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            InvalidateRect(link, nullptr, TRUE);
            break;
        case WM_PAINT: {
            // The static paints into this paint's DC, so the focus rectangle (drawn by
            // inverting) covers exactly what was just painted, never an older one.
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(link, &paint);
            DefSubclassProc(link, WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
            if (GetFocus() == link)
                DrawFocus(link, dc);
            EndPaint(link, &paint);
            return 0;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(link, LinkProc, 0);
            break;
        default:
            break;
        }
        return DefSubclassProc(link, message, wParam, lParam);
    });
}

} // namespace

void MakeKeyboardLink(HWND label) {
    SetWindowSubclass(label, LinkProc, 0, 0);
}
