#include "platform/Win32FileIds.h"
#include "framework/SystemFunction.h"

#include <cstring>

namespace {

// NtQueryInformationFile with FileInternalInformation.
using QueryInformationFileFunction = LONG(WINAPI*)(HANDLE, void*, void*, ULONG, int);
constexpr int kFileInternalInformation = 6;

std::uint64_t FileTime(LONGLONG time) {
    return static_cast<std::uint64_t>(time);
}

} // namespace

std::uint64_t NumberOf(HANDLE handle) {
    static const auto query =
        SystemFunction<QueryInformationFileFunction>("ntdll.dll", "NtQueryInformationFile");
    struct {
        void* status;
        ULONG_PTR information;
    } io{};
    LARGE_INTEGER index{};
    if (query && query(handle, &io, &index, sizeof index, kFileInternalInformation) >= 0)
        return static_cast<std::uint64_t>(index.QuadPart);
    return 0;
}

std::uint64_t CreationOf(HANDLE handle) {
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
        return 0;
    return FileTime(basic.CreationTime.QuadPart);
}

FileId IdOfFileIdInfo(const FILE_ID_INFO& info, std::uint64_t created) {
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    std::memcpy(&low, info.FileId.Identifier, sizeof low);
    std::memcpy(&high, info.FileId.Identifier + sizeof low, sizeof high);
    return MakeFileId(info.VolumeSerialNumber, high, low, 0, created);
}

// Else the older call's serial number, 64-bit index and creation time.
FileId FullIdOf(HANDLE handle, const FILE_ID_INFO* info) {
    if (info) {
        const FileId id = IdOfFileIdInfo(*info, CreationOf(handle));
        if (id.known)
            return id;
    }
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information))
        return {};
    const ULARGE_INTEGER created{
        {information.ftCreationTime.dwLowDateTime, information.ftCreationTime.dwHighDateTime}};
    return MakeFileId(information.dwVolumeSerialNumber, 0,
                      (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) |
                          information.nFileIndexLow,
                      0, created.QuadPart);
}

FileId LocalIdOf(HANDLE handle) {
    return MakeFileId(0, 0, NumberOf(handle), 0, CreationOf(handle));
}
