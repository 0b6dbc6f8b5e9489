#pragma once
// The program's main window as a test meets it: made by the program's own start-up, shown,
// with the program's registry key set aside for the test and put back afterwards.
#include "app/StartUp.h"
#include "tests/settings/ProgramKey.h"
#include "tests/support/win/UiTest.h"
#include <gtest/gtest.h>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

inline constexpr const char* kPickerTitle = "Select the File(s) to Shred";

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    TfrmShredder& Form() { return *FForm; }
    std::vector<std::string> Entries();
    // Clicks a button as a user does; the dialogs it shows are answered by `action`.
    // Returns what those dialogs showed.
    std::vector<TDialogSeen> Click(TButton& button,
                                   TDialogAnswerer::TAction action = TDialogAnswerer::PressOk);
    // Clicks "Shred NOW!" and holds the run at its first paint, inside its first entry, while
    // `during` runs on another thread; the messages `during` sends to the window are handled
    // there, as the run handles them. Returns the status line shown while held ("" and
    // `during` skipped when the run never painted). Whatever the disk's speed, `during`
    // always meets the run under way. Messages left queued are not pumped. The message the
    // run shows at its end is answered and kept in `shown`.
    std::string ShredHolding(const std::function<void()>& during,
                             std::vector<TDialogSeen>* shown = nullptr);
    // From `during`: runs `act` on the window's thread, inside the held run.
    void OnWindowThread(const std::function<void()>& act);
    // Skips the test without the scratch tmpfs of tools/with-scratch-fs.
    void RequireScratch();

private:
    ProgramKeySandbox FSandbox;
    TfrmShredder* FForm = nullptr;
    // A message box that no test step asked for (an error report) fails the test and is
    // answered, instead of waiting for a click until the test is killed.
    std::optional<TDialogAnswerer> FUnexpected;
    HWND FHolder = nullptr;
};

// Where a test whose run could wipe free space keeps its files: the 4 MiB scratch tmpfs of
// tools/with-scratch-fs, so that a wipe, meant or by a broken rule, never fills the machine's
// disk. The system's temp folder without it, where RequireScratch skips the test.
std::filesystem::path ScratchBase();
// A drop handle as the shell makes it (a DROPFILES header, then the names, each ended by a
// zero, and one more zero), ready to go with WM_DROPFILES.
WPARAM DropHandle(const std::vector<std::string>& names, POINT at = {100, 100});

// Answers the file picker by typing `typed` into its file name box and pressing Open; any
// other dialog gets OK.
TDialogAnswerer::TAction TypeIntoPicker(std::string typed);
// The picker's answer for several names at once: each in double quotes.
std::string Quoted(const std::vector<std::string>& names);
// The text in the picker's file name box.
std::string PickerFileName(HWND picker);
// Real keys, as the user's hands press them (to the window in front): in order, let go in
// reverse.
void Press(std::initializer_list<WORD> keys);
// Whether any pixel of a control's client area has exactly this colour.
bool ShowsColor(HWND window, COLORREF color);

// A group of the report as its window shows it (lines end in "\n"): its title with how many
// names it covers, the reason, then the names it applies to, set apart (below their folder
// where they all share one), each followed by the lines of `details`, set apart further.
std::string Grouped(const std::string& title, const std::string& reason,
                    const std::vector<std::string>& names, const std::string& details = "");
// What the report adds below a file with other names where Windows does not list them (Wine).
inline constexpr const char* kNamesUntold = "Windows did not tell its other names, so they "
                                            "could not be found here. They are on the same "
                                            "drive, and as large as this file.";
// What the report says of a listed file that was gone when its turn came.
inline constexpr const char* kGoneTitle = "No longer there";
inline constexpr const char* kGoneReason =
    "The file was no longer there when its turn came, so nothing was done. If it was moved, "
    "list it again where it is now.";
