// Every refusal: one message naming the file and the reason; the disk, the boxes and the
// value fields as they were; after a refused save the loaded module as it was, after a
// refused load nothing that a save would write.

#include "support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <sys/resource.h>

namespace {

using namespace support;

enum class Command { Load, SaveAs, Save };

struct Refusal {
    const char* label;
    std::function<void(Bench&)> setup;
    Command command;
    const char* fragment;   // the message holds it
    rlim_t fileSizeLimit = RLIM_INFINITY;
};

// Loads the module and aims "Save SAP file as..." at a file of the folder.
std::function<void(Bench&)> loaded(const std::string& name, const Bytes& bytes, std::function<void(Bench&)> more = {},
                                   const std::string& target = "out.sap")
{
    return [=](Bench& b) {
        if (more)
            more(b);
        b.load(b.put(name, bytes));
        b.window.saveAnswer = b.dir / target;
    };
}

std::function<void(Bench&)> loading(const std::string& name, std::optional<Bytes> bytes,
                                    std::optional<Bytes> samples = std::nullopt)
{
    return [=](Bench& b) {
        b.window.moduleAnswer = bytes ? b.put(name, *bytes) : b.dir / name;
        if (name.ends_with(".md1"))
            b.window.sampleAnswer = samples ? b.put("s.d15", *samples) : b.dir / "none.d15";
        else
            b.window.infoClear = true;  // a failed load does not empty the boxes
    };
}

class Refusals : public ::testing::TestWithParam<Refusal> {};

TEST_P(Refusals, OneMessageAndNothingChanged)
{
    const Refusal& r = GetParam();
    Bench b;
    b.putPlayer("mpt_0500.plr", player(40));
    b.putPlayer("tmc_0500.plr", player(40));
    b.putPlayer("cmc_0500.plr", player(0x300));  // $0500-$07FF
    b.put("out.sap", bytesOf("an older file"));
    std::filesystem::permissions(b.dir / "out.sap", std::filesystem::perms(0640));
    b.window.author = "Me";
    r.setup(b);
    ASSERT_TRUE(b.window.errors.empty()) << b.window.errors.front();

    const auto files = b.dir.listing();
    const orvex::ConversionState& s = *b.state;
    const auto image = s.ModuleImage;
    const orvex::SaveState saveState = s;
    const auto moduleLoaded = s.moduleLoaded;
    const std::string boxes = b.window.name + "|" + b.window.author + "|" + b.window.date, sap = b.window.sapValue;

    const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY}, limited{r.fileSizeLimit, RLIM_INFINITY};
    std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &limited);
    switch (r.command) {
    case Command::Load: b.converter.LoadAtariMSX(); break;
    case Command::SaveAs: b.converter.SaveSAPfileas(); break;
    case Command::Save: b.converter.SaveSAPfile(); break;
    }
    ::setrlimit(RLIMIT_FSIZE, &unlimited);

    ASSERT_EQ(b.window.errors.size(), 1u);
    EXPECT_NE(b.window.errors[0].find(r.fragment), std::string::npos) << b.window.errors[0];
    EXPECT_EQ(b.dir.listing(), files);
    EXPECT_EQ(b.window.name + "|" + b.window.author + "|" + b.window.date, boxes);
    EXPECT_EQ(b.window.sapValue, sap);
    if (r.command != Command::Load) {
        EXPECT_TRUE(static_cast<const orvex::SaveState&>(s) == saveState) << "the state changed";
        EXPECT_EQ(s.moduleLoaded, moduleLoaded);
        EXPECT_TRUE(std::equal(image.begin(), image.begin() + static_cast<long>(s.imageEnd), s.ModuleImage.begin()))
            << "the image changed";
    } else {
        b.saveAs("after.sap");
        EXPECT_EQ(b.dir.listing(), files);
    }
}

const Bytes kCom = module(0x8000, 300);

INSTANTIATE_TEST_SUITE_P(
    Commands, Refusals,
    ::testing::Values(
        Refusal{"unknown_extension", loaded("song.xyz", kCom), Command::SaveAs,
                "song.xyz\" has no extension this program converts"},
        Refusal{"speed_0", loaded("s0.tmc", module(0x2000, 300, 0)), Command::SaveAs, "s0.tmc\" has speed 0;"},
        Refusal{"speed_5", loaded("s5.tm8", module(0x2000, 300, 5)), Command::Save, "s5.tm8\" has speed 5;"},
        Refusal{"tmc_of_37_bytes", loaded("short.tmc", module(0x2000, 37)), Command::SaveAs, "too short (37 bytes)"},
        Refusal{"mpt_of_3_bytes", loaded("short.mpt", hex("FF FF 00")), Command::SaveAs, "too short (3 bytes)"},
        Refusal{"larger_than_the_buffer", loaded("big.com", module(0x2000, 128001)), Command::SaveAs,
                "big.com\" is larger than the 128000-byte buffer"},
        Refusal{"no_room_for_the_code", loaded("full.mpt", module(0x2000, 128000 - 16)), Command::SaveAs,
                "no room for the player"},
        Refusal{"player_does_not_fit", loaded("full.mpt", module(0x2000, 128000 - 17 - 39)), Command::SaveAs,
                "mpt_0500.plr\" does not fit in the 128000-byte buffer"},
        Refusal{"player_missing",
                loaded("song.mpt", kCom, [](Bench& b) { std::filesystem::remove(b.players + "/mpt_0500.plr"); }),
                Command::Save, "players/mpt_0500.plr\": No such file or directory."},
        Refusal{"player_empty", loaded("song.mpt", kCom, [](Bench& b) { b.putPlayer("mpt_0500.plr", hex("FFFF 0005 0005")); }),
                Command::SaveAs, "mpt_0500.plr\" holds no player routine"},
        Refusal{"player_past_FFFF",
                loaded("low.mpt", module(0x0800, 300), [](Bench& b) { b.putPlayer("mpt_0500.plr", player(2817)); }),
                Command::SaveAs, "(2817 bytes from $F500) would run past the end of Atari memory"},
        Refusal{"cmc_player_over_module", loaded("a.cmc", atariFile(0x0700, Bytes(0x900, 1))), Command::SaveAs,
                "loads at $0500-$07FF, over the module"},
        Refusal{"cmc_one_byte_at_player_end", loaded("b.cmc", atariFile(0x07FF, Bytes(0x100, 1))), Command::SaveAs,
                "over the module"},
        Refusal{"cmc_one_byte_at_module_end", loaded("c.cmc", atariFile(0x0300, Bytes(0x201, 1))), Command::SaveAs,
                "over the module"},
        Refusal{"carriage_return_and_line_feed",
                loaded("a.com", kCom, [](Bench& b) { b.window.name = "two\r\nTYPE C"; }), Command::SaveAs,
                "The name holds a line break"},
        Refusal{"line_feed_alone", loaded("a.com", kCom, [](Bench& b) { b.window.author = "a\nb"; }), Command::SaveAs,
                "The author holds a line break"},
        Refusal{"carriage_return_alone", loaded("a.com", kCom, [](Bench& b) { b.window.date = "1\r9"; }),
                Command::SaveAs, "The date holds a line break"},
        Refusal{"md1_without_samples_of_this_load",
                [](Bench& b) {
                    const std::string song = b.put("song.md1", module(0x4000, 300));
                    b.load(song, b.put("song.d15", d15(0x30, 288)));
                    b.saveAs("first.sap");
                    b.load(song);
                    b.window.saveAnswer = b.dir / "out.sap";
                },
                Command::SaveAs, "song.md1\" has no digi samples from this load"},
        Refusal{"target_folder_missing", loaded("a.com", kCom, {}, "no/such/x.sap"), Command::SaveAs,
                "Cannot write the SAP file \""},
        Refusal{"target_is_a_folder",
                loaded("a.com", kCom, [](Bench& b) { std::filesystem::create_directory(b.dir / "a.SAP"); }),
                Command::Save, "a.SAP\": it is a folder, not a regular file."},
        Refusal{"onto_the_module", loaded("a.mpt", kCom, {}, "a.mpt"), Command::SaveAs, "a.mpt\" is the module file \""},
        Refusal{"onto_its_player", loaded("a.tmc", kCom, {}, "players/tmc_0500.plr"), Command::SaveAs,
                "tmc_0500.plr\" is the player file \""},
        Refusal{"write_fails_midway", loaded("a.com", kCom), Command::SaveAs, "out.sap\": File too large", 200},
        Refusal{"module_missing", loading("missing.mpt", std::nullopt), Command::Load,
                "missing.mpt\": No such file or directory"},
        Refusal{"module_is_a_folder", loading("players", std::nullopt), Command::Load,
                "players\": it is a folder, not a regular file."},
        Refusal{"com_of_text", loading("bad.com", bytesOf("hello world\n")), Command::Load,
                "bad.com\" is not an Atari binary file: it does not begin with the bytes FF FF."},
        Refusal{"cmc_of_text", loading("notes.cmc", bytesOf("\xFF notes")), Command::Load,
                "notes.cmc\" is not an Atari binary file: it does not begin"},
        Refusal{"com_cut_in_a_segment", loading("cut.com", slice(kCom, 0, 299)), Command::Load,
                "cut.com\" is not an Atari binary file: its segment at byte 2 ($8000-$8125) runs past the file's end."},
        Refusal{"com_header_cut", loading("h.com", kCom + hex("FFFF 00")), Command::Load,
                "h.com\" is not an Atari binary file: its segment header at byte 302 is cut short."},
        Refusal{"com_segment_backwards", loading("b.com", kCom + hex("0090 FF8F 00")), Command::Load,
                "b.com\" is not an Atari binary file: its segment at byte 300 ($9000-$8FFF) ends before it starts."},
        Refusal{"samples_missing", loading("m.md1", kCom), Command::Load, "none.d15\": No such file or directory"},
        Refusal{"samples_empty", loading("m.md1", kCom, Bytes{}), Command::Load, "s.d15\" is empty"},
        Refusal{"samples_past_FFFF", loading("m.md1", kCom, Bytes(40, 0)), Command::Load,
                "s.d15\" (40 bytes from $FFE0) would run past the end of Atari memory"},
        Refusal{"no_room_for_sample_header", loading("m.md1", module(0x2000, 128000 - 3), d15(0x40, 300)),
                Command::Load, "needs 4 bytes and the module leaves 3 of the 128000-byte buffer"},
        Refusal{"samples_cut", loading("m.md1", module(0x2000, 128000 - 303), d15(0x40, 300)), Command::Load,
                "s.d15\" does not fit in the 128000-byte buffer"},
        Refusal{"samples_padding_cut", loading("m.md1", module(0x2000, 128000 - 404), d15(0x40, 300)),
                Command::Load, "s.d15\" does not fit in the 128000-byte buffer"}),
    [](const auto& info) { return std::string(info.param.label); });

// A folder whose flush fails (the preloaded library fails it for a folder with the sticky
// bit): the save fails with the system's reason and may be made again; the file is in
// place whole, as the safe write left it, and no temporary file is there.
TEST(FailingFlush, FolderOfTheSave)
{
    Bench b;
    b.load(b.put("tunes/a.com", module(0x8000, 301)));  // a SAP file of even length, whose own flush passes
    std::filesystem::permissions(b.dir / "tunes", std::filesystem::perms::sticky_bit, std::filesystem::perm_options::add);
    const orvex::SaveState before = *b.state;
    b.converter.SaveSAPfile();
    EXPECT_EQ(b.window.errors, std::vector<std::string>{"Cannot flush the folder \"" + b.dir / "tunes" + "\" to disk: Input/output "
                                                        "error; the SAP file \"" + b.dir / "tunes/a.SAP" + "\" put there may "
                                                        "not survive a crash."});
    EXPECT_TRUE(static_cast<const orvex::SaveState&>(*b.state) == before);
    EXPECT_EQ(b.state->moduleLoaded, 1);
    EXPECT_EQ(b.window.sapValue, "n/o");
    EXPECT_EQ(slice(readFile(b.dir / "tunes/a.SAP"), 95), module(0x8000, 301));
    std::vector<std::string> names;
    for (const auto& [name, what] : listing(b.dir.path() / "tunes"))
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"a.SAP", "a.com"}));
}

} // namespace
