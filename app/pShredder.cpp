#include "platform/FileSystem.h"
#include "app/pShredder.h"
#include "app/WindowDisplay.h"
#include "dialogs/about.h"
#include "engine/ShredRun.h"
#include "framework/SystemFunction.h"
#include <uxtheme.h>
#include <functional>

namespace {
constexpr TAnchors akTopRight = akTop | akRight;
constexpr int kSelectedFilesChars = 65519;
} // namespace

// The table is a constant: building it can fail only for lack of memory, which is fatal this
// early anyway (and noexcept spares GCC a false "maybe uninitialized" on the unwinding path).
// clang-format off
const TFormLayout& TfrmShredder::Layout() noexcept {
    static const TFormLayout layout = {
        .Form = {.Caption = "Windows Ostrevane", .Left = 127, .Top = 116, .Width = 556, .Height = 370,
                 .Border = TBorderStyle::bsSizeable, .Color = clBlack,
                 .Font = Font("MS Sans Serif", -11, 0, clWindowText),
                 .OnShow = &TfrmShredder::FormShow},
        .Controls = {
            {.Name = "Label1", .Field = &TfrmShredder::Label1, .Bounds = {16, 8, 511, 16},
             .Caption = "Drag and drop files from Windows Explorer or click the Select Files button.",
             .Font = Font("MS Sans Serif", -13, fsBold, clSilver),
             .Options = coTransparent | coWordWrap},
            {.Name = "HListBox1", .Field = &TfrmShredder::HListBox1, .Bounds = {16, 32, 433, 241},
             .TabOrder = 6, .ItemHeight = 13},
            {.Name = "btnBrowse", .Field = &TfrmShredder::btnBrowse, .Bounds = {456, 48, 89, 25},
             .Caption = "&Select File(s)", .Anchors = akTopRight, .TabOrder = 0,
             .OnClick = &TfrmShredder::btnBrowseClick},
            {.Name = "Button1", .Field = &TfrmShredder::Button1, .Bounds = {456, 80, 89, 25},
             .Caption = "&Don't Shred", .Anchors = akTopRight, .TabOrder = 5,
             .OnClick = &TfrmShredder::Button1Click},
            {.Name = "Label2", .Field = &TfrmShredder::Label2, .Bounds = {461, 112, 85, 129},
             .Caption = "", .Font = Font("OCR A Extended", -11, 0, clRed, ANSI_CHARSET),
             .Options = coWordWrap | coFixedSize, .Color = clBlack},
            {.Name = "btnWipe", .Field = &TfrmShredder::btnWipe, .Bounds = {456, 248, 89, 25},
             .Caption = "Shred &NOW!", .Anchors = akTopRight, .TabOrder = 1, .Options = coDisabled,
             .OnClick = &TfrmShredder::btnWipeClick},
            {.Name = "Edit1", .Field = &TfrmShredder::Edit1, .Bounds = {16, 280, 433, 21},
             .Caption = "", .TabOrder = 4, .Options = coReadOnly},
            {.Name = "btnClose", .Field = &TfrmShredder::btnClose, .Bounds = {456, 280, 89, 25},
             .Caption = "&Close", .Anchors = akTopRight, .TabOrder = 2,
             .OnClick = &TfrmShredder::btnCloseClick},
            {.Name = "pbWiping", .Field = &TfrmShredder::pbWiping, .Bounds = {0, 308, 548, 16},
             .Align = TAlign::alBottom, .TabOrder = 3, .Min = 0, .Max = 100},
        },
        .Menu = {
            {.Name = "File1", .Caption = "&File", .Items = {
                {.Name = "Exit1", .Caption = "E&xit", .OnClick = &TfrmShredder::Exit1Click},
            }},
            {.Name = "About1", .Caption = "&About", .OnClick = &TfrmShredder::About1Click},
        },
    };
    return layout;
}
// clang-format on

TfrmShredder::TfrmShredder() : TForm(Layout()) {
    odWipe.Title = "Select the File(s) to Shred";
    // No existence demands: a name that does not exist asks for a free-space wipe. The
    // read-only box stays visible although its state is never used.
    odWipe.Options = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_ENABLESIZING;
    odWipe.MaxFileChars = kSelectedFilesChars;

    DnDForm1 = &Own<TDnDForm>();
    DnDForm1->SetActive(true);
    DnDForm1->SetOnDnDItem(
        [this](TObject* Sender, const std::string& Item) { DnDForm1DnDItem(Sender, Item); });
    // All the names of one drop fill the list in one go: one repaint, one measuring context.
    DnDForm1->SetOnDnDItems([this](TObject*, const std::function<void()>& deliver) {
        const THListBox::TBulkAdd bulk(HListBox1);
        deliver();
    });
}

void TfrmShredder::FormShow(TObject*) {
    // A themed progress bar ignores its background colour; without a theme the grey shows.
    // Not imported: uxtheme is no KnownDLL, so the loader would look beside the program first.
    static const auto setWindowTheme =
        SystemFunction<decltype(&SetWindowTheme)>("uxtheme.dll", "SetWindowTheme");
    if (setWindowTheme)
        setWindowTheme(pbWiping.Handle(), L" ", L" ");
    pbWiping.SetBkColor(clGray);
}

void TfrmShredder::btnCloseClick(TObject*) {
    Close();
}

void TfrmShredder::Exit1Click(TObject*) {
    Close();
}

void TfrmShredder::About1Click(TObject*) {
    // The about box made at start-up.
    TApplication& application = Application();
    for (std::size_t i = 0; i < application.FormCount(); ++i)
        if (auto* about = dynamic_cast<TfrmAbout*>(&application.Forms(i))) {
            about->ShowModal();
            return;
        }
}

void TfrmShredder::btnWipeClick(TObject*) {
    WindowDisplay display({Edit1, Label2, pbWiping, HListBox1});
    // The display paints at a steady rate: what is still pending must reach the window also
    // when the run stops on a failure, before the error report shows it.
    try {
        ShredRun(display, SystemFileSystem()).Execute();
    } catch (...) {
        display.Flush();
        throw;
    }
    display.Flush();
}
