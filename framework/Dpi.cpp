#include "framework/Dpi.h"

namespace {
template <typename Function> Function User32Function(const char* name) {
    const HMODULE user32 = GetModuleHandleA("user32.dll");
    // Through void(*)(), the one function type a cast may pass without a warning.
    return user32 ? reinterpret_cast<Function>(
                        reinterpret_cast<void (*)()>(GetProcAddress(user32, name)))
                  : nullptr;
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
