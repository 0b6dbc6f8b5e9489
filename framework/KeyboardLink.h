#pragma once
// A link label that the keyboard reaches: it takes the focus in tab order, shows a focus
// rectangle around its text, and Enter or Space click it as the mouse does.
#include <windows.h>

// Gives a static control (SS_NOTIFY, WS_TABSTOP) the link's keys and focus rectangle.
void MakeKeyboardLink(HWND label);
