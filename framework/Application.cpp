#include "framework/Application.h"
#include "framework/Exception.h"
#include "framework/Form.h"
#include "framework/FullStop.h"
#include "framework/Guard.h"

TApplication& Application() {
    static TApplication application;
    return application;
}

void ReportException(const std::exception& failure) noexcept {
    Application().ShowException(failure);
}

void ReportUnknownException() noexcept {
    ReportException(Exception("Unknown failure"));
}

TApplication::TApplication() : FInstance(GetModuleHandleA(nullptr)) {}

TApplication::~TApplication() {
    DestroyForms();
}

void TApplication::AddForm(std::unique_ptr<TForm> form) {
    if (!FMainForm)
        FMainForm = form.get();
    FForms.push_back(std::move(form));
}

void TApplication::Run() {
    if (!FMainForm)
        return;
    FMainForm->Show();
    while (!FTerminated) {
        MSG msg;
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        HandleMessage(msg);
    }
    FTerminated = false;
    DestroyForms();
}

void TApplication::Terminate() noexcept {
    FTerminated = true;
    // A thread message wakes GetMessage without ending any other loop, as WM_QUIT would.
    PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0);
}

void TApplication::ProcessMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        HandleMessage(msg);
    }
}

void TApplication::HandleMessage(MSG& msg) {
    HWND active = GetActiveWindow();
    if (active && TForm::IsFormWindow(active)) {
        auto* form = reinterpret_cast<TForm*>(GetWindowLongPtrA(active, GWLP_USERDATA));
        if ((form && form->PreviewMessage(msg)) || IsDialogMessageA(active, &msg))
            return;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

void TApplication::DestroyForms() noexcept {
    while (!FForms.empty()) {
        auto form = std::move(FForms.back());
        FForms.pop_back();
        if (form.get() == FMainForm)
            FMainForm = nullptr;
        form->DestroyHandle();
    }
    FMainForm = nullptr;
    FTerminated = false;
}

void TApplication::ShowException(const std::exception& failure) noexcept {
    // The message box runs its own loop; a failure raised meanwhile is not stacked on it.
    if (FShowingException)
        return;
    FShowingException = true;
    // A drop from the shell leaves the shell's window in front and none of ours active: the
    // report then belongs to the main window, and comes to the front.
    HWND owner = GetActiveWindow();
    if (!owner && FMainForm && FMainForm->Visible())
        owner = FMainForm->WindowHandle();
    const UINT style = MB_ICONERROR | MB_OK | MB_SETFOREGROUND | (owner ? 0 : MB_TASKMODAL);
    try {
        const std::string text = WithFullStop(failure.what());
        MessageBoxA(owner, text.c_str(), FTitle.c_str(), style);
    } catch (...) {
        // Out of memory for the text: the bare message is all that can still be shown.
        MessageBoxA(owner, failure.what(), FTitle.c_str(), style);
    }
    FShowingException = false;
}
