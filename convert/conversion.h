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
// what it had begun, shows the message and returns. A save makes the SAP file in memory
// (SapFile); a SapWriter puts it on disk through a SafeFile.

#include "input.h"
#include "players.h"
#include "window_link.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

// What a save changes of the state before it may still fail; a failed save puts it back
// as a whole. The image's bytes behind imageEnd are never written, so they are not kept.
struct SaveState {
    std::size_t imageEnd = 0;  // the end of the image in ModuleImage
    std::string sapPath;       // the SAP file being written
    std::string nameValue;     // the three quoted header values, e.g. " 'Tune'"
    std::string authorValue;
    std::string dateValue;
    unsigned formatIndex = 0;
    int songCount = 0;
    // The files read since the load began: a save never writes over one of them.
    std::vector<InputFile> inputs;

    bool operator==(const SaveState&) const = default;
};

// A SAP file in memory: the header's lines, each ending in CR LF, then the binary image.
struct SapFile {
    std::string header;
    std::string image;
    std::string bytes() const { return header + image; }
};

struct ConversionState : SaveState {
    // The Atari binary image: the module file's bytes exactly as read, then every
    // appended segment. Only ModuleImage[0 .. imageEnd) is ever written out.
    std::array<std::uint8_t, kImageSize> ModuleImage{};
    // 1 while a freshly loaded module may be saved.
    std::uint8_t moduleLoaded = 0;

    std::string sourcePath;  // the module's path; the samples' path after an .MD1 load
    std::string sizeText;    // a file length in decimal digits
    std::string formatText;  // what follows the last '.' of the module's path
    SapFile sap;             // what the last save made
    // Where the 4-byte header of the digi-sample segment begins.
    std::size_t sampleSegment = 0;

    // What the last load left, for the checks made before a save.
    std::size_t moduleBytes = 0;          // bytes of the module file held in the image
    bool moduleComplete = false;          // the whole module file fitted in the image
    bool samplesFromThisLoad = false;     // sampleSegment belongs to the current load
};

// The state the main window works on.
ConversionState& processState();

class Converter;

// One row per module format: its extension (compared without regard to case), the
// routine that completes the image and writes the header, the SAP TYPE letter and
// whether the tune plays on two sound chips (STEREO).
struct FormatRow {
    const char* extension;
    void (Converter::*save)();
    char type;
    bool stereo;
};

inline constexpr std::size_t kFormatCount = 6;
extern const std::array<FormatRow, kFormatCount> FormatTable;

// Lengths of the code generated in front of the player: for .MPT and .MD1 modules, and
// for Theta Music Composer modules by speed; their FASTPLAY values by speed.
inline constexpr unsigned kMptCodeLength = 13;
inline constexpr unsigned kMd1CodeLength = 29;
inline constexpr std::array<unsigned, 5> StubLengthTable{0, 11, 25, 27, 27};
inline constexpr std::array<unsigned, 5> FastplayTable{0, 0, 156, 104, 78};

// How the header writes AUTHOR, NAME and DATE: as the window always has (two spaces,
// apostrophes, 'Unknown' for a missing name or author), or as the SAP format documents
// them (one space, double quotes, <?> for any missing text, printable ASCII only).
enum class HeaderStyle { Apostrophes, Standard };

// Why a text cannot be a SAP header line, a clause with `subject` ("The name") in front:
// "The name holds the control character 0x09, which a SAP header line cannot carry";
// "" when it holds no control character.
std::string controlCharacterProblem(std::string_view text, const std::string& subject);

// What a save does with the SAP file it made: puts it on disk at `target` through a
// SafeFile (which checks the target against `inputs`). Throws ConversionError (or
// std::bad_alloc); the save fails with it. The window's writes the file at once.
class SapWriter {
public:
    virtual ~SapWriter() = default;
    virtual void write(SapFile& sap, const std::string& target, const std::vector<InputFile>& inputs) = 0;
};

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

    // Appends the file's bytes, all but the first `skip`, at imageEnd; messages call it
    // the `role` ("module file", ...). Returns false when the image ran out of room
    // before the file's end.
    bool AppendFile(const std::string& path, std::size_t skip, const char* role = "file");

    // Starts the SAP file's header afresh with its lines SAP, AUTHOR, NAME, DATE, TYPE, SONGS.
    void WriteSapHeader(char type);

    // The save routines of FormatTable: each completes the image, then writes the
    // header and its own lines into the state's SapFile. None touches the disk.
    void SaveCMC();
    void SaveMPT();
    void SaveMD1();
    void SaveTMC();
    void SaveCOM();

    void setHeaderStyle(HeaderStyle style) { headerStyle_ = style; }

    // Player files from `cache` instead of the player folder; nullptr: from the folder.
    void setPlayerCache(const PlayerCache* cache) { players_ = cache; }

    // What the save commands do with the file they made; nullptr: the window's writer.
    void setWriter(SapWriter* writer) { writer_ = writer; }

private:
    // The high bytes of the first and the last address of the digi-sample segment
    struct SamplePages {
        std::uint8_t first, last;
    };
    void requireAtariBinary(const std::string& path) const;
    bool attachSamples();
    SamplePages appendSampleSegment(const std::string& path);
    void saveCommon();
    void requireModuleBytes(std::size_t count, const char* what) const;
    std::uint16_t playerAddressFor(bool samplePageLow) const;
    std::size_t appendPlayer(const char* fileName, std::size_t skip, std::uint16_t loadAddress);
    std::vector<std::uint8_t> moduleCall(std::uint8_t command, std::uint16_t player) const;
    unsigned placeInFrontOfPlayer(const std::vector<std::uint8_t>& code, const char* playerFile, std::uint16_t playerAddress);
    void saveWithMptPlayer(const std::vector<std::uint8_t>& code, std::uint16_t player, char type);

    ConversionState& state_;
    MainWindowLink& window;
    std::vector<std::string> playerFolders_;
    const PlayerCache* players_ = nullptr;
    HeaderStyle headerStyle_ = HeaderStyle::Apostrophes;
    SapWriter* writer_ = nullptr;
};

} // namespace orvex
