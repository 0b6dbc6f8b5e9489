#pragma once
// Takes over the shell's handler for one kind of address ("http", "mailto") in the test's Wine
// prefix for the length of a test: either none at all, or a command of the test's choosing. The
// prefix's own handler is kept in a backup key and put back at the end (or at the start of the
// next run, if a run died half-way).
#include <windows.h>
#include <string>

class TShellHandlerOverride {
public:
    // command: empty for no handler, else the "open" command line ("%1" is the address).
    TShellHandlerOverride(std::string scheme, const std::string& command);
    TShellHandlerOverride(const TShellHandlerOverride&) = delete;
    TShellHandlerOverride& operator=(const TShellHandlerOverride&) = delete;
    ~TShellHandlerOverride();

private:
    void TakeOver(const std::string& command);
    void Restore() noexcept;

    std::string FScheme;
    std::string FBackup;
};
