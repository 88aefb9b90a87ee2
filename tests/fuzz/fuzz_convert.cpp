// libFuzzer target. Byte 0 picks what the rest of the input is fed to, by its value modulo
// 4: 0 "Load Atari MSX" and the save commands, 1 the SAP reader, 2 the tags file reader, 3
// the length finder. The sanitizers watch memory, and each of them checks its promises.
//
// Load and save: after each command, one that shows a message, is cancelled or has nothing
// to do changes neither the disk nor (but for a load) the state; a SAP file written is its
// header lines, the boxes' texts on AUTHOR, NAME and DATE, then ModuleImage[0, imageEnd).
// Input (missing bytes read as zero): byte 0 bits 0-2 the module's extension (cmc mpt md1
// tmc tm8 com, 6 none, 7 d15), bit 3 upper case, bit 4 "InfoCLR at load", bit 5 the sample
// dialog cancelled, bit 6 no sample file, bit 7 no module file; byte 1 bits 0-2 no
// cmc/mpt/tmc player file, bits 3-4 where "Save SAP file as..." writes (out/, a missing
// folder, beside the module, out/ with a folder in the way), bit 5 the file exists; bytes
// 2-3 four commands of four bits (0 load, 1 load cancelled, 2 save as, 3 save, 4 save as
// cancelled, 5-15 none); bytes 4-9 three 16-bit counts, doubled, of zeros appended to the
// module, samples and player; then eight parts, each a 16-bit length and its bytes:
// module, samples, player, name, author, date, module name, output name.

#include "sap_promises.h"
#include "support.h"
#include "tags_file.h"
#include "text8.h"
#include "tune_length.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <regex>

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

// The state and window that a command without effect leaves as they were (the image's
// bytes behind its end are never written)
std::string snapshot(const orvex::ConversionState& s, const orvex::PlainWindow& w)
{
    return std::string(s.ModuleImage.begin(), s.ModuleImage.begin() + static_cast<long>(s.imageEnd)) + "|"
           + std::to_string(s.imageEnd) + "|" + std::to_string(s.moduleLoaded) + "|" + std::to_string(s.sampleSegment) + "|" + s.sourcePath + "|"
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
TempDir base;  // the folder of every run's files, removed at exit

// What one input asks: the files' bytes and names, the boxes' texts, which files are
// missing, the option, and four commands.
struct Input {
    std::uint8_t choices, output;
    unsigned commands;
    Bytes module, samples, player;
    std::unique_ptr<orvex::PlainWindow> window = std::make_unique<orvex::PlainWindow>();
    std::string moduleName, outputName;
};

Input decode(const std::uint8_t* data, std::size_t size)
{
    Reader in{data, size};
    Input i{in.byte(), in.byte(), in.word()};
    const std::size_t padding[3] = {2u * in.word(), 2u * in.word(), 2u * in.word()};
    for (int part = 0; part < 3; ++part) {
        Bytes& bytes = part == 0 ? i.module : part == 1 ? i.samples : i.player;
        bytes = in.part();
        bytes.resize(bytes.size() + padding[part]);
    }
    for (std::string* text : {&i.window->name, &i.window->author, &i.window->date})
        *text = textOf(in.part());
    for (std::string* name : {&i.moduleName, &i.outputName}) {
        *name = textOf(in.part()).substr(0, 200);
        std::replace(name->begin(), name->end(), '/', '_');
        std::replace(name->begin(), name->end(), '\0', '_');
    }
    i.moduleName = i.moduleName.empty() ? "m" : i.moduleName;
    i.outputName = i.outputName.empty() ? "out.sap" : i.outputName;
    if ((i.choices & 7) != 6) {
        std::string extension = kExtensions[i.choices & 7];
        if (i.choices & 8)
            std::transform(extension.begin(), extension.end(), extension.begin(), ::toupper);
        i.moduleName += "." + extension;
    }
    return i;
}

struct Paths { fs::path module, samples, output, players; };

// The input's files in a fresh folder: the module, the samples, the player files and an
// older output file, each unless the input leaves it out.
Paths placeFiles(const Input& i)
{
    const fs::path root = base.path() / "run";
    fs::remove_all(root);
    for (const char* folder : {"songs", "samples", "players", "out"})
        fs::create_directories(root / folder);
    auto put = [](const fs::path& path, const Bytes& bytes) {
        try { writeFile(path, bytes); } catch (const std::exception&) {}  // a name such as ".."
    };
    const unsigned where = i.output >> 3 & 3;
    const Paths paths{root / "songs" / i.moduleName, root / "samples" / "tune.d15",
                      root / (where == 1 ? "missing" : where == 2 ? "songs" : "out") / i.outputName, root / "players"};
    if (!(i.choices & 0x80))
        put(paths.module, i.module);
    if (!(i.choices & 0x40))
        put(paths.samples, i.samples);
    for (int p = 0; p < 3; ++p)
        if (!(i.output & (1 << p)))
            put(paths.players / (p == 0 ? "cmc_0500.plr" : p == 1 ? "mpt_0500.plr" : "tmc_0500.plr"), i.player);
    std::error_code ignored;
    if (where == 3)
        fs::create_directory(paths.output, ignored);
    if ((i.output & 0x20) && !fs::exists(paths.output))
        put(paths.output, {'o', 'l', 'd'});
    return paths;
}

// After a command, what it may have changed: only the SAP file it saved, or nothing.
void checkCommand(unsigned command, const orvex::ConversionState& state, const orvex::PlainWindow& window,
                  const Paths& paths, const std::string& before, const std::map<std::string, std::string>& files,
                  bool failed)
{
    check(state.imageEnd <= orvex::kImageSize, "imageEnd lies past the buffer");
    const bool saved = command >= 2 && command <= 4 && state.moduleLoaded == 0 && !failed && before != snapshot(state, window);
    if (saved) {
        const fs::path written = window.sdFileName;
        checkWritten(state, window, readFile(written));
        const std::string name = written.lexically_relative(base.path()).string();
        auto after = base.listing(), expected = files;
        after.erase(name);
        expected.erase(name);
        check(after == expected, "a save changed a file besides the SAP file");
        return;
    }
    check(base.listing() == files, "a command that wrote no SAP file changed the disk");
    if (command != 0)
        check(snapshot(state, window) == before, "a command without effect changed the state");
    const bool digi = orvex::equalsIgnoringCase(orvex::extensionOf(paths.module), "md1");
    if (failed && command == 0)
        check(state.moduleLoaded == 0 || (digi && !state.samplesFromThisLoad), "a failed load left a module ready to save");
}

void run(const std::uint8_t* data, std::size_t size)
{
    Input input = decode(data, size);
    const Paths paths = placeFiles(input);
    orvex::PlainWindow& window = *input.window;
    auto state = std::make_unique<orvex::ConversionState>();
    window.infoClear = input.choices & 0x10;
    if (!(input.choices & 0x20))
        window.sampleAnswer = paths.samples.string();
    orvex::Converter converter(*state, window, paths.players.string());

    for (int step = 0; step < 4; ++step) {
        const unsigned command = input.commands >> (4 * step) & 15;
        const std::string before = snapshot(*state, window);
        const auto files = base.listing();
        const std::size_t messages = window.errors.size();
        window.moduleAnswer = command == 0 ? std::optional(paths.module.string()) : std::nullopt;
        window.saveAnswer = command == 2 ? std::optional(paths.output.string()) : std::nullopt;
        if (command <= 1)
            converter.LoadAtariMSX();
        else if (command == 2 || command == 4)
            converter.SaveSAPfileas();
        else if (command == 3)
            converter.SaveSAPfile();
        checkCommand(command, *state, window, paths, before, files, window.errors.size() > messages);
    }
}

// The tags file reader, on a file of the input beside an empty module "m": a refusal is a
// sentence that names the file and no line past its last; m's texts are UTF-8 cells of it.
TempDir tagsBase;
void readTags(std::string_view csv)
{
    const std::string path = tagsBase / "tags.csv";
    writeFile(path, bytesOf(csv));
    writeFile(tagsBase / "m", {});
    struct stat m {};
    try {
        const cli::TagsFile tags(path);
        ::stat((tagsBase / "m").c_str(), &m);
        for (const std::string_view text : tags.find(m.st_dev, m.st_ino).value_or(cli::TagsFile::Found{}).texts) {
            const std::string quoted = std::regex_replace(std::string(text), std::regex("\""), "\"\"");  // in a quoted cell
            check(orvex::isValidUtf8(text) && (csv.find(text) != csv.npos || csv.find(quoted) != csv.npos), "a text is no cell");
        }
    } catch (const cli::TagsFileError& error) {
        const std::string said = error.what();
        const std::size_t line = said.find("\" line "), lines = 1 + std::count(csv.begin(), csv.end(), '\n');
        check(said.ends_with(".") && said.find(orvex::quoted(path)) != said.npos
                  && (line == said.npos || std::stoul(said.substr(line + 7)) <= lines),
              "a refusal of the tags file does not name it, or names a line past its end");
    }
}

// The length finder keeps to its budget: a second for INIT (or each PLAYER+3 of TYPE C), a
// period a call, each overrun by one instruction at most (7 cycles, 1 a page, 113 WSYNC).
void findLength(std::string_view file)
{
    constexpr double kLimit = 2, kClock = 1773447;
    orvex::sap::SapFile sap;
    orvex::sap::readSap(file, sap);
    const double period = sap.fastplay.value_or(312) * 114.0, calls = kLimit * kClock / period;
    const orvex::sap::TuneLength start = orvex::sap::findLength(file, 0), length = orvex::sap::findLength(file, kLimit);
    check(start.cycles <= (sap.type == 'C' ? 2 : 1) * (kClock + 121) && length.calls <= calls
              && length.cycles <= start.cycles + (length.calls + 1.0) * (period + 121),  // the calls made, one failed
          "the length finder ran past its budget");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 4) {
    case 0: run(data + 1, size - 1); break;
    case 1: check(orvex::sap::test::brokenPromise(rest, data[0] / 4 + 1u).empty(), "the SAP reader broke a promise"); break;
    case 2: readTags(rest); break;
    default: findLength(rest);
    }
    return 0;
}
