// The program's resources, read from the built program itself, and the code page its manifest
// gives a process (this test program carries the same manifest).
#include "TestFiles.h"
#include "framework/Application.h"
#include <windows.h>
#include <commctrl.h>
#include <algorithm>
#include <cstddef>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::string ProgramPath() {
    return HostPath(EnvOrEmpty("OSTREVANE_PROGRAM"));
}

class ProgramResources : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(EnvOrEmpty("OSTREVANE_PROGRAM").empty());
        FModule = LoadLibraryExA(ProgramPath().c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(FModule, nullptr) << ProgramPath();
    }
    void TearDown() override {
        if (FModule)
            FreeLibrary(FModule);
    }

    std::string Resource(const char* name, const char* type) {
        HRSRC found = FindResourceA(FModule, name, type);
        if (!found)
            return {};
        HGLOBAL loaded = LoadResource(FModule, found);
        const auto* data = static_cast<const char*>(LockResource(loaded));
        return std::string(data, SizeofResource(FModule, found));
    }

    HMODULE FModule = nullptr;
};

#pragma pack(push, 2)
struct IconDirEntry {
    BYTE width, height, colors, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct IconDir {
    WORD reserved, type, count;
    IconDirEntry entries[1];
};
#pragma pack(pop)

TEST_F(ProgramResources, TheManifestAsksForUtf8TheThemedCommonControlsAndPerMonitorDpi) {
    const std::string manifest = Resource(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find("<activeCodePage"), std::string::npos);
    EXPECT_NE(manifest.find(">UTF-8</activeCodePage>"), std::string::npos);
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
              std::string::npos);
    EXPECT_NE(manifest.find(">PerMonitorV2</dpiAwareness>"), std::string::npos);
    EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string::npos);
}

TEST_F(ProgramResources, TheIconHasTheShellsSizesAnd32By32In16Colours) {
    const char* name = kProgramIcon;
    const std::string group = Resource(name, MAKEINTRESOURCEA(14)); // RT_GROUP_ICON
    ASSERT_GE(group.size(), sizeof(IconDir));
    const auto* dir = reinterpret_cast<const IconDir*>(group.data());
    ASSERT_GE(group.size(), offsetof(IconDir, entries) + dir->count * sizeof(IconDirEntry));
    const auto* entries =
        reinterpret_cast<const IconDirEntry*>(group.data() + offsetof(IconDir, entries));
    std::vector<int> sizes;
    for (WORD i = 0; i < dir->count; ++i) {
        const IconDirEntry& entry = entries[i];
        EXPECT_EQ(entry.width, entry.height);
        sizes.push_back(entry.width == 0 ? 256 : entry.width);
        if (entry.width == 32) {
            EXPECT_EQ(entry.colors, 16);
            EXPECT_EQ(entry.bitCount, 4);
        }
    }
    // What the shell asks for at 100 % to 200 %, and its largest view.
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (std::vector<int>{16, 20, 24, 32, 40, 48, 64, 256}));

    HICON icon = static_cast<HICON>(LoadImageA(FModule, name, IMAGE_ICON, 0, 0, 0));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bitmap{};
    GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, 32);
    EXPECT_EQ(bitmap.bmHeight, 32);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
}

std::string VersionString(const std::vector<char>& block, const std::string& name) {
    char* value = nullptr;
    UINT length = 0;
    const std::string path = "\\StringFileInfo\\040904E4\\" + name;
    if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
        return "<missing>";
    return std::string(value);
}

TEST(ProgramVersion, Is200ByVelmarth) {
    const std::string program = ProgramPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(program.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(program.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(VersionString(block, "ProductName"), "Windows Ostrevane");
    EXPECT_EQ(VersionString(block, "FileDescription"), "Windows Ostrevane");
    EXPECT_EQ(VersionString(block, "CompanyName"), "Velmarth");
    EXPECT_EQ(VersionString(block, "FileVersion"), "2.0.0");
    EXPECT_EQ(VersionString(block, "ProductVersion"), "2.0.0");
}

// --- Under the manifest ----------------------------------------------------------------------

TEST(UnderTheManifest, TheAnsiCodePageIsUtf8) {
    EXPECT_EQ(GetACP(), 65001u);
}

TEST(UnderTheManifest, ANameOutsideEveryLegacyCodePageReachesTheFileThroughTheAnsiFunctions) {
    TempDir dir;
    // é, 中 and an emoji (U+1F600), in UTF-8.
    const std::string name = "caf\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80.txt";
    const std::string path = dir.Path().string() + "\\" + name;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);

    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir.Path().string() + "\\*.txt").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    EXPECT_EQ(std::string(found.cFileName), name);
    // The same name through the wide functions: one file, not a file named with '?'.
    WIN32_FIND_DATAW wide;
    search = FindFirstFileW((dir.Path().wstring() + L"\\*.txt").c_str(), &wide);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    EXPECT_EQ(std::wstring(wide.cFileName), L"caf\u00E9 \u4E2D \U0001F600.txt");
    EXPECT_TRUE(DeleteFileA(path.c_str()));
}

TEST(UnderTheManifest, ButtonsComeFromTheCommonControlsVersion6) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    ASSERT_TRUE(InitCommonControlsEx(&controls));
    HWND button = CreateWindowExA(0, "BUTTON", "&Select File(s)", WS_POPUP, 0, 0, 89, 25, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(button, nullptr);
    // Only the version 6 button knows how large it would like to be.
    SIZE ideal{};
    EXPECT_TRUE(SendMessageA(button, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)));
    EXPECT_GT(ideal.cx, 0);
    DestroyWindow(button);
}

} // namespace
