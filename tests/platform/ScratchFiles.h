#pragma once
// Files and folders for the file-system tests, made and inspected natively, never through
// the layer under test. Every helper throws std::runtime_error when the system refuses.
#include <cstdint>
#include <string>
#ifdef _WIN32
#include "platform/Win32Handles.h"
#else
#include "platform/PosixHandles.h"
#endif

inline constexpr char kDelimiter =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif

// A fresh, empty folder, removed with all it holds when the test ends.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Ends with the delimiter.
    const std::string& Path() const { return FPath; }
    std::string operator/(const std::string& name) const { return FPath + name; }

private:
    std::string FPath;
};

void MakeFolder(const std::string& path);
void RemoveTree(const std::string& path);
void WriteFileContent(const std::string& path, const std::string& content);
std::string ReadFileContent(const std::string& path);
bool PathExists(const std::string& path);

// Sets the last-write time to the middle of `year`, local time (far from any time-zone edge).
void SetModificationYear(const std::string& path, int year);
// A file of `length` bytes that occupies next to no disk space.
void MakeSparseFile(const std::string& path, std::int64_t length);

// Holds a file open the way another program would (Windows: for reading, sharing all; POSIX:
// an flock on a separate open). Fails where the file is held with no sharing.
class OtherHolder {
public:
    explicit OtherHolder(const std::string& path);

private:
#ifdef _WIN32
    FileHandle FHandle;
#else
    Fd FHandle;
#endif
};

// The scratch file systems of tools/with-scratch-fs as this program reaches them (a folder
// ending with the delimiter), or "" when the test runs without them.
std::string ScratchTmpfs();
std::string ScratchExt4();
// The drive number (1 = A:) of a scratch folder, 0 where there are no drive letters.
std::uint8_t DriveNumberOf(const std::string& folder);
