// The SAP header, the save routine of each format and the two save commands.

#include "conversion.h"
#include "paths.h"
#include "safe_file.h"

#include <algorithm>
#include <cassert>
#include <cstdarg>
#include <cstdio>
#include <new>
#include <vector>

namespace orvex {

namespace {

std::uint8_t lo(unsigned value) { return static_cast<std::uint8_t>(value & 0xFF); }
std::uint8_t hi(unsigned value) { return static_cast<std::uint8_t>((value >> 8) & 0xFF); }

// A header line is one line of printable text; in the standard style, printable ASCII
// without a double quote.
void requireHeaderText(const std::string& text, const char* field, HeaderStyle style)
{
    if (style == HeaderStyle::Standard) {
        for (const char c : text) {
            if (c == '"' || static_cast<unsigned char>(c) > 0x7E)
                throw ConversionError(std::string("The ") + field + " holds "
                                      + (c == '"' ? "a double quote" : "a character beyond printable ASCII")
                                      + ", which the standard SAP header cannot carry.");
        }
    }
    if (text.find_first_of("\r\n") != std::string::npos)
        throw ConversionError(std::string("The ") + field + " holds a line break, which a SAP header line cannot carry.");
    if (const std::string problem = controlCharacterProblem(text, std::string("The ") + field); !problem.empty())
        throw ConversionError(problem + ".");
}

// Appends to the header the lines that `format` makes, as printf does.
__attribute__((format(printf, 2, 3))) void print(std::string& header, const char* format, ...)
{
    char lines[256];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(lines, sizeof lines, format, args);
    va_end(args);
    header.append(lines, static_cast<std::size_t>(std::clamp<int>(length, 0, sizeof lines - 1)));
}

// The window's writer: the file is put in place at once, and its folder flushed.
class WriteAtOnce final : public SapWriter {
public:
    void write(SapFile& sap, const std::string& target, const std::vector<InputFile>& inputs) override
    {
        SafeFile file(target, inputs);
        file.write(sap.bytes());
        file.commit();
    }
};

} // namespace

std::string controlCharacterProblem(std::string_view text, const std::string& subject)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned char>(c));
            return subject + " holds the control character " + code + ", which a SAP header line cannot carry";
        }
    }
    return "";
}

// ---------------------------------------------------------------- header

void Converter::WriteSapHeader(char type)
{
    const bool standard = headerStyle_ == HeaderStyle::Standard;
    if (window.nameText().empty())
        window.setNameText(standard ? "<?>" : "Unknown");
    if (window.authorText().empty())
        window.setAuthorText(standard ? "<?>" : "Unknown");
    if (window.dateText().empty())
        window.setDateText("<?>");

    const std::string name = window.nameText();
    const std::string author = window.authorText();
    const std::string date = window.dateText();
    requireHeaderText(name, "name", headerStyle_);
    requireHeaderText(author, "author", headerStyle_);
    requireHeaderText(date, "date", headerStyle_);
    // Each value is written whole between apostrophes, behind the keyword's space; in
    // the standard style between double quotes, right after it.
    const auto value = [standard](const std::string& text) { return standard ? "\"" + text + "\"" : " '" + text + "'"; };
    state_.nameValue = value(name);
    state_.authorValue = value(author);
    state_.dateValue = value(date);

    state_.sapPath = window.saveFileName();
    state_.sap.header = "SAP\r\nAUTHOR " + state_.authorValue + "\r\nNAME " + state_.nameValue + "\r\nDATE "
                        + state_.dateValue + "\r\nTYPE " + type + "\r\n";
    print(state_.sap.header, "SONGS %d\r\n", state_.songCount);
}

// ---------------------------------------------------------------- save routines

void Converter::requireModuleBytes(std::size_t count, const char* what) const
{
    if (state_.moduleBytes < count)
        throw ConversionError("The module " + quoted(window.moduleFileName()) + " is too short ("
                              + std::to_string(state_.moduleBytes) + " bytes) to hold " + what + ".");
}

// The player goes below the module when the module starts at $1000 or higher, else at
// $F500. An .MD1 module also needs its samples at page $10 or higher for $0500.
std::uint16_t Converter::playerAddressFor(bool samplePageLow) const
{
    return (state_.ModuleImage[3] >= 0x10 && !samplePageLow) ? 0x0500 : 0xF500;
}

// Appends a player file whole; `loadAddress` is where its code will lie (0: the file
// carries its own segment addresses). Returns the count of bytes appended.
std::size_t Converter::appendPlayer(const char* fileName, std::size_t skip, std::uint16_t loadAddress)
{
    const std::size_t before = state_.imageEnd;
    bool complete = true;
    if (players_) {
        const PlayerCache::Entry& player = players_->get(fileName);
        if (!player.error.empty())
            throw ConversionError(player.error);
        const std::size_t from = std::min(skip, player.bytes.size()), room = kImageSize - state_.imageEnd;
        const std::size_t length = std::min(room, player.bytes.size() - from);
        std::copy_n(player.bytes.begin() + static_cast<long>(from), length,
                    state_.ModuleImage.begin() + static_cast<long>(before));
        complete = player.bytes.size() - from <= room;
        state_.inputs.push_back(player.identity);
        state_.imageEnd += length;
    } else {
        complete = AppendFile(locatePlayer(playerFolders_, fileName), skip, "player file");
    }
    const std::string path = state_.inputs.back().path;  // the player file just read
    const std::size_t count = state_.imageEnd - before;
    if (!complete)
        throw ConversionError("The player file " + quoted(path) + " does not fit in " + imageBufferName() + " behind the module "
                              + quoted(window.moduleFileName()) + ".");
    if (count == 0)
        throw ConversionError("The player file " + quoted(path) + " holds no player routine.");
    if (loadAddress != 0 && loadAddress + count - 1 > 0xFFFF)
        throw ConversionError("The player file " + quoted(path) + " (" + std::to_string(count) + " bytes from "
                              + atariAddress(loadAddress) + ") would run past the end of Atari memory at $FFFF.");
    return count;
}

// The generated code's first instructions: the module's address in Y (low) and X (high),
// `command` in A, and a call of the player at `player`.
std::vector<std::uint8_t> Converter::moduleCall(std::uint8_t command, std::uint16_t player) const
{
    return {
        0xA0, state_.ModuleImage[2],     // LDY #start low
        0xA2, state_.ModuleImage[3],     // LDX #start high
        0xA9, command,                   // LDA #command
        0x20, lo(player), hi(player),    // JSR player
    };
}

// Places the generated code as one segment with the player file behind it: the code
// ends right below `playerAddress`, where the player loads, and the segment runs to the
// player's last byte. Returns the address of the code's first byte.
unsigned Converter::placeInFrontOfPlayer(const std::vector<std::uint8_t>& code, const char* playerFile,
                                         std::uint16_t playerAddress)
{
    const std::size_t length = code.size();
    if (kImageSize - state_.imageEnd < 4 + length)
        throw ConversionError("There is no room for the player behind the module " + quoted(window.moduleFileName())
                              + " in " + imageBufferName() + ": it needs " + std::to_string(4 + length)
                              + " bytes for its code and the module leaves " + std::to_string(kImageSize - state_.imageEnd)
                              + ".");
    const std::size_t segment = state_.imageEnd;
    state_.imageEnd += 4 + length;
    const std::size_t playerBytes = appendPlayer(playerFile, 6, playerAddress);
    const unsigned start = playerAddress - length, end = playerAddress + playerBytes - 1;
    const std::uint8_t header[4] = {lo(start), hi(start), lo(end), hi(end)};
    std::copy_n(header, 4, state_.ModuleImage.begin() + static_cast<long>(segment));
    std::copy(code.begin(), code.end(), state_.ModuleImage.begin() + static_cast<long>(segment + 4));
    return start;
}

// The CMC player file keeps its own segment header, so its bytes load where that header
// says; the PLAYER line names that address.
void Converter::SaveCMC()
{
    requireModuleBytes(6, "an Atari binary header");
    const unsigned musicAddress = state_.ModuleImage[2] + 256u * state_.ModuleImage[3];
    const unsigned musicEnd = state_.ModuleImage[4] + 256u * state_.ModuleImage[5];
    const std::size_t segment = state_.imageEnd;
    const std::size_t count = appendPlayer(kCmcPlayerFile, 2, 0);
    const std::string path = state_.inputs.back().path;
    if (count < 5)
        throw ConversionError("The player file " + quoted(path) + " holds no player routine.");
    const unsigned playerAddress = state_.ModuleImage[segment] + 256u * state_.ModuleImage[segment + 1];
    const unsigned playerEnd = state_.ModuleImage[segment + 2] + 256u * state_.ModuleImage[segment + 3];
    if (playerAddress <= musicEnd && musicAddress <= playerEnd)
        throw ConversionError("The player file " + quoted(path) + " loads at " + atariAddress(playerAddress) + "-"
                              + atariAddress(playerEnd) + ", over the module " + quoted(window.moduleFileName()) + " at "
                              + atariAddress(musicAddress) + "-" + atariAddress(musicEnd) + ".");
    WriteSapHeader('C');
    print(state_.sap.header, "MUSIC %04X\r\nPLAYER %04X\r\n", musicAddress, playerAddress);
}

void Converter::SaveCOM()
{
    requireModuleBytes(6, "an Atari binary header");
    WriteSapHeader('B');
    print(state_.sap.header, "INIT %04X\r\nPLAYER %04X\r\n", 0x8011u, 0x8017u);
}

void Converter::SaveMPT()
{
    requireModuleBytes(6, "an Atari binary header");
    const std::uint16_t player = playerAddressFor(false);
    std::vector<std::uint8_t> code = moduleCall(0x00, player);  // command 0, the module's address
    code.insert(code.end(), {
        0xA2, 0x00,               // LDX #$00
        0xA9, 0x02,               // LDA #$02, on into the player: command 2
    });
    assert(code.size() == kMptCodeLength);
    saveWithMptPlayer(code, player, 'B');
}

void Converter::SaveMD1()
{
    requireModuleBytes(6, "an Atari binary header");
    if (!state_.samplesFromThisLoad)
        throw ConversionError("The module " + quoted(window.moduleFileName())
                              + " has no digi samples from this load: load it again and pick its .D15 file.");
    const std::uint8_t page = state_.ModuleImage[state_.sampleSegment + 4];
    const std::uint16_t player = playerAddressFor(page < 0x10);
    std::vector<std::uint8_t> code = moduleCall(0x00, player);  // command 0, the module
    code.insert(code.end(), {
        0xA0, 0xE0,                              // LDY #$E0
        0xA2, static_cast<std::uint8_t>(page - 1), // LDX #page-1
        0xA9, 0x03,                              // LDA #$03
        0x20, lo(player), hi(player),            // JSR player: command 3, the samples
        0xA2, 0x00,                              // LDX #$00
        0xA9, 0x02,                              // LDA #$02
        0x20, lo(player), hi(player),            // JSR player: command 2
        0xA2, 0x01,                              // LDX #$01
        0xA9, 0x05,                              // LDA #$05, on into the player: command 5
    });
    assert(code.size() == kMd1CodeLength);
    saveWithMptPlayer(code, player, 'D');
}

// An .MPT or .MD1 save ends alike: the code in front of the MPT player, INIT at the code
// and PLAYER at the player's +3 entry.
void Converter::saveWithMptPlayer(const std::vector<std::uint8_t>& code, std::uint16_t player, char type)
{
    const unsigned initAddress = placeInFrontOfPlayer(code, kMptPlayerFile, player);
    WriteSapHeader(type);
    print(state_.sap.header, "INIT %04X\r\nPLAYER %04X\r\n", initAddress, player + 3u);
}

void Converter::SaveTMC()
{
    requireModuleBytes(38, "the speed byte at offset 37");
    const unsigned speed = state_.ModuleImage[37];
    if (speed < 1 || speed > 4)
        throw ConversionError("The module " + quoted(window.moduleFileName()) + " has speed " + std::to_string(speed)
                              + "; a Theta Music Composer module plays 1 to 4 times per frame.");
    const std::uint16_t player = playerAddressFor(false);
    std::vector<std::uint8_t> code = moduleCall(0x70, player);  // the module's address
    code.insert(code.end(), {0xA9, 0x60});                 // LDA #$60 for the player's +0 entry, entered next
    unsigned playerLine = player + 3;
    if (speed == 2) {
        // Calls alternate between the player's +3 and +6 entries, starting with +3.
        const std::uint8_t rest[] = {
            0x06, 0x00,                     // ASL $00: clears the counter's bit 0
            0x4C, lo(player), hi(player),   // JMP player
            0xA5, 0x00,                     // PLAYER: LDA $00
            0xE6, 0x00,                     // INC $00
            0x4A,                           // LSR A
            0x90, 0x05,                     // BCC player+3
            0xB0, 0x06,                     // BCS player+6
        };
        code.insert(code.end(), std::begin(rest), std::end(rest));
        playerLine = player - 9;
    } else if (speed >= 3) {
        // One call in `speed` goes to +3, starting with the first; the others to +6.
        const std::uint8_t rest[] = {
            0xA2, 0x01,           // LDX #$01
            0x86, 0x00,           // STX $00
            0xD0, 0x0A,           // BNE player
            0xC6, 0x00,           // PLAYER: DEC $00
            0xD0, 0x0C,           // BNE player+6
            0xA2, static_cast<std::uint8_t>(speed), // LDX #speed
            0x86, 0x00,           // STX $00
            0xD0, 0x03,           // BNE player+3
        };
        code.insert(code.end(), std::begin(rest), std::end(rest));
        playerLine = player - 10;
    }
    assert(code.size() == StubLengthTable[speed]);
    const unsigned initAddress = placeInFrontOfPlayer(code, kTmcPlayerFile, player);

    WriteSapHeader('B');
    if (FormatTable[state_.formatIndex].stereo)
        print(state_.sap.header, "STEREO\r\n");
    if (speed > 1)
        print(state_.sap.header, "FASTPLAY %u\r\n", FastplayTable[speed]);
    print(state_.sap.header, "INIT %04X\r\nPLAYER %04X\r\n", initAddress & 0xFFFF, playerLine & 0xFFFF);
}

// ---------------------------------------------------------------- commands

void Converter::SaveSAPfileas()
{
    if (state_.moduleLoaded != 1)
        return;
    if (!window.runSaveDialog())
        return;
    saveCommon();
}

void Converter::SaveSAPfile()
{
    if (state_.moduleLoaded != 1)
        return;
    window.setSaveFileName(derivedSapPath(window.moduleFileName()));
    saveCommon();
}

void Converter::saveCommon()
{
    // What a failed save puts back: the state it changes, and the boxes that the header
    // filled in.
    const SaveState before = state_;
    const bool emptyBoxes[3] = {window.nameText().empty(), window.authorText().empty(), window.dateText().empty()};

    const std::string modulePath = window.moduleFileName();
    const std::string extension = extensionOf(modulePath);
    std::size_t written = 0;
    try {
        state_.formatIndex = 0;
        while (state_.formatIndex < kFormatCount && !equalsIgnoringCase(extension, FormatTable[state_.formatIndex].extension))
            ++state_.formatIndex;
        if (state_.formatIndex == kFormatCount)
            throw ConversionError("The module " + quoted(modulePath)
                                  + " has no extension this program converts: CMC, MPT, MD1, TMC, TM8 or COM.");
        if (!state_.moduleComplete)
            throw ConversionError("The module " + quoted(modulePath)
                                  + " is larger than " + imageBufferName() + " and cannot be converted.");
        state_.songCount = 1;
        (this->*FormatTable[state_.formatIndex].save)();
        state_.sap.image.assign(reinterpret_cast<const char*>(state_.ModuleImage.data()), state_.imageEnd);
        static WriteAtOnce atOnce;
        (writer_ ? *writer_ : atOnce).write(state_.sap, state_.sapPath, state_.inputs);
        written = state_.sap.header.size() + state_.sap.image.size();  // as written, a TIME line too
    } catch (const std::exception& e) {
        state_.sap = {};
        static_cast<SaveState&>(state_) = before;
        if (emptyBoxes[0])
            window.setNameText("");
        if (emptyBoxes[1])
            window.setAuthorText("");
        if (emptyBoxes[2])
            window.setDateText("");
        const bool outOfMemory = dynamic_cast<const std::bad_alloc*>(&e) != nullptr;
        window.showError(outOfMemory ? "Cannot convert the module " + quoted(modulePath) + ": out of memory." : e.what());
        return;
    }

    // The whole file, text lines and image
    state_.sizeText = std::to_string(written);
    window.setSapValue(state_.sizeText);
    state_.moduleLoaded = 0;
}

} // namespace orvex
