#include "files.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testing_support {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "orvex-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TempDir::entries() const
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void writeFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

Bytes readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes bytesOf(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

Bytes atariModule(std::uint16_t start, std::uint16_t end, std::size_t length, std::uint8_t seed)
{
    Bytes bytes(length);
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<std::uint8_t>(seed + i);
    const std::uint8_t header[6] = {0xFF, 0xFF, static_cast<std::uint8_t>(start & 0xFF), static_cast<std::uint8_t>(start >> 8),
                                    static_cast<std::uint8_t>(end & 0xFF), static_cast<std::uint8_t>(end >> 8)};
    for (std::size_t i = 0; i < 6 && i < length; ++i)
        bytes[i] = header[i];
    return bytes;
}

Bytes playerFile(std::size_t codeLength, std::uint8_t seed)
{
    const unsigned end = 0x0500 + static_cast<unsigned>(codeLength) - 1;
    Bytes bytes = {0xFF, 0xFF, 0x00, 0x05, static_cast<std::uint8_t>(end & 0xFF), static_cast<std::uint8_t>((end >> 8) & 0xFF)};
    for (std::size_t i = 0; i < codeLength; ++i)
        bytes.push_back(static_cast<std::uint8_t>(seed + i * 7));
    return bytes;
}

} // namespace testing_support
