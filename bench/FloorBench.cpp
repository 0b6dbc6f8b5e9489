// The floor of a shred run: only the Windows calls that seven passes and a deletion need,
// nothing of the engine's checks. Per file and pass: read the attributes, open, write the
// file's length, flush, close; then delete it and look the name up once to confirm it is
// gone. With --one-handle, the calls of one handle per file instead: open, size, seven times
// rewind, write and flush, then delete through the handle, close, and one lookup; with
// --one-handle-hiding, also empty the file, flush and rename it twice before it goes, as the
// engine hides a name. Meant for
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

// Empties the file and renames it twice within its folder, as the engine hides a name.
bool Hide(HANDLE file, const std::string& path) {
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
        if (!SetFileInformationByHandle(file, FileRenameInfo, rename,
                                        static_cast<DWORD>(buffer.size())))
            return false;
    }
    return true;
}

bool ShredThroughOneHandle(const Target& target, std::vector<char>& block, bool hide) {
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
    ok = ok && (!hide || Hide(file, target.path));
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    ok = ok &&
         SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
    return CloseHandle(file) && ok &&
           GetFileAttributesA(target.path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<Target> targets;
    bool oneHandle = false, hide = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--one-handle" || argument == "--one-handle-hiding") {
            oneHandle = true;
            hide = argument == "--one-handle-hiding";
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
            (oneHandle ? ShredThroughOneHandle(target, block, hide) : Shred(target, block)) ? 0 : 1;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

    std::printf("targets=%zu bytes=%lld seconds=%.6f\n", targets.size(), bytes, elapsed.count());
    if (failures > 0)
        std::fprintf(stderr, "ostrevane_floor: %d files not shredded\n", failures);
    return failures == 0 ? 0 : 1;
}
