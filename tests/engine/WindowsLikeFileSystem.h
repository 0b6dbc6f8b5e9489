#pragma once
// A file system that passes every call to the real one, but answers as Windows and its file
// systems can where Wine cannot show it: identities of the test's choosing (two volumes that
// give one number, a drive letter that comes to lead to another volume, a number the file
// system does not know), a file another program holds for the first opens, a file that
// vanishes as it is opened, a deletion the folder refuses, FAT's largest file, a disk quota
// and storage that a write turns plain.
#include "framework/Exception.h"
#include "platform/FileSystem.h"
#include "TestFiles.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

class WindowsLikeFileSystem final : public FileSystem {
public:
    explicit WindowsLikeFileSystem(FileSystem& real) : FReal(real) {}

    // The identity a name's file shows now, where the test chose one.
    std::map<std::string, FileId> ids;
    // Per name (or "<name>:<stream>"), how many times an open first answers that another
    // program holds the file, and how many times it first finds no file there, however the
    // name looks up.
    std::map<std::string, int> busyOpens, vanishingOpens;
    // The names whose files' deletion the folder refuses, those whose open fails outright,
    // and those Windows will not look up (a folder on the way not for this user).
    std::set<std::string> refusedDeletions, failingOpens, unreadable;
    std::int64_t largestFile = kNoFileSizeLimit;
    // Per name, the named streams of its file, each kept in a file of its own beside it
    // ("<name>~<stream>"); the names whose list of streams cannot be read; the streams whose
    // writes fail; what Storage() says.
    std::map<std::string, std::vector<std::string>> streams;
    std::set<std::string> unlistedStreams, failingStreams, unopenableStreams;
    std::map<std::string, std::uint32_t> storage;
    // The names whose storage turns plain at their first write (the overlay filter's).
    std::set<std::string> storagePlainOnceWritten;
    // Per name or "<name>:<stream>", the bytes each pass wrote.
    std::map<std::string, std::vector<std::vector<unsigned char>>> written;
    // The drive's free space beyond the caller's share (a quota).
    std::int64_t quotaKeeps = 0;
    // Per name, where its file is after the run, and whether an act by its name reached
    // another file (a folder on its way moved).
    std::map<std::string, FileStream::Whereabouts> whereabouts;
    std::map<std::string, FileStream::OtherFileTouched> touched;
    // Fillers stay on the drive when closed, as when the system could not remove one.
    bool fillersStay = false;

    // Whether the run has let go of the folders it held to know its files' volumes.
    bool foldersReleased = false;

    std::map<std::string, int> openTargets;
    // Per filler made, the bytes each pass wrote into it.
    std::vector<std::vector<std::int64_t>> fillerPasses;
    // How often a part of a filler was written while another part still held bytes that were
    // written but not flushed.
    int partsWrittenPastUnflushed = 0;

    bool NamesItself(const std::string& path) override { return FReal.NamesItself(path); }
    bool IsRegularFile(const std::string& path) override {
        return unreadable.count(path) == 0 && FReal.IsRegularFile(path);
    }
    bool CanLookUp(const std::string& path) override {
        return unreadable.count(path) == 0 && FReal.CanLookUp(path);
    }
    bool IsDirectory(const std::string& path) override { return FReal.IsDirectory(path); }
    std::uint32_t GetAttributes(const std::string& path) override {
        return FReal.GetAttributes(path);
    }
    bool SetAttributes(const std::string& path, std::uint32_t attributes) override {
        return FReal.SetAttributes(path, attributes);
    }
    bool ReachedThroughLink(const std::string& path) override {
        return FReal.ReachedThroughLink(path);
    }
    std::int64_t FileLength(const std::string& path) override { return FReal.FileLength(path); }
    FileId Identify(const std::string& path) override {
        const auto chosen = ids.find(path);
        return chosen != ids.end() ? chosen->second : FReal.Identify(path);
    }
    TargetOpen OpenTarget(const std::string& path) override {
        ++openTargets[path];
        if (busyOpens[path] > 0 && busyOpens[path]-- > 0)
            return {nullptr, OpenRefusal::InUse};
        if (vanishingOpens[path] > 0 && vanishingOpens[path]-- > 0)
            return {nullptr, OpenRefusal::NoFile};
        if (failingOpens.count(path) != 0)
            throw Exception("Cannot open file " + path);
        TargetOpen opened = FReal.OpenTarget(path);
        if (opened.file)
            opened.file = std::make_unique<Stream>(*this, std::move(opened.file), path, false);
        return opened;
    }
    std::unique_ptr<FileStream> OpenReadWrite(const std::string& path) override {
        return FReal.OpenReadWrite(path);
    }
    std::unique_ptr<FileStream> CreateFiller(const std::string& path) override {
        auto real = FReal.CreateFiller(path);
        if (!real)
            return nullptr;
        fillerPasses.emplace_back();
        return std::make_unique<Stream>(*this, std::move(real), path, true);
    }
    bool Delete(const std::string& path, const FileId& id) override {
        return FReal.Delete(path, id);
    }
    std::string NameKey(const std::string& path) override { return FReal.NameKey(path); }
    std::int64_t FreeSpace(std::uint8_t drive, const std::string& path) override {
        return FReal.FreeSpace(drive, path);
    }
    std::int64_t TotalFreeSpace(std::uint8_t drive, const std::string& path) override {
        return FReal.FreeSpace(drive, path) + quotaKeeps;
    }
    std::int64_t LargestFile(const std::string&) override { return largestFile; }
    bool ListDirectory(const std::string& dir,
                       const std::function<void(const DirectoryEntry&)>& visit) override {
        return FReal.ListDirectory(dir, visit);
    }
    char Delimiter() const override { return FReal.Delimiter(); }
    void ReleaseFolders() override { foldersReleased = true; }

private:
    class Stream final : public FileStream {
    public:
        Stream(WindowsLikeFileSystem& owner, std::unique_ptr<FileStream> real, std::string path,
               bool filler)
            : FOwner(owner), FReal(std::move(real)), FPath(std::move(path)),
              FFiller(filler ? static_cast<int>(owner.fillerPasses.size()) - 1 : -1) {}
        ~Stream() override {
            FReal.reset();
            if (FFiller >= 0 && FOwner.fillersStay)
                WriteAll(FPath, {});
        }

        bool IsDiskFile() override { return FReal->IsDiskFile(); }
        bool Write(const void* data, std::size_t size) override {
            if (FFiller >= 0) {
                FOwner.fillerPasses[static_cast<std::size_t>(FFiller)].back() +=
                    static_cast<std::int64_t>(size);
                if (FOwner.FUnflushedFiller >= 0 && FOwner.FUnflushedFiller != FFiller)
                    ++FOwner.partsWrittenPastUnflushed;
                FOwner.FUnflushedFiller = FFiller;
            } else if (!FOwner.written[FPath].empty()) {
                const auto* bytes = static_cast<const unsigned char*>(data);
                FOwner.written[FPath].back().insert(FOwner.written[FPath].back().end(), bytes,
                                                    bytes + size);
            }
            if (FOwner.storagePlainOnceWritten.count(FPath) != 0)
                FOwner.storage.erase(FPath);
            return FOwner.failingStreams.count(FPath) == 0 && FReal->Write(data, size);
        }
        bool Flush() override {
            const bool flushed = FReal->Flush();
            if (flushed && FOwner.FUnflushedFiller == FFiller)
                FOwner.FUnflushedFiller = -1;
            return flushed;
        }
        bool Rewind() override {
            if (FFiller >= 0)
                FOwner.fillerPasses[static_cast<std::size_t>(FFiller)].push_back(0);
            else
                FOwner.written[FPath].emplace_back();
            return FReal->Rewind();
        }
        std::optional<std::vector<NamedStream>> NamedStreams() override {
            if (FOwner.unlistedStreams.count(FPath) != 0)
                return std::nullopt;
            const auto named = FOwner.streams.find(FPath);
            if (named == FOwner.streams.end())
                return FReal->NamedStreams();
            std::vector<NamedStream> list;
            for (const std::string& name : named->second)
                list.push_back({name, FOwner.FReal.OpenReadWrite(Beside(name))->Length(), {}});
            return list;
        }
        TargetOpen OpenNamedStream(const NamedStream& stream) override {
            const std::string named = FPath + ":" + stream.name;
            ++FOwner.openTargets[named];
            if (FOwner.busyOpens[named] > 0 && FOwner.busyOpens[named]-- > 0)
                return {nullptr, OpenRefusal::InUse};
            auto real = FOwner.unopenableStreams.count(named) != 0
                            ? nullptr
                            : FOwner.FReal.OpenReadWrite(Beside(stream.name));
            if (!real)
                return {nullptr, OpenRefusal::NoFile};
            return {std::make_unique<Stream>(FOwner, std::move(real), named, false),
                    OpenRefusal::None};
        }
        std::uint32_t Storage() override {
            const auto kinds = FOwner.storage.find(FPath);
            return kinds != FOwner.storage.end() ? kinds->second : FReal->Storage();
        }
        bool Close() override { return FReal->Close(); }
        FileId Id() override { return FFiller >= 0 ? FReal->Id() : FOwner.Identify(FPath); }
        std::int64_t Length() override { return FReal->Length(); }
        bool HideName() override { return FReal->HideName(); }
        bool RestoreName() override { return FReal->RestoreName(); }
        bool StillNamed() override { return FReal->StillNamed(); }
        Whereabouts Where() override {
            const auto where = FOwner.whereabouts.find(FPath);
            return where != FOwner.whereabouts.end() ? where->second : FReal->Where();
        }
        OtherFileTouched TouchedAnother() override {
            const auto touched = FOwner.touched.find(FPath);
            return touched != FOwner.touched.end() ? touched->second : FReal->TouchedAnother();
        }
        bool Delete() override {
            return FOwner.refusedDeletions.count(FPath) == 0 && FReal->Delete();
        }

    private:
        std::string Beside(const std::string& name) const { return FPath + "~" + name; }

        WindowsLikeFileSystem& FOwner;
        std::unique_ptr<FileStream> FReal;
        std::string FPath;
        int FFiller; // its place in fillerPasses; -1 for a file to shred
    };

    FileSystem& FReal;
    // The filler part last written and not flushed since; -1 for none.
    int FUnflushedFiller = -1;
};
