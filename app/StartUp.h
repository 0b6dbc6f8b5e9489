#pragma once
// Start-up up to the message loop, shared by the program and its tests.
#include "app/pShredder.h"

// Limits the loading of DLLs to System32 and turns off the system's "insert a disk" box, then
// sets the application's title and help file and creates the main window and the about box
// (both hidden).
TfrmShredder& StartUp();
