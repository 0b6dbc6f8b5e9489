#pragma once
// Owners for the GDI objects a form makes (fonts, brushes, icons of its own size) and for
// window-independent DCs.
#include "framework/Unique.h"
#include <windows.h>

struct GdiObjectTraits {
    using Handle = HGDIOBJ;
    static Handle Empty() noexcept { return nullptr; }
    static bool Close(Handle handle) noexcept { return DeleteObject(handle) != 0; }
};
using GdiObject = Unique<GdiObjectTraits>;

struct IconTraits {
    using Handle = HICON;
    static Handle Empty() noexcept { return nullptr; }
    static bool Close(Handle handle) noexcept { return DestroyIcon(handle) != 0; }
};
using IconHandle = Unique<IconTraits>;

// A window's DC, released to that window on every path.
class TWindowDC {
public:
    explicit TWindowDC(HWND window) noexcept : FWindow(window), FDC(GetDC(window)) {}
    TWindowDC(const TWindowDC&) = delete;
    TWindowDC& operator=(const TWindowDC&) = delete;
    ~TWindowDC() {
        if (FDC)
            ReleaseDC(FWindow, FDC);
    }
    HDC Get() const noexcept { return FDC; }

private:
    HWND FWindow;
    HDC FDC;
};

// Selects an object into a DC for one scope and puts the previous one back.
class TSelectObject {
public:
    TSelectObject(HDC dc, HGDIOBJ object) noexcept : FDC(dc), FOld(SelectObject(dc, object)) {}
    TSelectObject(const TSelectObject&) = delete;
    TSelectObject& operator=(const TSelectObject&) = delete;
    ~TSelectObject() {
        if (FOld)
            SelectObject(FDC, FOld);
    }

private:
    HDC FDC;
    HGDIOBJ FOld;
};
