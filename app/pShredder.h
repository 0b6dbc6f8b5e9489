#pragma once
// The main window: the target list with its buttons, the status line, the pattern label and
// the progress bar that a shred run drives, and the menu.
#include "app/OpenDialog.h"
#include "controls/DDDest.h"
#include "controls/HListBox.h"
#include "framework/Form.h"
#include <string>

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

private:
    static const TFormLayout& Layout() noexcept;

    // Lists every file below a folder, depth first, never following links.
    void AddFolder(const std::string& path);
    bool Listed(const std::string& path) const;
};
