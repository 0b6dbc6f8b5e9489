#pragma once
// The volume of files opened one after another in the same folders, read once per folder and
// not once per file: Wine asks its mount manager for every volume query, which under a run's
// own disk load takes milliseconds.
//
// A folder is held open while it is known. A held handle stays on its volume, and two handles
// whose final paths name the same folder at the same moment are on one volume, whatever drive
// letter was moved or stick swapped before: a file on another volume never gets the held
// folder's volume.
#include "platform/FileSystem.h"
#include "platform/Win32Handles.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>

class FolderVolumes {
public:
    // What the system tells of a handle. A test stands in for it where Wine cannot move a
    // drive letter to another volume or mount ReFS.
    class Queries {
    public:
        virtual ~Queries() = default;
        virtual std::string FinalPath(HANDLE handle);
        virtual FileId FullId(HANDLE handle);
        // Whether the handle's file system names a file by its 64-bit number alone.
        virtual bool NumbersSuffice(HANDLE handle);
    };

    FolderVolumes();
    explicit FolderVolumes(Queries& queries) : FQueries(queries) {}

    // The identity of an open file whose final path (as GetFinalPathNameByHandleA gave it) is
    // `finalPath`; read whole from the file where its folder gives no volume or where the
    // file system's 64-bit numbers do not name a file alone (ReFS).
    FileId IdOf(HANDLE file, const std::string& finalPath);
    // Lets every folder go, so that their drives can be removed.
    void Release() { FHeld.clear(); }

private:
    struct Held {
        FileHandle folder;
        // None where the files are read whole.
        std::optional<std::uint64_t> volume;
    };
    static Queries& SystemQueries();
    bool IsFolder(HANDLE handle, const std::string& folder);

    Queries& FQueries;
    // By the folder's final path in upper case.
    std::map<std::string, Held> FHeld;
};
