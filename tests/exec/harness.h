#pragma once
// What the execution tests share: the assembled probe player and .COM tune, module and
// player files in a temporary folder, a conversion through the real engine, and a
// machine that loads the SAP file and calls it the way a SAP player does.

#include "cpu6502.h"
#include "files.h"
#include "sap_loader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace exec {

using Bytes = std::vector<std::uint8_t>;

// The 6502 programs assembled at build time
Bytes probeAssembledAt0500();
Bytes probeAssembledAtF500();
Bytes comTune();  // raw code from $8000
inline constexpr std::uint16_t kComTuneStart = 0x8000;

// Where the probe and the tune keep their log (see log.inc)
inline constexpr std::uint16_t kLogCount = 0xF0;
inline constexpr std::uint16_t kLogEntry = 0x0200, kLogA = 0x0280, kLogX = 0x0300, kLogY = 0x0380;
inline constexpr std::size_t kLogRoom = 128;

// An Atari binary load file of one segment: 0xFF 0xFF, start, end, data.
Bytes atariBinary(std::uint16_t start, const Bytes& data);
// `count` bytes of module data from `start`; the byte at file offset 37 is `speed`.
Bytes moduleFile(std::uint16_t start, std::size_t count = 64, std::uint8_t speed = 1);
// A .D15 file: its first byte is the page, the rest a pattern.
Bytes sampleFile(std::uint8_t page, std::size_t length);

using testing_support::readFile;
using testing_support::writeFile;

// A temporary folder with a player folder holding the three probe player files, each
// declaring $0500 in its segment header.
class Workspace {
public:
    Workspace();

    std::filesystem::path path(const std::string& name) const { return folder_.path() / name; }
    std::filesystem::path players() const { return folder_.path() / "players"; }

    // Loads `moduleName` (written with `module`) through the engine, with the digi
    // samples when given, saves it as a SAP file and returns that file's bytes.
    // Any message the engine shows fails the test.
    Bytes convert(const std::string& moduleName, const Bytes& module, const std::optional<Bytes>& samples = std::nullopt);

private:
    testing_support::TempDir folder_;
};

// One call as the probe logged it: the entry (+0, +3, +6) and the registers it brought.
struct Call {
    std::uint8_t entry, a, x, y;
    bool operator==(const Call&) const = default;
};
void PrintTo(const Call& call, std::ostream* out);
// The calls logged in `cpu`'s memory, oldest first.
std::vector<Call> probeLog(const Cpu6502& cpu);
std::vector<int> entriesOf(const std::vector<Call>& calls);

// A SAP file loaded into a 6502 and driven as a SAP player drives it.
class Machine {
public:
    // Parses the SAP file and loads its segments; throws SapLoadError.
    void load(const Bytes& sapFile);

    Cpu6502 cpu;
    SapFile sap;

    // TYPE B and D: INIT with A = 0 (the first song). TYPE C: PLAYER+3 with A = 0x70
    // and the MUSIC address in X (low) and Y (high), then PLAYER+3 with A = 0, X = 0.
    void start();
    // One frame's call: PLAYER (TYPE B and D) or PLAYER+6 (TYPE C).
    void play();

    // The calls the probe has logged so far, and those since the last take.
    std::vector<Call> log() const;
    std::vector<Call> takeNewCalls();

private:
    std::size_t taken_ = 0;
};

// Runs `what`, turning a 6502 fault or a load error into a test failure with its text.
::testing::AssertionResult runs(const std::function<void()>& what);

// True when no two segments share an address.
::testing::AssertionResult segmentsApart(const SapFile& sap);
// True when `bytes` lie in memory from `address` on.
::testing::AssertionResult holds(const Cpu6502& cpu, std::uint16_t address, const Bytes& bytes);

std::string hex4(unsigned value);

} // namespace exec
