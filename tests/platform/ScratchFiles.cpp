#include "ScratchFiles.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

void MakeFolder(const std::string& path) {
    std::filesystem::create_directory(path);
}

void RemoveTree(const std::string& path) {
    std::error_code error;
    // Windows will not delete a read-only file.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path, error)) {
        if (!entry.is_symlink())
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add, error);
    }
    std::filesystem::remove_all(path, error);
}

void WriteFileContent(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out.flush())
        throw std::runtime_error("cannot write " + path);
}

std::string ReadFileContent(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool PathExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string AsFolder(std::string path) {
    if (!path.empty() && path.back() != kDelimiter)
        path += kDelimiter;
    return path;
}

} // namespace

// Under Wine the launcher gives the scratch file systems drive letters of their own, so
// that free space can be asked for by drive number.
std::string ScratchTmpfs() {
#ifdef _WIN32
    return AsFolder(Variable("OSTREVANE_TMPFS_DRIVE"));
#else
    return AsFolder(Variable("OSTREVANE_TMPFS"));
#endif
}

std::string ScratchExt4() {
#ifdef _WIN32
    return AsFolder(Variable("OSTREVANE_EXT4_DRIVE"));
#else
    return AsFolder(Variable("OSTREVANE_EXT4"));
#endif
}

std::uint8_t DriveNumberOf(const std::string& folder) {
    if (folder.size() < 2 || folder[1] != ':')
        return 0;
    const char letter = folder[0];
    return static_cast<std::uint8_t>((letter >= 'a' && letter <= 'z' ? letter - 32 : letter) - 64);
}
