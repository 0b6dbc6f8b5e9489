// The floor of a shred run: only the Windows calls that seven passes and a deletion need,
// nothing of the engine's checks. Per file and pass: read the attributes, open, write the
// file's length, flush, close; then delete it and look the name up once to confirm it is
// gone. With --one-handle, the calls of one handle per file instead: open, size, seven times
// rewind, write and flush, then delete through the handle, close, and one lookup; with
// --one-handle-hiding, also empty the file, flush and rename it twice before it goes, as the
// engine hides a name; with --one-handle-checked, also the least sound check of the name
// before each rename and the deletion (Checked). Meant for
// small files: a pass writes the whole file in one call. Prints one line, as ostrevane_bench
// does:
//   targets=<n> bytes=<total size> seconds=<wall time of the passes and deletions>
// Exits 1 when a file is still there afterwards.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Target {
    std::string path;
    DWORD size;
};

// A folder brings in the files directly inside it, as the engine's driver takes them.
void Gather(const std::string& name, std::vector<Target>& targets) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(name.c_str(), GetFileExInfoStandard, &data))
        return;
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        targets.push_back({name, data.nFileSizeLow});
        return;
    }
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((name + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            targets.push_back({name + "\\" + found.cFileName, found.nFileSizeLow});
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

bool Shred(const Target& target, std::vector<char>& block) {
    if (block.size() < target.size)
        block.resize(target.size, '\x5A');
    for (int pass = 0; pass < 7; ++pass) {
        if (GetFileAttributesA(target.path.c_str()) == INVALID_FILE_ATTRIBUTES)
            return false;
        const HANDLE file = CreateFileA(target.path.c_str(), GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        DWORD written = 0;
        const bool ok = WriteFile(file, block.data(), target.size, &written, nullptr) &&
                        written == target.size && FlushFileBuffers(file);
        if (!CloseHandle(file) || !ok)
            return false;
    }
    return DeleteFileA(target.path.c_str()) &&
           GetFileAttributesA(target.path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

// The least that a sound check before an act by name costs: the name's own entry, not
// followed, shows the held file's number and creation time, and both final paths are the name.
bool Checked(HANDLE file, const std::string& path) {
    const HANDLE entry = CreateFileA(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (entry == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION held, named;
    wchar_t heldPath[MAX_PATH + 1], namedPath[MAX_PATH + 1], wanted[MAX_PATH + 5] = L"\\\\?\\";
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wanted + 4, MAX_PATH + 1);
    const auto same = [&](const wchar_t* final) {
        return CompareStringOrdinal(final, -1, wanted, -1, TRUE) == CSTR_EQUAL;
    };
    const bool ok =
        GetFileInformationByHandle(file, &held) && GetFileInformationByHandle(entry, &named) &&
        held.nFileIndexLow == named.nFileIndexLow && held.nFileIndexHigh == named.nFileIndexHigh &&
        CompareFileTime(&held.ftCreationTime, &named.ftCreationTime) == 0 &&
        GetFinalPathNameByHandleW(file, heldPath, MAX_PATH + 1, 0) != 0 &&
        GetFinalPathNameByHandleW(entry, namedPath, MAX_PATH + 1, 0) != 0 && same(heldPath) &&
        same(namedPath);
    CloseHandle(entry);
    return ok;
}

// Empties the file and renames it twice within its folder, as the engine hides a name; with
// `checked`, a check before each rename. `path` ends as the file's name.
bool Hide(HANDLE file, std::string& path, bool checked) {
    FILE_END_OF_FILE_INFO end{};
    if (!SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end) ||
        !FlushFileBuffers(file))
        return false;
    const std::size_t slash = path.find_last_of('\\');
    for (const char letter : {'Z', 'Y'}) {
        const std::string renamed =
            path.substr(0, slash + 1) + std::string(path.size() - slash - 1, letter);
        std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + 2 * renamed.size() + 2);
        auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
        rename->FileNameLength = static_cast<DWORD>(2 * renamed.size());
        MultiByteToWideChar(CP_ACP, 0, renamed.c_str(), -1, rename->FileName,
                            static_cast<int>(renamed.size() + 1));
        if ((checked && !Checked(file, path)) ||
            !SetFileInformationByHandle(file, FileRenameInfo, rename,
                                        static_cast<DWORD>(buffer.size())))
            return false;
        path = renamed;
    }
    return true;
}

bool ShredThroughOneHandle(const Target& target, std::vector<char>& block, bool hide,
                           bool checked) {
    if (block.size() < target.size)
        block.resize(target.size, '\x5A');
    const HANDLE file = CreateFileA(target.path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart == target.size;
    for (int pass = 0; ok && pass < 7; ++pass) {
        DWORD written = 0;
        ok = SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_BEGIN) &&
             WriteFile(file, block.data(), target.size, &written, nullptr) &&
             written == target.size && FlushFileBuffers(file);
    }
    std::string path = target.path;
    ok = ok && (!hide || Hide(file, path, checked)) && (!checked || Checked(file, path));
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    ok = ok &&
         SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
    return CloseHandle(file) && ok && GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<Target> targets;
    bool oneHandle = false, hide = false, checked = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--one-handle" || argument == "--one-handle-hiding" ||
            argument == "--one-handle-checked") {
            oneHandle = true;
            hide = argument != "--one-handle";
            checked = argument == "--one-handle-checked";
        } else {
            Gather(argument, targets);
        }
    }
    long long bytes = 0;
    for (const Target& target : targets)
        bytes += target.size;

    std::vector<char> block;
    int failures = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const Target& target : targets)
        failures +=
            (oneHandle ? ShredThroughOneHandle(target, block, hide, checked) : Shred(target, block))
                ? 0
                : 1;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

    std::printf("targets=%zu bytes=%lld seconds=%.6f\n", targets.size(), bytes, elapsed.count());
    if (failures > 0)
        std::fprintf(stderr, "ostrevane_floor: %d files not shredded\n", failures);
    return failures == 0 ? 0 : 1;
}
