#include "app/StartUp.h"
#include "framework/Application.h"

TfrmShredder& StartUp() {
    TApplication& application = Application();
    application.SetTitle("Windows Ostrevane");
    // The program offers no help.
    application.SetHelpFile("");
    // The first form created becomes the main window: closing it ends the program.
    return application.CreateForm<TfrmShredder>();
}
