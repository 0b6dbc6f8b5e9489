#pragma once
// An open file of the Windows backend: a file to shred, a filler of a wipe, or a named stream.
#include "platform/FileSystem.h"
#include "platform/Win32Calls.h"
#include "platform/Win32FolderVolumes.h"
#include "platform/Win32Handles.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct Win32StreamSetup {
    // The name the handle was opened by, to check before every rename and the deletion.
    std::string path;
    // Where the file is, as its opener found it; its identity not read yet where unknown.
    FolderVolumes::Place place;
    // Attributes to put back when the stream closes without deleting the file.
    DWORD restore = INVALID_FILE_ATTRIBUTES;
    // False for a file whose name is already gone, and for a named stream.
    bool named = true;
    // The folder that holds the file, where it could be held as the file's own.
    FileHandle folder = {};
};

class Win32FileStream final : public FileStream {
public:
    // folders: where the backend keeps the volumes of held folders, to place the name's entry.
    Win32FileStream(Win32Calls& calls, FolderVolumes& folders, FileHandle handle,
                    Win32StreamSetup setup);
    ~Win32FileStream() override { Close(); }

    bool IsDiskFile() override { return GetFileType(FHandle.Get()) == FILE_TYPE_DISK; }
    bool Write(const void* data, std::size_t size) override;
    bool Flush() override { return FlushFileBuffers(FHandle.Get()) != FALSE; }
    bool Rewind() override {
        return SetFilePointerEx(FHandle.Get(), LARGE_INTEGER{}, nullptr, FILE_BEGIN) != FALSE;
    }
    bool Close() override;
    FileId Id() override;
    std::int64_t Length() override {
        LARGE_INTEGER length;
        return GetFileSizeEx(FHandle.Get(), &length) ? length.QuadPart : -1;
    }
    bool HideName() override;
    bool RestoreName() override;
    bool StillNamed() override;
    std::optional<std::vector<NamedStream>> NamedStreams() override;
    TargetOpen OpenNamedStream(const NamedStream& stream) override;
    std::uint32_t Storage() override;
    bool Delete() override;
    Whereabouts Where() override;
    OtherFileTouched TouchedAnother() override { return FTouched; }

private:
    // The identity the held file shows now: its number read again (FAT gives a file the place
    // of its folder entry as its number, and a rename can move the entry), its volume as at
    // the open where that came from its folder (a handle stays on its volume).
    FileId HeldId();
    // The identity of another handle, placed as the opener placed this one.
    FileId EntryId(HANDLE entry);
    // A file whose deletion the system took but did not carry out stays: it gets its first
    // name and its read-only bit back, through a handle checked to reach it.
    void Reclaim();
    // Gives the file that a rename by name reached instead of this one (it has FPath now)
    // its name back, and this file its own.
    void GiveBack();
    // Whether the deletion took the file out of its held folder (the folder may have moved).
    bool GoneFromFolder();

    Win32Calls& FCalls;
    FolderVolumes& FFolders;
    FileHandle FHandle;
    std::string FPath;
    std::string FFirstPath;
    FolderVolumes::Place FPlace;
    DWORD FRestore;
    bool FNamed;
    bool FDeleting = false;
    // What the held file showed as its handle closed after a deletion was asked for.
    FileId FLastId;
    FileHandle FFolder;
    // The name the last rename by name left, until a check shows this file under the new one.
    std::string FRenamedFrom;
    OtherFileTouched FTouched;
};
