// The SAP reader: what it reads of each tag, in either style of text, and where it
// refuses a file; the header fed a byte at a time, or in blocks of 7, reads the same.

#include "sap_file.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using orvex::sap::SapFile;
using namespace std::string_literals;

// What was read, tag by tag, and each segment: its address, where its bytes lie in the
// file and how many they are
std::string described(const SapFile& s, const std::string& file)
{
    std::ostringstream out;
    out << s.author << '|' << s.name << '|' << s.date << "| TYPE " << (s.type ? s.type : '-') << " SONGS " << s.songs
        << " DEFSONG " << s.defsong << " FASTPLAY " << s.fastplay.value_or(0) << std::hex;
    for (const auto& [tag, value] : {std::pair{" INIT ", s.init}, {" PLAYER ", s.player}, {" MUSIC ", s.music}}) {
        if (value)
            out << tag << *value;
    }
    out << (s.stereo ? " STEREO" : "") << (s.ntsc ? " NTSC" : "") << std::dec;
    for (const orvex::sap::SapTime& time : s.times)
        out << " TIME " << time.milliseconds << (time.loop ? " LOOP" : "");
    out << " | image at " << s.imageAt.value_or(0);
    for (const orvex::Segment& segment : s.segments)
        out << ", " << segment.start << " at " << segment.bytes.data() - file.data() << " of " << segment.bytes.size();
    return out.str();
}

struct Read {
    const char* label;
    std::string header;  // the lines after "SAP" (the image alone: "")
    std::string said;     // what was read, or the refusal
    std::string image = "\xFF\xFF\x00\x10\x02\x10" "ABC"s;
};

class Reader : public ::testing::TestWithParam<Read> {};

TEST_P(Reader, ReadsOrRefuses)
{
    const Read& r = GetParam();
    const std::string file = (r.header.empty() || r.header.starts_with("SAP") ? "" : "SAP\r\n") + r.header + r.image;
    SapFile sap;
    const std::string problem = orvex::sap::readSap(file, sap, "tune.sap");
    EXPECT_EQ(problem.empty() ? described(sap, file) : problem, r.said);
    for (const std::size_t block : {1, 7}) {
        orvex::sap::SapHeaderReader reader("tune.sap");
        for (std::size_t at = 0; at < file.size() && reader.feed(file.substr(at, block)); at += block) {
        }
        reader.finish();
        EXPECT_TRUE(reader.header() == sap) << "in blocks of " << block;
        EXPECT_EQ(reader.problem(), problem.find(" offset ") == std::string::npos ? problem : "") << "in blocks of " << block;
    }
}

const std::string kB = "TYPE B\r\nINIT 1000\r\nPLAYER 1003\r\n";

INSTANTIATE_TEST_SUITE_P(
    Sap, Reader,
    ::testing::ValuesIn(std::vector<Read>{
        {"every_tag",
             "AUTHOR  'It's \xFF\xFF'\r\nNAME \"Tune\"\r\nDATE  '<?>'\r\nTYPE C\r\nSONGS 3\r\nDEFSONG 2\r\nPLAYER 0500\r\nMUSIC f2E0\r\n"
             "FASTPLAY 1248\r\nSTEREO\r\nNTSC\r\nTIME 01:02.345 LOOP\r\nTIME 999:59.5\r\nTIME 0:00\r\nCOMMENT x\r\n\xFFx\r\n",
             "It's \xFF\xFF|Tune|| TYPE C SONGS 3 DEFSONG 2 FASTPLAY 1248 PLAYER 500 MUSIC f2e0 STEREO NTSC TIME 62345 LOOP TIME "
             "59999500 TIME 0 | image at 194, 4096 at 200 of 3, 8192 at 207 of 1, 8448 at 214 of 2",
             "\xFF\xFF\x00\x10\x02\x10" "ABC\x00\x20\x00\x20Z\xFF\xFF\x00\x21\x01\x21\r\n"s},
        {"lf_lines_and_bare_texts", "SAP\nAUTHOR Unknown\nNAME N\r\nDATE\n", "|N|| TYPE - SONGS 1 DEFSONG 0 FASTPLAY 0 | image at 32, 4096 at 38 of 3"},
        {"image_alone", "", "\"tune.sap\" line 1: the file does not begin with a SAP header (the line \"SAP\")"},
        {"fastplay_0", kB + "FASTPLAY 0\r\n", "\"tune.sap\" line 5: FASTPLAY 0 is not a count of scan lines"},
        {"fastplay_past_four_frames", "FASTPLAY 1249\r\n", "\"tune.sap\" line 2: FASTPLAY 1249 is not a count of scan lines"},
        {"type", "TYPE b\r\n", "\"tune.sap\" line 2: TYPE b is not a type of SAP file (B, C, D, R or S)"},
        {"songs_0", "SONGS 0\r\n", "\"tune.sap\" line 2: SONGS 0 is not a count of songs (1 to 256)"},
        {"defsong_past_the_songs", "DEFSONG 2\r\nSONGS 2\r\n",
             "\"tune.sap\" line 2: DEFSONG 2 is not below SONGS 2 (songs are counted from 0)"},
        {"address_of_5_digits", "INIT 01000\r\n", "\"tune.sap\" line 2: INIT 01000 is not an address (1 to 4 hexadecimal digits)"},
        {"flag_with_a_value", "STEREO 0\r\n", "\"tune.sap\" line 2: STEREO 0: the flag takes no value"},
        {"sixty_seconds", "TIME 01:60.000\r\n", "\"tune.sap\" line 2: TIME 01:60.000 is not a time (mm:ss.xxx, then LOOP or nothing)"},
        {"bare_point", "TIME 01:00.\r\n", "\"tune.sap\" line 2: TIME 01:00. is not a time (mm:ss.xxx, then LOOP or nothing)"},
        {"long_line", "TYPE \x01" + std::string(50, 'x') + "\r\n",
             "\"tune.sap\" line 2: TYPE ?" + std::string(34, 'x') + "... is not a type of SAP file (B, C, D, R or S)"},
        {"last_line_without_its_end", kB + "TYPE Q", "\"tune.sap\" line 5: TYPE Q is not a type of SAP file (B, C, D, R or S)", ""},
        {"no_image", kB, "\"tune.sap\" offset 37: the file ends before its image, a line that begins with FF FF", ""},
        {"segment_header_cut", kB, "\"tune.sap\" offset 39: the image ends inside a segment's header", "\xFF\xFF\x00\x10\x02"s},
        {"segment_backwards", kB, "\"tune.sap\" offset 39: the segment $1000-$0FFF ends before it starts", "\xFF\xFF\x00\x10\xFF\x0F"s},
        {"segment_past_the_end", kB, "\"tune.sap\" offset 39: the segment $1000-$1003 runs past the file's end",
             "\xFF\xFF\x00\x10\x03\x10" "ABC"s}}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
