#pragma once
// The volume of files opened one after another in the same folders, read once per folder and
// not once per file: Wine asks its mount manager for every volume query, which under a run's
// own disk load takes milliseconds.
//
// A folder is held open while it is known. A held handle stays on its volume, and two handles
// whose final paths name the same folder at the same moment are on one volume, whatever drive
// letter was moved or stick swapped before: a file on another volume never gets the held
// folder's volume. Whether the volume keeps named streams is read with it, for the same
// reason: a serial can repeat on another volume, a held folder cannot.
#include "platform/FileSystem.h"
#include "platform/Win32Calls.h"
#include "platform/Win32Handles.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>

class FolderVolumes {
public:
    // Where an open file is.
    struct Place {
        FileId id;
        // The volume is the held folder's: the file's number, read again, stands beside it.
        bool volumeFromFolder = false;
        // Whether that volume keeps named streams, where it was read for the folder.
        std::optional<bool> keepsStreams;
    };

    explicit FolderVolumes(Win32Calls& calls) : FCalls(calls) {}

    // Where an open file whose final path (as GetFinalPathNameByHandle gave it) is
    // `finalPath` is; its identity read whole where its folder gives no volume or where the
    // file system's 64-bit numbers do not name a file alone (ReFS).
    Place PlaceOf(HANDLE file, const std::string& finalPath);
    FileId IdOf(HANDLE file, const std::string& finalPath) { return PlaceOf(file, finalPath).id; }
    // Lets every folder go, so that their drives can be removed.
    void Release() { FHeld.clear(); }

private:
    struct Held {
        FileHandle folder;
        // None where the files are read whole.
        std::optional<std::uint64_t> volume;
        std::optional<bool> keepsStreams;
    };
    bool IsFolder(HANDLE handle, const std::string& folder);
    // A file whose identity is read whole, its folder standing for nothing.
    Place Whole(HANDLE file);

    Win32Calls& FCalls;
    // By the folder's final path in upper case.
    std::map<std::string, Held> FHeld;
};
