#pragma once
// What the shred run shows: the status line, the pattern label, the progress bar and the
// target list. The engine knows the window only through this interface.
#include <chrono>
#include <cstdint>
#include "platform/FileSystem.h"
#include <string>
#include <string_view>

// What an entry named when it was listed, kept with the entry whatever its text becomes.
enum class EntryKind : std::uintptr_t {
    Unknown = 0,  // listed without a look: decided when the run reaches it
    File = 1,     // an existing file: shredded, or left alone once it is gone
    NoFile = 2,   // no file: a request to wipe the free space of its drive
    Shredded = 3, // marked by a run: never taken up again
};

class DisplayElements {
public:
    virtual ~DisplayElements() = default;

    // Status line.
    virtual void SetStatusText(const std::string& text) = 0;
    virtual void SetStatusColor(std::uint32_t color) = 0;
    virtual void RepaintStatus() = 0;

    // Pattern label.
    virtual void SetPatternCaption(std::string_view caption) = 0;
    virtual void RepaintPattern() = 0;

    // Progress bar, in bytes of the current pass.
    virtual void SetProgressRange(std::int64_t minimum, std::int64_t maximum) = 0;
    virtual void SetProgressPosition(std::int64_t position) = 0;

    // Lets this much time pass before a file another program holds is asked for again. The
    // window stays alive meanwhile, as between the blocks of a pass, and still takes no input.
    virtual void Wait(std::chrono::milliseconds time) = 0;

    // Target list.
    virtual int ListCount() = 0;
    virtual std::string ListText(int index) = 0;
    // Replaces an entry in place: same position, a selected entry stays selected, and it
    // keeps its kind.
    virtual void ListReplace(int index, const std::string& text) = 0;
    virtual EntryKind ListKind(int index) = 0;
    // The file a File entry named when it was listed; not known for other kinds.
    virtual FileId ListIdentity(int index) = 0;
    virtual void SetListKind(int index, EntryKind kind) = 0;
    virtual void SetListColor(std::uint32_t color) = 0;
    virtual void RepaintList() = 0;
};
