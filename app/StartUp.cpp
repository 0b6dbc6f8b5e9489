#include "app/StartUp.h"
#include "dialogs/about.h"
#include "framework/Application.h"
#include "framework/Exception.h"
#include <windows.h>

namespace {

void HardenProcess() {
    // Before any window, dialog or COM call: the DLLs that the file picker and the shell load
    // on the program's behalf must come from System32, never from beside the program (people
    // start it from Downloads) or from the current folder.
    if (!SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        throw Exception("Cannot limit the loading of DLLs to the system folder");
    // A listed drive without a medium fails its calls instead of stopping the run with a box.
    SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS);
}

} // namespace

TfrmShredder& StartUp() {
    HardenProcess();
    TApplication& application = Application();
    application.SetTitle("Windows Ostrevane");
    // The program offers no help.
    application.SetHelpFile("");
    // The first form created becomes the main window: closing it ends the program.
    TfrmShredder& mainWindow = application.CreateForm<TfrmShredder>();
    // Made hidden now and reused for every showing.
    application.CreateForm<TfrmAbout>();
    return mainWindow;
}
