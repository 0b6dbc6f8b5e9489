// The program's load configuration, for one field: DependentLoadFlags, the folders the loader
// searches for the program's own imports. System32 only, so that a DLL of an imported name
// lying beside the program is never loaded, also where a Windows leaves that name out of its
// KnownDLLs. MSVC's linker writes it (/DEPENDENTLOADFLAG); MinGW's ld leaves the header's entry
// for it empty, and cmake/fill-load-config.sh fills that entry after the link.
#include <windows.h>
#include <cstddef>

namespace {

// IMAGE_LOAD_CONFIG_DIRECTORY64 up to the safe-exception fields (0x70 bytes). The field at 0x4E
// is Reserved1 in MinGW-w64's headers and DependentLoadFlags in newer ones, so it is laid out
// here rather than named after either.
struct LoadConfiguration {
    DWORD Size;
    DWORD Unused[18]; // TimeDateStamp to ProcessHeapFlags
    WORD CSDVersion;
    WORD DependentLoadFlags;
    ULONGLONG Tail[4]; // EditList, SecurityCookie (none), SEHandlerTable, SEHandlerCount
};
static_assert(offsetof(LoadConfiguration, DependentLoadFlags) == 0x4E);
static_assert(sizeof(LoadConfiguration) == 0x70);

} // namespace

// The loader reads it before any code of the program runs: constant, never computed.
extern "C" constinit const LoadConfiguration _load_config_used = {
    sizeof(LoadConfiguration), {}, 0, LOAD_LIBRARY_SEARCH_SYSTEM32, {}};
