#include "app/StartUp.h"
#include "dialogs/about.h"
#include "framework/Application.h"

TfrmShredder& StartUp() {
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
