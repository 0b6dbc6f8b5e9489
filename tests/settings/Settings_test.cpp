#include "settings/Settings.h"
#include "framework/Exception.h"
#include "ProgramKey.h"
#include <gtest/gtest.h>
#include <functional>
#include <vector>

namespace {

class SettingsStore : public testing::Test {
protected:
    void SetUp() override { FSandbox.Enter(); }
    void TearDown() override { FSandbox.Leave(); }

    ProgramKeySandbox FSandbox;
};

// The text the user would read in the error report, or a marker when nothing failed.
std::string FailureText(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& failure) {
        return failure.Message();
    }
    return "<no failure>";
}

std::string Bytes(const char* data, std::size_t size) {
    return std::string(data, size);
}

// Keeps an existing key from being opened for anything while it lives, through a handle
// that may still change the key's permissions back.
class DeniedKey {
public:
    explicit DeniedKey(const char* path) {
        HKEY handle = nullptr;
        FStatus = RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, READ_CONTROL | WRITE_DAC, &handle);
        FKey.Reset(handle);
        DWORD size = 0;
        if (FStatus == ERROR_SUCCESS)
            FStatus = RegGetKeySecurity(handle, DACL_SECURITY_INFORMATION, nullptr, &size);
        if (FStatus != ERROR_INSUFFICIENT_BUFFER)
            return;
        FSaved.resize(size);
        FStatus = RegGetKeySecurity(handle, DACL_SECURITY_INFORMATION, FSaved.data(), &size);
        if (FStatus != ERROR_SUCCESS)
            return;
        // A present but empty access list grants nobody anything.
        ACL empty;
        SECURITY_DESCRIPTOR denyAll;
        InitializeAcl(&empty, sizeof empty, ACL_REVISION);
        InitializeSecurityDescriptor(&denyAll, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&denyAll, TRUE, &empty, FALSE);
        FStatus = RegSetKeySecurity(handle, DACL_SECURITY_INFORMATION, &denyAll);
        FDenied = FStatus == ERROR_SUCCESS;
    }
    ~DeniedKey() {
        if (FDenied && RegSetKeySecurity(FKey.Get(), DACL_SECURITY_INFORMATION, FSaved.data()) !=
                           ERROR_SUCCESS)
            ADD_FAILURE() << "the key's permissions could not be restored";
    }
    DeniedKey(const DeniedKey&) = delete;
    DeniedKey& operator=(const DeniedKey&) = delete;

    LONG Status() const { return FStatus; }

private:
    RegKey FKey;
    std::vector<BYTE> FSaved;
    LONG FStatus = ERROR_SUCCESS;
    bool FDenied = false;
};

bool OpensForFullAccess(const char* path) {
    HKEY handle = nullptr;
    const bool opened =
        RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, &handle) == ERROR_SUCCESS;
    RegKey key(handle);
    return opened;
}

} // namespace

TEST_F(SettingsStore, FirstRunCreatesTheKeyAndReadsTheDefault) {
    ASSERT_FALSE(KeyExists(kProgramKeyPath));

    EXPECT_EQ(ReadSetting("SearchPath", ""), "");
    EXPECT_TRUE(KeyExists(kProgramKeyPath));
    EXPECT_EQ(CountValues(kProgramKeyPath), 0u);

    EXPECT_EQ(ReadSetting("SearchPath", "C:\\fallback\\"), "C:\\fallback\\");
    EXPECT_EQ(ReadSetting("LastFolder", "D:\\"), "D:\\");
}

TEST_F(SettingsStore, WriteOnAFreshAccountCreatesTheKey) {
    WriteSetting("SearchPath", "C:\\docs\\");
    EXPECT_TRUE(KeyExists(kProgramKeyPath));
    EXPECT_EQ(ReadSetting("SearchPath", ""), "C:\\docs\\");
}

TEST_F(SettingsStore, FolderRoundTripsWithItsTrailingDelimiter) {
    WriteSetting("SearchPath", "C:\\docs\\");

    RawValue stored;
    ASSERT_TRUE(GetRawValue("SearchPath", stored));
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_SZ));
    std::wstring text;
    ASSERT_TRUE(GetStoredText("SearchPath", text));
    EXPECT_EQ(text, std::wstring(L"C:\\docs\\\0", 9)); // the terminating zero is stored
    EXPECT_EQ(ReadSetting("SearchPath", "unused"), "C:\\docs\\");
}

TEST_F(SettingsStore, NamesAreIndependentAndWritesReplace) {
    WriteSetting("SearchPath", "C:\\docs\\");
    WriteSetting("Other Name", "\\\\server\\share\\");
    WriteSetting("SearchPath", "E:\\later\\");

    EXPECT_EQ(ReadSetting("SearchPath", ""), "E:\\later\\");
    EXPECT_EQ(ReadSetting("Other Name", ""), "\\\\server\\share\\");
    EXPECT_EQ(CountValues(kProgramKeyPath), 2u);
}

TEST_F(SettingsStore, EveryCallSeesTheRegistryAsItIsNow) {
    WriteSetting("SearchPath", "C:\\docs\\");
    PutRawValue("SearchPath", REG_SZ, Bytes("C:\\changed\\\0", 12));
    EXPECT_EQ(ReadSetting("SearchPath", ""), "C:\\changed\\");

    ASSERT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, kProgramKeyPath), ERROR_SUCCESS);
    RegDeleteKeyA(HKEY_CURRENT_USER, kProgramKeyPath);
    ASSERT_FALSE(KeyExists(kProgramKeyPath));
    EXPECT_EQ(ReadSetting("SearchPath", "fresh"), "fresh");
    EXPECT_TRUE(KeyExists(kProgramKeyPath));
}

TEST_F(SettingsStore, SystemCodePageTextRoundTrips) {
    if (GetACP() != 1252)
        GTEST_SKIP() << "the text below is in code page 1252, the system uses " << GetACP();
    WriteSetting("SearchPath", "C:\\D\xFCsseldorf \xE9t\xE9\\");
    EXPECT_EQ(ReadSetting("SearchPath", ""), "C:\\D\xFCsseldorf \xE9t\xE9\\");
}

TEST_F(SettingsStore, StoredEmptyStringReadsAsTheDefault) {
    WriteSetting("SearchPath", "");
    std::wstring text;
    ASSERT_TRUE(GetStoredText("SearchPath", text));
    EXPECT_EQ(text, std::wstring(L"\0", 1));

    EXPECT_EQ(ReadSetting("SearchPath", "C:\\fallback\\"), "C:\\fallback\\");
    EXPECT_EQ(ReadSetting("SearchPath", ""), "");
}

TEST_F(SettingsStore, ValuesWithoutDataReadAsTheDefaultWhateverTheirType) {
    PutRawValue("SearchPath", REG_DWORD, "");
    PutRawValue("Blob", REG_BINARY, "");
    PutRawValue("Text", REG_SZ, "");

    EXPECT_EQ(ReadSetting("SearchPath", "C:\\fallback\\"), "C:\\fallback\\");
    EXPECT_EQ(ReadSetting("Blob", "default"), "default");
    EXPECT_EQ(ReadSetting("Text", "default"), "default");
}

TEST_F(SettingsStore, ExpandableStringIsReturnedUnexpanded) {
    PutRawValue("SearchPath", REG_EXPAND_SZ, Bytes("%SystemRoot%\\Temp\\\0", 19));
    EXPECT_EQ(ReadSetting("SearchPath", ""), "%SystemRoot%\\Temp\\");
}

TEST_F(SettingsStore, TextEndsAtTheFirstZeroOrAtTheEndOfTheData) {
    PutRawValue("SearchPath", REG_SZ, "C:\\docs"); // stored without a terminating zero
    PutRawValue("Embedded", REG_SZ, Bytes("C:\\a\\\0D:\\junk\\\0", 15));
    PutRawValue("Leading", REG_SZ, Bytes("\0C:\\hidden\\\0", 12));
    PutRawValue("OneByte", REG_EXPAND_SZ, "X");

    EXPECT_EQ(ReadSetting("SearchPath", ""), "C:\\docs");
    EXPECT_EQ(ReadSetting("Embedded", ""), "C:\\a\\");
    EXPECT_EQ(ReadSetting("Leading", "default"), "default");
    EXPECT_EQ(ReadSetting("OneByte", ""), "X");
}

TEST_F(SettingsStore, LongValueIsReadWhole) {
    std::string longText;
    for (int i = 0; longText.size() < 100 * 1024; ++i)
        longText += "C:\\folder" + std::to_string(i) + "\\";

    WriteSetting("SearchPath", longText);
    EXPECT_EQ(ReadSetting("SearchPath", ""), longText);

    PutRawValue("Unterminated", REG_SZ, longText);
    EXPECT_EQ(ReadSetting("Unterminated", ""), longText);
}

TEST_F(SettingsStore, ValuesOfOtherTypesHoldingDataFail) {
    PutRawValue("SearchPath", REG_DWORD, Bytes("\x05\0\0\0", 4));
    PutRawValue("Blob", REG_BINARY, "C:\\");
    PutRawValue("Several", REG_MULTI_SZ, Bytes("C:\\\0D:\\\0\0", 9));

    EXPECT_EQ(FailureText([] { ReadSetting("SearchPath", "C:\\"); }),
              "Invalid data type for 'SearchPath'");
    EXPECT_EQ(FailureText([] { ReadSetting("Blob", ""); }), "Invalid data type for 'Blob'");
    EXPECT_EQ(FailureText([] { ReadSetting("Several", ""); }), "Invalid data type for 'Several'");
    // Writing a string over the number repairs the value.
    WriteSetting("SearchPath", "C:\\docs\\");
    EXPECT_EQ(ReadSetting("SearchPath", ""), "C:\\docs\\");
}

TEST_F(SettingsStore, WriteTheRegistryRefusesFails) {
    // Value names are limited to 16383 characters.
    const std::string tooLong(16384, 'N');
    EXPECT_EQ(FailureText([&] { WriteSetting(tooLong, "C:\\docs\\"); }),
              "Failed to set data for '" + tooLong + "'");
    EXPECT_EQ(CountValues(kProgramKeyPath), 0u);
}

TEST_F(SettingsStore, ReadTheRegistryRefusesFails) {
    const std::string tooLong(40000, 'N');
    RegKey key = CreateProgramKey();
    DWORD size = 0;
    const LONG status =
        RegQueryValueExA(key.Get(), tooLong.c_str(), nullptr, nullptr, nullptr, &size);
    key.Reset();
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND)
        GTEST_SKIP() << "this registry does not refuse the query (status " << status << ")";

    EXPECT_EQ(FailureText([&] { ReadSetting(tooLong, "default"); }),
              "Failed to get data for '" + tooLong + "'");
}

TEST_F(SettingsStore, KeyThatCannotBeCreatedGivesTheDefaultAndIgnoresWrites) {
    if (FSandbox.MakerKeyInUse())
        GTEST_SKIP() << "the maker's key holds other data here";
    // Under a volatile key only volatile keys can be made, and the store makes lasting ones.
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kMakerKeyPath, 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    RegKey maker(handle);
    if (OpensForFullAccess(kProgramKeyPath) || KeyExists(kProgramKeyPath))
        GTEST_SKIP() << "this registry lets a lasting key be made under a volatile one";

    EXPECT_EQ(ReadSetting("SearchPath", "C:\\fallback\\"), "C:\\fallback\\");
    EXPECT_EQ(FailureText([] { WriteSetting("SearchPath", "C:\\docs\\"); }), "<no failure>");
    EXPECT_FALSE(KeyExists(kProgramKeyPath));
}

TEST_F(SettingsStore, KeyThatRefusesFullAccessGivesTheDefaultAndIgnoresWrites) {
    // Even a value that would fail to read is not looked at when the key cannot be opened.
    PutRawValue("SearchPath", REG_DWORD, Bytes("\x05\0\0\0", 4));
    PutRawValue("LastFolder", REG_SZ, Bytes("C:\\kept\\\0", 9));
    {
        DeniedKey denied(kProgramKeyPath);
        ASSERT_EQ(denied.Status(), ERROR_SUCCESS);
        if (OpensForFullAccess(kProgramKeyPath))
            GTEST_SKIP() << "this registry does not enforce key permissions";

        EXPECT_EQ(ReadSetting("SearchPath", "C:\\fallback\\"), "C:\\fallback\\");
        EXPECT_EQ(ReadSetting("LastFolder", "default"), "default");
        EXPECT_EQ(FailureText([] { WriteSetting("LastFolder", "D:\\new\\"); }), "<no failure>");
    }
    RawValue kept;
    ASSERT_TRUE(GetRawValue("LastFolder", kept));
    EXPECT_EQ(kept.bytes, Bytes("C:\\kept\\\0", 9));
}
