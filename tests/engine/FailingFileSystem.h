#pragma once
// A file system that fails on purpose. Every call, on it and on the streams it hands out,
// goes to the real one and is counted; the chosen call (or, as when a drive is pulled out,
// that one and every one after it) fails the way the real call fails instead. It also keeps
// the passes that reached each opened file in full, to hold a marked entry against.
#include "framework/Exception.h"
#include "platform/FileSystem.h"

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class FailingFileSystem final : public FileSystem {
public:
    enum class Mode { Once, FromThereOn };

    // failAt 0: nothing fails, the calls are only counted.
    FailingFileSystem(FileSystem& real, int failAt, Mode mode)
        : FReal(real), FFailAt(failAt), FMode(mode) {}

    int Calls() const { return FCalls; }
    // The call made to fail first, for the report of a test that then fails.
    const char* Failed() const { return FFailed; }

    // Per name opened for writing, the byte counts of the passes over it that wrote and
    // flushed with no call on its stream failing.
    std::map<std::string, std::vector<std::int64_t>> fullPasses;

    bool NamesItself(const std::string& path) override {
        return !Fails("NamesItself") && FReal.NamesItself(path);
    }
    bool IsRegularFile(const std::string& path) override {
        return !Fails("IsRegularFile") && FReal.IsRegularFile(path);
    }
    bool IsDirectory(const std::string& path) override {
        return !Fails("IsDirectory") && FReal.IsDirectory(path);
    }
    std::uint32_t GetAttributes(const std::string& path) override {
        return Fails("GetAttributes") ? kInvalidAttributes : FReal.GetAttributes(path);
    }
    bool SetAttributes(const std::string& path, std::uint32_t attributes) override {
        return !Fails("SetAttributes") && FReal.SetAttributes(path, attributes);
    }
    // What the real one says when it cannot tell: the open that follows checks for itself.
    bool ReachedThroughLink(const std::string& path) override {
        return !Fails("ReachedThroughLink") && FReal.ReachedThroughLink(path);
    }
    std::int64_t FileLength(const std::string& path) override {
        if (Fails("FileLength"))
            throw Exception("Cannot open file " + path);
        return FReal.FileLength(path);
    }
    FileId Identify(const std::string& path) override {
        return Fails("Identify") ? FileId{} : FReal.Identify(path);
    }
    TargetOpen OpenTarget(const std::string& path) override {
        if (Fails("OpenTarget"))
            throw Exception("Cannot open file " + path);
        TargetOpen opened = FReal.OpenTarget(path);
        opened.file = Wrap(std::move(opened.file), path);
        return opened;
    }
    std::unique_ptr<FileStream> OpenReadWrite(const std::string& path) override {
        return Fails("OpenReadWrite") ? nullptr : Wrap(FReal.OpenReadWrite(path), path);
    }
    std::unique_ptr<FileStream> CreateFiller(const std::string& path) override {
        return Fails("CreateFiller") ? nullptr : Wrap(FReal.CreateFiller(path), {});
    }
    bool Delete(const std::string& path, const FileId& id) override {
        return !Fails("Delete") && FReal.Delete(path, id);
    }
    // Where the full path cannot be had, the name as given is its own key.
    std::string NameKey(const std::string& path) override {
        return Fails("NameKey") ? path : FReal.NameKey(path);
    }
    std::int64_t FreeSpace(std::uint8_t drive, const std::string& path) override {
        return Fails("FreeSpace") ? -1 : FReal.FreeSpace(drive, path);
    }
    std::int64_t TotalFreeSpace(std::uint8_t drive, const std::string& path) override {
        return Fails("TotalFreeSpace") ? -1 : FReal.TotalFreeSpace(drive, path);
    }
    // Where the limit cannot be read, none is known.
    std::int64_t LargestFile(const std::string& path) override {
        return Fails("LargestFile") ? kNoFileSizeLimit : FReal.LargestFile(path);
    }
    bool ListDirectory(const std::string& dir,
                       const std::function<void(const DirectoryEntry&)>& visit) override {
        return !Fails("ListDirectory") && FReal.ListDirectory(dir, visit);
    }
    char Delimiter() const override { return FReal.Delimiter(); }

private:
    // Counts one call; true when it is to fail.
    bool Fails(const char* call) {
        ++FCalls;
        const bool fails =
            FFailAt > 0 && (FCalls == FFailAt || (FMode == Mode::FromThereOn && FCalls > FFailAt));
        if (fails && FCalls == FFailAt)
            FFailed = call;
        return fails;
    }
    // A single failing write is short, as on a drive that fills up: half of it is written.
    bool ShortWrites() const { return FMode == Mode::Once; }

    class Stream final : public FileStream {
    public:
        // path: "" for a filler, whose passes are not counted.
        Stream(FailingFileSystem& owner, std::unique_ptr<FileStream> real, std::string path)
            : FOwner(owner), FReal(std::move(real)), FPath(std::move(path)) {}

        bool IsDiskFile() override {
            return Kept(!FOwner.Fails("IsDiskFile") && FReal->IsDiskFile());
        }
        bool Write(const void* data, std::size_t size) override {
            if (!FOwner.Fails("Write")) {
                FWritten += static_cast<std::int64_t>(size);
                return Kept(FReal->Write(data, size));
            }
            if (FOwner.ShortWrites() && size > 1)
                FReal->Write(data, size / 2);
            return Kept(false);
        }
        // A pass counts once it is flushed with nothing on the stream having failed so far.
        bool Flush() override {
            const bool flushed = Kept(!FOwner.Fails("Flush") && FReal->Flush());
            if (flushed && !FSpoiled && !FPath.empty())
                FOwner.fullPasses[FPath].push_back(FWritten);
            return flushed;
        }
        bool Rewind() override {
            FWritten = 0;
            return Kept(!FOwner.Fails("Rewind") && FReal->Rewind());
        }
        // A close that reports a failure has still let go of the file. After a deletion the
        // answer is whether the file went, which a failing close does not change.
        bool Close() override {
            const bool fails = FOwner.Fails("Close");
            return FReal->Close() && (!fails || FDeleted);
        }
        std::int64_t Length() override {
            const std::int64_t length = FOwner.Fails("Length") ? -1 : FReal->Length();
            Kept(length >= 0);
            return length;
        }
        bool HideName() override { return !FOwner.Fails("HideName") && FReal->HideName(); }
        // The answer to a failed deletion: made to fail here, it would only leave a name the
        // folder cannot be checked against.
        bool RestoreName() override { return FReal->RestoreName(); }
        bool StillNamed() override { return FReal->StillNamed(); }
        Whereabouts Where() override { return FReal->Where(); }
        OtherFileTouched TouchedAnother() override { return FReal->TouchedAnother(); }
        bool Delete() override {
            FDeleted = !FOwner.Fails("Delete") && FReal->Delete();
            return FDeleted;
        }
        std::optional<std::vector<NamedStream>> NamedStreams() override {
            if (FOwner.Fails("NamedStreams"))
                return std::nullopt;
            return FReal->NamedStreams();
        }
        TargetOpen OpenNamedStream(const NamedStream& stream) override {
            if (FOwner.Fails("OpenNamedStream"))
                return {nullptr, OpenRefusal::NoFile};
            return FReal->OpenNamedStream(stream);
        }
        std::uint32_t Storage() override { return FReal->Storage(); }
        // A file that tells no identity is still written in full.
        FileId Id() override { return FOwner.Fails("Id") ? FileId{} : FReal->Id(); }

    private:
        bool Kept(bool ok) {
            FSpoiled = FSpoiled || !ok;
            return ok;
        }

        FailingFileSystem& FOwner;
        std::unique_ptr<FileStream> FReal;
        std::string FPath;
        std::int64_t FWritten = 0; // since the pass began
        bool FSpoiled = false;
        bool FDeleted = false;
    };

    std::unique_ptr<FileStream> Wrap(std::unique_ptr<FileStream> real, std::string path) {
        if (!real)
            return nullptr;
        return std::make_unique<Stream>(*this, std::move(real), std::move(path));
    }

    FileSystem& FReal;
    int FFailAt;
    Mode FMode;
    int FCalls = 0;
    const char* FFailed = "nothing";
};
