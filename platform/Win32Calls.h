#pragma once
// What the Windows backend asks of the system about open files and the names they were opened
// by, behind one seam: a test stands in for it where Wine cannot answer as Windows and its
// file systems do (a FAT number that moves with a rename, another volume's file of the same
// number, a serial that repeats, a volume that keeps named streams, a deletion the system
// took but did not carry out).
#include "platform/FileSystem.h"
#include "platform/Win32Handles.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One entry of a file's list of data streams, as the system gives it (":name:$DATA").
struct StreamEntry {
    std::wstring name;
    std::int64_t length = 0;
};

class Win32Calls {
public:
    virtual ~Win32Calls() = default;

    // The name's own entry, not followed (a link there is a file of its own), opened with
    // every sharing for `access`; empty when it cannot be opened.
    virtual FileHandle OpenEntry(const std::string& path, DWORD access);
    // The whole identity of what a handle has open: volume, number, creation time.
    virtual FileId FullId(HANDLE handle);
    // Its 64-bit number and creation time alone (volume 0): cheap, where the volume is known
    // from elsewhere.
    virtual FileId LocalId(HANDLE handle);
    // Where the handle is (FinalPathOf); "" when the system will not tell.
    virtual std::string FinalPath(HANDLE handle);
    // The same by volume GUID (GuidPathOf); "" where there is none.
    virtual std::string GuidPath(HANDLE handle);
    // Whether the handle's file system names a file by its 64-bit number alone.
    virtual bool NumbersSuffice(HANDLE handle);
    // Whether the handle's volume keeps named streams; none where it cannot be read.
    virtual std::optional<bool> KeepsStreams(HANDLE handle);
    // The handle's data streams; ERROR_SUCCESS, or the error that kept the list.
    virtual DWORD Streams(HANDLE handle, std::vector<StreamEntry>& streams);
    // A named stream ("\\?\<file>:<name>:$DATA") for reading and writing, with no sharing;
    // `error` tells why it could not be opened.
    virtual FileHandle OpenStream(const std::wstring& path, DWORD& error);
    // Renames what the handle has open to a full path, never replacing a file.
    virtual bool Rename(HANDLE handle, const std::string& path);
    // Asks for the deletion of what the handle has open, carried out as it closes.
    virtual bool MarkForDeletion(HANDLE handle);
    virtual bool SetAttributes(HANDLE handle, DWORD attributes);
    // Whether the name is there at all.
    virtual bool NameExists(const std::string& path);
    // Makes cloud placeholders show as what they are to this process: Windows may disguise
    // them as plain files for some programs, and a cloud file must always be told.
    virtual void ExposePlaceholders();

    // The system's own answers.
    static Win32Calls& System();
};
