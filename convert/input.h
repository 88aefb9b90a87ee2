#pragma once
// Reading the files a conversion takes in: the module, its digi samples, a player file.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace orvex {

// A file that a conversion reads (the module, its samples, a player file): a save never
// writes over one.
struct InputFile {
    std::string role;  // "module file", "digi-sample file", "player file"
    std::string path;
    dev_t device;
    ino_t inode;
    bool operator==(const InputFile&) const = default;
};

// The image buffer in which a SAP file's binary part is assembled; no input is read
// beyond it.
inline constexpr std::size_t kImageSize = 128000;
// The buffer as messages name it: "the 128000-byte buffer".
std::string imageBufferName();

// A failure of a command, its message ready to be shown.
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a read of an input file gives: the count of bytes read after the first `skip`
// (at most the room given), whether more follow, and the file. Throws ConversionError,
// the message naming the file by its role.
struct InputRead {
    std::size_t count;
    bool cut;
    InputFile identity;
};
InputRead readInput(const std::string& role, const std::string& path, std::size_t skip, std::uint8_t* into,
                    std::size_t room);

} // namespace orvex
