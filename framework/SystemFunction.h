#pragma once
// Functions of Windows' own DLLs, looked up at run time where an import would not do: a DLL
// that is not one of the KnownDLLs is searched for in the program's folder first, and one of
// that name planted there (in Downloads, say) would run with the user's rights.
#include <windows.h>

// Null where System32 lacks the DLL or the DLL lacks the function. The DLL stays loaded: the
// callers keep the function for the life of the process.
template <typename Function> Function SystemFunction(const char* module, const char* name) {
    const HMODULE loaded = LoadLibraryExA(module, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!loaded)
        return nullptr;
    // Through void(*)(), the one function type a cast may pass without a warning.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(loaded, name)));
}
