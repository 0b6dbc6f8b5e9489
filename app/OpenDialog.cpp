#include "app/OpenDialog.h"
#include <commdlg.h>
#include <cstring>

namespace {

// The dialog is given this much more room than a choice may take. Some dialogs (Wine's) do
// not fail on a choice that does not fit but cut it, and the last name cut short can name
// another file that exists: so the dialog gets room to spare and the limit is kept here.
constexpr std::size_t kSpareChars = 65536;

struct TChoice {
    std::vector<std::string> Files;
    std::size_t Length = 0; // characters taken, every terminating zero included
};

// A multiple choice comes back as the folder, then each name, each ended by a zero, with one
// more zero at the end; a single choice as one full path.
TChoice ReadChoice(const char* text, WORD fileOffset) {
    TChoice choice;
    if (fileOffset == 0 || text[fileOffset - 1] != '\0') {
        choice.Files.emplace_back(text);
        choice.Length = choice.Files.back().size() + 1;
        return choice;
    }
    std::string folder(text);
    if (!folder.empty() && folder.back() != '\\')
        folder += '\\';
    const char* name = text + fileOffset;
    for (; *name != '\0'; name += std::strlen(name) + 1)
        choice.Files.push_back(folder + name);
    choice.Length = static_cast<std::size_t>(name - text) + 1;
    return choice;
}

} // namespace

bool TOpenDialog::Execute(HWND owner) {
    FFiles.clear();
    const std::size_t room = MaxFileChars + kSpareChars;
    // Two zeros beyond what the dialog may fill end any list it leaves unterminated.
    std::vector<char> buffer(room + 2, '\0');
    FileName.copy(buffer.data(), MaxFileChars - 1);

    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(room);
    ofn.lpstrInitialDir = InitialDir.empty() ? nullptr : InitialDir.c_str();
    ofn.lpstrTitle = Title.empty() ? nullptr : Title.c_str();
    ofn.Flags = Options;
    if (!GetOpenFileNameA(&ofn))
        return false;

    TChoice choice = ReadChoice(buffer.data(), ofn.nFileOffset);
    if (choice.Length > MaxFileChars || choice.Files.empty())
        return false;
    FFiles = std::move(choice.Files);
    FileName = FFiles.front();
    return true;
}

std::string ExtractFilePath(const std::string& path) {
    const auto delimiter = path.find_last_of("\\:");
    return delimiter == std::string::npos ? std::string() : path.substr(0, delimiter + 1);
}
