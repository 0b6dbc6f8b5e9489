// Times one shred run (seven passes and the deletion of every target) over the files named
// on the command line, with a display that shows nothing. Prints one line:
//   targets=<n> bytes=<total size> seconds=<wall time of the run> MiB_per_s=<written / time>
// Only the run itself is timed, so under Wine the emulator's start-up is left out.
#include "bench/NullDisplay.h"
#include "engine/ShredRun.h"
#include "framework/Exception.h"
#include "platform/FileSystem.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Targets {
    std::vector<std::string> paths;
    std::int64_t bytes = 0;
};

// A folder brings in the regular files directly inside it; links and subfolders are left.
void AddFolder(FileSystem& files, std::string dir, Targets& targets) {
    if (dir.back() != files.Delimiter() && dir.back() != '/')
        dir += files.Delimiter();
    files.ListDirectory(dir, [&](const DirectoryEntry& entry) {
        if (entry.IsDirectory() || entry.IsLink())
            return;
        const std::string path = dir + entry.name;
        if (files.IsRegularFile(path))
            targets.paths.push_back(path);
    });
}

// Only names of existing files and folders are taken: any other name would make the run
// fill 95 % of the drive's free space, seven times over.
bool GatherTargets(FileSystem& files, int argc, char** argv, Targets& targets) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (!name.empty() && files.IsRegularFile(name)) {
            targets.paths.push_back(name);
        } else if (!name.empty() && files.IsDirectory(name)) {
            AddFolder(files, name, targets);
        } else {
            std::fprintf(stderr, "ostrevane_bench: not an existing file or folder: %s\n",
                         name.c_str());
            return false;
        }
    }
    for (const std::string& path : targets.paths)
        targets.bytes += files.FileLength(path);
    return true;
}

// Counts the targets the run did not finish: unmarked, or still on disk after the run.
int CountFailures(FileSystem& files, const Targets& targets, const NullDisplay& display) {
    int failures = 0;
    for (std::size_t i = 0; i < targets.paths.size(); ++i) {
        const bool marked = display.List()[i].starts_with(kDoneMarker);
        if (!marked || files.IsRegularFile(targets.paths[i])) {
            std::fprintf(stderr, "ostrevane_bench: not shredded: %s\n", targets.paths[i].c_str());
            ++failures;
        }
    }
    return failures;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help")) {
        std::puts("usage: ostrevane_bench [FILE | FOLDER]...\n"
                  "Shreds the files (a folder: the files directly inside it) and prints the "
                  "wall time of the run.\nWith no argument the run has an empty list.");
        return 0;
    }
    try {
        FileSystem& files = SystemFileSystem();
        Targets targets;
        if (!GatherTargets(files, argc, argv, targets))
            return 2;

        NullDisplay display(targets.paths, files);
        ShredRun run(display, files);
        const auto start = std::chrono::steady_clock::now();
        run.Execute();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

        const double seconds = elapsed.count();
        const double mebibytes = static_cast<double>(targets.bytes) * kPassCount / 1048576.0;
        std::printf("targets=%zu bytes=%lld seconds=%.6f MiB_per_s=%.1f\n", targets.paths.size(),
                    static_cast<long long>(targets.bytes), seconds,
                    seconds > 0 ? mebibytes / seconds : 0.0);
        return CountFailures(files, targets, display) == 0 ? 0 : 1;
    } catch (const Exception& failure) {
        std::fprintf(stderr, "ostrevane_bench: %s\n", failure.what());
        return 2;
    }
}
