// libFuzzer target: "Load Atari MSX" and the two save commands, run on module, sample
// and player files, texts and file names taken from the input, with the checks the
// commands promise after every step.
//
// Input layout (missing bytes read as zero, parts cut at the input's end):
//   byte 0     bits 0-2  the module's extension: cmc mpt md1 tmc tm8 com, 6 none added, 7 "d15"
//              bit 3     the extension in upper case
//              bit 4     "InfoCLR at load" checked
//              bit 5     the sample dialog is cancelled
//              bit 6     the sample file does not exist
//              bit 7     the module file does not exist
//   byte 1     bits 0-2  cmc_0500.plr, mpt_0500.plr, tmc_0500.plr do not exist
//              bits 3-4  where "Save SAP file as..." writes: 0 an output folder, 1 a
//                        folder that does not exist, 2 beside the module, 3 the
//                        output folder, with a folder in the way of the file
//              bit 5     a file of that name exists already
//   bytes 2-3  four commands, four bits each from the low end: 0 load, 1 load with the
//              dialog cancelled, 2 "Save SAP file as...", 3 "Save SAP file",
//              4 "Save SAP file as..." cancelled, 5-15 nothing
//   bytes 4-9  zero bytes appended to the module, the samples and the player: three
//              16-bit little-endian counts, each doubled
//   then eight parts, each a 16-bit little-endian length and its bytes: module,
//   samples, player, name, author, date, module file name, output file name
//
// The seed inputs in corpus/ are written by make_corpus.py.

#include "conversion.h"
#include "plain_window.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

[[noreturn]] void fail(const char* format, ...) __attribute__((format(printf, 1, 2)));
void fail(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::fputs("orvex fuzz: broken promise: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
    std::abort();
}

#define CHECK(condition, ...)                                                                                    \
    do {                                                                                                       \
        if (!(condition))                                                                                      \
            fail(__VA_ARGS__);                                                                                 \
    } while (0)

// ---------------------------------------------------------------- the input

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t byte()
    {
        return at_ < size_ ? data_[at_++] : 0;
    }
    unsigned word()
    {
        const unsigned low = byte();
        return low | byte() << 8;
    }
    Bytes part()
    {
        const std::size_t length = std::min<std::size_t>(word(), size_ - std::min(at_, size_));
        Bytes bytes(data_ + std::min(at_, size_), data_ + std::min(at_, size_) + length);
        at_ += length;
        return bytes;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

std::string text(const Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// A file name made of the input's bytes: no folder separators, no NULs, not empty,
// not longer than the file system allows.
std::string fileName(const Bytes& bytes, const char* fallback)
{
    std::string name = text(bytes).substr(0, 200);
    std::replace(name.begin(), name.end(), '/', '_');
    std::replace(name.begin(), name.end(), '\0', '_');
    return name.empty() ? fallback : name;
}

// ---------------------------------------------------------------- files

fs::path baseFolder;

void removeBaseFolder()
{
    std::error_code ignored;
    fs::remove_all(baseFolder, ignored);
}

bool writeFile(const fs::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

Bytes readFile(const fs::path& path)
{
    Bytes bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return bytes;
    std::uint8_t buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    std::fclose(file);
    return bytes;
}

// Every entry under a folder: its kind and, for files, its length and a hash of its bytes.
using Listing = std::map<std::string, std::string>;

Listing listing(const fs::path& root)
{
    Listing entries;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        const auto& path = it->path();
        const std::string name = path.lexically_relative(root).string();
        if (it->is_directory(error)) {
            entries[name] = "folder";
        } else {
            const Bytes bytes = readFile(path);
            const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
            entries[name] = "file " + std::to_string(bytes.size()) + " " + std::to_string(std::hash<std::string_view>{}(view));
        }
    }
    CHECK(!error, "cannot list %s: %s", root.c_str(), error.message().c_str());
    return entries;
}

// ---------------------------------------------------------------- state

// What a command that does nothing, or fails, must leave as it was.
struct Snapshot {
    Bytes image;
    std::size_t imageEnd, sampleSegment, moduleBytes;
    std::uint8_t moduleLoaded;
    bool moduleComplete, samplesFromThisLoad;
    std::string sourcePath, sizeText, formatText;
    std::string name, author, date, formatValue, sizeValue, sapValue, odFileName, odsFileName;
    bool infoEnabled;

    Snapshot(const orvex::ConversionState& s, const orvex::PlainWindow& w)
        : image(s.ModuleImage.begin(), s.ModuleImage.end()), imageEnd(s.imageEnd), sampleSegment(s.sampleSegment),
          moduleBytes(s.moduleBytes), moduleLoaded(s.moduleLoaded), moduleComplete(s.moduleComplete),
          samplesFromThisLoad(s.samplesFromThisLoad), sourcePath(s.sourcePath), sizeText(s.sizeText),
          formatText(s.formatText), name(w.name), author(w.author), date(w.date), formatValue(w.formatValue),
          sizeValue(w.sizeValue), sapValue(w.sapValue), odFileName(w.odFileName), odsFileName(w.odsFileName),
          infoEnabled(w.infoEnabled)
    {
    }

    // The first difference from another snapshot, or null
    const char* differenceFrom(const Snapshot& o) const
    {
        if (imageEnd != o.imageEnd)
            return "imageEnd";
        if (image != o.image)
            return "ModuleImage";
        if (moduleLoaded != o.moduleLoaded)
            return "moduleLoaded";
        if (sampleSegment != o.sampleSegment || samplesFromThisLoad != o.samplesFromThisLoad)
            return "the sample segment";
        if (moduleBytes != o.moduleBytes || moduleComplete != o.moduleComplete)
            return "the module's length";
        if (sourcePath != o.sourcePath || sizeText != o.sizeText || formatText != o.formatText)
            return "sourcePath, sizeText or formatText";
        if (name != o.name || author != o.author || date != o.date)
            return "the Name, Author or Date box";
        if (formatValue != o.formatValue || sizeValue != o.sizeValue || sapValue != o.sapValue)
            return "a value field";
        if (odFileName != o.odFileName || odsFileName != o.odsFileName)
            return "a dialog's file name";
        if (infoEnabled != o.infoEnabled)
            return "the info fields' enabled state";
        return nullptr;
    }
};

// ---------------------------------------------------------------- one run

const char* const kExtensions[] = {"cmc", "mpt", "md1", "tmc", "tm8", "com"};

struct Files {
    Bytes module, samples, player;
    bool moduleExists, samplesExist;
    bool playerExists[3];
};

// Text with its control and 8-bit characters written as \xNN, for the messages
std::string printable(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        }
    }
    return out;
}

std::string hex4(unsigned value)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%04X", value & 0xFFFF);
    return buffer;
}

int rowOf(const std::string& modulePath)
{
    const auto dot = modulePath.find_last_of('.');
    const std::string extension = dot == std::string::npos ? std::string() : modulePath.substr(dot + 1);
    for (int row = 0; row < 6; ++row) {
        if (orvex::equalsIgnoringCase(extension, kExtensions[row]))
            return row;
    }
    return -1;
}

// The load's promises: the module's bytes from the image's first byte on, and for an
// .MD1 module the digi-sample segment behind them.
void checkLoad(const orvex::ConversionState& s, const orvex::PlainWindow& w, const Files& files, std::size_t errorsBefore)
{
    CHECK(s.imageEnd <= orvex::kImageSize, "imageEnd %zu after a load", s.imageEnd);
    if (s.moduleLoaded != 1) {
        CHECK(w.errors.size() > errorsBefore, "a load ended without a module and without a message");
        return;
    }
    const std::size_t held = std::min(files.module.size(), orvex::kImageSize);
    CHECK(files.moduleExists, "a load succeeded without a module file");
    CHECK(s.moduleBytes == held, "the load holds %zu of the module's %zu bytes", s.moduleBytes, files.module.size());
    CHECK(std::equal(files.module.begin(), files.module.begin() + static_cast<long>(held), s.ModuleImage.begin()),
          "the image does not start with the module's bytes");
    CHECK(s.sizeText == std::to_string(files.module.size()), "Size shows %s for a module of %zu bytes",
          s.sizeText.c_str(), files.module.size());

    const bool digi = orvex::equalsIgnoringCase(orvex::extensionOf(w.odFileName), "md1");
    if (!s.samplesFromThisLoad) {
        CHECK(s.imageEnd == s.moduleBytes, "the image holds %zu bytes behind the module without samples",
              s.imageEnd - s.moduleBytes);
        return;
    }
    CHECK(digi, "samples attached to a module that is not .MD1");
    CHECK(files.samplesExist, "samples attached without a sample file");
    const std::size_t at = s.sampleSegment;
    const std::size_t count = files.samples.size();
    CHECK(at == s.moduleBytes, "the sample segment starts at %zu, not behind the module", at);
    CHECK(count > 0 && at + 4 + count <= s.imageEnd, "the sample segment does not hold the sample file");
    const std::uint8_t page = files.samples[0];
    const long pagesAfter = count < 33 ? -1 : static_cast<long>((count - 33) / 256);
    const std::uint8_t header[4] = {0xE0, static_cast<std::uint8_t>(page - 1), 0xFF,
                                    static_cast<std::uint8_t>(page + pagesAfter)};
    CHECK(std::equal(header, header + 4, s.ModuleImage.begin() + static_cast<long>(at)),
          "the sample segment's header is %02X %02X %02X %02X", s.ModuleImage[at], s.ModuleImage[at + 1],
          s.ModuleImage[at + 2], s.ModuleImage[at + 3]);
    CHECK(std::equal(files.samples.begin(), files.samples.end(), s.ModuleImage.begin() + static_cast<long>(at + 4)),
          "the sample segment does not hold the sample file's bytes");
    // The segment's declared length, from $xxE0 to the end of the page of its last byte
    const unsigned start = 256u * header[1] + 0xE0, end = 256u * header[3] + 0xFF;
    CHECK(end >= start && s.imageEnd == at + 4 + (end - start + 1),
          "the sample segment declares $%04X-$%04X but the image holds %zu bytes", start, end, s.imageEnd - at - 4);
    for (std::size_t i = at + 4 + count; i < s.imageEnd; ++i)
        CHECK(s.ModuleImage[i] == 0, "the sample segment's padding is not zero");
}

// The promises of a save that succeeded: the file holds the header lines and the
// image, and the image is the loaded one with the format's segments behind it.
void checkSaved(const orvex::ConversionState& s, const orvex::PlainWindow& w, const Snapshot& before,
                const Files& files, const fs::path& sapPath)
{
    const int row = rowOf(w.odFileName);
    CHECK(row >= 0, "a module without a known extension was saved");
    CHECK(s.moduleLoaded == 0, "moduleLoaded is %u after a save", s.moduleLoaded);

    const auto& image = s.ModuleImage;
    const std::size_t loaded = before.imageEnd;
    CHECK(s.imageEnd >= loaded && std::equal(before.image.begin(), before.image.begin() + static_cast<long>(loaded), image.begin()),
          "the save changed the loaded image");

    // Where the player goes and what the save appended
    const unsigned moduleStart = image[2] + 256u * image[3];
    const bool samplePageLow = row == 2 && image[before.sampleSegment + 4] < 0x10;
    const unsigned P = (image[3] >= 0x10 && !samplePageLow) ? 0x0500 : 0xF500;
    const std::size_t skip = row == 0 ? 2 : 6;
    const std::size_t playerBytes = files.player.size() > skip ? files.player.size() - skip : 0;
    const std::size_t added = s.imageEnd - loaded;
    unsigned codeLength = 0, speed = 0;
    std::string lines;
    char type = 'B';
    switch (row) {
    case 0: {
        // The CMC player keeps its own segment header; PLAYER names its start, and the
        // player must not load over the module's first segment.
        type = 'C';
        CHECK(playerBytes >= 4, "a CMC player without a segment header was saved");
        const unsigned playerStart = files.player[2] + 256u * files.player[3];
        const unsigned playerEnd = files.player[4] + 256u * files.player[5];
        const unsigned moduleEnd = image[4] + 256u * image[5];
        CHECK(playerStart > moduleEnd || moduleStart > playerEnd,
              "a CMC player at $%04X-$%04X over the module at $%04X-$%04X was saved", playerStart, playerEnd,
              moduleStart, moduleEnd);
        lines = "MUSIC " + hex4(moduleStart) + "\r\nPLAYER " + hex4(playerStart) + "\r\n";
        break;
    }
    case 1:
        codeLength = 13;
        lines = "INIT " + hex4(P - 13) + "\r\nPLAYER " + hex4(P + 3) + "\r\n";
        break;
    case 2:
        type = 'D';
        codeLength = 29;
        lines = "INIT " + hex4(P - 29) + "\r\nPLAYER " + hex4(P + 3) + "\r\n";
        break;
    case 3:
    case 4: {
        speed = image[37];
        CHECK(speed >= 1 && speed <= 4, "a Theta Music Composer module of speed %u was saved", speed);
        codeLength = orvex::StubLengthTable[speed];
        const unsigned player = speed == 1 ? P + 3 : speed == 2 ? P - 9 : P - 10;
        if (row == 4)
            lines += "STEREO\r\n";
        if (speed > 1)
            lines += "FASTPLAY " + std::to_string(orvex::FastplayTable[speed]) + "\r\n";
        lines += "INIT " + hex4(P - codeLength) + "\r\nPLAYER " + hex4(player) + "\r\n";
        break;
    }
    default:
        lines = "INIT 8011\r\nPLAYER 8017\r\n";
        break;
    }

    if (row == 5) {
        CHECK(added == 0, "a .COM save appended %zu bytes", added);
    } else {
        CHECK(files.playerExists[row == 0 ? 0 : row <= 2 ? 1 : 2], "saved without the player file");
        CHECK(playerBytes > 0, "saved with an empty player");
        const std::size_t segment = codeLength ? 4 + codeLength : 0;
        CHECK(added == segment + playerBytes, "the save appended %zu bytes for %zu player bytes and %zu generated",
              added, playerBytes, segment);
        CHECK(std::equal(files.player.begin() + static_cast<long>(skip), files.player.end(),
                         image.begin() + static_cast<long>(loaded + segment)),
              "the appended player differs from the player file");
        if (codeLength) {
            const unsigned start = image[loaded] + 256u * image[loaded + 1];
            const unsigned end = image[loaded + 2] + 256u * image[loaded + 3];
            CHECK(start == ((P - codeLength) & 0xFFFF) && end == P + playerBytes - 1,
                  "the generated segment runs $%04X-$%04X for a player of %zu bytes at $%04X", start, end, playerBytes, P);
            const std::uint8_t load[4] = {0xA0, image[2], 0xA2, image[3]};
            CHECK(std::equal(load, load + 4, image.begin() + static_cast<long>(loaded + 4)),
                  "the generated code does not pass the module's address");
        }
    }

    const std::string headerText = "SAP\r\nAUTHOR  '" + w.author + "'\r\nNAME  '" + w.name + "'\r\nDATE  '" + w.date
                                   + "'\r\nTYPE " + type + "\r\nSONGS 1\r\n" + lines;
    const Bytes header(headerText.begin(), headerText.end());
    const Bytes written = readFile(sapPath);
    CHECK(written.size() == header.size() + s.imageEnd, "the SAP file holds %zu bytes, not %zu of header and %zu of image",
          written.size(), header.size(), s.imageEnd);
    const auto differ = std::mismatch(header.begin(), header.end(), written.begin());
    if (differ.first != header.end()) {
        const auto at = static_cast<std::size_t>(differ.first - header.begin());
        fail("the SAP file's header differs at byte %zu: expected \"%s\", written \"%s\"", at,
             printable(headerText.substr(at > 20 ? at - 20 : 0, 60)).c_str(),
             printable(std::string(written.begin() + static_cast<long>(at > 20 ? at - 20 : 0),
                                   written.begin() + static_cast<long>(std::min(written.size(), at + 40))))
                 .c_str());
    }
    CHECK(std::equal(image.begin(), image.begin() + static_cast<long>(s.imageEnd), written.begin() + static_cast<long>(header.size())),
          "the SAP file's image differs from ModuleImage");
    CHECK(s.sizeText == std::to_string(written.size()) && w.sapValue == s.sizeText, "SAP shows %s for a file of %zu bytes",
          w.sapValue.c_str(), written.size());
    CHECK(w.name == (before.name.empty() ? "Unknown" : before.name) && w.author == (before.author.empty() ? "Unknown" : before.author)
              && w.date == (before.date.empty() ? "<?>" : before.date),
          "the save changed a filled info box");
}

void run(const std::uint8_t* data, std::size_t size)
{
    Reader in(data, size);
    const std::uint8_t choices = in.byte();
    const std::uint8_t outputChoices = in.byte();
    const unsigned commands = in.word();
    const std::size_t modulePadding = 2u * in.word();
    const std::size_t samplePadding = 2u * in.word();
    const std::size_t playerPadding = 2u * in.word();

    Files files;
    files.module = in.part();
    files.module.resize(files.module.size() + modulePadding);
    files.samples = in.part();
    files.samples.resize(files.samples.size() + samplePadding);
    files.player = in.part();
    files.player.resize(files.player.size() + playerPadding);
    const std::string name = text(in.part());
    const std::string author = text(in.part());
    const std::string date = text(in.part());
    std::string moduleName = fileName(in.part(), "m");
    const std::string outputName = fileName(in.part(), "out.sap");

    const unsigned extension = choices & 7;
    if (extension < 6 || extension == 7) {
        std::string suffix = extension == 7 ? "d15" : kExtensions[extension];
        if (choices & 8)
            std::transform(suffix.begin(), suffix.end(), suffix.begin(), [](unsigned char c) { return std::toupper(c); });
        moduleName += "." + suffix;
    }

    // A fresh folder for this input
    const fs::path root = baseFolder / "run";
    std::error_code ignored;
    fs::remove_all(root, ignored);
    for (const char* folder : {"songs", "samples", "players", "out"})
        fs::create_directories(root / folder);

    const fs::path modulePath = root / "songs" / moduleName;
    files.moduleExists = !(choices & 0x80) && writeFile(modulePath, files.module);
    const fs::path samplePath = root / "samples" / "tune.d15";
    files.samplesExist = !(choices & 0x40) && writeFile(samplePath, files.samples);
    for (int i = 0; i < 3; ++i) {
        const char* player[] = {orvex::kCmcPlayerFile, orvex::kMptPlayerFile, orvex::kTmcPlayerFile};
        files.playerExists[i] = !(outputChoices & (1 << i)) && writeFile(root / "players" / player[i], files.player);
    }
    fs::path outputPath;
    switch ((outputChoices >> 3) & 3) {
    case 0: outputPath = root / "out" / outputName; break;
    case 1: outputPath = root / "missing" / outputName; break;
    case 2: outputPath = root / "songs" / outputName; break;
    default:
        outputPath = root / "out" / outputName;
        fs::create_directory(outputPath, ignored);
        break;
    }
    if ((outputChoices & 0x20) && !fs::exists(outputPath, ignored))
        writeFile(outputPath, {'o', 'l', 'd'});

    auto state = std::make_unique<orvex::ConversionState>();
    orvex::PlainWindow window;
    window.name = name;
    window.author = author;
    window.date = date;
    window.infoClear = choices & 0x10;
    if (!(choices & 0x20))
        window.sampleAnswer = samplePath.string();
    orvex::Converter converter(*state, window, (root / "players").string());

    for (int step = 0; step < 4; ++step) {
        const unsigned command = (commands >> (4 * step)) & 15;
        const Snapshot before(*state, window);
        const std::size_t errorsBefore = window.errors.size();
        const int saveDialogRunsBefore = window.saveDialogRuns;
        const Listing filesBefore = command >= 2 && command <= 4 ? listing(root) : Listing();

        switch (command) {
        case 0:
        case 1:
            if (command == 0)
                window.moduleAnswer = modulePath.string();
            else
                window.moduleAnswer.reset();
            // An earlier save may have written over the module file.
            files.moduleExists = fs::is_regular_file(modulePath, ignored);
            files.module = files.moduleExists ? readFile(modulePath) : Bytes();
            converter.LoadAtariMSX();
            if (command == 1) {
                const char* changed = Snapshot(*state, window).differenceFrom(before);
                CHECK(!changed, "a cancelled load changed %s", changed);
                CHECK(window.errors.size() == errorsBefore, "a cancelled load showed a message");
            } else {
                checkLoad(*state, window, files, errorsBefore);
            }
            break;
        case 2:
        case 3:
        case 4: {
            fs::path written;
            if (command == 3) {
                converter.SaveSAPfile();
                const std::string module = window.odFileName;
                written = module.size() >= 4 ? module.substr(0, module.size() - 4) + ".SAP" : ".SAP";
            } else {
                if (command == 2)
                    window.saveAnswer = outputPath.string();
                else
                    window.saveAnswer.reset();
                converter.SaveSAPfileas();
                written = outputPath;
            }
            CHECK(state->imageEnd <= orvex::kImageSize, "imageEnd %zu after a save", state->imageEnd);
            const bool saved = before.moduleLoaded == 1 && command != 4 && window.errors.size() == errorsBefore;
            Listing filesAfter = listing(root);
            if (saved) {
                checkSaved(*state, window, before, files, written);
                // Nothing else in the folders changed
                const std::string name = written.lexically_relative(root).string();
                CHECK(filesAfter.erase(name) == 1, "the SAP file %s is missing", written.c_str());
                Listing expected = filesBefore;
                expected.erase(name);
                CHECK(filesAfter == expected, "a save left other files behind or changed them");
            } else {
                const char* changed = Snapshot(*state, window).differenceFrom(before);
                CHECK(!changed, "a save that did not write changed %s", changed);
                CHECK(filesAfter == filesBefore, "a save that did not write left files behind or changed them");
                if (before.moduleLoaded != 1 || command == 4)
                    CHECK(window.errors.size() == errorsBefore, "a save that had nothing to do showed a message");
                if (before.moduleLoaded != 1)
                    CHECK(window.saveDialogRuns == saveDialogRunsBefore, "the save dialog opened without a module");
            }
            break;
        }
        default:
            break;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::string pattern = (fs::temp_directory_path() / "orvex-fuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        fail("cannot create a temporary folder");
    baseFolder = pattern;
    std::atexit(removeBaseFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    run(data, size);
    return 0;
}
