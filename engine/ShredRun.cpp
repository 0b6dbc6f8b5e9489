#include "engine/ShredRun.h"

#include "engine/DisplayElements.h"
#include "engine/Random.h"
#include "framework/Exception.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

// Whole blocks are gathered into one write of up to this many bytes: every chunk but the
// last writes the same block, so the bytes on disk are the same as chunk-by-chunk writes.
constexpr std::size_t kBatchBlocks = 64;

constexpr std::uint32_t kBlack = 0;

// A file another program holds (an antivirus scanning it, a preview, a backup) is asked for
// again this often, for about two seconds, before its entry is left. After the first few held
// files of a run, each is asked for once more only: a folder that a program keeps open would
// otherwise cost two seconds a file.
constexpr auto kInUseWait = std::chrono::milliseconds(100);
constexpr int kInUseRetries = 20;
constexpr int kPatientHeldFiles = 3;

// The parts of a filler on a file system that keeps no file as large as the whole: whole
// batches of blocks each, so that no write spans two parts.
std::int64_t PartSize(std::int64_t size, std::int64_t largest) {
    if (size <= largest)
        return kNoFileSizeLimit;
    const std::int64_t batch = static_cast<std::int64_t>(kBatchBlocks) * kBlockSize;
    const std::int64_t unit = largest >= batch ? batch : kBlockSize;
    return std::max(largest / unit * unit, kBlockSize);
}

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
    FShreddedNames.clear();
    FHeldFiles = 0;
    FFilesShredded = 0;
    FLeft.clear();
    FTold.clear();
    const int count = FDisplay.ListCount();
    for (int i = 0; i < count && !FStopped; ++i) {
        // No failure of the file system ends the run: the entry is left and said, the rest go
        // on, and the message after the run names it with the others.
        try {
            FEntryFile = {};
            ShredEntry(i);
        } catch (const Exception&) {
            FTarget.reset();
            DropFillers();
            Leave(FDisplay.ListText(i), LeftReason::NotOpened);
        }
    }
    FFiles.ReleaseFolders();
}

namespace {

LeftReason ReasonFor(OpenRefusal refusal) {
    switch (refusal) {
    case OpenRefusal::Link:
        return LeftReason::Link;
    case OpenRefusal::NotDiskFile:
        return LeftReason::NotDiskFile;
    case OpenRefusal::OtherNames:
        return LeftReason::OtherNames;
    case OpenRefusal::Changed:
        return LeftReason::Changed;
    case OpenRefusal::InUse:
        return LeftReason::InUse;
    case OpenRefusal::Denied:
        return LeftReason::NotOpened;
    case OpenRefusal::NoFile:
    case OpenRefusal::None:
        break;
    }
    return LeftReason::Gone;
}

} // namespace

void ShredRun::ShredEntry(int index) {
    // Marked by an earlier run: its text, marker and all, is no name.
    const EntryKind kind = FDisplay.ListKind(index);
    if (kind == EntryKind::Shredded)
        return;
    const std::string path = FDisplay.ListText(index);
    FEntryFile = FDisplay.ListIdentity(index);
    // Whatever is done by such a name would be done to another file.
    if (!FFiles.NamesItself(path))
        return Leave(path, LeftReason::RefusedName);
    // The same file listed twice (other letter case, two drive letters of one folder) is gone
    // after its first entry. Its identity alone proves nothing (two volumes can give one
    // serial and one number): only a name that leads to no file any more is taken for it. A
    // file there is checked as any listed file, and shredded when it is the listed one.
    const FileId listed = FEntryFile;
    const bool exists = FFiles.IsRegularFile(path);
    if ((kind == EntryKind::File && listed.known && !exists && FShredded.count(listed) != 0) ||
        (kind == EntryKind::Unknown && ShreddedEarlier(path)))
        return Mark(index, path);
    // A file that was listed and is gone now is not a request to wipe its drive, and a file
    // that has appeared where a wipe was asked for is not one the user listed.
    FWipe = kind == EntryKind::NoFile || (kind == EntryKind::Unknown && !exists);
    // Only a name that is not there is gone: one Windows will not let be looked at is not.
    if (exists == FWipe)
        return Leave(path, FWipe                    ? LeftReason::Appeared
                           : FFiles.CanLookUp(path) ? LeftReason::Gone
                                                    : LeftReason::NotOpened);

    DropFillers();
    const std::int64_t size = GetTargetSize(path);
    // Sized as the other kind (a lookup failed in between), a listed file would get seven
    // passes as long as the drive's free space.
    if (FSizedFile != !FWipe) {
        FTarget.reset();
        return Leave(path, FWipe ? LeftReason::Appeared : ReasonFor(FRefusal));
    }
    if (size < 0) {
        FTarget.reset();
        if (FWipe)
            return Leave(path, FRefusal == OpenRefusal::Link ? LeftReason::Link
                                                             : LeftReason::NoFreeSpace);
        return Leave(path,
                     FRefusal == OpenRefusal::None ? LeftReason::NotWritten : ReasonFor(FRefusal));
    }
    if (!FWipe) {
        // Only the file the user listed: a name that now leads to another one (replaced,
        // recreated, a namesake in another letter case, the same number on another volume) is
        // left alone. A file system that tells no identity cannot say so: its file goes on to
        // the other checks.
        const FileId id = FTarget->Id();
        if (kind == EntryKind::File && id.known && listed.known && !(id == listed)) {
            FTarget.reset();
            return Leave(path, LeftReason::Changed);
        }
    }
    Destroy(index, path, size);
}

void ShredRun::Destroy(int index, const std::string& path, std::int64_t size) {
    FIntact = true;
    FWrote = false;
    FResized = false;
    FStreamFault.reset();
    // Read before the first write: Windows turns a file compressed by its overlay filter back
    // into a plain one as it is written, and the old data stays where the storage kept it.
    const std::uint32_t storage = FWipe ? 0 : FTarget->Storage();
    for (int pass = 1; pass <= kPassCount && !FStopped; ++pass)
        if (OverwritePass(path, pass, size) == -1)
            FIntact = false;
    if (!FWipe && FIntact && !FStopped)
        OverwriteStreams(path);
    FIntact = FIntact && !FStopped;

    bool shredded = false;
    // Emptied and renamed before it goes, so that the folder's records keep neither its size
    // nor its name; only once every pass is done, since a file left must stay as it was.
    bool hidden = true;
    bool named = true;
    FileId id;
    FileStream::Whereabouts where;
    FileStream::OtherFileTouched touched;
    if (FWipe) {
        // Closing the filler removes it; it is a wipe only if its names are gone with it.
        const bool made = !FFillers.empty();
        if (made && FIntact)
            for (const auto& part : FFillers)
                hidden = part->HideName() && hidden;
        const std::vector<std::string> names = FFillerNames;
        DropFillers();
        shredded = made && FIntact;
        for (const std::string& name : names)
            shredded = shredded && !FFiles.IsRegularFile(name);
    } else {
        id = FTarget->Id();
        hidden = !FIntact || FTarget->HideName();
        // Through the handle the passes wrote: only that file goes.
        const bool deleted = FIntact && FTarget->Delete();
        // A file left for the next run gets its name back while it is still held, and its
        // read-only bit as the stream closes.
        if (!deleted)
            FTarget->RestoreName();
        // A name that leads elsewhere now (a folder on the way moved) must not be named as
        // the file to delete by hand.
        named = deleted || FTarget->StillNamed();
        shredded = FTarget->Close() && deleted;
        where = FTarget->Where();
        touched = FTarget->TouchedAnother();
        FTarget.reset();
    }
    if (!shredded) {
        if (FStopped)
            return;
        if (FWipe)
            return Leave(path, FolderExists(path) ? LeftReason::NotWiped : LeftReason::NoFolder);
        if (FStreamFault)
            return Leave(path, *FStreamFault, where);
        if (touched.touched)
            return Leave(path,
                         touched.given ? LeftReason::OtherFileRenamed
                                       : LeftReason::OtherFileNotGivenBack,
                         where);
        return Leave(path,
                     FResized            ? LeftReason::Resized
                     : FIntact && !named ? LeftReason::NameMoved
                     : FIntact           ? LeftReason::NotDeleted
                     : FWrote            ? LeftReason::PartlyOverwritten
                                         : LeftReason::NotWritten,
                     where);
    }
    if (!hidden)
        FTold.push_back({path, ToldReason::NameNotHidden});
    if (FWipe)
        FTold.push_back({path, ToldReason::WipedFreeSpace});
    if (FWipe && FQuotaLimited)
        FTold.push_back({path, ToldReason::QuotaLimited});
    TellStorage(path, storage);
    // A wipe's name was never a file: listing it again asks for another wipe. A file that
    // told no identity is never taken for another entry's.
    if (!FWipe) {
        ++FFilesShredded;
        if (id.known)
            FShredded.insert(id);
        if (FDisplay.ListKind(index) == EntryKind::Unknown)
            FShreddedNames.insert(FFiles.NameKey(path));
    }
    Mark(index, path);
}

void ShredRun::OverwriteStreams(const std::string& path) {
    const std::optional<std::vector<NamedStream>> streams = FTarget->NamedStreams();
    if (!streams) {
        FIntact = false;
        FStreamFault = LeftReason::StreamsUnlisted;
        return;
    }
    for (const NamedStream& named : *streams) {
        const std::string name = path + ":" + named.name;
        TargetOpen opened = Patiently(name, [&] { return FTarget->OpenNamedStream(named); });
        const std::unique_ptr<FileStream> stream = std::move(opened.file);
        FStream = stream.get();
        for (int pass = 1; pass <= kPassCount && stream && !FStopped; ++pass)
            if (OverwritePass(name, pass, named.length) == -1)
                FIntact = false;
        FStream = nullptr;
        if (!stream || !FIntact) {
            FIntact = false;
            FStreamFault = opened.refusal == OpenRefusal::InUse ? LeftReason::StreamInUse
                                                                : LeftReason::StreamNotOverwritten;
            return;
        }
    }
}

void ShredRun::TellStorage(const std::string& path, std::uint32_t storage) {
    constexpr std::pair<std::uint32_t, ToldReason> kKinds[] = {
        {kStoredCompressed, ToldReason::Compressed},
        {kStoredSparse, ToldReason::Sparse},
        {kStoredEncrypted, ToldReason::Encrypted},
        {kStoredInCloud, ToldReason::InCloud},
        {kStoredIntegrity, ToldReason::IntegrityStreams},
        {kStoredDeduplicated, ToldReason::Deduplicated},
        {kStoredOverlay, ToldReason::OverlayCompressed},
    };
    for (const auto& [bit, reason] : kKinds)
        if ((storage & bit) != 0)
            FTold.push_back({path, reason});
}

void ShredRun::Mark(int index, const std::string& path) {
    FDisplay.ListReplace(index, std::string(kDoneMarker) + path);
    FDisplay.SetListKind(index, EntryKind::Shredded);
    FDisplay.RepaintList();
}

void ShredRun::Leave(const std::string& path, LeftReason reason,
                     const FileStream::Whereabouts& where) {
    FLeft.push_back({path, reason, where.path == path ? std::string() : where.path,
                     where.folderLost, FEntryFile});
}

bool ShredRun::FolderExists(const std::string& path) {
    const std::size_t delimiter = path.find_last_of(FFiles.Delimiter());
    return delimiter == std::string::npos || FFiles.IsDirectory(path.substr(0, delimiter + 1));
}

bool ShredRun::ShreddedEarlier(const std::string& entry) {
    // A file there now is another file: it is shredded as any other.
    return !FShreddedNames.empty() && FShreddedNames.count(FFiles.NameKey(entry)) != 0 &&
           !FFiles.IsRegularFile(entry);
}

TargetOpen ShredRun::OpenTarget(const std::string& path) {
    return Patiently(path, [&] { return FFiles.OpenTarget(path); });
}

TargetOpen ShredRun::Patiently(const std::string& path, const std::function<TargetOpen()>& open) {
    TargetOpen opened = open();
    if (opened.refusal != OpenRefusal::InUse)
        return opened;
    const int retries = ++FHeldFiles <= kPatientHeldFiles ? kInUseRetries : 1;
    // The reason first: a long name is cut at the line's end, at any scale.
    FDisplay.SetStatusText(std::string(kWaitingStatus) + path);
    FDisplay.RepaintStatus();
    for (int retry = 0; opened.refusal == OpenRefusal::InUse && retry < retries && !FStopped;
         ++retry) {
        FDisplay.Wait(kInUseWait);
        opened = open();
    }
    return opened;
}

bool ShredRun::MakeFillers(const std::string& path, std::int64_t size) {
    const std::int64_t parts = FPartSize >= size ? 1 : (size + FPartSize - 1) / FPartSize;
    for (auto part = static_cast<std::int64_t>(FFillers.size()); part < parts; ++part) {
        // Where the system took the first part's name away at once (POSIX), the name is free
        // again; elsewhere each part needs a name of its own.
        std::string name = path;
        std::unique_ptr<FileStream> filler = FFiles.CreateFiller(name);
        if (!filler && part > 0) {
            name = path + "." + std::to_string(part);
            filler = FFiles.CreateFiller(name);
        }
        if (!filler)
            return false;
        FFillers.push_back(std::move(filler));
        FFillerNames.push_back(name);
    }
    return true;
}

void ShredRun::DropFillers() {
    FFillers.clear();
    FFillerNames.clear();
}

std::int64_t ShredRun::GetTargetSize(const std::string& entry) {
    FSizedFile = false;
    FRefusal = OpenRefusal::None;
    FQuotaLimited = false;
    FPartSize = kNoFileSizeLimit;
    FTarget.reset();
    if (entry.empty())
        return 0;
    // Asked first, whatever the entry names.
    const std::uint8_t drive = DriveNumber(entry[0]);
    const std::int64_t freeSpace = FFiles.FreeSpace(drive, entry);
    // The one open of the file: it stays held through the passes to the deletion.
    TargetOpen opened = OpenTarget(entry);
    FRefusal = opened.refusal;
    if (opened.file) {
        FSizedFile = true;
        FTarget = std::move(opened.file);
        FTargetPath = entry;
        return FTarget->Length();
    }
    // A file that may not be written is neither a file to shred nor a free-space wipe; nor is
    // a name reached through a link.
    if (opened.refusal != OpenRefusal::NoFile) {
        FSizedFile = true;
        return -1;
    }
    if (FFiles.ReachedThroughLink(entry)) {
        FRefusal = OpenRefusal::Link;
        return -1;
    }
    const std::int64_t size = NinetyFivePercent(freeSpace);
    if (size > 0) {
        FQuotaLimited = FFiles.TotalFreeSpace(drive, entry) > freeSpace;
        FPartSize = PartSize(size, FFiles.LargestFile(entry));
    }
    return size;
}

std::int64_t ShredRun::OverwritePass(const std::string& path, int pass, std::int64_t size) {
    FDisplay.SetStatusText("shredding " + path + ": size is " + std::to_string(size) +
                           " bytes ... Pass " + std::to_string(pass));
    FDisplay.RepaintStatus();

    const std::size_t blockLength =
        static_cast<std::size_t>(std::clamp<std::int64_t>(size, 0, kBlockSize));
    FDisplay.SetProgressRange(0, size);
    FDisplay.SetProgressPosition(0);
    FBlock.resize(blockLength);
    for (auto& byte : FBlock)
        byte = static_cast<unsigned char>(RandomDraw(256));

    // The file held since its sizing, or the filler of a wipe. A wipe never writes a file it
    // did not make.
    // A pass called on its own opens the file as the sizing would, for itself alone.
    std::unique_ptr<FileStream> own;
    FileStream* file = FStream ? FStream : FTarget && path == FTargetPath ? FTarget.get() : nullptr;
    if (!file && !FWipe) {
        own = FFiles.OpenTarget(path).file;
        file = own.get();
    }
    const bool filler = file == nullptr;
    if (filler) {
        if (!MakeFillers(path, size))
            return -1;
        file = FFillers.front().get();
    }
    const auto everyStream = [&](bool (FileStream::*ask)()) {
        if (!filler)
            return (file->*ask)();
        return std::all_of(FFillers.begin(), FFillers.end(),
                           [&](const auto& part) { return (*part.*ask)(); });
    };
    if (!everyStream(&FileStream::Rewind))
        return -1;
    // Only a regular disk file is ever written: a name may open a device, pipe or console.
    bool ok = everyStream(&FileStream::IsDiskFile);

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
    // Where the current part of a split filler ends.
    std::size_t part = 0;
    std::int64_t partEnd = filler ? FPartSize : size;
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
        if (pending == capacity || written == size || written == partEnd) {
            ok = file->Write(source, pending);
            FWrote = FWrote || ok;
            pending = 0;
            if (ok && written < size && written == partEnd) {
                ok = file->Flush();
                file = FFillers[++part].get();
                partEnd += FPartSize;
                flushed = written;
            } else if (ok && written < size && written - flushed >= kFlushInterval) {
                ok = file->Flush();
                flushed = written;
            }
        }
        FDisplay.SetProgressPosition(written);
    }
    // Without this the passes can stay in the cache and be dropped when the file is
    // deleted, leaving the original bytes on the device.
    ok = ok && !FStopped && file->Flush();
    // Bytes another program added (a lock does not stop every writer) were never overwritten.
    if (ok && !filler && file->Length() != size) {
        FResized = true;
        ok = false;
    }
    return ok ? written : -1;
}
