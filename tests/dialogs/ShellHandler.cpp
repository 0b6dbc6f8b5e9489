#include "ShellHandler.h"
#include <gtest/gtest.h>

namespace {
constexpr const char* kBackupParent = "Software\\OstrevaneTest";
constexpr const char* kBackupRoot = "Software\\OstrevaneTest\\ShellBackup";

class TKey {
public:
    TKey(HKEY root, const std::string& path, bool create) {
        const LONG result = create ? RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0,
                                                     KEY_ALL_ACCESS, nullptr, &FKey, nullptr)
                                   : RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &FKey);
        if (result != ERROR_SUCCESS)
            FKey = nullptr;
    }
    TKey(const TKey&) = delete;
    TKey& operator=(const TKey&) = delete;
    ~TKey() {
        if (FKey)
            RegCloseKey(FKey);
    }
    HKEY Get() const noexcept { return FKey; }

private:
    HKEY FKey = nullptr;
};

bool Exists(HKEY root, const std::string& path) {
    return TKey(root, path, false).Get() != nullptr;
}
} // namespace

TShellHandlerOverride::TShellHandlerOverride(std::string scheme, const std::string& command)
    : FScheme(std::move(scheme)), FBackup(std::string(kBackupRoot) + "\\" + FScheme) {
    if (Exists(HKEY_CURRENT_USER, FBackup))
        Restore();
    TakeOver(command);
}

void TShellHandlerOverride::TakeOver(const std::string& command) {
    {
        const TKey backup(HKEY_CURRENT_USER, FBackup, true);
        const TKey handler(HKEY_CLASSES_ROOT, FScheme, true);
        ASSERT_TRUE(backup.Get() && handler.Get());
        ASSERT_EQ(RegCopyTreeA(handler.Get(), nullptr, backup.Get()), ERROR_SUCCESS);
        RegDeleteTreeA(handler.Get(), "shell");
    }
    if (command.empty())
        return;
    const TKey open(HKEY_CLASSES_ROOT, FScheme + "\\shell\\open\\command", true);
    ASSERT_TRUE(open.Get());
    ASSERT_EQ(RegSetValueExA(open.Get(), nullptr, 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(command.c_str()),
                             static_cast<DWORD>(command.size() + 1)),
              ERROR_SUCCESS);
}

TShellHandlerOverride::~TShellHandlerOverride() {
    Restore();
}

void TShellHandlerOverride::Restore() noexcept {
    {
        const TKey backup(HKEY_CURRENT_USER, FBackup, false);
        const TKey scheme(HKEY_CLASSES_ROOT, FScheme, true);
        if (!backup.Get() || !scheme.Get())
            return;
        RegDeleteTreeA(scheme.Get(), "shell");
        if (RegCopyTreeA(backup.Get(), nullptr, scheme.Get()) != ERROR_SUCCESS)
            return;
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, FBackup.c_str());
    // The parents go only once empty: another override may still keep its backup there.
    RegDeleteKeyA(HKEY_CURRENT_USER, kBackupRoot);
    RegDeleteKeyA(HKEY_CURRENT_USER, kBackupParent);
}
