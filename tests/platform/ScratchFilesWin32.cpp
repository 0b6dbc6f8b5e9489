#include "ScratchFiles.h"

#include <atomic>
#include <stdexcept>

TempFolder::TempFolder() {
    static std::atomic<unsigned> counter{0};
    char temp[MAX_PATH + 1];
    const DWORD length = GetTempPathA(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH)
        throw std::runtime_error("no temp folder");
    FPath = std::string(temp) + "ostrevane-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(counter++);
    if (!CreateDirectoryA(FPath.c_str(), nullptr))
        throw std::runtime_error("cannot make " + FPath);
    FPath += kDelimiter;
}

TempFolder::~TempFolder() {
    RemoveTree(FPath);
}

void SetModificationYear(const std::string& path, int year) {
    SYSTEMTIME local{};
    local.wYear = static_cast<WORD>(year);
    local.wMonth = 6;
    local.wDay = 15;
    local.wHour = 12;
    FILETIME localTime;
    FILETIME utc;
    if (!SystemTimeToFileTime(&local, &localTime) || !LocalFileTimeToFileTime(&localTime, &utc))
        throw std::runtime_error("no such time");
    FileHandle file(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file || !SetFileTime(file.Get(), nullptr, nullptr, &utc))
        throw std::runtime_error("cannot set the time of " + path);
}

void MakeSparseFile(const std::string& path, std::int64_t length) {
    FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw std::runtime_error("cannot make " + path);
    DWORD returned = 0;
    // Without the sparse flag NTFS would reserve the whole length.
    DeviceIoControl(file.Get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = length;
    if (!SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(file.Get()))
        throw std::runtime_error("cannot extend " + path);
}

OtherHolder::OtherHolder(const std::string& path)
    // Asking as little as a program can that reads the file (an antivirus, a preview): every
    // kind of sharing allowed. Only a file held with no sharing refuses it.
    : FHandle(CreateFileA(path.c_str(), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {
    if (!FHandle)
        throw std::runtime_error("cannot hold " + path);
}
