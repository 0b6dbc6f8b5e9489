#pragma once
// Where the other names of a file are (its hard links): a file refused for having them is
// named in the report with them, so that the user can find and delete them.
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct OtherName {
    std::string path; // the full name, in the system code page
    bool sameFolder;  // in the folder of the name it was asked for
};

// What the lookup asks of the system, apart so that the answers of a Windows volume can be
// given where Wine has none.
struct NameQueries {
    // The folder the file's volume is mounted at ("C:\"); "" when the system cannot tell.
    std::function<std::wstring(const std::wstring& path)> volumeFolder;
    // Every name of the file, each from the volume's root ("\Letters\cv.doc"); none when the
    // system cannot list them.
    std::function<std::optional<std::vector<std::wstring>>(const std::wstring& path)> names;
};
NameQueries SystemNameQueries();

// Every name of the file `path` names, but `path` itself; none when the system cannot tell
// them all (or tells none that is `path`, so that the rest could be spelled wrong).
std::optional<std::vector<OtherName>>
OtherNamesOf(const std::string& path, const NameQueries& queries = SystemNameQueries());
