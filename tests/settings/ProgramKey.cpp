#include "ProgramKey.h"
#include <algorithm>
#include <stdexcept>

namespace {

RegKey OpenKey(const char* path, REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, access, &key) != ERROR_SUCCESS)
        return RegKey();
    return RegKey(key);
}

void Check(LONG status, const char* what) {
    if (status != ERROR_SUCCESS)
        throw std::runtime_error(std::string(what) + " failed with " + std::to_string(status));
}

std::vector<RawValue> ReadAllValues(HKEY key) {
    std::vector<RawValue> values;
    DWORD count = 0, maxName = 0, maxData = 0;
    Check(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                           &maxName, &maxData, nullptr, nullptr),
          "RegQueryInfoKeyA");
    for (DWORD i = 0; i < count; ++i) {
        RawValue value;
        std::string name(maxName + 1, '\0');
        DWORD nameLength = maxName + 1;
        value.bytes.assign(maxData + 1, '\0');
        DWORD size = maxData + 1;
        Check(RegEnumValueA(key, i, name.data(), &nameLength, nullptr, &value.type,
                            reinterpret_cast<BYTE*>(value.bytes.data()), &size),
              "RegEnumValueA");
        value.name = name.substr(0, nameLength);
        value.bytes.resize(size);
        values.push_back(std::move(value));
    }
    return values;
}

void DeleteKeyTree(const char* path) {
    const LONG status = RegDeleteTreeA(HKEY_CURRENT_USER, path);
    if (status != ERROR_FILE_NOT_FOUND)
        Check(status, "RegDeleteTreeA");
    if (KeyExists(path))
        Check(RegDeleteKeyA(HKEY_CURRENT_USER, path), "RegDeleteKeyA");
}

} // namespace

bool KeyExists(const char* path) {
    return static_cast<bool>(OpenKey(path, KEY_READ));
}

RegKey CreateProgramKey() {
    HKEY handle = nullptr;
    Check(RegCreateKeyExA(HKEY_CURRENT_USER, kProgramKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, &handle, nullptr),
          "RegCreateKeyExA");
    return RegKey(handle);
}

void PutRawValue(const std::string& name, DWORD type, const std::string& bytes) {
    RegKey key = CreateProgramKey();
    Check(RegSetValueExA(key.Get(), name.c_str(), 0, type,
                         reinterpret_cast<const BYTE*>(bytes.data()),
                         static_cast<DWORD>(bytes.size())),
          "RegSetValueExA");
}

bool GetRawValue(const std::string& name, RawValue& value) {
    value = RawValue{name, REG_NONE, {}};
    RegKey key = OpenKey(kProgramKeyPath, KEY_READ);
    DWORD size = 0;
    if (!key || RegQueryValueExA(key.Get(), name.c_str(), nullptr, &value.type, nullptr, &size) !=
                    ERROR_SUCCESS)
        return false;
    value.bytes.assign(size, '\0');
    Check(RegQueryValueExA(key.Get(), name.c_str(), nullptr, &value.type,
                           reinterpret_cast<BYTE*>(value.bytes.data()), &size),
          "RegQueryValueExA");
    value.bytes.resize(size);
    return true;
}

bool GetStoredText(const std::string& name, std::wstring& text) {
    text.clear();
    RegKey key = OpenKey(kProgramKeyPath, KEY_READ);
    const std::wstring wideName(name.begin(), name.end()); // the tests use ASCII names
    DWORD size = 0;
    if (!key || RegQueryValueExW(key.Get(), wideName.c_str(), nullptr, nullptr, nullptr, &size) !=
                    ERROR_SUCCESS)
        return false;
    std::vector<BYTE> data(size);
    Check(RegQueryValueExW(key.Get(), wideName.c_str(), nullptr, nullptr, data.data(), &size),
          "RegQueryValueExW");
    text.assign(size / sizeof(wchar_t), L'\0');
    std::copy(data.begin(), data.begin() + text.size() * sizeof(wchar_t),
              reinterpret_cast<BYTE*>(text.data()));
    return size % sizeof(wchar_t) == 0;
}

DWORD CountValues(const char* path) {
    RegKey key = OpenKey(path, KEY_READ);
    DWORD count = 0;
    Check(RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                           nullptr, nullptr, nullptr, nullptr),
          "RegQueryInfoKeyA");
    return count;
}

void ProgramKeySandbox::Enter() {
    FKeyExisted = false;
    FSaved.clear();
    if (RegKey key = OpenKey(kProgramKeyPath, KEY_READ)) {
        FKeyExisted = true;
        FSaved = ReadAllValues(key.Get());
    }
    DeleteKeyTree(kProgramKeyPath);
    FMakerKeyInUse = false;
    if (RegKey maker = OpenKey(kMakerKeyPath, KEY_READ)) {
        DWORD subkeys = 0, values = 0;
        Check(RegQueryInfoKeyA(maker.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                               &values, nullptr, nullptr, nullptr, nullptr),
              "RegQueryInfoKeyA");
        FMakerKeyInUse = subkeys != 0 || values != 0;
    }
    // An empty maker's key is left over from an earlier run: a fresh account has none.
    if (!FMakerKeyInUse)
        DeleteKeyTree(kMakerKeyPath);
}

void ProgramKeySandbox::Leave() {
    DeleteKeyTree(FMakerKeyInUse ? kProgramKeyPath : kMakerKeyPath);
    if (FKeyExisted)
        CreateProgramKey();
    for (const RawValue& value : FSaved)
        PutRawValue(value.name, value.type, value.bytes);
}
