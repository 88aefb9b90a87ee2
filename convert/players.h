#pragma once
// Where the player files are found, and a cache that reads each once for a batch.

#include "input.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace orvex {

inline constexpr const char* kCmcPlayerFile = "cmc_0500.plr";
inline constexpr const char* kMptPlayerFile = "mpt_0500.plr";
inline constexpr const char* kTmcPlayerFile = "tmc_0500.plr";

// The folders the program takes its player files from, in turn: the user's own,
// $XDG_DATA_HOME/orvex/players (by default ~/.local/share/orvex/players), then
// <folder of the executable>/../share/orvex/players.
std::vector<std::string> defaultPlayerFolders();

// The path of a player file in the first of the folders that holds it. Throws
// ConversionError naming every place looked at when none does (with one folder, the
// file's path there).
std::string locatePlayer(const std::vector<std::string>& folders, const std::string& fileName);

// The player files of a folder, each read once for many conversions, also from several
// threads at once: their bytes as a save would read them, or why they cannot be read.
class PlayerCache {
public:
    explicit PlayerCache(std::vector<std::string> folders);
    struct Entry {
        std::vector<std::uint8_t> bytes;  // up to one byte more than the image holds
        InputFile identity;
        std::string error;                // the message of a file that cannot be read
    };
    const Entry& get(const std::string& fileName) const;

private:
    std::vector<std::string> folders_;
    mutable std::mutex mutex_;
    mutable std::map<std::string, Entry> entries_;
};

} // namespace orvex
