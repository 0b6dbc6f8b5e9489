#pragma once
// Telling whether an open handle is the file its name names, with no symbolic link, junction
// or mount of another folder met on the way.
//
// The test compares where the handle really is (its final path) with where the name would
// lead if nothing on the way redirected it: the final path of the name's root (a drive or a
// share; a subst or mapped drive resolves to its folder or share there) followed by the rest
// of the name in its long form. Comparing after the open leaves no gap between the test and
// the use of the handle.
#include <windows.h>

#include <functional>
#include <utility>
#include <string>
#include <string_view>

// The full path name (GetFullPathNameA), or "" when there is none.
std::string FullPathName(const std::string& path);

// "C:\" or "\\server\share\" of a full path; "" for any other form (device and "\\?\" names).
std::string PathRoot(const std::string& full);

// A name in the invariant upper case Windows compares file names in: two names are the same
// name in any letter case exactly when these are the same bytes.
std::string UpperCaseName(std::string_view name);

// Whether two names are equal as Windows compares file names: ordinal, any letter case.
bool SameNameIgnoringCase(std::string_view first, std::string_view second);

// Whether `finalPath` is `rootFinal` (the final path of a root) followed by `tail` (the rest
// of the name, without a leading delimiter). Both final paths may carry the "\\?\" and
// "\\?\UNC\" prefixes of GetFinalPathNameByHandle.
bool FinalPathMatches(std::string_view rootFinal, std::string_view tail,
                      std::string_view finalPath);

// Whether a handle reached the name directly, from the final path of the name's root, the rest
// of the name, and the handle's final path (with a drive letter). Where the root's final path
// cannot be had, a failed query is no sign of a link: `nameIsEntry` (whether the name's own
// entry is the file) decides. Where only the handle's cannot be had, it may be on a volume
// with no drive letter, reached through a junction or mount point on the way: `volumePaths`
// gives the root's and the handle's final paths by volume GUID ("" where none), and only a
// handle at the root's volume GUID path followed by the rest of the name is the name's, if its
// entry is the file too. (A share has no volume GUID: its own entry decides.)
bool ReachesDirectly(std::string_view rootFinal, std::string_view tail, std::string_view finalPath,
                     const std::function<std::pair<std::string, std::string>()>& volumePaths,
                     const std::function<bool()>& nameIsEntry);

// "\\?\C:\x\" -> "C:\x", "\\?\UNC\server\share" -> "\\server\share": the plain form of a
// final path, without a trailing delimiter.
std::string PlainFinalPath(std::string_view path);

// The handle's normalized final path ("\\?\C:\x"), or where the system cannot give it the name
// as opened; "" when it gives neither.
std::string FinalPathOf(HANDLE handle);

// The handle's final path by volume GUID ("\\?\Volume{...}\x"); "" when the system will not
// give it (a share).
std::string GuidPathOf(HANDLE handle);

class Win32Calls;

// Whether `handle`, opened by `path`, is the file or folder that `path` names directly, asking
// `calls` what the system tells of the handle and the name. `finalPath`, where given, receives
// the handle's final path as read for the test.
bool ReachedDirectly(Win32Calls& calls, HANDLE handle, const std::string& path,
                     std::string* finalPath = nullptr);
