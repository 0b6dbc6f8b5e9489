#pragma once
// The shred run's view of the main window: the status line, the pattern label, the progress
// bar and the list box.
//
// The engine reports every 16 KiB chunk and every pass, but painting that often makes the
// window, not the disk, the bottleneck (a static's text costs about 0.1 ms, a progress bar
// move about 1 ms, and a run of small files has a pass start and end every few hundred
// microseconds). So the latest state is kept and painted only at a steady rate, whatever
// happened since, and less often where painting is slow; Flush paints whatever is still
// pending. The same tick lets the system see the thread alive, so that a long run is not marked
// "Not Responding", without taking any input.
//
// A list box changes a line's text only by putting a new line in and taking the old one out,
// and each moves every line after it: in a long list that costs more than the run's own work
// on a small file. So a line out of sight keeps its new text here until it comes into sight
// or the run ends, when all such lines go in at once; the run reads them back from here (a line's
// kind goes in at once: it is no text). A line in sight is replaced at once, with the list's redraw
// off until the next tick: with it on, every replacement redraws the scroll bars there and then. A
// tick with no line in sight changed leaves the list alone.
#include "app/ListedFiles.h"
#include "engine/DisplayElements.h"
#include "framework/Controls.h"

#include <cstdint>
#include <map>
#include <string>

struct DisplayControls {
    TEdit& status;          // Edit1
    TLabel& pattern;        // Label2
    TProgressBar& progress; // pbWiping
    TListBox& list;         // HListBox1
    const TListedFiles& listed;
};

class WindowDisplay : public DisplayElements {
public:
    explicit WindowDisplay(DisplayControls controls);
    WindowDisplay(const WindowDisplay&) = delete;
    WindowDisplay& operator=(const WindowDisplay&) = delete;
    // Lets the list redraw again if a failure came between a replacement and the next paint.
    // Lines still held here stay as they were: Flush puts them in.
    ~WindowDisplay() override;

    void SetStatusText(const std::string& text) override;
    void SetStatusColor(std::uint32_t color) override;
    void RepaintStatus() override;
    void SetPatternCaption(std::string_view caption) override;
    void RepaintPattern() override;
    void SetProgressRange(std::int64_t minimum, std::int64_t maximum) override;
    void SetProgressPosition(std::int64_t position) override;
    // Shows what is pending at once, then handles the messages sent to the window as they come
    // (the system's, other programs'), so that it never looks hung; input stays queued.
    void Wait(std::chrono::milliseconds time) override;
    int ListCount() override;
    std::string ListText(int index) override;
    void ListReplace(int index, const std::string& text) override;
    EntryKind ListKind(int index) override;
    FileId ListIdentity(int index) override;
    void SetListKind(int index, EntryKind kind) override;
    void SetListColor(std::uint32_t color) override;
    void RepaintList() override;

    // Puts in every line held back and paints everything still pending.
    void Flush();

private:
    void PaintIfDue();
    void Paint();
    bool InSight(int index) const;
    void ReplaceNow(int index, const std::string& text);
    void PutInHeldLines(bool all);
    void ThawList();
    int Scaled(std::int64_t value) const;

    DisplayControls FControls;
    std::string FStatus, FShownStatus;
    std::string FPattern, FShownPattern;
    std::int64_t FMinimum = 0, FMaximum = 100, FPosition = 0;
    int FShownMin = -1, FShownMax = -1, FShownPosition = -1;
    bool FStatusDirty = false, FPatternDirty = false, FListDirty = false;
    bool FListFrozen = false;
    // New text of lines out of sight, by index; their kinds are in the list already.
    std::map<int, std::string> FHeld;
    ULONGLONG FNextPaint = 0;
};
