#pragma once
// The file-system layer: everything the engine and the target list ask of the disk.
// Paths are 8-bit strings as the shell and the file picker deliver them.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Attribute bits, as Windows defines them; the POSIX backend maps what it can.
inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrReparsePoint = 0x400;
inline constexpr std::uint32_t kInvalidAttributes = 0xFFFFFFFF;

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
    // Closes now; false when closing reported a failure.
    virtual bool Close() = 0;
};

struct DirectoryEntry {
    std::string name;
    std::uint32_t attributes = 0;
    bool IsDirectory() const { return (attributes & kAttrDirectory) != 0; }
    // A symbolic link or junction: never followed when expanding folders.
    bool IsLink() const { return (attributes & kAttrReparsePoint) != 0; }
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // An existing regular file: a directory lookup finds an entry that is not a directory
    // and whose last-write time, as local time, is a date from 1980 to 2107.
    virtual bool IsRegularFile(const std::string& path) = 0;
    // An existing directory: its attributes can be read and include the directory bit.
    virtual bool IsDirectory(const std::string& path) = 0;

    // kInvalidAttributes when they cannot be read.
    virtual std::uint32_t GetAttributes(const std::string& path) = 0;
    virtual bool SetAttributes(const std::string& path, std::uint32_t attributes) = 0;

    // Opens an existing file for reading with no sharing and returns its length.
    // Raises Exception("Cannot open file <path>") when it cannot be opened.
    virtual std::int64_t FileLength(const std::string& path) = 0;

    // Opens an existing file for reading and writing, no sharing, not truncated, positioned
    // at its start. Null when it cannot be opened.
    virtual std::unique_ptr<FileStream> OpenReadWrite(const std::string& path) = 0;
    // Creates a file (replacing any of that name) for reading and writing, no sharing.
    // Null when it cannot be created.
    virtual std::unique_ptr<FileStream> Create(const std::string& path) = 0;

    virtual bool Delete(const std::string& path) = 0;

    // Bytes available to the caller on a drive, or -1 when that cannot be found.
    // With drive letters, `drive` decides (1 = A:, 3 = C:, 0 = the current folder's drive);
    // without them, it is the file system that would hold `path`.
    virtual std::int64_t FreeSpace(std::uint8_t drive, const std::string& path) = 0;

    // Lists a folder (`dir` ends with a delimiter) in the platform's order, "." and ".."
    // included where the platform returns them. The callback may list other folders itself.
    // False when the folder cannot be listed.
    virtual bool ListDirectory(const std::string& dir,
                               const std::function<void(const DirectoryEntry&)>& visit) = 0;

    // The path delimiter of the platform.
    virtual char Delimiter() const = 0;
};

// The backend of the platform this program was built for.
FileSystem& SystemFileSystem();
