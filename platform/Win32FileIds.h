#pragma once
// Which file a Win32 handle has open.
#include "platform/FileSystem.h"

#include <windows.h>

#include <cstdint>

// The file's number alone, for a quick first comparison; 0 when the system will not tell.
// The calls that give the volume as well cost Wine a millisecond each (it asks its mount
// manager), so they are made only where the volume tells something.
std::uint64_t NumberOf(HANDLE handle);

// The volume and the whole file number (128 bits on ReFS).
FileId FullIdOf(HANDLE handle);
