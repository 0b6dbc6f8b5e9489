#include "engine/ShredRun.h"

#include "engine/DisplayElements.h"
#include "engine/Random.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cstring>

namespace {

// Whole blocks are gathered into one write of up to this many bytes: every chunk but the
// last writes the same block, so the bytes on disk are the same as chunk-by-chunk writes.
constexpr std::size_t kBatchBlocks = 64;

constexpr std::uint32_t kBlack = 0;

// A pass forces its data out at least this often. One flush of everything at the end of a
// large pass could block for longer than the window may go without a sign of life.
constexpr std::int64_t kFlushInterval = 32 * 1024 * 1024;

// The progress bar goes back to 0 however the pass ends.
class ProgressReset {
public:
    explicit ProgressReset(DisplayElements& display) : FDisplay(display) {}
    ProgressReset(const ProgressReset&) = delete;
    ProgressReset& operator=(const ProgressReset&) = delete;
    ~ProgressReset() { FDisplay.SetProgressPosition(0); }

private:
    DisplayElements& FDisplay;
};

std::uint8_t DriveNumber(char first) {
    auto code = static_cast<unsigned char>(first);
    if (code >= 'a' && code <= 'z')
        code = static_cast<unsigned char>(code - 'a' + 'A');
    return static_cast<std::uint8_t>(code - 64);
}

} // namespace

ShredRun::ShredRun(DisplayElements& display, FileSystem& files)
    : FDisplay(display), FFiles(files) {}

void ShredRun::Execute() {
    FDisplay.SetStatusColor(kBlack);
    FDisplay.SetListColor(kBlack);
    FShredded.clear();
    const int count = FDisplay.ListCount();
    for (int i = 0; i < count && !FStopped; ++i)
        ShredEntry(i);
}

void ShredRun::ShredEntry(int index) {
    // Marked by an earlier run: its text, marker and all, is no name.
    const EntryKind kind = FDisplay.ListKind(index);
    if (kind == EntryKind::Shredded)
        return;
    const std::string path = FDisplay.ListText(index);
    // Whatever is done by such a name would be done to another file.
    if (!FFiles.NamesItself(path))
        return;
    // The same file listed twice (other letter case, a folder dropped twice) is gone after
    // its first entry; wiping free space under its name would write a whole drive.
    if (ShreddedEarlier(path)) {
        Mark(index, path);
        return;
    }
    // A file that was listed and is gone now is not a request to wipe its drive, and a file
    // that has appeared where a wipe was asked for is not one the user listed.
    const bool exists = FFiles.IsRegularFile(path);
    FWipe = kind == EntryKind::NoFile || (kind == EntryKind::Unknown && !exists);
    if (exists == FWipe)
        return;
    // Sized as the other kind (a lookup failed in between), a listed file would get seven
    // passes as long as the drive's free space.
    const std::int64_t size = GetTargetSize(path);
    if (size < 0 || FSizedFile == FWipe)
        return;

    FFiller.reset();
    FFirstFile = FileId{};
    FIntact = true;
    FReadOnlyAttributes = kInvalidAttributes;
    for (int pass = 1; pass <= kPassCount && !FStopped; ++pass)
        if (OverwritePass(path, pass, size) == -1)
            FIntact = false;
    FIntact = FIntact && !FStopped;

    bool shredded = false;
    if (FFiller) {
        // Closing the filler removes it; it is a wipe only if the name is gone with it.
        FFiller.reset();
        shredded = FWipe && FIntact && !FFiles.IsRegularFile(path);
    } else {
        // Only the file the passes wrote is deleted, whatever the name leads to now.
        shredded = !FWipe && FIntact && FFiles.Delete(path, FFirstFile);
    }
    if (!shredded) {
        // A file left for the next run keeps its read-only bit.
        if (FReadOnlyAttributes != kInvalidAttributes)
            FFiles.SetAttributes(path, FReadOnlyAttributes);
        return;
    }
    // A wipe's name was never a file: listing it again asks for another wipe.
    if (!FWipe)
        FShredded.insert(FFiles.NameKey(path));
    Mark(index, path);
}

void ShredRun::Mark(int index, const std::string& path) {
    FDisplay.ListReplace(index, std::string(kDoneMarker) + path);
    FDisplay.SetListKind(index, EntryKind::Shredded);
    FDisplay.RepaintList();
}

bool ShredRun::ShreddedEarlier(const std::string& entry) {
    // A file there now is another file: it is shredded as any other.
    return !FShredded.empty() && FShredded.count(FFiles.NameKey(entry)) != 0 &&
           !FFiles.IsRegularFile(entry);
}

std::int64_t ShredRun::GetTargetSize(const std::string& entry) {
    FSizedFile = false;
    if (entry.empty())
        return 0;
    // Asked first, whatever the entry names.
    const std::int64_t freeSpace = FFiles.FreeSpace(DriveNumber(entry[0]), entry);
    // A link on the way makes the entry neither a file to shred nor a free-space wipe: the
    // size is -1 then.
    FSizedFile = FFiles.IsRegularFile(entry);
    if (FSizedFile)
        return FFiles.FileLength(entry);
    if (FFiles.ReachedThroughLink(entry))
        return -1;
    return NinetyFivePercent(freeSpace);
}

std::int64_t ShredRun::OverwritePass(const std::string& path, int pass, std::int64_t size) {
    FDisplay.SetStatusText("shredding " + path + ": size is " + std::to_string(size) +
                           " bytes ... Pass " + std::to_string(pass));
    FDisplay.RepaintStatus();

    // A set that would change nothing is left out: it costs a metadata write per pass.
    // The filler a pass made is no file of the user's. The attributes read tell whether a
    // file is there: another lookup per pass would cost Wine a second directory search.
    bool exists = FFiller != nullptr;
    if (!FFiller) {
        const std::uint32_t attributes = FFiles.GetAttributes(path);
        exists = attributes != kInvalidAttributes && (attributes & kAttrDirectory) == 0;
        const std::uint32_t cleared = attributes & 0xFFFFu & ~kAttrReadOnly;
        if (attributes != kInvalidAttributes && cleared != attributes &&
            FFiles.SetAttributes(path, cleared) && FReadOnlyAttributes == kInvalidAttributes)
            FReadOnlyAttributes = attributes & 0xFFFFu;
    }

    const std::size_t blockLength =
        static_cast<std::size_t>(std::clamp<std::int64_t>(size, 0, kBlockSize));
    FDisplay.SetProgressRange(0, size);
    FDisplay.SetProgressPosition(0);
    FBlock.resize(blockLength);
    for (auto& byte : FBlock)
        byte = static_cast<unsigned char>(RandomDraw(256));

    // A wipe never writes a file it did not make, and a listed file whose name no longer
    // leads to a file gets a filler that goes again, never a file of its own.
    std::unique_ptr<FileStream> opened;
    FileStream* file = FFiller.get();
    if (!file && exists && !FWipe) {
        opened = FFiles.OpenReadWrite(path);
        file = opened.get();
    } else if (!file) {
        FFiller = FFiles.CreateFiller(path);
        file = FFiller.get();
    }
    if (!file || (file == FFiller.get() && !file->Rewind()))
        return -1;
    // Every pass must reach the file the first one did; a filler made for a listed file
    // is not that file.
    const FileId id = file->Id();
    if (pass == 1)
        FFirstFile = id;
    if (!id.known || !(id == FFirstFile) || (!FWipe && file == FFiller.get()))
        FIntact = false;

    // Only a regular disk file is ever written: a name may open a device, pipe or console.
    bool ok = file->IsDiskFile();

    const unsigned char* source = FBlock.data();
    std::size_t capacity = blockLength;
    if (ok && size > static_cast<std::int64_t>(blockLength)) {
        const std::size_t blocks = static_cast<std::size_t>(
            std::min<std::int64_t>(kBatchBlocks, (size + kBlockSize - 1) / kBlockSize));
        FBatch.resize(blocks * blockLength);
        for (std::size_t b = 0; b < blocks; ++b)
            std::memcpy(FBatch.data() + b * blockLength, FBlock.data(), blockLength);
        source = FBatch.data();
        capacity = FBatch.size();
    }

    std::int64_t written = 0;
    std::int64_t flushed = 0;
    std::size_t pending = 0;
    const ProgressReset progressReset(FDisplay);
    while (ok && !FStopped && written < size) {
        std::int64_t chunk = static_cast<std::int64_t>(blockLength);
        if (written + chunk >= size)
            chunk = size - written;
        std::uint32_t start = RandomDraw(99);
        if (start % 2 == 0)
            ++start;
        FDisplay.SetPatternCaption(kBitPattern.substr(start - 1, 120));
        FDisplay.RepaintPattern();

        pending += static_cast<std::size_t>(chunk);
        written += chunk;
        if (pending == capacity || written == size) {
            ok = file->Write(source, pending);
            pending = 0;
            if (ok && written < size && written - flushed >= kFlushInterval) {
                ok = file->Flush();
                flushed = written;
            }
        }
        FDisplay.SetProgressPosition(written);
    }
    // Without this the passes can stay in the cache and be dropped when the file is
    // deleted, leaving the original bytes on the device.
    ok = ok && !FStopped && file->Flush();
    if (opened)
        ok = opened->Close() && ok;
    return ok ? written : -1;
}
