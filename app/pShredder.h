#pragma once
// The main window: the target list with its buttons, the status line, the pattern label and
// the progress bar that a shred run drives, and the menu.
#include "app/ListedFiles.h"
#include "app/OpenDialog.h"
#include "app/ReportWording.h"
#include "controls/DDDest.h"
#include "controls/HListBox.h"
#include "framework/Form.h"
#include <string>
#include <vector>

class ShredRun;
class TfrmReport;
class WindowDisplay;

class TfrmShredder : public TForm {
public:
    TfrmShredder();

    TLabel Label1;
    THListBox HListBox1;
    TButton btnBrowse;
    TButton Button1;
    TLabel Label2;
    TButton btnWipe;
    TEdit Edit1;
    TButton btnClose;
    TProgressBar pbWiping;
    TOpenDialog odWipe;
    // Turns files and folders dropped from the shell into DnDForm1DnDItem calls.
    TDnDForm* DnDForm1 = nullptr;

    void FormShow(TObject* Sender);
    void btnBrowseClick(TObject* Sender);
    void Button1Click(TObject* Sender);
    void btnWipeClick(TObject* Sender);
    void btnCloseClick(TObject* Sender);
    void Exit1Click(TObject* Sender);
    void About1Click(TObject* Sender);
    // One dropped name: a file is listed, a folder expanded.
    void DnDForm1DnDItem(TObject* Sender, const std::string& Item);

protected:
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool PreviewMessage(const MSG& msg) override;

private:
    static const TFormLayout& Layout() noexcept;

    // The end of a run, however it ends: the window takes input again, but none that came
    // while the run worked. Whether the user asked meanwhile to close the window.
    bool EndRun(WindowDisplay& display);
    bool DiscardRunInput();

    // Lists every file below a folder, depth first, never following links.
    void AddFolder(const std::string& path);
    bool Listed(const std::string& path) const;
    // A dropped or expanded name that could not be listed, and why; all of a drop's are shown
    // together once it is done, and again after every run until the list is emptied.
    void Unlisted(const std::string& path, UnlistedReason why);
    void ReportUnlisted();
    // Whether another line of the list names the same file as the unshredded entry `path`.
    bool OtherNamesListed(const std::string& path) const;
    void ShowReport(const TReport& report);

    // The run under way, if any: while it lasts nothing else happens in the window.
    ShredRun* FRun = nullptr;
    // The identities of the files listed, which the list's lines refer to.
    TListedFiles FListed;
    // What the drop under way could not list, and what all drops since the list was last
    // empty could not.
    std::vector<UnlistedEntry> FDropUnlisted;
    std::vector<UnlistedEntry> FUnlisted;
    // Made at its first showing, kept for the next.
    TfrmReport* FReport = nullptr;
    // From a run's end until a short timer fires: drops still come from the run's time.
    bool FSettling = false;
};
