#pragma once
// The platform's open-file dialog, shown modally; what was chosen is kept until the next showing.
#include "framework/Component.h"
#include <windows.h>
#include <cstddef>
#include <string>
#include <vector>

class TOpenDialog : public TObject {
public:
    std::string Title;
    std::string InitialDir;
    // The name the dialog starts with; after a confirmed showing, the first file chosen.
    std::string FileName;
    DWORD Options = OFN_EXPLORER;
    // Characters the chosen names may take together, terminating zeros included; a choice
    // that does not fit counts as a cancel.
    std::size_t MaxFileChars = MAX_PATH;

    // Shows the dialog; true when the user confirmed. Any failure of the dialog counts as a
    // cancel.
    bool Execute(HWND owner);

    // The full paths chosen at the last showing, in the dialog's order; empty after a cancel.
    const std::vector<std::string>& Files() const noexcept { return FFiles; }

private:
    std::vector<std::string> FFiles;
};

// The folder part of a path, with its trailing delimiter ("C:\docs\a.txt" gives "C:\docs\").
std::string ExtractFilePath(const std::string& path);
