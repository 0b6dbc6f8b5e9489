#pragma once
// Small forms built from layout tables the way the program's windows are, for the window tests.
#include "framework/Form.h"
#include <string>
#include <vector>

// A list box that differs from the standard one only in how it is made.
class THScrollList : public TListBox {
public:
    THScrollList() : TListBox(WS_HSCROLL) {}
};

// Records what the framework did to it, from inside the form's own Loaded.
class TProbe : public TComponent {
public:
    TProbe(TComponent* owner, std::vector<std::string>& log);
    void Loaded() override;

    HWND OwnerWindowAtCreate = nullptr;

private:
    std::vector<std::string>& FLog;
};

class TfrmTest : public TForm {
public:
    TfrmTest();

    TLabel Label1;
    TLabel Label2;
    TPanel Panel1;
    TLabel Link1;
    TButton btnGo;
    TButton btnOff;
    TButton btnFail;
    TEdit Edit1;
    THScrollList List1;
    TProgressBar pbBar;

    TProbe* Probe = nullptr;
    std::vector<std::string> Log;
    std::vector<TObject*> Senders;

    void FormShow(TObject* Sender);
    void btnGoClick(TObject* Sender);
    void btnFailClick(TObject* Sender);
    void Link1Click(TObject* Sender);
    void Exit1Click(TObject* Sender);
    void Act1Click(TObject* Sender);
    void Loaded() override;

    static const TFormLayout& Layout();
};

// A fixed dialog with a default button and no cancel button, as an about box is.
class TdlgTest : public TForm {
public:
    TdlgTest();

    TPanel Panel1;
    TLabel Caption1;
    TImage Image1;
    TButton OKButton;

    int OkClicks = 0;
    // Filled when a WM_APP message reaches the form: whether it was still open and modal then.
    std::vector<std::string> Checks;

    void OKButtonClick(TObject* Sender);
    static const TFormLayout& Layout();

protected:
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};
