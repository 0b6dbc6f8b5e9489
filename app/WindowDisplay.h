#pragma once
// The shred run's view of the main window: the status line, the pattern label, the progress
// bar and the list box.
//
// The engine reports every 16 KiB chunk, but painting that often makes the window, not the
// disk, the bottleneck (a static's text costs about 0.1 ms, a progress bar move about 1 ms).
// So the latest state is kept and painted at a steady rate, and whenever a pass starts or
// ends (the progress bar goes to 0); Flush paints whatever is still pending. The same tick
// lets the system see the thread alive, so that a long run is not marked "Not Responding",
// without taking any input.
#include "engine/DisplayElements.h"
#include "framework/Controls.h"

#include <cstdint>
#include <string>

struct DisplayControls {
    TEdit& status;          // Edit1
    TLabel& pattern;        // Label2
    TProgressBar& progress; // pbWiping
    TListBox& list;         // HListBox1
};

class WindowDisplay : public DisplayElements {
public:
    explicit WindowDisplay(DisplayControls controls);

    void SetStatusText(const std::string& text) override;
    void SetStatusColor(std::uint32_t color) override;
    void RepaintStatus() override;
    void SetPatternCaption(std::string_view caption) override;
    void RepaintPattern() override;
    void SetProgressRange(std::int64_t minimum, std::int64_t maximum) override;
    void SetProgressPosition(std::int64_t position) override;
    int ListCount() override;
    std::string ListText(int index) override;
    void ListReplace(int index, const std::string& text) override;
    void SetListColor(std::uint32_t color) override;
    void RepaintList() override;

    // Paints everything still pending.
    void Flush();

private:
    void PaintIfDue();
    int Scaled(std::int64_t value) const;

    DisplayControls FControls;
    std::string FStatus, FShownStatus;
    std::string FPattern, FShownPattern;
    std::int64_t FMinimum = 0, FMaximum = 100, FPosition = 0;
    int FShownMin = -1, FShownMax = -1, FShownPosition = -1;
    bool FStatusDirty = false, FPatternDirty = false;
    ULONGLONG FNextPaint = 0;
};
