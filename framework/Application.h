#pragma once
// The application object: one per process, owner of every form, runner of the message loop and
// keeper of the standard error report.
#include <windows.h>
#include <exception>
#include <memory>
#include <string>
#include <vector>

class TForm;

// The program's icon resource: every form's window and the about box show it.
inline constexpr const char* kProgramIcon = "MAINICON";

class TApplication {
public:
    TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;
    ~TApplication();

    // The caption of the error report; the task bar shows the main form's caption.
    const std::string& Title() const noexcept { return FTitle; }
    void SetTitle(std::string title) { FTitle = std::move(title); }
    const std::string& HelpFile() const noexcept { return FHelpFile; }
    void SetHelpFile(std::string helpFile) { FHelpFile = std::move(helpFile); }
    HINSTANCE Instance() const noexcept { return FInstance; }

    // Constructs T, creates its window and controls from its layout (hidden) and keeps it until
    // the end. The first form created is the main form. Defined in Form.h.
    template <class T> T& CreateForm();
    TForm* MainForm() const noexcept { return FMainForm; }
    std::size_t FormCount() const noexcept { return FForms.size(); }
    TForm& Forms(std::size_t index) const { return *FForms.at(index); }

    // Shows the main form and handles messages until it is closed, then destroys every form.
    void Run();
    // Ends Run's loop after the message being handled.
    void Terminate() noexcept;
    bool Terminated() const noexcept { return FTerminated; }
    // Handles every message already waiting, then returns.
    void ProcessMessages();
    // Handles one message as the loops do: dialog keys (Tab, Enter, Escape) for the active form.
    void HandleMessage(MSG& msg);
    // Destroys every form, last created first; a later CreateForm makes a new main form.
    void DestroyForms() noexcept;

    // The standard error report: the failure's message, with a closing full stop where the
    // sentence lacks one, in an error message box captioned with the title.
    void ShowException(const std::exception& failure) noexcept;

private:
    void AddForm(std::unique_ptr<TForm> form);

    HINSTANCE FInstance;
    std::string FTitle;
    std::string FHelpFile;
    std::vector<std::unique_ptr<TForm>> FForms;
    TForm* FMainForm = nullptr;
    bool FTerminated = false;
    bool FShowingException = false;
};

TApplication& Application();
