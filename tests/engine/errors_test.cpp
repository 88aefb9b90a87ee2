// Every conversion error: one message naming the file and the reason, nothing written
// past the buffer, no file written or left behind, and the state as it was.

#include "fixture.h"

#include <filesystem>
#include <sys/stat.h>

namespace engine_tests {
namespace {

using testing_support::atariModule;
using testing_support::playerFile;
using testing_support::readFile;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class Errors : public ConversionTest {
protected:
    // The one message shown since the last call; fails unless exactly one was.
    std::string onlyError()
    {
        EXPECT_EQ(window.errors.size(), 1u);
        std::string message = window.errors.empty() ? "" : window.errors.back();
        window.errors.clear();
        return message;
    }

    // What a failed save must leave as it was.
    struct Snapshot {
        std::array<std::uint8_t, orvex::kImageSize> image;
        std::size_t imageEnd;
        std::uint8_t moduleLoaded;
    };
    Snapshot snapshot() const { return {state->ModuleImage, state->imageEnd, state->moduleLoaded}; }
    void expectUnchanged(const Snapshot& before) const
    {
        EXPECT_EQ(state->imageEnd, before.imageEnd);
        EXPECT_EQ(state->moduleLoaded, before.moduleLoaded);
        EXPECT_TRUE(state->ModuleImage == before.image) << "the image changed";
    }
};

TEST_F(Errors, UnreadableModuleLeavesNothingLoaded)
{
    putPlayer("mpt_0500.plr", playerFile(40));
    load(put("ok.mpt", atariModule(0x2000, 0x20FF, 300)));
    window.name = "Typed";
    window.infoClear = true;

    for (const std::string& path : {dir / "missing.mpt", dir / "players"}) {
        load(path);
        EXPECT_TRUE(contains(onlyError(), "\"" + path + "\"")) << path;
        EXPECT_EQ(state->moduleLoaded, 0);
        EXPECT_EQ(state->imageEnd, 0u);
        EXPECT_EQ(window.name, "Typed") << "a failed load must not empty the boxes";
        // Nothing is loaded: both save commands do nothing.
        saveAs("x.sap");
        converter.SaveSAPfile();
        EXPECT_TRUE(window.errors.empty());
        EXPECT_EQ(window.saveDialogRuns, 0);
    }
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"ok.mpt", "players"}));
}

TEST_F(Errors, SampleFileProblemsAreReportedAndTheModuleCannotBeSaved)
{
    putPlayer("mpt_0500.plr", playerFile(40));
    const std::string module = put("song.md1", atariModule(0x2000, 0x20FF, 300));
    struct {
        std::string samples;
        const char* reason;
    } cases[] = {
        {dir / "typed-but-missing.d15", "No such file"},
        {put("empty.d15", {}), "is empty"},
        {dir / "players", "Is a directory"},
        // Page 0 puts the segment at $FFE0: 33 bytes or more would run past $FFFF.
        {put("wraps.d15", Bytes(40, 0)), "past the end of Atari memory"},
    };
    for (const auto& c : cases) {
        load(module, c.samples);
        const std::string message = onlyError();
        EXPECT_TRUE(contains(message, c.samples)) << message;
        EXPECT_TRUE(contains(message, c.reason)) << message;
        EXPECT_EQ(state->moduleLoaded, 1);
        EXPECT_EQ(state->imageEnd, 300u);
        EXPECT_FALSE(window.infoEnabled);

        saveAs("song.sap");
        EXPECT_TRUE(contains(onlyError(), "has no digi samples from this load"));
        EXPECT_FALSE(std::filesystem::exists(dir / "song.sap"));
    }
}

TEST_F(Errors, Md1SaveNeverUsesTheSamplesOfAnEarlierLoad)
{
    putPlayer("mpt_0500.plr", playerFile(40));
    Bytes samples(288, 1);
    samples[0] = 0x30;
    const std::string module = put("song.md1", atariModule(0x4000, 0x40FF, 300));
    load(module, put("song.d15", samples));
    saveAs("first.sap");
    ASSERT_TRUE(window.errors.empty());

    load(module, std::nullopt);  // sample dialog cancelled
    const auto before = snapshot();
    saveAs("second.sap");
    EXPECT_TRUE(contains(onlyError(), "load it again and pick its .D15 file"));
    EXPECT_FALSE(std::filesystem::exists(dir / "second.sap"));
    expectUnchanged(before);
}

TEST_F(Errors, SamplesThatDoNotFitTheBuffer)
{
    Bytes samples(300, 0);
    samples[0] = 0x40;
    const std::string d15 = put("s.d15", samples);
    // 127997 bytes of module leave 3 bytes: no room for the segment header.
    load(put("a.md1", atariModule(0x2000, 0x20FF, orvex::kImageSize - 3)), d15);
    EXPECT_TRUE(contains(onlyError(), "no room for the digi samples"));
    // Room for the header and 299 sample bytes: the file is cut.
    load(put("b.md1", atariModule(0x2000, 0x20FF, orvex::kImageSize - 303)), d15);
    EXPECT_TRUE(contains(onlyError(), "does not fit in the 128000-byte buffer"));
    // The file fits but its padding to the segment's declared end (544 bytes) does not.
    load(put("c.md1", atariModule(0x2000, 0x20FF, orvex::kImageSize - 304 - 100)), d15);
    EXPECT_TRUE(contains(onlyError(), "does not fit in the 128000-byte buffer"));
    EXPECT_EQ(state->imageEnd, orvex::kImageSize - 404);
    EXPECT_EQ(state->moduleLoaded, 1);
}

TEST_F(Errors, SaveRefusalsLeaveStateAndDiskAsTheyWere)
{
    putPlayer("mpt_0500.plr", playerFile(40));
    putPlayer("tmc_0500.plr", playerFile(40));
    const Bytes oldFile(777, 0x5A);
    put("out.sap", oldFile);

    Bytes speed0 = atariModule(0x2000, 0x20FF, 300);
    speed0[37] = 0;
    Bytes speed5 = speed0;
    speed5[37] = 5;
    struct {
        std::string module;
        const char* reason;
    } cases[] = {
        {put("song.xyz", atariModule(0x2000, 0x20FF, 300)), "no extension this program converts"},
        {put("noext/SONG", atariModule(0x2000, 0x20FF, 300)), "no extension this program converts"},
        {put("s0.tmc", speed0), "has speed 0"},
        {put("s5.tm8", speed5), "has speed 5"},
        {put("short.tmc", atariModule(0x2000, 0x20FF, 37)), "too short (37 bytes)"},
        {put("short.mpt", Bytes{0xFF, 0xFF, 0x00}), "too short (3 bytes)"},
        // A module that leaves room for the code but not for the whole player
        {put("full.mpt", atariModule(0x2000, 0x20FF, orvex::kImageSize - 17 - 39)), "does not fit"},
        // ... and one that leaves no room for the generated code at all
        {put("fuller.mpt", atariModule(0x2000, 0x20FF, orvex::kImageSize - 16)), "no room for the player"},
    };
    for (const auto& c : cases) {
        load(c.module);
        ASSERT_TRUE(window.errors.empty());
        window.name.clear();
        const auto before = snapshot();
        saveAs("out.sap");
        const std::string message = onlyError();
        EXPECT_TRUE(contains(message, c.module)) << message;
        EXPECT_TRUE(contains(message, c.reason)) << message;
        expectUnchanged(before);
        EXPECT_EQ(window.name, "") << "a refused save leaves the boxes as they were";
        EXPECT_EQ(window.sapValue, "n/o");
        EXPECT_EQ(readFile(dir / "out.sap"), oldFile);
    }
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"full.mpt", "fuller.mpt", "noext", "out.sap", "players", "s0.tmc",
                                                        "s5.tm8", "short.mpt", "short.tmc", "song.xyz"}))
        << "no temporary file may stay behind";
}

TEST_F(Errors, MissingPlayerNamesItsPathAndTheSameSaveWorksOnceItIsThere)
{
    const Bytes module = atariModule(0x3000, 0x30FF, 400);
    load(put("song.mpt", module));
    const auto before = snapshot();
    converter.SaveSAPfile();
    const std::string message = onlyError();
    EXPECT_TRUE(contains(message, players + "/mpt_0500.plr")) << message;
    EXPECT_TRUE(contains(message, "No such file or directory")) << message;
    expectUnchanged(before);
    EXPECT_FALSE(std::filesystem::exists(dir / "song.SAP"));

    putPlayer("mpt_0500.plr", playerFile(40));
    converter.SaveSAPfile();
    EXPECT_TRUE(window.errors.empty());
    const Bytes afterRetry = readFile(dir / "song.SAP");

    // The same file as a fresh conversion gives.
    load(put("song.mpt", module));
    converter.SaveSAPfile();
    EXPECT_EQ(readFile(dir / "song.SAP"), afterRetry);
}

TEST_F(Errors, PlayersThatWouldRunPastTheEndOfMemory)
{
    // At $F500 a player has 2816 bytes up to $FFFF.
    const std::string module = put("low.mpt", atariModule(0x0800, 0x08FF, 300));
    putPlayer("mpt_0500.plr", playerFile(2817));
    load(module);
    saveAs("low.sap");
    EXPECT_TRUE(contains(onlyError(), "2817 bytes from $F500) would run past the end of Atari memory"));
    EXPECT_FALSE(std::filesystem::exists(dir / "low.sap"));

    putPlayer("mpt_0500.plr", playerFile(2816));
    saveAs("low.sap");
    EXPECT_TRUE(window.errors.empty());
    const Bytes sap = readFile(dir / "low.sap");
    // The segment header: $F4F3 to $FFFF.
    EXPECT_EQ(slice(sap, sap.size() - 2816 - 13 - 4, 4), (Bytes{0xF3, 0xF4, 0xFF, 0xFF}));
}

TEST_F(Errors, UnwritableTargetsLeaveNothingBehind)
{
    putPlayer("mpt_0500.plr", playerFile(40));
    const std::string module = put("song.mpt", atariModule(0x2000, 0x20FF, 300));
    std::filesystem::create_directory(dir / "adir");
    for (const std::string& target : {dir / "no/such/folder/x.sap", dir / "adir"}) {
        load(module);
        const auto before = snapshot();
        window.saveAnswer = target;
        converter.SaveSAPfileas();
        const std::string message = onlyError();
        EXPECT_TRUE(contains(message, "Cannot write the SAP file \"" + target + "\"")) << message;
        expectUnchanged(before);
        EXPECT_EQ(window.name, "") << "the replacement texts are taken back";
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir / "adir"));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"adir", "players", "song.mpt"}));

    if (::geteuid() != 0) {  // root may write anywhere
        ::chmod(dir.path().c_str(), 0500);
        load(module);
        saveAs("song.sap");
        EXPECT_TRUE(contains(onlyError(), "Permission denied"));
        ::chmod(dir.path().c_str(), 0700);
    }
}

TEST_F(Errors, LineBreaksCannotEnterTheHeader)
{
    load(put("a.com", atariModule(0x8000, 0x80FF, 262)));
    window.name = "two\r\nTYPE C";
    saveAs("a.sap");
    EXPECT_TRUE(contains(onlyError(), "The name holds a line break"));
    EXPECT_FALSE(std::filesystem::exists(dir / "a.sap"));
    EXPECT_EQ(state->moduleLoaded, 1);
}

} // namespace
} // namespace engine_tests
