#include "ScratchFiles.h"

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>

TempFolder::TempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string name =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/ostrevane-XXXXXX";
    if (mkdtemp(name.data()) == nullptr)
        throw std::runtime_error("cannot make " + name);
    FPath = name + kDelimiter;
}

TempFolder::~TempFolder() {
    RemoveTree(FPath);
}

void SetModificationYear(const std::string& path, int year) {
    struct tm local {};
    local.tm_year = year - 1900;
    local.tm_mon = 5;
    local.tm_mday = 15;
    local.tm_hour = 12;
    local.tm_isdst = -1;
    const time_t when = mktime(&local);
    const struct timespec times[2] = {{when, 0}, {when, 0}};
    if (when == static_cast<time_t>(-1) || utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        throw std::runtime_error("cannot set the time of " + path);
}

void MakeSparseFile(const std::string& path, std::int64_t length) {
    const Fd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd || ftruncate(fd.Get(), length) != 0)
        throw std::runtime_error("cannot extend " + path);
}

OtherHolder::OtherHolder(const std::string& path)
    : FHandle(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {
    if (!FHandle || flock(FHandle.Get(), LOCK_EX | LOCK_NB) != 0)
        throw std::runtime_error("cannot hold " + path);
}
