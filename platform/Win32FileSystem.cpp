// The file-system layer on Windows, through the ANSI (...A) functions so that paths stay in
// the system code page exactly as the shell and the file picker delivered them.
#include "platform/FileSystem.h"
#include "platform/Win32Handles.h"
#include "framework/Exception.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <string>
#include <utility>

namespace {

class Win32FileStream final : public FileStream {
public:
    explicit Win32FileStream(FileHandle handle) : FHandle(std::move(handle)) {}

    bool IsDiskFile() override { return GetFileType(FHandle.Get()) == FILE_TYPE_DISK; }

    bool Write(const void* data, std::size_t size) override {
        const char* next = static_cast<const char*>(data);
        while (size > 0) {
            // WriteFile takes a 32-bit count. (max) in parentheses: windows.h defines a max macro.
            const DWORD part = static_cast<DWORD>(
                std::min<std::size_t>(size, (std::numeric_limits<DWORD>::max)()));
            DWORD written = 0;
            if (!WriteFile(FHandle.Get(), next, part, &written, nullptr) || written == 0)
                return false;
            next += written;
            size -= written;
        }
        return true;
    }

    bool Flush() override { return FlushFileBuffers(FHandle.Get()) != FALSE; }
    bool Close() override { return FHandle.Reset(); }

private:
    FileHandle FHandle;
};

FileHandle OpenExclusive(const std::string& path, DWORD access, DWORD disposition) {
    return FileHandle(
        CreateFileA(path.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::unique_ptr<FileStream> MakeFileStream(FileHandle handle) {
    if (!handle)
        return nullptr;
    return std::make_unique<Win32FileStream>(std::move(handle));
}

using GetDiskFreeSpaceExAFunction = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                                  PULARGE_INTEGER);

// Looked up at run time: kernel32 of the oldest systems does not export it.
GetDiskFreeSpaceExAFunction FindGetDiskFreeSpaceExA() {
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel)
        return nullptr;
    // Through void(*)(), the one function type a cast may pass without a warning.
    return reinterpret_cast<GetDiskFreeSpaceExAFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "GetDiskFreeSpaceExA")));
}

class Win32FileSystem final : public FileSystem {
public:
    bool IsRegularFile(const std::string& path) override {
        // A directory lookup treats these as wildcards and would find some other file.
        if (path.find_first_of("*?") != std::string::npos)
            return false;
        WIN32_FIND_DATAA found;
        FindHandle search(FindFirstFileA(path.c_str(), &found));
        if (!search || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return false;
        // The conversion to a DOS date is what limits the years to 1980 .. 2107. Wine's
        // wraps later years round instead of failing, so the year is checked as well.
        FILETIME local;
        WORD date = 0;
        WORD time = 0;
        SYSTEMTIME parts;
        return FileTimeToLocalFileTime(&found.ftLastWriteTime, &local) &&
               FileTimeToDosDateTime(&local, &date, &time) &&
               FileTimeToSystemTime(&local, &parts) && parts.wYear >= 1980 && parts.wYear <= 2107;
    }

    bool IsDirectory(const std::string& path) override {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }

    std::uint32_t GetAttributes(const std::string& path) override {
        return GetFileAttributesA(path.c_str());
    }

    bool SetAttributes(const std::string& path, std::uint32_t attributes) override {
        return SetFileAttributesA(path.c_str(), attributes) != FALSE;
    }

    std::int64_t FileLength(const std::string& path) override {
        FileHandle file = OpenExclusive(path, GENERIC_READ, OPEN_EXISTING);
        LARGE_INTEGER length;
        // A handle whose size cannot be read (a device) is no file to size either.
        if (!file || !GetFileSizeEx(file.Get(), &length))
            throw Exception("Cannot open file " + path);
        return length.QuadPart;
    }

    std::unique_ptr<FileStream> OpenReadWrite(const std::string& path) override {
        return MakeFileStream(OpenExclusive(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING));
    }

    std::unique_ptr<FileStream> Create(const std::string& path) override {
        return MakeFileStream(OpenExclusive(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS));
    }

    bool Delete(const std::string& path) override {
        // Wine unlinks when the handle it deletes through is closed and drops a failure there,
        // so success is only believed once the name is gone. On Windows a file whose deletion
        // waits for another program's handle already reads as gone (access denied).
        return DeleteFileA(path.c_str()) &&
               GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
    }

    std::int64_t FreeSpace(std::uint8_t drive, const std::string&) override {
        char root[] = "?:\\";
        const char* rootName = nullptr; // the current folder's drive
        if (drive >= 1 && drive <= 26) {
            root[0] = static_cast<char>('A' + drive - 1);
            rootName = root;
        } else if (drive != 0) {
            return -1;
        }
        if (const auto getFreeSpaceEx = FindGetDiskFreeSpaceExA()) {
            ULARGE_INTEGER available;
            ULARGE_INTEGER total;
            ULARGE_INTEGER free;
            if (!getFreeSpaceEx(rootName, &available, &total, &free))
                return -1;
            return static_cast<std::int64_t>(std::min<ULONGLONG>(
                available.QuadPart, (std::numeric_limits<std::int64_t>::max)()));
        }
        DWORD sectorsPerCluster = 0;
        DWORD bytesPerSector = 0;
        DWORD freeClusters = 0;
        DWORD clusters = 0;
        if (!GetDiskFreeSpaceA(rootName, &sectorsPerCluster, &bytesPerSector, &freeClusters,
                               &clusters))
            return -1;
        return static_cast<std::int64_t>(sectorsPerCluster) * bytesPerSector * freeClusters;
    }

    bool ListDirectory(const std::string& dir,
                       const std::function<void(const DirectoryEntry&)>& visit) override {
        WIN32_FIND_DATAA found;
        FindHandle search(FindFirstFileA((dir + "*.*").c_str(), &found));
        if (!search) {
            // The root of an empty drive has no entries at all, not even "." and "..".
            return GetLastError() == ERROR_FILE_NOT_FOUND;
        }
        do {
            visit(DirectoryEntry{found.cFileName, found.dwFileAttributes});
        } while (FindNextFileA(search.Get(), &found));
        return GetLastError() == ERROR_NO_MORE_FILES;
    }

    char Delimiter() const override { return '\\'; }
};

} // namespace

FileSystem& SystemFileSystem() {
    static Win32FileSystem instance;
    return instance;
}
