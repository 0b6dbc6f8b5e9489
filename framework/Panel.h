#pragma once
// The window class behind TPanel.
#include <windows.h>

constexpr const char* kPanelClass = "OstrevanePanel";
void RegisterPanelClass(HINSTANCE instance);
