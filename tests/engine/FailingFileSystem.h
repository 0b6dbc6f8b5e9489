#pragma once
// A file system that fails on purpose. Every call, on it and on the streams it hands out,
// goes to the real one and is counted; the chosen call (or, as when a drive is pulled out,
// that one and every one after it) fails the way the real call fails instead.
#include "framework/Exception.h"
#include "platform/FileSystem.h"

#include <memory>
#include <string>
#include <utility>

class FailingFileSystem final : public FileSystem {
public:
    enum class Mode { Once, FromThereOn };

    // failAt 0: nothing fails, the calls are only counted.
    FailingFileSystem(FileSystem& real, int failAt, Mode mode)
        : FReal(real), FFailAt(failAt), FMode(mode) {}

    int Calls() const { return FCalls; }
    // The call made to fail first, for the report of a test that then fails.
    const char* Failed() const { return FFailed; }

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
    std::unique_ptr<FileStream> OpenReadWrite(const std::string& path) override {
        return Fails("OpenReadWrite") ? nullptr : Wrap(FReal.OpenReadWrite(path));
    }
    std::unique_ptr<FileStream> CreateFiller(const std::string& path) override {
        return Fails("CreateFiller") ? nullptr : Wrap(FReal.CreateFiller(path));
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
    bool ListDirectory(const std::string& dir,
                       const std::function<void(const DirectoryEntry&)>& visit) override {
        return !Fails("ListDirectory") && FReal.ListDirectory(dir, visit);
    }
    char Delimiter() const override { return FReal.Delimiter(); }

private:
    class Stream final : public FileStream {
    public:
        Stream(FailingFileSystem& owner, std::unique_ptr<FileStream> real)
            : FOwner(owner), FReal(std::move(real)) {}

        bool IsDiskFile() override { return !FOwner.Fails("IsDiskFile") && FReal->IsDiskFile(); }
        bool Write(const void* data, std::size_t size) override {
            if (!FOwner.Fails("Write"))
                return FReal->Write(data, size);
            if (FOwner.ShortWrites() && size > 1)
                FReal->Write(data, size / 2);
            return false;
        }
        bool Flush() override { return !FOwner.Fails("Flush") && FReal->Flush(); }
        bool Rewind() override { return !FOwner.Fails("Rewind") && FReal->Rewind(); }
        // A close that reports a failure has still let go of the file.
        bool Close() override {
            const bool fails = FOwner.Fails("Close");
            return FReal->Close() && !fails;
        }
        FileId Id() override { return FOwner.Fails("Id") ? FileId{} : FReal->Id(); }

    private:
        FailingFileSystem& FOwner;
        std::unique_ptr<FileStream> FReal;
    };

    std::unique_ptr<FileStream> Wrap(std::unique_ptr<FileStream> real) {
        if (!real)
            return nullptr;
        return std::make_unique<Stream>(*this, std::move(real));
    }

    FileSystem& FReal;
    int FFailAt;
    Mode FMode;
    int FCalls = 0;
    const char* FFailed = "nothing";
};
