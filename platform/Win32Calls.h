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
#include <string_view>
#include <vector>

// One entry of a file's list of data streams, as the system gives it (":name:$DATA").
struct StreamEntry {
    std::wstring name;
    std::int64_t length = 0;
};

// One entry of a folder's listing with its number, as the system gives it.
struct NumberedEntry {
    std::wstring name;
    std::uint64_t high = 0, low = 0, created = 0;
};

// Whether a file system of this name (as GetVolumeInformation gives it) names every file by
// its 64-bit number alone: ReFS numbers take 128 bits, and what a network or other driver
// gives is not known.
bool NumbersSufficeOn(std::wstring_view fileSystem);

class Win32Calls {
public:
    virtual ~Win32Calls() = default;

    // The name's own entry, not followed (a link there is a file of its own), opened with
    // every sharing for `access`; empty when it cannot be opened.
    virtual FileHandle OpenEntry(const std::string& path, DWORD access);
    // The whole identity of what a handle has open: volume, number, creation time. The
    // 128-bit number where the file system gives one, else the 64-bit one.
    virtual FileId FullId(HANDLE handle);
    // FileIdInfo of a handle; false where the system refuses it.
    virtual bool IdInfo(HANDLE handle, FILE_ID_INFO& info);
    // Its 64-bit number and creation time alone (volume 0): cheap, where the volume is known
    // from elsewhere.
    virtual FileId LocalId(HANDLE handle);
    // Where the handle is (FinalPathOf); "" when the system will not tell.
    virtual std::string FinalPath(HANDLE handle);
    // The same by volume GUID (GuidPathOf); "" where there is none.
    virtual std::string GuidPath(HANDLE handle);
    // Whether the handle's file system names a file by its 64-bit number alone.
    virtual bool NumbersSuffice(HANDLE handle);
    // The identity of a file as listings and runs alike take it: where 64-bit numbers suffice,
    // that number (as FileInternalInformation and the 64-bit listing give it) with the volume,
    // else FullId. One file always matches itself, whichever of them read it.
    FileId OwnId(HANDLE handle);
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
    // Whether the system's creation time of a file follows its writes, as Wine's does (it
    // gives the last write time): then it tells nothing of which file a handle has.
    virtual bool CreationFollowsWrites();
    // Whether the system renames and deletes an open file by the name it was opened by, as
    // Wine does, rather than through the handle wherever the file is now.
    virtual bool ActsByName();
    // Whether a held handle's final path follows its folder when that is moved (Windows);
    // Wine's keeps the name it was opened by.
    virtual bool FinalPathsFollowMoves();
    // An identity as it is compared (the others above are the system's answers): without the
    // creation time where that follows writes and the volume is known.
    FileId Settled(FileId id);
    // A folder by its name, held with every sharing: its handle follows it wherever it is
    // moved, as its name does not. Empty when it cannot be opened.
    virtual FileHandle OpenFolder(const std::string& path);
    // A name's own entry within a held folder (a link there is a file of its own), opened with
    // every sharing for `access`; `error` tells why it could not be opened.
    virtual FileHandle OpenInFolder(HANDLE folder, const std::wstring& name, DWORD access,
                                    DWORD& error);
    // A name's file for changing its attributes (following a link at the name, which the
    // caller checks); `error` tells why it could not be opened.
    virtual FileHandle OpenAttributes(const std::string& path, DWORD& error);
    // A folder's listing in UTF-16, without short names: "pattern" is "<folder>\*". The
    // code-page form fails where a name or its short form does not fit its fixed fields.
    virtual FindHandle FindFirst(const std::wstring& pattern, WIN32_FIND_DATAW& found);
    virtual bool FindNext(HANDLE search, WIN32_FIND_DATAW& found);
    // A folder's entries with their numbers in a few calls: 128-bit numbers
    // (FileIdExtdDirectoryInfo) when `wide`, else 64-bit ones (FileIdBothDirectoryInfo).
    // False where the system refuses that kind, or the folder is empty.
    virtual bool NumberedEntries(HANDLE folder, bool wide, std::vector<NumberedEntry>& entries);
    // Whether Windows' overlay filter keeps the file's data elsewhere (compressed, CompactOS,
    // or in a WIM): it shows no reparse point once opened.
    virtual bool OverlayBacked(HANDLE handle);
    // Makes cloud placeholders show as what they are to this process: Windows may disguise
    // them as plain files for some programs, and a cloud file must always be told.
    virtual void ExposePlaceholders();

    // The system's own answers.
    static Win32Calls& System();
};
