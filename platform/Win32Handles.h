#pragma once
// Owners for the kernel handles of the file-system layer.
#include "framework/Unique.h"
#include <windows.h>

// CreateFileA reports failure as INVALID_HANDLE_VALUE, not as a null handle.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static bool Close(Handle handle) noexcept { return CloseHandle(handle) != FALSE; }
};
using FileHandle = Unique<FileHandleTraits>;

// A search handle must go back through FindClose, never CloseHandle.
struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static bool Close(Handle handle) noexcept { return FindClose(handle) != FALSE; }
};
using FindHandle = Unique<FindHandleTraits>;
