#pragma once
// A SAP file as a player reads it: the header's text lines, from "SAP" to the line that
// begins with the two bytes FF FF, and from there the image, an Atari binary load file.
//
// The header's tags: AUTHOR, NAME and DATE, each written either `AUTHOR  'X'` (two spaces
// and apostrophes, as Orvex writes by default) or `AUTHOR "X"`; TYPE, SONGS, DEFSONG,
// INIT, PLAYER, MUSIC, FASTPLAY, STEREO, NTSC, and TIME (mm:ss.xxx, then LOOP or nothing)
// once for each song. Other lines are passed over. A line ends with CR LF or LF alone.
//
// A file that cannot be read is refused with why, naming the file and the line or the
// byte offset: "\"tune.sap\" line 3: FASTPLAY 0 is not a count of scan lines". The first
// problem is the one reported; the header's other lines are still read.

#include "segments.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvex::sap {

// A TIME line: a song's length, and whether it then starts over
struct SapTime {
    std::uint32_t milliseconds = 0;
    bool loop = false;
    bool operator==(const SapTime&) const = default;
};

struct SapHeader {
    // The texts, byte for byte as written (the Windows-1250 code page), without their
    // quotes; "" where the line is missing or holds a placeholder, 'Unknown' or <?>.
    std::string author, name, date;
    char type = 0;  // B, C, D, R or S; 0 without a TYPE line
    unsigned songs = 1, defsong = 0;
    std::optional<std::uint16_t> init, player, music;
    std::optional<unsigned> fastplay;  // scan lines from one call to the next
    bool stereo = false, ntsc = false;
    std::vector<SapTime> times;             // the songs' TIME lines, in order
    std::optional<std::size_t> imageAt;     // the offset of the line that begins with FF FF
    bool operator==(const SapHeader&) const = default;
};

// Reads the header from blocks of the file as they come, so that the image need not be
// read for it:
//     SapHeaderReader reader(path);
//     while (the reader wants more and a block is read) reader.feed(block);
//     reader.finish();  // at the file's end
class SapHeaderReader {
public:
    // `name`: the file's path, which messages name; "" where the caller names the file.
    explicit SapHeaderReader(std::string name = "");

    // Takes the file's next bytes; returns whether it wants more: false once the image
    // begins, or once the file turns out not to begin with the line "SAP".
    bool feed(std::string_view bytes);
    // The file ends here: a last line without a line end is read too.
    void finish();

    const SapHeader& header() const { return header_; }
    // "" or why the header cannot be read: its first problem. The lines after that line
    // are read all the same.
    const std::string& problem() const { return problem_; }
    // Whether the file begins with the line "SAP"; if not, nothing more is read.
    bool isSap() const { return lineNumber_ > 1; }

private:
    void readLine(std::string_view line);
    void close();
    void refuse(std::size_t line, const std::string& why);

    std::string name_;
    SapHeader header_;
    std::string problem_;
    std::string line_;               // the line read so far
    std::size_t lineNumber_ = 1, offset_ = 0, defsongLine_ = 0;
    bool wanting_ = true;
    bool overlong_ = false;          // the line is longer than a tag's line, and cut
};

// A SAP file read whole: its header and its image's segments, whose bytes lie in the file.
struct SapFile : SapHeader {
    std::vector<orvex::Segment> segments;
};

// Reads `file`, a SAP file named `name` ("": the caller names it). Returns "" or why it
// cannot be read, naming the file and the line or the offset.
std::string readSap(std::string_view file, SapFile& sap, const std::string& name = "");

} // namespace orvex::sap
