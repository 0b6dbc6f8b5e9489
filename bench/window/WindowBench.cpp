// Times a 7-pass shred run of one large file through the real main window (status line,
// pattern label, progress bar and list painted as the user sees them) against the same run
// with no window attached, in the same process, alternating, and prints:
//   null_seconds=<best> window_seconds=<best> ratio=<window / null>
// and one line per run. Every run gets a freshly written target of the same size.
#include "platform/FileSystem.h"
#include "app/StartUp.h"
#include "bench/NullDisplay.h"
#include "engine/ShredRun.h"
#include "framework/Application.h"
#include "framework/Exception.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Writes `bytes` of varied content and puts them on the device, so that every run starts from
// the same state.
bool WriteTarget(const std::string& path, std::int64_t bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<unsigned char> block(1 << 20);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<unsigned char>(i * 2654435761u >> 24);
    bool ok = true;
    for (std::int64_t left = bytes; ok && left > 0;) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::int64_t>(left, 1 << 20));
        DWORD written = 0;
        ok = WriteFile(file, block.data(), chunk, &written, nullptr) && written == chunk;
        left -= chunk;
    }
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

double NullRun(const std::string& path) {
    NullDisplay display({path});
    ShredRun run(display, SystemFileSystem());
    const auto start = Clock::now();
    run.Execute();
    const std::chrono::duration<double> elapsed = Clock::now() - start;
    if (display.List().front() != std::string(kDoneMarker) + path)
        throw Exception("the run without a window did not shred " + path);
    return elapsed.count();
}

double WindowRun(TfrmShredder& form, const std::string& path) {
    form.Button1Click(nullptr);
    form.DnDForm1DnDItem(nullptr, path);
    Pump();
    // The button's own click, as the user starts a run.
    const auto start = Clock::now();
    form.btnWipe.Click();
    const std::chrono::duration<double> elapsed = Clock::now() - start;
    Pump();
    if (form.HListBox1.Count() != 1 || form.HListBox1.Strings(0) != std::string(kDoneMarker) + path)
        throw Exception("the run through the window did not shred " + path);
    return elapsed.count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::puts("usage: ostrevane_window_bench TARGET [MEBIBYTES=1024] [ROUNDS=3]");
        return 2;
    }
    const std::string path = argv[1];
    const std::int64_t bytes = (argc > 2 ? std::stoll(argv[2]) : 1024) << 20;
    const int rounds = argc > 3 ? std::stoi(argv[3]) : 3;
    try {
        TfrmShredder& form = StartUp();
        form.Show();
        Pump();

        std::vector<double> nulls, windows;
        for (int round = 0; round < rounds; ++round) {
            // Alternate which goes first, so neither always meets a warmer cache.
            for (int turn = 0; turn < 2; ++turn) {
                const bool withWindow = (round + turn) % 2 == 1;
                if (!WriteTarget(path, bytes))
                    throw Exception("Cannot write the target " + path);
                const double seconds = withWindow ? WindowRun(form, path) : NullRun(path);
                (withWindow ? windows : nulls).push_back(seconds);
                std::printf("round=%d display=%s seconds=%.3f\n", round + 1,
                            withWindow ? "window" : "null", seconds);
                std::fflush(stdout);
            }
        }
        const double bestNull = *std::min_element(nulls.begin(), nulls.end());
        const double bestWindow = *std::min_element(windows.begin(), windows.end());
        std::printf("bytes=%lld passes=%d null_seconds=%.3f window_seconds=%.3f ratio=%.4f\n",
                    static_cast<long long>(bytes), kPassCount, bestNull, bestWindow,
                    bestWindow / bestNull);
        Application().DestroyForms();
        return 0;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "ostrevane_window_bench: %s\n", failure.what());
        DeleteFileA(path.c_str());
        return 1;
    }
}
