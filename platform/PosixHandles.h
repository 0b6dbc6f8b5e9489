#pragma once
// Owners for the descriptors of the file-system layer.
#include "framework/Unique.h"
#include <dirent.h>
#include <unistd.h>

struct FdTraits {
    using Handle = int;
    static Handle Empty() noexcept { return -1; }
    // Linux releases the descriptor even when close reports EINTR, so it is never retried.
    static bool Close(Handle fd) noexcept { return close(fd) == 0; }
};
using Fd = Unique<FdTraits>;

struct DirTraits {
    using Handle = DIR*;
    static Handle Empty() noexcept { return nullptr; }
    static bool Close(Handle dir) noexcept { return closedir(dir) == 0; }
};
using DirStream = Unique<DirTraits>;
