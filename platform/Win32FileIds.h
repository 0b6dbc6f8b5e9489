#pragma once
// Which file a Win32 handle has open.
#include "platform/FileSystem.h"

#include <windows.h>

#include <cstdint>

// The file's number alone, for a quick first comparison; 0 when the system will not tell.
// The calls that give the volume as well cost Wine a millisecond each (it asks its mount
// manager), so they are made only where the volume tells something.
std::uint64_t NumberOf(HANDLE handle);

// The file's creation time as a Windows file time; 0 when it cannot be read.
std::uint64_t CreationOf(HANDLE handle);

// The identity FileIdInfo gives: a serial of 0 is no volume known, and the number takes all
// 128 bits of the identifier.
FileId IdOfFileIdInfo(const FILE_ID_INFO& info, std::uint64_t created);

// The volume, the whole file number (128 bits on ReFS) and the creation time. `info` is the
// handle's FileIdInfo, null where the system refused it; one that gives no number (a file
// system without 128-bit numbers answers 0) leaves the 64-bit number.
FileId FullIdOf(HANDLE handle, const FILE_ID_INFO* info);

// The 64-bit number and the creation time, with no volume.
FileId LocalIdOf(HANDLE handle);
