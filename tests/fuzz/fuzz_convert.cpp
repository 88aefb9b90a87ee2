// libFuzzer target: "Load Atari MSX" and the save commands on files, texts and names from
// the input, with the sanitizers watching memory. After every command: one that shows a
// message, is cancelled or has nothing to do changes neither the disk nor (unless it is
// a load) the state; a written SAP file is its header lines, with the boxes' texts on
// AUTHOR, NAME and DATE, followed by ModuleImage[0 .. imageEnd).
//
// Input (missing bytes read as zero): byte 0 bits 0-2 the module's extension (cmc mpt md1
// tmc tm8 com, 6 none, 7 d15), bit 3 upper case, bit 4 "InfoCLR at load", bit 5 the
// sample dialog cancelled, bit 6 no sample file, bit 7 no module file; byte 1 bits 0-2 no
// cmc/mpt/tmc player file, bits 3-4 where "Save SAP file as..." writes (out/, a missing
// folder, beside the module, out/ with a folder in the way), bit 5 the file exists; bytes
// 2-3 four commands of four bits (0 load, 1 load cancelled, 2 save as, 3 save, 4 save as
// cancelled, 5-15 none); bytes 4-9 three 16-bit counts, doubled, of zeros appended to the
// module, samples and player; then eight parts, each a 16-bit length and its bytes:
// module, samples, player, name, author, date, module name, output name.

#include "support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace fs = std::filesystem;
using namespace support;

namespace {

void check(bool kept, const char* promise)
{
    if (!kept) {
        std::fprintf(stderr, "orvex fuzz: broken promise: %s\n", promise);
        std::abort();
    }
}

struct Reader {
    const std::uint8_t* data;
    std::size_t size, at = 0;
    std::uint8_t byte() { return at < size ? data[at++] : 0; }
    unsigned word() { const unsigned low = byte(); return low | byte() << 8; }
    Bytes part()
    {
        const std::size_t length = std::min<std::size_t>(word(), size - std::min(at, size)), from = std::min(at, size);
        at = from + length;
        return Bytes(data + from, data + from + length);
    }
};

// The state and window that a command without effect leaves as they were
std::string snapshot(const orvex::ConversionState& s, const orvex::PlainWindow& w)
{
    return std::string(s.ModuleImage.begin(), s.ModuleImage.end()) + "|" + std::to_string(s.imageEnd) + "|"
           + std::to_string(s.moduleLoaded) + "|" + std::to_string(s.sampleSegment) + "|" + s.sourcePath + "|"
           + s.sizeText + "|" + w.name + "|" + w.author + "|" + w.date + "|" + w.formatValue + "|" + w.sizeValue + "|"
           + w.sapValue + "|" + std::to_string(w.infoEnabled) + "|" + w.odFileName;
}

void checkWritten(const orvex::ConversionState& s, const orvex::PlainWindow& w, const Bytes& file)
{
    check(file.size() >= s.imageEnd, "the SAP file is shorter than the image");
    const std::size_t textEnd = file.size() - s.imageEnd;
    check(std::equal(s.ModuleImage.begin(), s.ModuleImage.begin() + s.imageEnd, file.begin() + textEnd),
          "the SAP file's image differs from ModuleImage");
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < textEnd;) {
        const auto end = std::search(file.begin() + at, file.begin() + textEnd, "\r\n", "\r\n" + 2);
        check(end != file.begin() + textEnd, "the text before the image does not end with a line end");
        lines.emplace_back(file.begin() + at, end);
        check(!lines.back().empty() && lines.back().find_first_of("\r\n") == std::string::npos,
              "a header line is empty or holds a line break");
        at = end - file.begin() + 2;
    }
    check(lines.size() >= 8 && lines[0] == "SAP", "the SAP file does not begin with its header lines");
    check(lines[1] == "AUTHOR  '" + w.author + "'" && lines[2] == "NAME  '" + w.name + "'"
              && lines[3] == "DATE  '" + w.date + "'",
          "the AUTHOR, NAME or DATE line differs from its box");
    check(w.sapValue == std::to_string(file.size()), "the SAP field does not show the file's length");
}

const char* const kExtensions[] = {"cmc", "mpt", "md1", "tmc", "tm8", "com", "", "d15"};
TempDir* base;

void run(const std::uint8_t* data, std::size_t size)
{
    Reader in{data, size};
    const std::uint8_t choices = in.byte(), output = in.byte();
    const unsigned commands = in.word();
    const std::size_t padding[3] = {2u * in.word(), 2u * in.word(), 2u * in.word()};
    Bytes module = in.part(), samples = in.part(), player = in.part();
    module.resize(module.size() + padding[0]);
    samples.resize(samples.size() + padding[1]);
    player.resize(player.size() + padding[2]);
    auto window = std::make_unique<orvex::PlainWindow>();
    window->name = textOf(in.part());
    window->author = textOf(in.part());
    window->date = textOf(in.part());
    std::string moduleName = textOf(in.part()).substr(0, 200), outputName = textOf(in.part()).substr(0, 200);
    for (std::string* name : {&moduleName, &outputName}) {
        std::replace(name->begin(), name->end(), '/', '_');
        std::replace(name->begin(), name->end(), '\0', '_');
    }
    moduleName = moduleName.empty() ? "m" : moduleName;
    outputName = outputName.empty() ? "out.sap" : outputName;
    if ((choices & 7) != 6) {
        std::string extension = kExtensions[choices & 7];
        if (choices & 8)
            std::transform(extension.begin(), extension.end(), extension.begin(), ::toupper);
        moduleName += "." + extension;
    }

    const fs::path root = base->path() / "run";
    fs::remove_all(root);
    for (const char* folder : {"songs", "samples", "players", "out"})
        fs::create_directories(root / folder);
    auto put = [](const fs::path& path, const Bytes& bytes) {
        try { writeFile(path, bytes); } catch (const std::exception&) {}  // a name such as ".."
    };
    const fs::path modulePath = root / "songs" / moduleName, samplePath = root / "samples" / "tune.d15";
    if (!(choices & 0x80))
        put(modulePath, module);
    if (!(choices & 0x40))
        put(samplePath, samples);
    for (int i = 0; i < 3; ++i)
        if (!(output & (1 << i)))
            put(root / "players" / (i == 0 ? "cmc_0500.plr" : i == 1 ? "mpt_0500.plr" : "tmc_0500.plr"), player);
    const fs::path outputPath = root / ((output >> 3 & 3) == 1 ? "missing" : (output >> 3 & 3) == 2 ? "songs" : "out")
                                / outputName;
    std::error_code ignored;
    if ((output >> 3 & 3) == 3)
        fs::create_directory(outputPath, ignored);
    if ((output & 0x20) && !fs::exists(outputPath))
        put(outputPath, {'o', 'l', 'd'});

    auto state = std::make_unique<orvex::ConversionState>();
    window->infoClear = choices & 0x10;
    if (!(choices & 0x20))
        window->sampleAnswer = samplePath.string();
    orvex::Converter converter(*state, *window, (root / "players").string());

    for (int step = 0; step < 4; ++step) {
        const unsigned command = commands >> (4 * step) & 15;
        const std::string before = snapshot(*state, *window);
        const auto files = base->listing();
        const std::size_t messages = window->errors.size();
        window->moduleAnswer = command == 0 ? std::optional(modulePath.string()) : std::nullopt;
        window->saveAnswer = command == 2 ? std::optional(outputPath.string()) : std::nullopt;
        if (command <= 1)
            converter.LoadAtariMSX();
        else if (command == 2 || command == 4)
            converter.SaveSAPfileas();
        else if (command == 3)
            converter.SaveSAPfile();
        check(state->imageEnd <= orvex::kImageSize, "imageEnd lies past the buffer");

        const bool failed = window->errors.size() > messages;
        const bool saved = command >= 2 && command <= 4 && state->moduleLoaded == 0 && !failed && before != snapshot(*state, *window);
        if (saved) {
            const fs::path written = window->sdFileName;
            checkWritten(*state, *window, readFile(written));
            const std::string name = written.lexically_relative(base->path()).string();
            auto after = base->listing(), expected = files;
            after.erase(name);
            expected.erase(name);
            check(after == expected, "a save changed a file besides the SAP file");
        } else {
            check(base->listing() == files, "a command that wrote no SAP file changed the disk");
            if (command != 0)
                check(snapshot(*state, *window) == before, "a command without effect changed the state");
            const bool digi = orvex::equalsIgnoringCase(orvex::extensionOf(modulePath), "md1");
            if (failed && command == 0)
                check(state->moduleLoaded == 0 || (digi && !state->samplesFromThisLoad),
                      "a failed load left a module ready to save");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    base = new TempDir;
    std::atexit([] { delete base; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    run(data, size);
    return 0;
}
