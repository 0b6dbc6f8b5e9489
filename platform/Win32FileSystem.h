#pragma once
// The Windows backend of the file-system layer.
#include "platform/FileSystem.h"
#include "platform/Win32Calls.h"

#include <memory>

// The backend with what it asks of the system about files and names answered by `calls`, as
// a test stands in for Windows where Wine cannot; SystemFileSystem() answers with the system.
std::unique_ptr<FileSystem> MakeWin32FileSystem(Win32Calls& calls);
