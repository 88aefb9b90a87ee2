#include "options.h"

#include "conversion.h"
#include "paths.h"
#include "plain_window.h"
#include "players.h"
#include "text8.h"
#include "version.h"

#include <getopt.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string_view>
#include <thread>
#include <type_traits>

namespace cli {

namespace {

using Status = std::optional<int>;  // the exit status when the run ends here

// A usage error: `message` is a sentence.
int usageError(const std::string& message)
{
    std::fprintf(stderr, "orvex-convert: %s\nTry 'orvex-convert --help' for more information.\n", message.c_str());
    return 2;
}

// An argument as messages show it: in single quotes, control characters escaped.
std::string shown(const std::string& argument)
{
    std::string text = orvex::quoted(argument);
    text.front() = text.back() = '\'';
    return text;
}

// What the program writes to standard output: status 1 when it cannot be written.
int printOut(const std::string& text)
{
    if (std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0)
        return 0;
    std::fprintf(stderr, "orvex-convert: Cannot write to standard output: %s.\n", std::strerror(errno));
    return 1;
}

// A number from `low` to `high` from an option's value written in decimal digits, with a
// fraction for a `double`: "12", "1.5"; nothing before or after it.
template <typename Number>
bool numberIn(std::string_view text, Number low, Number high, Number& into)
{
    const bool fraction = std::is_floating_point_v<Number> && text.find('.') != std::string_view::npos;
    const auto digits = [](std::string_view part) {
        return !part.empty() && part.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (!digits(text.substr(0, text.find('.'))) || (fraction && !digits(text.substr(text.find('.') + 1))))
        return false;
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return false;
    into = value;
    return true;
}

// What an option does with its value (nullptr for an option that takes none)
using Take = Status (*)(const char* value, Options& o, Texts& given);

template <std::optional<std::string> Options::*path>
Status setPath(const char* value, Options& o, Texts&)
{
    o.*path = value;
    return std::nullopt;
}

template <bool Options::*flag>
Status setFlag(const char*, Options& o, Texts&)
{
    o.*flag = true;
    return std::nullopt;
}

template <Field field>
Status setText(const char* value, Options&, Texts& given)
{
    if (!orvex::isValidUtf8(value))
        return usageError(std::string("The ") + kFieldNames[field] + " is not valid UTF-8.");
    given[field] = value;
    return std::nullopt;
}

Status setJobs(const char* value, Options& o, Texts&)
{
    if (!numberIn(std::string_view(value), 1u, 64u, o.jobs))
        return usageError("The option -j takes a number of conversions from 1 to 64, not " + shown(value) + ".");
    return std::nullopt;
}

Status setTimeLimit(const char* value, Options& o, Texts&)
{
    if (!numberIn(std::string_view(value), 0.0, 600.0, o.timeLimit) || o.timeLimit == 0)
        return usageError("The option --time-limit takes minutes, a decimal number more than 0 and at most 600, not "
                          + shown(value) + ".");
    return std::nullopt;
}

// --audio wav,flac: each format once, in the order given
Status setAudio(const char* value, Options& o, Texts&)
{
    o.audio.clear();
    for (std::string_view rest = value;;) {
        const std::string_view name = rest.substr(0, rest.find(','));
        const auto format = orvex::audio::formatNamed(name);
        if (!format)
            return usageError("The option --audio takes formats from wav, flac, ogg, opus and mp3, separated by commas; "
                              + shown(std::string(name)) + " is not one of them.");
        if (std::find(o.audio.begin(), o.audio.end(), *format) == o.audio.end())
            o.audio.push_back(*format);
        if (name.size() == rest.size())
            return std::nullopt;
        rest.remove_prefix(name.size() + 1);
    }
}

Status setFade(const char* value, Options& o, Texts&)
{
    if (!numberIn(std::string_view(value), 0.0, 600.0, o.audioLength.fadeSeconds))
        return usageError("The option --fade takes seconds, a decimal number from 0 to 600, not " + shown(value) + ".");
    return std::nullopt;
}

// --length M:SS, or M:SS.s
Status setLength(const char* value, Options& o, Texts&)
{
    const std::string_view text = value;
    const std::size_t colon = text.find(':');
    unsigned minutes = 0;
    double seconds = 0;
    if (colon == std::string_view::npos || colon + 3 > text.size() || (text.size() > colon + 3 && text[colon + 3] != '.')
        || !numberIn(text.substr(0, colon), 0u, 600u, minutes) || !numberIn(text.substr(colon + 1), 0.0, 59.999, seconds)
        || minutes * 60 + seconds == 0)
        return usageError("The option --length takes a length as M:SS (minutes, then two digits of seconds), more than "
                          "0 and at most 600 minutes, not " + shown(value) + ".");
    o.audioLength.seconds = minutes * 60 + seconds;
    return std::nullopt;
}

Status showUsage(const char*, Options&, Texts&);
Status showVersion(const char*, Options&, Texts&)
{
    return printOut("orvex-convert " ORVEX_VERSION "\n");
}

// An option of orvex-convert, all of it: its names, its value, its lines in the usage
// text and what it does. The man page lists the same options (a test holds them equal).
struct OptionDefinition {
    char letter;        // its short name, or 0
    const char* name;   // its long name
    const char* value;  // its value's name, nullptr when it takes none
    const char* help;   // its lines in the usage text, '\n' between them
    Take take;
};

const OptionDefinition kOptions[] = {
    {'o', "output", "PATH",
     "SAP file to write (default: MODULE's path with its last four\n"
     "characters replaced by \".SAP\", as \"Save SAP file\" derives it);\n"
     "- writes it to standard output. With several modules or -r: an\n"
     "existing folder that takes the SAP files",
     setPath<&Options::output>},
    {'n', "name", "TEXT", "tune name", setText<kName>},
    {'a', "author", "TEXT", "author", setText<kAuthor>},
    {'d', "date", "TEXT", "date", setText<kDate>},
    {'s', "samples", "PATH",
     "the .D15 digi-sample file of an .MD1 module (one module only;\n"
     "else each .MD1 takes the .D15 file beside it with its name)",
     setPath<&Options::samples>},
    {'p', "players", "DIR",
     "folder holding cmc_0500.plr, mpt_0500.plr and tmc_0500.plr\n"
     "(default: ~/.local/share/orvex/players, then the program's\n"
     "player folder, <prefix>/share/orvex/players)",
     [](const char* value, Options& o, Texts&) -> Status {
         o.players = {value};
         return std::nullopt;
     }},
    {'r', "recursive", nullptr, "convert every module under the folders (by extension, any case)",
     setFlag<&Options::recursive>},
    {'j', "jobs", "N", "conversions at once (default: the number of cores)", setJobs},
    {0, "check", nullptr, "play each SAP written and report those that stay silent", setFlag<&Options::check>},
    {0, "time", nullptr, "find each tune's length by running it and write it as TIME", setFlag<&Options::time>},
    {0, "time-limit", "MINUTES", "follow a tune for at most this long (default 20)", setTimeLimit},
    {0, "tags", "FILE",
     "per-module texts from a CSV file (columns module, name,\n"
     "author, date; modules relative to the file's folder)",
     setPath<&Options::tags>},
    {0, "keep-tags", nullptr, "keep the texts of the SAP file being replaced", setFlag<&Options::keepTags>},
    {0, "standard-header", nullptr,
     "write AUTHOR, NAME and DATE as the SAP format documents\n"
     "them: \"X\", <?> when unknown, printable ASCII",
     setFlag<&Options::standardHeader>},
    {0, "audio", "FORMATS",
     "also write each tune as audio beside its SAP file, under its\n"
     "name: any of wav, flac, ogg, opus, mp3, separated by commas",
     setAudio},
    {0, "fade", "SECONDS",
     "the audio of a looping tune fades out over this long after its\n"
     "TIME (default 10); a tune that ends stops at its TIME",
     setFade},
    {0, "length", "M:SS", "every tune's audio plays this long, then fades", setLength},
    {'h', "help", nullptr, "show this help and exit", showUsage},
    {0, "version", nullptr, "show the version and exit", showVersion},
};

// The usage text: each option's names and value, then its help from this column on
constexpr std::size_t kHelpColumn = 22;

Status showUsage(const char*, Options&, Texts&)
{
    std::string text = "Usage: orvex-convert [OPTIONS] MODULE...\n"
                       "       orvex-convert [OPTIONS] -r FOLDER...\n"
                       "Converts Atari tracker modules (.CMC, .MPT, .MD1, .TMC, .TM8, .COM) into SAP files.\n\n";
    for (const OptionDefinition& d : kOptions) {
        std::string line = d.letter ? std::string("  -") + d.letter + ", --" + d.name : std::string("      --") + d.name;
        line += d.value ? std::string(" ") + d.value : "";
        line.resize(std::max(line.size() + 2, kHelpColumn), ' ');
        for (const char* c = d.help; *c; ++c)
            line += *c == '\n' ? "\n" + std::string(kHelpColumn, ' ') : std::string(1, *c);
        text += line + "\n";
    }
    return printOut(text + "\n"
                           "Each text comes from --tags, else -n/-a/-d, else --keep-tags; without one it is\n"
                           "written as 'Unknown' (name, author) and '<?>' (date).\n"
                           "Exit status: 0 all converted, 1 any conversion or check failed, 2 usage error.\n");
}

// The options as getopt_long reads them: the letters of the short ones, and the long
// ones, each with 256 + its place in kOptions.
struct GetoptTable {
    std::string letters = ":";  // ':' first: an option that lacks its value is told apart
    std::vector<option> longs;
};

const GetoptTable& getoptTable()
{
    static const GetoptTable table = [] {
        GetoptTable made;
        for (std::size_t k = 0; k < std::size(kOptions); ++k) {
            const OptionDefinition& d = kOptions[k];
            if (d.letter)
                made.letters += std::string(1, d.letter) + (d.value ? ":" : "");
            made.longs.push_back({d.name, d.value ? required_argument : no_argument, nullptr, 256 + static_cast<int>(k)});
        }
        made.longs.push_back({nullptr, 0, nullptr, 0});
        return made;
    }();
    return table;
}

// What getopt_long refused in `given`: an option that lacks its value (`lacksValue`),
// a long one given a value it does not take, or an unknown one.
std::string refusal(bool lacksValue, std::string_view given)
{
    if (optopt >= 256)
        return "Option " + shown(std::string("--") + kOptions[optopt - 256].name)
               + (lacksValue ? " needs a value." : " takes no value.");
    if (optopt == 0)
        return "Unknown option " + shown(std::string(given.substr(0, given.find('=')))) + ".";
    const std::string named = shown(std::string("-") + static_cast<char>(optopt));
    return lacksValue ? "Option " + named + " needs a value." : "Unknown option " + named + ".";
}

// The options, up to the first argument that is not one; a status when the run ends here.
Status readOptions(int argc, char** argv, Options& o, Texts& given)
{
    const GetoptTable& table = getoptTable();
    opterr = 0;
    int got;
    while ((got = getopt_long(argc, argv, table.letters.c_str(), table.longs.data(), nullptr)) != -1) {
        if (got == ':' || got == '?')
            return usageError(refusal(got == ':', argv[optind - 1]));
        const OptionDefinition* d = got >= 256 ? &kOptions[got - 256] : nullptr;
        for (const OptionDefinition& each : kOptions)
            d = each.letter == got ? &each : d;
        if (const Status status = d->take(optarg, o, given))
            return status;
    }
    return std::nullopt;
}

// The texts of -n, -a and -d in the header's form; what that changes is said once.
Status encodeTexts(const Texts& given, Options& o)
{
    for (int f = kName; f <= kDate; ++f) {
        std::vector<std::string> warnings;
        const std::string refused = encode(given[f], static_cast<Field>(f), o.standardHeader, "", o.texts[f], warnings);
        if (!refused.empty())
            return usageError(static_cast<char>(std::toupper(static_cast<unsigned char>(refused[0]))) + refused.substr(1) + ".");
        for (const std::string& warning : warnings)
            std::fprintf(stderr, "orvex-convert: %s\n", warning.c_str());
        o.textWarnings += static_cast<int>(warnings.size());
    }
    return std::nullopt;
}

// Whether two paths name the same file, symbolic links followed
bool sameFile(const std::string& a, const std::string& b)
{
    struct stat first {}, second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev
           && first.st_ino == second.st_ino;
}

// What the options and arguments ask must make sense together.
Status checkArguments(int argc, char** argv, Options& o)
{
    if (o.tags && o.tags->empty())
        return usageError("The tags file's path is empty.");
    o.arguments.assign(argv + optind, argv + argc);
    if (o.arguments.empty())
        return usageError(o.recursive ? "No FOLDER given." : "No MODULE given.");
    if (o.output && o.output->empty())
        return usageError("The output path is empty.");
    if (o.audio.empty() && (o.audioLength.seconds || o.audioLength.fadeSeconds != orvex::audio::kDefaultFadeSeconds))
        return usageError("The options --fade and --length are for the audio files of --audio.");
    if (!o.audio.empty() && o.output == "-")
        return usageError("The option --audio writes files beside the SAP file; it cannot go with -o -.");
    if (!o.batch()) {
        const bool digi = orvex::equalsIgnoringCase(orvex::extensionOf(o.arguments[0]), "md1");
        if (digi && !o.samples)
            return usageError("An .MD1 module needs its .D15 digi-sample file: give it with -s PATH.");
        if (!digi && o.samples)
            return usageError("The option -s is only for .MD1 modules.");
        const std::string target = o.output.value_or(orvex::derivedSapPath(o.arguments[0]));
        for (const orvex::audio::Format format : o.audio) {
            if (audioPathOf(target, format) == target)
                return usageError("The SAP file " + orvex::quoted(target) + " would be its own "
                                  + orvex::audio::formatInfo(format).title + " file; give it another name.");
        }
        if (o.tags && target != "-" && sameFile(*o.tags, target))
            return usageError("The SAP file " + orvex::quoted(target) + " is the tags file " + orvex::quoted(*o.tags)
                              + " that this run reads; it is left as it is.");
        return std::nullopt;
    }
    if (o.samples)
        return usageError("The option -s is for one module only; in a batch each .MD1 takes the .D15 file beside it.");
    std::error_code error;
    if (o.output && !std::filesystem::is_directory(*o.output, error))
        return usageError("With several modules, -o names the folder for the SAP files; " + shown(*o.output)
                          + " is not an existing folder.");
    for (const std::string& argument : o.arguments) {
        // A folder that cannot be looked at is named with its reason when it is read.
        struct stat info {};
        const bool missing = ::stat(argument.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR);
        if (o.recursive && (missing || (info.st_mode != 0 && !S_ISDIR(info.st_mode))))
            return usageError("The option -r takes folders; " + shown(argument) + " is not one.");
    }
    return std::nullopt;
}

} // namespace

std::string audioPathOf(const std::string& sapFile, orvex::audio::Format format)
{
    const std::size_t slash = sapFile.rfind('/'), dot = sapFile.rfind('.');
    const bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (extension ? sapFile.substr(0, dot) : sapFile) + "." + orvex::audio::formatInfo(format).name;
}

std::optional<int> parse(int argc, char** argv, Options& o)
{
    o.players = orvex::defaultPlayerFolders();
    o.jobs = std::max(1u, std::thread::hardware_concurrency());
    Texts given;  // UTF-8
    if (const auto status = readOptions(argc, argv, o, given))
        return status;
    if (const std::string problem = orvex::textConversionProblem(o.standardHeader); !problem.empty()) {
        std::fprintf(stderr, "orvex-convert: The texts cannot be converted: %s.\n", problem.c_str());
        return 1;
    }
    if (const auto status = encodeTexts(given, o))
        return status;
    o.given = given;
    return checkArguments(argc, argv, o);
}

} // namespace cli
