#include "settings/Settings.h"
#include "framework/Exception.h"
#include "settings/RegKey.h"
#include <algorithm>
#include <cstddef>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kProgramKey = "\\Software\\Velmarth\\Ostrevane\\";

// A value that keeps growing between the size query and the fetch is given up on after
// this many tries rather than chased for ever.
constexpr int kFetchAttempts = 8;

// The key path is written from the root, but the registry takes paths relative to the root
// handle and refuses a leading delimiter; the trailing one is dropped too, as not every
// registry version accepts it.
std::string RelativeKeyPath(std::string_view path) {
    while (!path.empty() && path.front() == '\\')
        path.remove_prefix(1);
    while (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    return std::string(path);
}

// Opens the program's key for full access, creating it and any missing parents.
// Empty when it can be neither opened nor created.
RegKey OpenProgramKey() {
    const std::string path = RelativeKeyPath(kProgramKey);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return RegKey();
    return RegKey(key);
}

// The registry need not end a string with a zero: only the `size` bytes it reported count.
std::string TextUpToZero(const std::vector<char>& data, DWORD size) {
    const auto end =
        data.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(size, data.size()));
    return std::string(data.begin(), std::find(data.begin(), end, '\0'));
}

std::string ReadStringValue(HKEY key, const std::string& name) {
    DWORD type = REG_NONE;
    DWORD size = 0;
    std::vector<char> data;
    // Ask for the size first; ERROR_MORE_DATA on the fetch means the value grew meanwhile.
    LONG status = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
    for (int attempt = 0; status == ERROR_SUCCESS || status == ERROR_MORE_DATA; ++attempt) {
        if (size == 0)
            return {};
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            throw Exception("Invalid data type for '" + name + "'");
        if (status == ERROR_SUCCESS && !data.empty())
            return TextUpToZero(data, size);
        if (attempt == kFetchAttempts)
            break;
        data.assign(size, '\0');
        status = RegQueryValueExA(key, name.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(data.data()), &size);
    }
    if (status == ERROR_FILE_NOT_FOUND)
        return {};
    throw Exception("Failed to get data for '" + name + "'");
}

} // namespace

std::string ReadSetting(const std::string& name, const std::string& defaultValue) {
    std::string result;
    {
        RegKey key = OpenProgramKey();
        if (!key)
            return defaultValue;
        result = ReadStringValue(key.Get(), name);
    }
    return result.empty() ? defaultValue : result;
}

void WriteSetting(const std::string& name, const std::string& value) {
    RegKey key = OpenProgramKey();
    if (!key)
        return;
    // The terminating zero is stored with the text; a value too long for the registry's
    // size field is refused rather than cut short.
    const bool fits = value.size() < MAXDWORD;
    if (!fits || RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>(value.size() + 1)) != ERROR_SUCCESS)
        throw Exception("Failed to set data for '" + name + "'");
}
