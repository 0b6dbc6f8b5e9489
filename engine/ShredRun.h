#pragma once
// The shred run: seven overwrite passes over every listed file, then deletion and marking.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/FileSystem.h"

class DisplayElements;

inline constexpr std::string_view kDoneMarker = "SHREDDED! ... ";
// The status line while a file another program holds is asked for again, before its name.
inline constexpr std::string_view kWaitingStatus =
    "Another program has this file open; waiting for it: ";
inline constexpr int kPassCount = 7;
inline constexpr std::int64_t kBlockSize = 16384;

// 244 characters: 122 binary digits, each followed by a blank.
inline constexpr std::string_view kBitPattern =
    "0 1 0 1 1 0 1 0 0 1 1 1 0 1 1 0 1 0 1 1 0 1 0 0 1 1 0 0 1 0 1 0 1 1 0 0 0 1 1 0 0 1 1 1 "
    "0 1 1 0 1 0 1 1 0 1 0 0 1 1 1 0 1 0 0 1 1 1 0 1 1 0 1 0 1 1 0 1 0 0 1 1 0 0 1 0 1 0 1 1 "
    "0 1 0 0 1 1 1 0 1 1 0 1 0 1 1 0 1 0 0 1 1 0 0 1 0 1 0 1 1 0 0 0 1 1 ";

// The size rule's last step: free space times 0.95 in 80-bit extended precision, rounded
// to the nearest integer with ties to even. Exact on every compiler.
std::int64_t NinetyFivePercent(std::int64_t freeSpace) noexcept;

// Why a run left an entry unmarked.
enum class LeftReason {
    RefusedName,          // the system would look the name up as another ("report.")
    Gone,                 // the listed file is no longer there
    Appeared,             // a file is where a free-space wipe was asked for
    Changed,              // the name leads to another file than the one listed
    OtherNames,           // the file has other names (hard links) that nobody listed
    Link,                 // reached through a symbolic link or junction
    NotDiskFile,          // a device, pipe or console
    NoFreeSpace,          // the drive's free space could not be read
    NotWritten,           // no pass could write it; its content is whole
    PartlyOverwritten,    // some passes wrote it, not all seven: its content is partly destroyed
    Resized,              // it grew or shrank while being overwritten
    NotDeleted,           // overwritten seven times, but it could not be deleted
    NameMoved,            // overwritten seven times, but its name came to lead elsewhere
    NotWiped,             // the free space could not be wiped
    NoFolder,             // no file had the name, and its folder does not exist: nothing written
    InUse,                // another program kept it open (tried again for a while); untouched
    NotOpened,            // the system refused to open it for another reason; untouched
    StreamNotOverwritten, // its main content was overwritten, a named stream of it was not
    StreamsUnlisted,      // its main content was overwritten; its named streams were unknown
    StreamInUse,          // its main content was overwritten; another program kept a stream open
    // Overwritten, but while its name was being hidden a folder on its way was moved and a
    // rename by name reached another file: that file got its name back, and this one was left.
    OtherFileRenamed,
    OtherFileNotGivenBack, // the same, but the other file could not be given its name back
};

struct LeftEntry {
    std::string path;
    LeftReason reason;
    // Where the file is now, where that is not the listed name: its full name as far as the
    // system can tell; only its own name where a folder on its way was moved to where the
    // system cannot tell (`folderLost`).
    std::string now = {};
    bool folderLost = false;
    // The file as it was listed, where the list knew it: two lines of one file are one file.
    FileId file = {};
};

// What a run tells of an entry it marked: what the mark alone does not say.
enum class ToldReason {
    NameNotHidden,  // shredded, but its name and size could not be hidden from the folder
    WipedFreeSpace, // no file had this name: the free space of its drive was wiped instead
    QuotaLimited,   // a wipe that reached only the free space this user may use (a quota)
    // Shredded, but stored where overwriting in place does not reach: NTFS wrote the passes
    // into new clusters, and freed the old ones unwritten; or a cloud keeps its versions.
    Compressed,
    Sparse,
    Encrypted,
    InCloud,
    IntegrityStreams,  // ReFS: every write goes to new clusters
    Deduplicated,      // the chunk store keeps its content
    OverlayCompressed, // compressed by Windows' overlay filter: the compressed copy is freed
                       // unwritten
};

struct ToldEntry {
    std::string path;
    ToldReason reason;
};

class ShredRun {
public:
    ShredRun(DisplayElements& display, FileSystem& files);

    // The whole run over the current target list (the "Shred &NOW!" button).
    void Execute();
    // Ends the run at its next block, from a message handled while it works (the session
    // ending): the entry under way is left unmarked, its filler removed, later ones untouched.
    void Stop() noexcept { FStopped = true; }
    bool Stopped() const noexcept { return FStopped; }
    // The entries this run left unmarked, with the reason, in the list's order.
    const std::vector<LeftEntry>& Left() const noexcept { return FLeft; }
    // What this run has to tell of entries it marked, in the list's order.
    const std::vector<ToldEntry>& Told() const noexcept { return FTold; }
    // The files this run destroyed: a second line of one of them, marked with it, is none.
    std::size_t Shredded() const noexcept { return FFilesShredded; }

    // Bytes to write for one entry; negative when there is nothing to do. A file to shred
    // stays open from here to its deletion.
    std::int64_t GetTargetSize(const std::string& entry);

    // One pass over one file; the bytes written, or -1 when the pass failed.
    std::int64_t OverwritePass(const std::string& path, int pass, std::int64_t size);

private:
    struct FileIdHash {
        std::size_t operator()(const FileId& id) const noexcept {
            return std::hash<std::uint64_t>()(id.index ^ (id.volume * 0x9E3779B97F4A7C15ull));
        }
    };

    // One entry: seven passes, then deletion and marking, or nothing at all.
    void ShredEntry(int index);
    // The passes and the deletion of an entry whose file (or filler name) is ready.
    void Destroy(int index, const std::string& path, std::int64_t size);
    // The same seven passes over each named stream of the file, after its main stream's.
    void OverwriteStreams(const std::string& path);
    // What the storage of a file the run shredded keeps out of the passes' reach.
    void TellStorage(const std::string& path, std::uint32_t storage);
    void Mark(int index, const std::string& path);
    void Leave(const std::string& path, LeftReason reason,
               const FileStream::Whereabouts& where = {});
    // Whether the folder a name would be in is there (a mistyped one is not).
    bool FolderExists(const std::string& path);
    // Whether an earlier entry of this run shredded a file under this name (for entries
    // listed without a look at what they named).
    bool ShreddedEarlier(const std::string& entry);
    // The one open of an entry's file, tried again for a while when another program holds it.
    TargetOpen OpenTarget(const std::string& path);
    // An open (of a file or of its named stream) tried again in the same way.
    TargetOpen Patiently(const std::string& path, const std::function<TargetOpen()>& open);
    // Makes the parts of a wipe's filler that are still missing; false when one cannot be made.
    bool MakeFillers(const std::string& path, std::int64_t size);
    void DropFillers();

    DisplayElements& FDisplay;
    FileSystem& FFiles;
    bool FStopped = false;
    // How many files of this run another program held when they were first asked for.
    int FHeldFiles = 0;
    std::size_t FFilesShredded = 0;
    FileId FEntryFile; // the entry under way's, as listed
    // The current entry: whether it asks for a free-space wipe, and whether every pass so
    // far wrote its file in full.
    bool FWipe = false;
    bool FIntact = true;
    // Whether a pass wrote any byte of the current file, and whether its length changed.
    bool FWrote = false;
    bool FResized = false;
    // What the last sizing found at the entry's name: a file, and why it was not opened.
    bool FSizedFile = false;
    OpenRefusal FRefusal = OpenRefusal::None;
    // The file being shredded, held from its sizing to its deletion.
    std::unique_ptr<FileStream> FTarget;
    // The named stream the passes write now, instead of the main one.
    FileStream* FStream = nullptr;
    // Why the named streams of the current file kept it, if they did.
    std::optional<LeftReason> FStreamFault;
    std::string FTargetPath;
    // What a pass made where no file was: held until the entry ends, so that it is written
    // by every later pass and goes however the run ends. Split into parts of FPartSize bytes
    // where the file system keeps no file as large as the whole (FAT32: 4 GiB).
    std::vector<std::unique_ptr<FileStream>> FFillers;
    std::vector<std::string> FFillerNames;
    std::int64_t FPartSize = kNoFileSizeLimit;
    // A wipe that reached only the caller's share of the free space (a disk quota).
    bool FQuotaLimited = false;
    // The files this run has shredded, and (for entries listed without a look) their names.
    std::unordered_set<FileId, FileIdHash> FShredded;
    std::unordered_set<std::string> FShreddedNames;
    std::vector<LeftEntry> FLeft;
    std::vector<ToldEntry> FTold;
    std::vector<unsigned char> FBlock;
    std::vector<unsigned char> FBatch;
};
