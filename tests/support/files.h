#pragma once
// Temporary folders, whole-file reads and writes, and small Atari files for the tests.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    // Names of the entries in the folder, sorted
    std::vector<std::string> entries() const;

private:
    std::filesystem::path path_;
};

void writeFile(const std::string& path, const Bytes& bytes);
Bytes readFile(const std::string& path);
Bytes bytesOf(const std::string& text);

// An Atari binary load file: FF FF, start, end, then `length` bytes in all (header
// included), the data counting up from `seed`.
Bytes atariModule(std::uint16_t start, std::uint16_t end, std::size_t length, std::uint8_t seed = 0);
// A player file: FF FF, a segment header for $0500, then `codeLength` bytes of code.
Bytes playerFile(std::size_t codeLength, std::uint8_t seed = 0x40);

} // namespace testing_support
