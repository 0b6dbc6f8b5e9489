#pragma once
// The DPI a window is shown at, and window sizes at a DPI. The per-monitor functions exist from
// Windows 10 (1607) on: they are looked up at run time, and older systems get the screen's DPI.
#include "framework/Anchors.h"
#include <windows.h>

// The screen's DPI (the system's, for a program aware of each monitor's).
int ScreenDpi();
// The DPI of the monitor a window is on.
int WindowDpi(HWND window);
// The outer size of a window with these styles whose client area is `client` at `dpi`.
TSize OuterSize(TSize client, DWORD style, DWORD exStyle, bool menu, int dpi);
