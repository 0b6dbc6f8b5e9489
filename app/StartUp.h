#pragma once
// Start-up up to the message loop, shared by the program and its tests.
#include "app/pShredder.h"

// Sets the application's title and help file and creates the main window and the about box
// (both hidden).
TfrmShredder& StartUp();
