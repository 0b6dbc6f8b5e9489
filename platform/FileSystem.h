#pragma once
// The file-system layer: everything the engine and the target list ask of the disk.
// Paths are 8-bit strings as the shell and the file picker deliver them.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Attribute bits, as Windows defines them; the POSIX backend maps what it can.
inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrReparsePoint = 0x400;
inline constexpr std::uint32_t kInvalidAttributes = 0xFFFFFFFF;

inline constexpr std::int64_t kNoFileSizeLimit = INT64_MAX;

// The reparse-tag bit of symbolic links, junctions and mount points: names that stand for
// another file or folder. Cloud placeholders and deduplicated files lack it.
inline constexpr std::uint32_t kReparseTagNameSurrogate = 0x20000000;
inline constexpr std::uint32_t kReparseTagSymlink = 0xA000000C;

// Which file an open reached: its volume and its number there (up to 128 bits: ReFS gives
// numbers wider than 64), and what tells apart two files that came to have the same number:
// where the number alone is given to a new file once the old one is gone (inode numbers), the
// generation of the number that the file system counts; on Windows the file's creation time
// (a volume serial may repeat or read 0, and FAT moves a number with its folder entry). Two
// volumes may give the same number to different files (two sticks formatted alike), so the
// volume belongs to the identity.
struct FileId {
    bool known = false;
    std::uint64_t volume = 0; // 0: not known (a serial of 0 says nothing)
    std::uint64_t index = 0;  // the number's low 64 bits
    std::uint64_t generation = 0;
    std::uint64_t indexHigh = 0; // and its high 64 bits
    std::uint64_t created = 0;   // creation time (Windows file time); 0 where not read
    bool operator==(const FileId&) const = default;
};

// An identity from what the system answered. A number of 0 or all ones is some file
// systems' way of saying that they do not know it: such a file has no identity.
inline FileId MakeFileId(std::uint64_t volume, std::uint64_t high, std::uint64_t low,
                         std::uint64_t generation = 0, std::uint64_t created = 0) {
    const bool none =
        (high == 0 && low == 0) || (high == ~0ull && low == ~0ull) || (high == 0 && low == ~0ull);
    if (none)
        return {};
    return {true, volume, low, generation, high, created};
}

// The name a file is given before its deletion, so that the folder's records keep nothing
// of its old name: one letter in place of every UTF-16 unit but the dots, which stay where
// they were. FAT then writes it over the old entries in place: the same length takes as many
// long-name entries, and a name that needs a long-name entry gets one that needs one too
// (mixed case, or where a part is too short for that a character no 8.3 name takes), one that
// does not gets one that does not (each part's old case kept). Only letters, dots and those
// characters, all ASCII.
std::string HidingName(std::u16string_view name, char letter);
// The same for a name in UTF-8.
std::string HidingNameOfUtf8(std::string_view name, char letter);

// A named data stream beside a file's main one (NTFS): its name, without the colons and the
// stream type, as shown (in the system code page, "?" for what it cannot spell), its length,
// and its name as the file system keeps it, which it is opened by.
struct NamedStream {
    std::string name;
    std::int64_t length = 0;
    std::u16string unicode;
    bool operator==(const NamedStream&) const = default;
};

// Where a file keeps bytes that overwriting it in place cannot reach (bits of Storage()).
inline constexpr std::uint32_t kStoredCompressed = 1; // rewritten into new clusters
inline constexpr std::uint32_t kStoredSparse = 2;     // likewise
inline constexpr std::uint32_t kStoredEncrypted = 4;  // EFS: likewise
inline constexpr std::uint32_t kStoredInCloud = 8;    // a cloud file: its versions stay there
inline constexpr std::uint32_t kStoredIntegrity = 16; // ReFS integrity streams: every write moves
inline constexpr std::uint32_t kStoredDeduplicated = 32; // its chunks stay in the chunk store
inline constexpr std::uint32_t kStoredOverlay = 64; // compressed by the overlay filter (CompactOS)

// The kStored... bits of a file from its Windows attribute bits and, for a reparse point, its
// tag. A cloud file is a placeholder or a file the system recalls on access, pinned or not.
inline std::uint32_t StorageOf(std::uint32_t attributes, std::uint32_t reparseTag) {
    constexpr std::uint32_t kSparse = 0x200, kCompressed = 0x800, kOffline = 0x1000,
                            kEncrypted = 0x4000, kIntegrity = 0x8000, kRecallOnOpen = 0x40000,
                            kPinned = 0x80000, kUnpinned = 0x100000, kRecallOnDataAccess = 0x400000;
    // IO_REPARSE_TAG_CLOUD and its sixteen kinds (the bits 12 to 15 tell them apart);
    // IO_REPARSE_TAG_DEDUP; IO_REPARSE_TAG_WOF.
    constexpr std::uint32_t kCloudTag = 0x9000001A, kCloudTagKinds = 0x0000F000,
                            kDedupTag = 0x80000013, kOverlayTag = 0x80000017;
    const bool tagged = (attributes & kAttrReparsePoint) != 0;
    const bool cloud =
        (attributes & (kOffline | kRecallOnOpen | kRecallOnDataAccess | kPinned | kUnpinned)) !=
            0 ||
        (tagged && (reparseTag & ~kCloudTagKinds) == kCloudTag);
    return ((attributes & kCompressed) != 0 ? kStoredCompressed : 0) |
           ((attributes & kSparse) != 0 ? kStoredSparse : 0) |
           ((attributes & kEncrypted) != 0 ? kStoredEncrypted : 0) | (cloud ? kStoredInCloud : 0) |
           ((attributes & kIntegrity) != 0 ? kStoredIntegrity : 0) |
           (tagged && reparseTag == kDedupTag ? kStoredDeduplicated : 0) |
           (tagged && reparseTag == kOverlayTag ? kStoredOverlay : 0);
}

// How many UTF-16 units a name in UTF-8 takes: Windows counts a path's length so (MAX_PATH),
// whatever its bytes.
inline std::size_t Utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    for (const char c : utf8) {
        const auto code = static_cast<unsigned char>(c);
        if ((code & 0xC0) != 0x80)
            units += code >= 0xF0 ? 2 : 1;
    }
    return units;
}

struct TargetOpen;

// An open file, held exclusively. Closed when destroyed.
class FileStream {
public:
    virtual ~FileStream() = default;
    // A regular disk file (not a device, pipe or console): only such files are ever written.
    virtual bool IsDiskFile() = 0;
    // Writes all of the bytes at the current position; false when the write fails or is short.
    virtual bool Write(const void* data, std::size_t size) = 0;
    // Forces what was written out to the device.
    virtual bool Flush() = 0;
    // Goes back to the first byte, for the next pass over the same open file.
    virtual bool Rewind() = 0;
    // Closes now; false when closing reported a failure, or when a file whose deletion the
    // system took is still there (it then gets back its name and its read-only bit).
    virtual bool Close() = 0;
    // The file this stream has open; not known when the system will not tell.
    virtual FileId Id() = 0;
    // The file's length as the system has it now; -1 when it cannot be read.
    virtual std::int64_t Length() = 0;
    // Empties the file and renames it, within its folder, to its HidingName, never replacing
    // a file: once it is deleted, the folder's records keep neither its size nor its name.
    // Every rename first checks that the name still leads to this very file. False when
    // either could not be done.
    virtual bool HideName() = 0;
    // Gives a file that HideName renamed its first name back, never replacing a file.
    virtual bool RestoreName() = 0;
    // Whether the name it has now (its first, or the one HideName gave) still leads to this
    // very file: not where a folder on the way was moved, or another file took the name.
    virtual bool StillNamed() = 0;
    // The file's named data streams. Empty where its volume keeps none; none at all (nullopt)
    // where it keeps them but the list cannot be read.
    virtual std::optional<std::vector<NamedStream>> NamedStreams() = 0;
    // One of them, opened with no sharing for the passes, once the file's name is checked to
    // lead to it; refused as InUse where another program holds the stream.
    virtual TargetOpen OpenNamedStream(const NamedStream& stream) = 0;
    // Where the file keeps bytes out of reach of overwriting: kStored... bits, 0 for none.
    virtual std::uint32_t Storage() = 0;
    // Deletes the file through this very handle, once its name is checked to lead to it; the
    // stream stays open. True when the system took the deletion; where it completes only as
    // the handle closes, Close then says whether the file went.
    virtual bool Delete() = 0;

    // Where a file left behind is now, also once closed: its full name as far as the system
    // can tell ("" for the name it was opened by). Where a folder on its way was moved and the
    // system cannot tell where to, only the file's own name, and `folderLost`.
    struct Whereabouts {
        std::string path;
        bool folderLost = false;
    };
    virtual Whereabouts Where() { return {}; }
    // Whether an act by name reached another file (a folder on the way moved between the
    // check and the act), which was given its name back; `given` false where it could not be.
    struct OtherFileTouched {
        bool touched = false;
        bool given = false;
    };
    virtual OtherFileTouched TouchedAnother() { return {}; }
};

// Why a file was not opened to be shredded.
enum class OpenRefusal {
    None,
    NoFile,      // no regular file at the name (any more)
    Link,        // reached through a symbolic link or junction
    NotDiskFile, // a device, pipe or console
    OtherNames,  // a hard link: the same file has other names nobody listed
    Changed,     // another file took the name's place while it was being opened
    InUse,       // another program holds it (a sharing or lock violation): it may let go soon
    Denied,      // there, but Windows will not let it be read or changed (rights, write-protected)
};

struct TargetOpen {
    std::unique_ptr<FileStream> file; // null when refused
    OpenRefusal refusal = OpenRefusal::None;
};

struct DirectoryEntry {
    std::string name;
    std::uint32_t attributes = 0;
    // Meaningful only with kAttrReparsePoint; 0 where the platform does not report it.
    std::uint32_t reparseTag = 0;
    // The file the entry is (files only), where the listing can tell.
    FileId id;
    bool IsDirectory() const { return (attributes & kAttrDirectory) != 0; }
    // A symbolic link, junction or mount point: never followed when expanding folders. A
    // reparse point of untold kind counts as one too, since following a link to a parent
    // would never end. Other reparse points (cloud placeholders, deduplicated files) are
    // plain files and folders.
    bool IsLink() const {
        return (attributes & kAttrReparsePoint) != 0 &&
               (reparseTag == 0 || (reparseTag & kReparseTagNameSurrogate) != 0);
    }
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Whether the system looks the name up as it stands. Windows strips a trailing dot or
    // blank from every part of a path first, so "report." would reach "report": such a name
    // is neither a file nor a folder here, and nothing is ever done through it.
    virtual bool NamesItself(const std::string& path) = 0;

    // An existing regular file: a directory lookup finds an entry that is not a directory,
    // whatever its time stamps. Names with wildcards never count.
    virtual bool IsRegularFile(const std::string& path) = 0;
    // An existing directory: its attributes can be read and include the directory bit.
    virtual bool IsDirectory(const std::string& path) = 0;

    // kInvalidAttributes when they cannot be read.
    virtual std::uint32_t GetAttributes(const std::string& path) = 0;
    // False when the system cannot look the name up at all (too long for the functions used,
    // refused, or in a folder it may not read); a name that is simply not there can be.
    virtual bool CanLookUp(const std::string&) { return true; }
    // Through a handle that reached the named file itself, never a link's target.
    virtual bool SetAttributes(const std::string& path, std::uint32_t attributes) = 0;

    // True when the name, or where it does not exist the nearest folder above it that does,
    // is reached through a symbolic link or junction anywhere on its path.
    virtual bool ReachedThroughLink(const std::string& path) = 0;

    // Opens an existing file for reading with no sharing and returns its length; -1 when the
    // file is reached through a link or junction. Raises Exception("Cannot open file <path>")
    // when it cannot be opened.
    virtual std::int64_t FileLength(const std::string& path) = 0;

    // The file the name names now, not following a link at the name; not known when the
    // system cannot tell.
    virtual FileId Identify(const std::string& path) = 0;

    // The one open of a file to be shredded: held, with no sharing, from its sizing through
    // every pass to its deletion, so that nothing can grow, replace or recreate it meanwhile.
    // Only a regular disk file with a single name, reached with no link on the way, is opened;
    // a read-only one is made writable through a handle that reached it, and gets its bit back
    // when the stream closes without deleting it. Raises Exception("Cannot open file <path>")
    // when the file is there but cannot be opened (another program holds it).
    virtual TargetOpen OpenTarget(const std::string& path) = 0;

    // Every open and create below refuses (gives null) a file reached through a symbolic link
    // or junction anywhere on its path: what the passes write is the file the name names.

    // Opens an existing file for reading and writing, no sharing, not truncated, positioned
    // at its start. Null when it cannot be opened.
    virtual std::unique_ptr<FileStream> OpenReadWrite(const std::string& path) = 0;
    // Makes a new file for reading and writing, no sharing, that is gone again however the
    // program ends: where the system allows, its name goes at once and only the open handle
    // keeps it (POSIX); elsewhere closing the stream removes it, and so does the program's end,
    // even when it is killed (not a crash or a power cut on Windows). Never opens a file that
    // exists; null when it cannot be made.
    virtual std::unique_ptr<FileStream> CreateFiller(const std::string& path) = 0;

    // Deletes the file the name names, and only if it is the file `id`: never a link's target
    // and never a file that has taken the name's place. True once the name is gone.
    virtual bool Delete(const std::string& path, const FileId& id) = 0;

    // A key that two names share exactly when the platform takes them for the same name (on
    // Windows: the same full path in any letter case).
    virtual std::string NameKey(const std::string& path) = 0;

    // Bytes available to the caller on a drive, or -1 when that cannot be found.
    // With drive letters, `drive` decides (1 = A:, 3 = C:, 0 = the current folder's drive),
    // and of that drive the volume that would hold `path` (a folder may mount another);
    // without them, it is the file system that would hold `path`.
    virtual std::int64_t FreeSpace(std::uint8_t drive, const std::string& path) = 0;
    // All of the drive's free space, the caller's share and what a disk quota or the system
    // keeps from it alike; -1 when that cannot be found.
    virtual std::int64_t TotalFreeSpace(std::uint8_t drive, const std::string& path) = 0;
    // The largest file the file system that would hold `path` can keep (4 GiB - 1 on FAT);
    // kNoFileSizeLimit where it sets none that matters.
    virtual std::int64_t LargestFile(const std::string& path) = 0;

    // Lists a folder (`dir` ends with a delimiter) in the platform's order, "." and ".."
    // included where the platform returns them. The callback may list other folders itself.
    // False when the folder cannot be listed.
    virtual bool ListDirectory(const std::string& dir,
                               const std::function<void(const DirectoryEntry&)>& visit) = 0;

    // The path delimiter of the platform.
    virtual char Delimiter() const = 0;

    // A run's files are done: folders held open to know their files' volume are let go, so
    // that their drives can be removed.
    virtual void ReleaseFolders() {}
};

// The backend of the platform this program was built for.
FileSystem& SystemFileSystem();
