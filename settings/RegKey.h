#pragma once
// Owner of an open registry key: Unique<RegKeyTraits>.
#include "framework/Unique.h"
#include <windows.h>

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Empty() noexcept { return nullptr; }
    static bool Close(Handle key) noexcept { return RegCloseKey(key) == ERROR_SUCCESS; }
};

using RegKey = Unique<RegKeyTraits>;
