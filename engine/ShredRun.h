#pragma once
// The shred run: seven overwrite passes over every listed file, then deletion and marking.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/FileSystem.h"

class DisplayElements;

inline constexpr std::string_view kDoneMarker = "SHREDDED! ... ";
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

class ShredRun {
public:
    ShredRun(DisplayElements& display, FileSystem& files);

    // The whole run over the current target list (the "Shred &NOW!" button).
    void Execute();
    // Ends the run at its next block, from a message handled while it works (the session
    // ending): the entry under way is left unmarked, its filler removed, later ones untouched.
    void Stop() noexcept { FStopped = true; }

    // Bytes to write for one entry; negative when there is nothing to do.
    std::int64_t GetTargetSize(const std::string& entry);

    // One pass over one file; the bytes written, or -1 when the pass failed.
    std::int64_t OverwritePass(const std::string& path, int pass, std::int64_t size);

private:
    // One entry: seven passes, then deletion and marking, or nothing at all.
    void ShredEntry(int index);
    void Mark(int index, const std::string& path);
    // Whether an earlier entry of this run shredded the file `entry` names.
    bool ShreddedEarlier(const std::string& entry);

    DisplayElements& FDisplay;
    FileSystem& FFiles;
    bool FStopped = false;
    // The current entry: whether it asks for a free-space wipe, the file its first pass
    // reached, and whether every pass so far wrote that same file in full.
    bool FWipe = false;
    // Whether the last sizing found a file at the entry's name.
    bool FSizedFile = false;
    FileId FFirstFile;
    bool FIntact = true;
    // What a pass made where no file was: held until the entry ends, so that it is written
    // by every later pass and goes however the run ends.
    std::unique_ptr<FileStream> FFiller;
    // The attributes of a read-only file before a pass made it writable.
    std::uint32_t FReadOnlyAttributes = kInvalidAttributes;
    // The names (as NameKey gives them) of the files this run has shredded.
    std::unordered_set<std::string> FShredded;
    std::vector<unsigned char> FBlock;
    std::vector<unsigned char> FBatch;
};
