#pragma once
// The conversion of one Atari tracker module into a SAP file.
//
// ConversionState holds the module in work: the image buffer in which the Atari binary
// image is assembled, its write cursor, the flag that allows one save per load, the file
// names and the texts of the value fields. The program keeps one instance for the whole
// run (processState()); tests make their own.
//
// Converter runs the File menu's commands on a state, talking to the main window through
// MainWindowLink. Failures inside a command raise ConversionError; the command undoes
// what it had begun, shows the message and returns.

#include "sap_output.h"
#include "window_link.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace orvex {

inline constexpr std::size_t kImageSize = 128000;

class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ConversionState {
    // The Atari binary image: the module file's bytes exactly as read, then every
    // appended segment. Only ModuleImage[0 .. imageEnd) is ever written out.
    std::array<std::uint8_t, kImageSize> ModuleImage{};
    std::size_t imageEnd = 0;
    // 1 while a freshly loaded module may be saved.
    std::uint8_t moduleLoaded = 0;

    std::string sourcePath;  // the module's path; the samples' path after an .MD1 load
    std::string sapPath;     // the SAP file being written
    std::string nameValue;   // the three quoted header values, e.g. " 'Tune'"
    std::string authorValue;
    std::string dateValue;
    std::string sizeText;    // a file length in decimal digits
    std::string formatText;  // what follows the last '.' of the module's path
    unsigned formatIndex = 0;
    int songCount = 0;
    SapOutput sapFile;
    // Where the 4-byte header of the digi-sample segment begins.
    std::size_t sampleSegment = 0;

    // What the last load left, for the checks made before a save.
    std::size_t moduleBytes = 0;          // bytes of the module file held in the image
    bool moduleComplete = false;          // the whole module file fitted in the image
    bool samplesFromThisLoad = false;     // sampleSegment belongs to the current load
    // The files read since the load began: a save never writes over one of them.
    std::vector<InputFile> inputs;
};

// The state the main window works on.
ConversionState& processState();

class Converter;

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

// One row per module format: its extension (compared without regard to case), the
// routine that completes the image and writes the header, and the SAP TYPE letter.
struct FormatRow {
    const char* extension;
    void (Converter::*save)();
    char type;
};

inline constexpr std::size_t kFormatCount = 6;
extern const std::array<FormatRow, kFormatCount> FormatTable;

// The player files, looked for in the player folder
inline constexpr const char* kCmcPlayerFile = "cmc_0500.plr";
inline constexpr const char* kMptPlayerFile = "mpt_0500.plr";
inline constexpr const char* kTmcPlayerFile = "tmc_0500.plr";

// Generated code lengths and FASTPLAY values of Theta Music Composer modules, by speed.
inline constexpr std::array<unsigned, 5> StubLengthTable{0, 11, 25, 27, 27};
inline constexpr std::array<unsigned, 5> FastplayTable{0, 0, 156, 104, 78};

// How the header writes AUTHOR, NAME and DATE: as the window always has (two spaces,
// apostrophes, 'Unknown' for a missing name or author), or as the SAP format documents
// them (one space, double quotes, <?> for any missing text, printable ASCII only).
enum class HeaderStyle { Apostrophes, Standard };

class Converter {
public:
    // Player files are looked for in the folders in turn: the first that holds the file
    // gives it.
    Converter(ConversionState& state, MainWindowLink& window, std::vector<std::string> playerFolders);
    Converter(ConversionState& state, MainWindowLink& window, const std::string& playerFolder)
        : Converter(state, window, std::vector<std::string>{playerFolder})
    {
    }

    // File > "Load Atari MSX"
    void LoadAtariMSX();
    // File > "Save SAP file as..." and File > "Save SAP file"
    void SaveSAPfileas();
    void SaveSAPfile();

    // Appends the file's bytes, all but the first `skip`, at imageEnd.
    void AppendFile(const std::string& path, std::size_t skip);

    // Creates the SAP file and writes its lines SAP, AUTHOR, NAME, DATE, TYPE, SONGS.
    void WriteSapHeader(char type);

    // The save routines of FormatTable: each completes the image, then writes the
    // header and its own lines.
    void SaveCMC();
    void SaveMPT();
    void SaveMD1();
    void SaveTMC();
    void SaveCOM();

    void setHeaderStyle(HeaderStyle style) { headerStyle_ = style; }

    std::string playerPath(const char* fileName) const;
    // Player files from `cache` instead of the player folder; nullptr: from the folder.
    void setPlayerCache(const PlayerCache* cache) { players_ = cache; }

private:
    void appendAs(const char* role, const std::string& path, std::size_t skip);
    bool attachSamples();
    void saveCommon();
    void requireModuleBytes(std::size_t count, const char* what) const;
    std::uint16_t playerAddressFor(bool samplePageLow) const;
    std::size_t reserveCode(unsigned codeLength);
    std::size_t appendPlayer(const char* fileName, std::size_t skip, std::uint16_t loadAddress);
    void fillSegmentHeader(std::size_t at, std::uint16_t start, std::uint16_t end);

    ConversionState& s;
    MainWindowLink& window;
    std::vector<std::string> playerFolders_;
    const PlayerCache* players_ = nullptr;
    HeaderStyle headerStyle_ = HeaderStyle::Apostrophes;
    bool lastAppendCut_ = false;  // the last AppendFile ran out of room before the file's end
    std::string appendRole_ = "file";  // what AppendFile's messages call the file
};

// A path as messages show it: in double quotes, control characters escaped ("\n",
// "\x1B"), so that every message stays one line.
std::string quoted(const std::string& path);
// What kind of file a mode describes, for messages: "a folder", "a FIFO", ...
std::string fileKind(unsigned mode);

// The path of a player file in the first of the folders that holds it. Throws
// ConversionError naming every place looked at when none does (with one folder, the
// file's path there).
std::string locatePlayer(const std::vector<std::string>& folders, const std::string& fileName);

// The extension of a path: the characters after its last '.', or empty.
std::string extensionOf(const std::string& path);
// The folder part of a path: "." for a bare name, "/" for the root.
std::string folderOf(const std::string& path);
// An Atari address as messages show it: "$04F3".
std::string atariAddress(unsigned value);
bool equalsIgnoringCase(const std::string& a, const std::string& b);

} // namespace orvex
