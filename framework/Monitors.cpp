#include "framework/Monitors.h"
#include "framework/Dpi.h"
#include "framework/SystemFunction.h"

namespace {

// GetDpiForMonitor with MDT_EFFECTIVE_DPI, from Windows 8.1 on.
using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

TMonitorArea AreaOf(HMONITOR handle) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    TMonitorArea area{};
    if (!GetMonitorInfoA(handle, &monitor)) {
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area.Work, 0);
        area.Dpi = ScreenDpi();
        return area;
    }
    area.Work = monitor.rcWork;
    // Windows keeps the primary monitor's work area also as the system's; Wine keeps one set
    // through SystemParametersInfo apart from its monitors'. The smaller of the two counts.
    RECT system{};
    if ((monitor.dwFlags & MONITORINFOF_PRIMARY) &&
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &system, 0))
        IntersectRect(&area.Work, &area.Work, &system);
    static const auto getDpi =
        SystemFunction<GetDpiForMonitorFunction>("shcore.dll", "GetDpiForMonitor");
    UINT x = 0, y = 0;
    area.Dpi =
        getDpi && SUCCEEDED(getDpi(handle, 0, &x, &y)) && y > 0 ? static_cast<int>(y) : ScreenDpi();
    return area;
}

class TSystemMonitors final : public TMonitors {
public:
    TMonitorArea OfWindow(HWND window) override {
        return AreaOf(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
    }
    TMonitorArea OfRect(const RECT& rect) override {
        return AreaOf(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST));
    }
};

} // namespace

TMonitors& SystemMonitors() {
    static TSystemMonitors monitors;
    return monitors;
}
