// Times the shred run through the real main window (status line, pattern label, progress bar
// and list painted as the user sees them). Three cases:
//
//   big TARGET [MEBIBYTES=1024] [ROUNDS=3]
//     a 7-pass shred of one large file through the window against the same run with no
//     window attached, in the same process, alternating; every run gets a freshly written
//     target. Prints one line per run, then
//       null_seconds=<best> window_seconds=<best> ratio=<window / null>
//   small FOLDER [COUNT=2000] [BYTES=1024] [ROUNDS=3]
//     the same for COUNT files of BYTES each, written afresh in FOLDER (which must be empty)
//     before every run; the window lists them by a folder drop, which is not timed.
//   folder FOLDER COUNT
//     FOLDER already holds COUNT files: it is dropped on the window by a real WM_DROPFILES,
//     as the shell does it, then shredded with the button. Prints
//       listed=<n> list_seconds=<post to all listed> shred_seconds=<the run>
#include "platform/FileSystem.h"
#include "app/StartUp.h"
#include "bench/NullDisplay.h"
#include "engine/ShredRun.h"
#include "framework/Application.h"
#include "framework/Exception.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Writes `bytes` of varied content; `durable` puts them on the device as well.
bool WriteTarget(const std::string& path, std::int64_t bytes, bool durable) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<unsigned char> block(
        static_cast<std::size_t>(std::min<std::int64_t>(bytes, 1 << 20)));
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<unsigned char>(i * 2654435761u >> 24);
    bool ok = true;
    for (std::int64_t left = bytes; ok && left > 0;) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::int64_t>(left, 1 << 20));
        DWORD written = 0;
        ok = WriteFile(file, block.data(), chunk, &written, nullptr) && written == chunk;
        left -= chunk;
    }
    if (durable)
        ok = FlushFileBuffers(file) && ok;
    return CloseHandle(file) && ok;
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// The folder's files in the order the window lists them.
std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> files;
    SystemFileSystem().ListDirectory(folder + "\\", [&](const DirectoryEntry& entry) {
        if (!entry.IsDirectory())
            files.push_back(folder + "\\" + entry.name);
    });
    return files;
}

bool AllMarked(const std::vector<std::string>& entries) {
    return std::all_of(entries.begin(), entries.end(), [](const std::string& entry) {
        return entry.compare(0, kDoneMarker.size(), kDoneMarker) == 0;
    });
}

std::vector<std::string> Entries(TfrmShredder& form) {
    std::vector<std::string> entries;
    for (int i = 0; i < form.HListBox1.Count(); ++i)
        entries.push_back(form.HListBox1.Strings(i));
    return entries;
}

double NullRun(std::vector<std::string> targets) {
    NullDisplay display(std::move(targets), SystemFileSystem());
    ShredRun run(display, SystemFileSystem());
    const auto start = Clock::now();
    run.Execute();
    const double seconds = Since(start);
    if (!AllMarked(display.List()))
        throw Exception("the run without a window left a target unshredded");
    return seconds;
}

// Lists `name` (a file or folder) as a drop of it would, then shreds with the button.
double WindowRun(TfrmShredder& form, const std::string& name, std::size_t expected) {
    form.Button1Click(nullptr);
    form.DnDForm1DnDItem(nullptr, name);
    Pump();
    if (static_cast<std::size_t>(form.HListBox1.Count()) != expected)
        throw Exception("the window did not list " + name);
    // The button's own click, as the user starts a run.
    const auto start = Clock::now();
    form.btnWipe.Click();
    const double seconds = Since(start);
    Pump();
    if (!AllMarked(Entries(form)))
        throw Exception("the run through the window left a target unshredded");
    return seconds;
}

void Report(const std::vector<double>& nulls, const std::vector<double>& windows,
            const std::string& what) {
    const double bestNull = *std::min_element(nulls.begin(), nulls.end());
    const double bestWindow = *std::min_element(windows.begin(), windows.end());
    std::printf("%s passes=%d null_seconds=%.3f window_seconds=%.3f ratio=%.4f\n", what.c_str(),
                kPassCount, bestNull, bestWindow, bestWindow / bestNull);
}

// Runs both peers `rounds` times, alternating which goes first so that neither always meets
// a warmer cache; `prepare` writes the targets afresh before every run.
template <class Prepare, class Null, class Window>
void Alternate(int rounds, Prepare prepare, Null null, Window window, const std::string& what) {
    std::vector<double> nulls, windows;
    for (int round = 0; round < rounds; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool withWindow = (round + turn) % 2 == 1;
            prepare();
            const double seconds = withWindow ? window() : null();
            (withWindow ? windows : nulls).push_back(seconds);
            std::printf("round=%d display=%s seconds=%.3f\n", round + 1,
                        withWindow ? "window" : "null", seconds);
            std::fflush(stdout);
        }
    }
    Report(nulls, windows, what);
}

void BigCase(TfrmShredder& form, const std::string& path, std::int64_t bytes, int rounds) {
    Alternate(
        rounds,
        [&] {
            if (!WriteTarget(path, bytes, true))
                throw Exception("Cannot write the target " + path);
        },
        [&] { return NullRun({path}); }, [&] { return WindowRun(form, path, 1); },
        "bytes=" + std::to_string(bytes));
}

void SmallCase(TfrmShredder& form, const std::string& folder, int count, std::int64_t bytes,
               int rounds) {
    if (!FilesIn(folder).empty())
        throw Exception("the folder " + folder + " is not empty");
    Alternate(
        rounds,
        [&] {
            for (int i = 0; i < count; ++i) {
                const std::string path = folder + "\\f" + std::to_string(100000 + i);
                if (!WriteTarget(path, bytes, false))
                    throw Exception("Cannot write the target " + path);
            }
        },
        [&] { return NullRun(FilesIn(folder)); },
        [&] { return WindowRun(form, folder, static_cast<std::size_t>(count)); },
        "files=" + std::to_string(count) + " bytes=" + std::to_string(bytes));
    if (!FilesIn(folder).empty())
        throw Exception("a run left files in " + folder);
}

// A drop handle as the shell makes it: a DROPFILES header, then the names, each ended by a
// zero, and one more zero.
HGLOBAL MakeDrop(const std::string& name) {
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + name.size() + 2);
    if (!memory)
        throw Exception("no memory for the drop");
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->pt = {100, 100};
    std::memcpy(reinterpret_cast<char*>(header + 1), name.c_str(), name.size() + 1);
    GlobalUnlock(memory);
    return memory;
}

void FolderCase(TfrmShredder& form, const std::string& folder, int count) {
    form.Button1Click(nullptr);
    Pump();
    const auto start = Clock::now();
    PostMessageA(form.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(folder)), 0);
    // The drop is handled within one message; pumping on covers the paints it leaves.
    Pump();
    const double listSeconds = Since(start);
    const int listed = form.HListBox1.Count();
    std::printf("listed=%d list_seconds=%.3f\n", listed, listSeconds);
    std::fflush(stdout);
    if (listed != count)
        throw Exception("the window listed " + std::to_string(listed) + " files, not " +
                        std::to_string(count));

    const auto shredStart = Clock::now();
    form.btnWipe.Click();
    const double shredSeconds = Since(shredStart);
    Pump();
    if (!AllMarked(Entries(form)) || !FilesIn(folder).empty())
        throw Exception("the run through the window left a target unshredded");
    std::printf("listed=%d list_seconds=%.3f shred_seconds=%.3f\n", listed, listSeconds,
                shredSeconds);
}

int Usage() {
    std::puts("usage: ostrevane_window_bench big TARGET [MEBIBYTES=1024] [ROUNDS=3]\n"
              "       ostrevane_window_bench small FOLDER [COUNT=2000] [BYTES=1024] [ROUNDS=3]\n"
              "       ostrevane_window_bench folder FOLDER COUNT");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return Usage();
    const std::string mode = argv[1];
    const std::string path = argv[2];
    const auto arg = [&](int index, long long fallback) {
        return argc > index ? std::stoll(argv[index]) : fallback;
    };
    try {
        TfrmShredder& form = StartUp();
        form.Show();
        Pump();
        if (mode == "big") {
            BigCase(form, path, arg(3, 1024) << 20, static_cast<int>(arg(4, 3)));
        } else if (mode == "small") {
            SmallCase(form, path, static_cast<int>(arg(3, 2000)), arg(4, 1024),
                      static_cast<int>(arg(5, 3)));
        } else if (mode == "folder" && argc > 3) {
            FolderCase(form, path, static_cast<int>(arg(3, 0)));
        } else {
            Application().DestroyForms();
            return Usage();
        }
        Application().DestroyForms();
        return 0;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "ostrevane_window_bench: %s\n", failure.what());
        if (mode == "big")
            DeleteFileA(path.c_str());
        return 1;
    }
}
