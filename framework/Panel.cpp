#include "framework/Panel.h"
#include "framework/Exception.h"
#include "framework/Guard.h"

namespace {
LRESULT CALLBACK PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return Guarded(LRESULT{0}, [&]() -> LRESULT {
        switch (message) {
        case WM_ERASEBKGND: {
            // The panel is painted in its parent's background, which the form hands out the
            // same way it does for a static control.
            const auto brush = reinterpret_cast<HBRUSH>(SendMessageA(
                GetParent(panel), WM_CTLCOLORSTATIC, wParam, reinterpret_cast<LPARAM>(panel)));
            RECT client;
            GetClientRect(panel, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client,
                     brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(panel, &paint);
            RECT client;
            GetClientRect(panel, &client);
            DrawEdge(dc, &client, BDR_SUNKENOUTER | BDR_RAISEDINNER, BF_RECT);
            EndPaint(panel, &paint);
            return 0;
        }
        // Controls on a panel notify the panel; their handlers and colours belong to the form.
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
            return SendMessageA(GetParent(panel), message, wParam, lParam);
        default:
            return DefWindowProcA(panel, message, wParam, lParam);
        }
    });
}
} // namespace

void RegisterPanelClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = PanelProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kPanelClass;
    if (!RegisterClassExA(&windowClass))
        throw Exception("Error creating window class");
}
