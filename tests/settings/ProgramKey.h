#pragma once
// Direct access to the program's registry key, bypassing the settings store, so tests can
// arrange values of any type and look at exactly what was stored.
#include "settings/RegKey.h"
#include <string>
#include <vector>

inline constexpr const char* kProgramKeyPath = "Software\\Velmarth\\Ostrevane";
inline constexpr const char* kMakerKeyPath = "Software\\Velmarth";

struct RawValue {
    std::string name;
    DWORD type = REG_NONE;
    std::string bytes;
};

bool KeyExists(const char* path);
RegKey CreateProgramKey();
// Stores exactly `bytes` (no terminating zero is added) under `name`, creating the key.
void PutRawValue(const std::string& name, DWORD type, const std::string& bytes);
// The value as RegQueryValueExA returns it; type REG_NONE with a false result when missing.
bool GetRawValue(const std::string& name, RawValue& value);
// The stored UTF-16 data of a string value, exactly as long as the registry keeps it: the
// ...A query cannot show whether a terminating zero was stored, as it adds one itself.
bool GetStoredText(const std::string& name, std::wstring& text);
DWORD CountValues(const char* path);

// Takes the program's key away for the length of a test (Enter) and puts back what was
// there before (Leave): the values of an existing key, and the maker's key when it held
// anything else. Both throw when the registry refuses, so the test run reports it.
class ProgramKeySandbox {
public:
    void Enter();
    void Leave();
    bool MakerKeyInUse() const { return FMakerKeyInUse; }

private:
    bool FKeyExisted = false;
    bool FMakerKeyInUse = false;
    std::vector<RawValue> FSaved;
};
