// The program: start-up, then the message loop until the main window is closed.
#include "app/StartUp.h"
#include "framework/Application.h"
#include <windows.h>
#include <exception>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        StartUp();
        Application().Run();
    } catch (const std::exception& failure) {
        // Only start-up can get here: every handler runs behind the window procedures' guard.
        Application().ShowException(failure);
        return 1;
    }
    return 0;
}
