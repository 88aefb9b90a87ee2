#pragma once
// What the tests share: bytes, files and folders, builders of the Atari files the program
// reads, a conversion run in-process as the window runs it, a runner for other programs.

#include "conversion.h"
#include "paths.h"
#include "plain_window.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace support {

using Bytes = std::vector<std::uint8_t>;

inline Bytes operator+(Bytes a, const Bytes& b) { a.insert(a.end(), b.begin(), b.end()); return a; }
inline Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }
inline std::string textOf(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }
// Bytes written as hexadecimal pairs, spaces ignored: "FF FF 00 05"
Bytes hex(std::string_view pairs);
Bytes slice(const Bytes& bytes, std::size_t from, std::size_t count = SIZE_MAX);
void writeFile(const std::string& path, const Bytes& bytes);
Bytes readFile(const std::string& path);

// Every entry below a folder: "folder", "link to ...", "special file", or a file's
// permissions and bytes.
std::map<std::string, std::string> listing(const std::filesystem::path& folder);

// A fresh folder, removed with everything in it when the object goes.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    std::map<std::string, std::string> listing() const { return support::listing(path_); }

private:
    std::filesystem::path path_;
};

// An Atari binary load file of one segment: FF FF, start, end, data.
Bytes atariFile(std::uint16_t start, const Bytes& data);
// A module of `length` bytes in all, a pattern with the speed byte at file offset 37
Bytes module(std::uint16_t start, std::size_t length = 64, std::uint8_t speed = 1);
// A player file of `length` code bytes in a pattern, its header naming `start`.
Bytes player(std::size_t length, std::uint16_t start = 0x0500);
// A .D15 file: the sample page, then a pattern, `length` bytes in all.
Bytes d15(std::uint8_t page, std::size_t length);
// The six SAP header lines written before the format's own
std::string header(const std::string& author, const std::string& name, const std::string& date, char type);

// A conversion with its own state, a window of plain data and a folder for its files
struct Bench {
    Bench();
    TempDir dir;
    std::string players;
    std::unique_ptr<orvex::ConversionState> state;
    orvex::PlainWindow window;
    orvex::Converter converter;

    // Writes a file below the folder, making its folders; returns its path.
    std::string put(const std::string& name, const Bytes& bytes);
    void putPlayer(const std::string& fileName, const Bytes& bytes) { writeFile(players + "/" + fileName, bytes); }
    // The three player files: 300, 400 and 500 bytes of code for CMC, MPT and TMC.
    void putPlayers();
    // "Load Atari MSX" answered with these files (none: the dialog is cancelled)
    void load(std::optional<std::string> module, std::optional<std::string> samples = std::nullopt);
    // "Save SAP file as..." to a file below the folder; returns its path.
    std::string saveAs(const std::string& name);
    // Load, then save as `<module>.sap`; returns its bytes. Throws on a message.
    Bytes convert(const std::string& moduleName, const Bytes& module, const std::optional<Bytes>& samples = {});
};

// The frequency in Hz of a steady tone sampled `rate` times a second, from its upward
// crossings of its mean level
double toneFrequency(const std::vector<double>& samples, int rate);

struct Outcome {
    int status = -1;  // the exit status, or 128 + the signal that ended the program
    std::string out, err;
};
// Runs a program with empty standard input and waits for it.
Outcome run(const std::vector<std::string>& argv);

} // namespace support
