#include "platform/Win32FileIds.h"
#include "framework/SystemFunction.h"

#include <cstring>

namespace {

// NtQueryInformationFile with FileInternalInformation.
using QueryInformationFileFunction = LONG(WINAPI*)(HANDLE, void*, void*, ULONG, int);
constexpr int kFileInternalInformation = 6;

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

// Where FileIdInfo is refused, the older call's serial number and 64-bit index.
FileId FullIdOf(HANDLE handle) {
    FILE_ID_INFO id{};
    if (GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id)) {
        std::uint64_t low = 0;
        std::uint64_t high = 0;
        std::memcpy(&low, id.FileId.Identifier, sizeof low);
        std::memcpy(&high, id.FileId.Identifier + sizeof low, sizeof high);
        return MakeFileId(id.VolumeSerialNumber, high, low);
    }
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information))
        return {};
    return MakeFileId(information.dwVolumeSerialNumber, 0,
                      (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) |
                          information.nFileIndexLow);
}
