#include "platform/FileSystem.h"
#include "app/pShredder.h"
#include "app/ReportWindow.h"
#include "app/WindowDisplay.h"
#include "dialogs/about.h"
#include "engine/ShredRun.h"
#include "platform/Win32Holders.h"
#include "platform/Win32OtherNames.h"
#include <shellapi.h>
#include "framework/SystemFunction.h"
#include <uxtheme.h>
#include <functional>
#include <utility>

namespace {
constexpr TAnchors akTopRight = akTop | akRight;
constexpr int kSelectedFilesChars = 65519;

// A drop that reaches the window this soon after a run is taken for one made during it. The
// system may hand a drag over late: Wine answers a drag only when the thread waits for
// messages, which a run does not do, so a drag made during a run ends in a drop posted just
// after it (within milliseconds), later than the run's end could discard it. The drop's own
// time stamp is of no help: it is the time of that late posting.
constexpr UINT kSettleMs = 500;
constexpr UINT_PTR kSettleTimer = 1;

// The messages other programs can post that would act as the user's requests.
constexpr std::pair<UINT, UINT> kPostedRequests[] = {
    {WM_KEYFIRST, WM_KEYLAST},     {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK},
    {WM_MOUSEFIRST, WM_MOUSELAST}, {WM_COMMAND, WM_SYSCOMMAND},
    {BM_CLICK, BM_CLICK},          {WM_DROPFILES, WM_DROPFILES},
};

bool IsCloseRequest(const MSG& msg) {
    return (msg.message == WM_NCLBUTTONDOWN && msg.wParam == HTCLOSE) ||
           (msg.message == WM_SYSKEYDOWN && msg.wParam == VK_F4) ||
           (msg.message == WM_SYSCOMMAND && (msg.wParam & 0xFFF0) == SC_CLOSE);
}
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
    // read-only box stays visible although its state is never used. A shortcut is listed as
    // the file it is: links are never followed to what they lead to.
    odWipe.Options =
        OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_ENABLESIZING | OFN_NODEREFERENCELINKS;
    odWipe.MaxFileChars = kSelectedFilesChars;

    DnDForm1 = &Own<TDnDForm>();
    DnDForm1->SetActive(true);
    DnDForm1->SetOnDnDItem(
        [this](TObject* Sender, const std::string& Item) { DnDForm1DnDItem(Sender, Item); });
    // All the names of one drop fill the list in one go: one repaint, one measuring context.
    // A drop made during a run is never listed, also when it comes just after it.
    DnDForm1->SetOnDnDItems([this](TObject*, const std::function<void()>& deliver) {
        if (FRun || FSettling)
            return;
        FDropUnlisted.clear();
        {
            const THListBox::TBulkAdd bulk(HListBox1);
            deliver();
        }
        ReportUnlisted();
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

namespace {

// The buttons that do nothing while a run lasts look so: the window takes no input meanwhile
// (clicks, keys and commands are dropped), and a button that looks pressable would seem broken.
class TButtonsAtRest {
public:
    TButtonsAtRest(TButton& wipe, TButton& browse, TButton& keep, const THListBox& list)
        : FWipe(wipe), FBrowse(browse), FKeep(keep), FList(list) {
        for (TButton* button : {&FWipe, &FBrowse, &FKeep})
            button->SetEnabled(false);
    }
    TButtonsAtRest(const TButtonsAtRest&) = delete;
    TButtonsAtRest& operator=(const TButtonsAtRest&) = delete;
    ~TButtonsAtRest() {
        FBrowse.SetEnabled(true);
        FKeep.SetEnabled(true);
        FWipe.SetEnabled(FList.Count() > 0);
    }

private:
    TButton &FWipe, &FBrowse, &FKeep;
    const THListBox& FList;
};

} // namespace

void TfrmShredder::btnWipeClick(TObject*) {
    WindowDisplay display({Edit1, Label2, pbWiping, HListBox1, FListed});
    ShredRun run(display, SystemFileSystem());
    FRun = &run;
    const TButtonsAtRest resting(btnWipe, btnBrowse, Button1, HListBox1);
    // A session ended now would leave the entry under way half done: Windows is asked to wait.
    ShutdownBlockReasonCreate(Handle(),
                              L"Shredding files: turning off now would leave them unfinished");
    // The display paints at a steady rate: what is still pending must reach the window also
    // when the run stops on a failure, before the error report shows it.
    try {
        run.Execute();
    } catch (...) {
        if (EndRun(display))
            PostMessageA(Handle(), WM_CLOSE, 0, 0);
        throw;
    }
    const bool closeAsked = EndRun(display);
    // A session that ended meanwhile has no one to read it.
    const TReport report =
        run.Stopped()
            ? TReport{}
            : RunReport({run.Shredded(), run.Left(), run.Told(), FUnlisted,
                         [](const std::string& path) { return OtherNamesOf(path); },
                         [this](const std::string& path) { return OtherNamesListed(path); },
                         [](const std::string& path) { return ProgramsHolding(path); }});
    if (!report.Empty())
        ShowReport(report);
    // A close asked for during the run waits until its report has been read.
    if (closeAsked)
        PostMessageA(Handle(), WM_CLOSE, 0, 0);
}

bool TfrmShredder::OtherNamesListed(const std::string& path) const {
    const int count = HListBox1.Count();
    FileId id;
    int line = 0;
    for (; line < count && !id.known; ++line)
        if (HListBox1.Strings(line) == path)
            id = FListed.Id(HListBox1.ItemData(line));
    if (!id.known)
        return false;
    for (int other = 0; other < count; ++other)
        if (other != line - 1 && FListed.Id(HListBox1.ItemData(other)) == id)
            return true;
    return false;
}

void TfrmShredder::ShowReport(const TReport& report) {
    if (!FReport)
        FReport = &Application().CreateForm<TfrmReport>();
    FReport->Execute(report, Handle());
}

bool TfrmShredder::EndRun(WindowDisplay& display) {
    FRun = nullptr;
    ShutdownBlockReasonDestroy(Handle());
    display.Flush();
    const bool closeAsked = DiscardRunInput();
    // A timer message comes only once no posted message waits: a drop posted before it is
    // due is handled while the window still settles, however slowly the thread gets to it.
    FSettling = SetTimer(Handle(), kSettleTimer, kSettleMs, nullptr) != 0;
    return closeAsked;
}

bool TfrmShredder::DiscardRunInput() {
    // Clicks, keys, commands and drops that waited while the run worked were aimed at a window
    // that took none: acted on now, they would remove marked entries or start what nobody saw
    // coming, whether the user made them or another program posted them. Closing the window is
    // the one request that still counts.
    // First what the window system still holds becomes messages (under Wine, the input and
    // drags of the whole run), so that it goes with the rest.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);
    bool closeAsked = false;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_INPUT))
        closeAsked = closeAsked || IsCloseRequest(msg);
    for (const auto& [first, last] : kPostedRequests)
        while (PeekMessageA(&msg, nullptr, first, last, PM_REMOVE)) {
            closeAsked = closeAsked || IsCloseRequest(msg);
            if (msg.message == WM_DROPFILES)
                DragFinish(reinterpret_cast<HDROP>(msg.wParam));
        }
    return closeAsked;
}

LRESULT TfrmShredder::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == kSettleTimer) {
        KillTimer(Handle(), kSettleTimer);
        FSettling = false;
        return 0;
    }
    // The run reads the list and writes into the window until it ends; the messages it lets
    // through meanwhile (sent by other programs, or by the system) may start nothing else.
    if (FRun) {
        switch (message) {
        case WM_COMMAND: // every button and menu item, whoever clicks it
        case WM_CLOSE:
            return 0;
        case WM_QUERYENDSESSION:
            return FALSE;
        case WM_ENDSESSION:
            // Ending anyway: the entry under way stays unmarked and its filler goes.
            if (wParam)
                FRun->Stop();
            return 0;
        default:
            break;
        }
    }
    return TForm::WndProc(message, wParam, lParam);
}

bool TfrmShredder::PreviewMessage(const MSG& msg) {
    // "Shred &NOW!" destroys files: Alt+N, a click, Enter or Space on it start a run, but a
    // plain N typed while a button has the focus must not. A control that takes typing (the
    // list's type-ahead) still gets the letter.
    if (msg.message != WM_CHAR || (msg.wParam != 'n' && msg.wParam != 'N'))
        return false;
    const auto code =
        SendMessageA(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
    return (code & (DLGC_WANTCHARS | DLGC_WANTMESSAGE)) == 0;
}
