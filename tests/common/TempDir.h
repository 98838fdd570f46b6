#pragma once
// A fresh folder for one test, removed with everything in it when the test ends.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kelpa::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::filesystem::path &path() const { return path_; }
    // Path of a file inside the folder, as a string the programs' APIs take.
    std::string file(const std::string &name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

std::vector<std::uint8_t> readBytes(const std::string &fileName);
void writeBytes(const std::string &fileName, const std::vector<std::uint8_t> &bytes);
void writeText(const std::string &fileName, const std::string &text);
// The file's bytes as a string; empty when it cannot be read.
std::string readText(const std::string &fileName);

} // namespace kelpa::test
