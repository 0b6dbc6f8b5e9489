#include "framework/Dpi.h"
#include "framework/SystemFunction.h"

namespace {
// Looked up at run time: the systems before Windows 10 lack them.
template <typename Function> Function User32Function(const char* name) {
    return SystemFunction<Function>("user32.dll", name);
}

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
} // namespace

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kDesignDpi;
}

int WindowDpi(HWND window) {
    static const auto getDpi = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
    const UINT dpi = getDpi ? getDpi(window) : 0;
    return dpi > 0 ? static_cast<int>(dpi) : ScreenDpi();
}

TSize OuterSize(TSize client, DWORD style, DWORD exStyle, bool menu, int dpi) {
    static const auto adjust =
        User32Function<AdjustWindowRectExForDpiFunction>("AdjustWindowRectExForDpi");
    RECT outer{0, 0, client.Width, client.Height};
    if (!adjust || !adjust(&outer, style, menu, exStyle, static_cast<UINT>(dpi)))
        AdjustWindowRectEx(&outer, style, menu, exStyle);
    return {outer.right - outer.left, outer.bottom - outer.top};
}
