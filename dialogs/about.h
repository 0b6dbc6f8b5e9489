#pragma once
// The about box: the program's name, version and maker, with a link to the maker's web page and
// one that starts an e-mail to the maker. Made hidden once, shown modally on demand.
#include "framework/Form.h"

class TfrmAbout : public TForm {
public:
    TfrmAbout();

    TPanel Panel1;
    TImage ProgramIcon;
    TLabel ProductName;
    TLabel Version;
    TLabel Copyright;
    TLabel Comments;
    TLabel Label1;
    TLabel Label3;
    TLabel Label2;
    TButton OKButton;

    void OKButtonClick(TObject* Sender);
    void Label1Click(TObject* Sender);
    void Label2Click(TObject* Sender);
};
