#pragma once
// What the system tells of its monitors, behind an interface: a window is placed on a monitor
// by these answers alone, so that its placement on monitors a machine lacks (a second one, at
// another display scale) can be tried.
#include <windows.h>

struct TMonitorArea {
    RECT Work;   // where windows go: the monitor less the task bar
    int Dpi = 0; // the monitor's display scale
};

class TMonitors {
public:
    virtual ~TMonitors() = default;
    // The monitor a window is on (the nearest one when it is on none).
    virtual TMonitorArea OfWindow(HWND window) = 0;
    // The monitor a rectangle is on (the nearest one when it is on none).
    virtual TMonitorArea OfRect(const RECT& rect) = 0;
};

TMonitors& SystemMonitors();
