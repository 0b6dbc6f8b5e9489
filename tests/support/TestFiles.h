#pragma once
// Portable helpers for tests that work on real files: a temporary folder removed at the
// end, whole-file reads and writes, and the scratch file systems of tools/with-scratch-fs.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

class TempDir {
public:
    explicit TempDir(const std::filesystem::path& base = std::filesystem::temp_directory_path()) {
        std::random_device random;
        FPath = base / ("ostrevane-test-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(FPath);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    const std::filesystem::path& Path() const { return FPath; }
    // A name inside the folder, as the program would get it.
    std::string operator/(const std::string& name) const { return (FPath / name).string(); }

private:
    std::filesystem::path FPath;
};

inline std::vector<unsigned char> ReadAll(const std::string& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary | std::ios::ate);
    if (!in)
        return {};
    std::vector<unsigned char> bytes(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

inline void WriteAll(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<unsigned char> Filled(std::size_t size, unsigned char value) {
    return std::vector<unsigned char>(size, value);
}

inline std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// A host (POSIX) path as this process names it: under Wine through drive Z:.
inline std::string HostPath(const std::string& posixPath) {
#ifdef _WIN32
    std::string result = "Z:" + posixPath;
    for (char& c : result)
        if (c == '/')
            c = '\\';
    return result;
#else
    return posixPath;
#endif
}
