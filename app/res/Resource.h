#pragma once
// Resource ids shared by the resource script and the code that loads them.

// The program's 32 x 32, 16-colour icon, as the about box shows it. The same picture is also
// stored under the name "MAINICON", the name the forms' window class loads.
#define IDI_PROGRAM 1
