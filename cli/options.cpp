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
#include <string_view>
#include <thread>
#include <type_traits>

namespace cli {

namespace {

const char* const kUsage =
    "Usage: orvex-convert [OPTIONS] MODULE...\n"
    "       orvex-convert [OPTIONS] -r FOLDER...\n"
    "Converts Atari tracker modules (.CMC, .MPT, .MD1, .TMC, .TM8, .COM) into SAP files.\n"
    "\n"
    "  -o, --output PATH   SAP file to write (default: MODULE's path with its last four\n"
    "                      characters replaced by \".SAP\", as \"Save SAP file\" derives it);\n"
    "                      - writes it to standard output. With several modules or -r: an\n"
    "                      existing folder that takes the SAP files\n"
    "  -n, --name TEXT     tune name\n"
    "  -a, --author TEXT   author\n"
    "  -d, --date TEXT     date\n"
    "  -s, --samples PATH  the .D15 digi-sample file of an .MD1 module (one module only;\n"
    "                      else each .MD1 takes the .D15 file beside it with its name)\n"
    "  -p, --players DIR   folder holding cmc_0500.plr, mpt_0500.plr and tmc_0500.plr\n"
    "                      (default: ~/.local/share/orvex/players, then the program's\n"
    "                      player folder, <prefix>/share/orvex/players)\n"
    "  -r, --recursive     convert every module under the folders (by extension, any case)\n"
    "  -j, --jobs N        conversions at once (default: the number of cores)\n"
    "      --check         play each SAP written and report those that stay silent\n"
    "      --time          find each tune's length by running it and write it as TIME\n"
    "      --time-limit MINUTES  follow a tune for at most this long (default 20)\n"
    "      --tags FILE     per-module texts from a CSV file (columns module, name,\n"
    "                      author, date; modules relative to the file's folder)\n"
    "      --keep-tags     keep the texts of the SAP file being replaced\n"
    "      --standard-header  write AUTHOR, NAME and DATE as the SAP format documents\n"
    "                      them: \"X\", <?> when unknown, printable ASCII\n"
    "  -h, --help          show this help and exit\n"
    "      --version       show the version and exit\n"
    "\n"
    "Each text comes from --tags, else -n/-a/-d, else --keep-tags; without one it is\n"
    "written as 'Unknown' (name, author) and '<?>' (date).\n"
    "Exit status: 0 all converted, 1 any conversion or check failed, 2 usage error.\n";

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
int printOut(const char* text)
{
    if (std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0)
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

// The option that lacks its value or is unknown: a short one by its letter, a long one
// by its name. `given` is the argument that holds it, when it lacks its value.
std::string optionNamed(bool lacksValue, std::string_view given, const option* options)
{
    for (const option* o = options; lacksValue && given.starts_with("--") && o->name; ++o) {
        if (o->val == optopt)
            return std::string("--") + o->name;
    }
    if (optopt != 0)
        return std::string("-") + static_cast<char>(optopt);
    return std::string(given.substr(0, given.find('=')));
}

// The options, up to the first argument that is not one; a status when the run ends here.
std::optional<int> readOptions(int argc, char** argv, Options& o, Texts& given)
{
    enum { kVersion = 1000, kCheck, kTags, kKeepTags, kStandardHeader, kTime, kTimeLimit };
    static const option options[] = {
        {"output", required_argument, nullptr, 'o'}, {"name", required_argument, nullptr, 'n'},
        {"author", required_argument, nullptr, 'a'}, {"date", required_argument, nullptr, 'd'},
        {"samples", required_argument, nullptr, 's'}, {"players", required_argument, nullptr, 'p'},
        {"recursive", no_argument, nullptr, 'r'},     {"jobs", required_argument, nullptr, 'j'},
        {"check", no_argument, nullptr, kCheck},      {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, kVersion},  {"tags", required_argument, nullptr, kTags},
        {"keep-tags", no_argument, nullptr, kKeepTags}, {"standard-header", no_argument, nullptr, kStandardHeader},
        {"time", no_argument, nullptr, kTime},        {"time-limit", required_argument, nullptr, kTimeLimit},
        {nullptr, 0, nullptr, 0},
    };
    opterr = 0;
    int option;
    while ((option = getopt_long(argc, argv, ":o:n:a:d:s:p:rj:h", options, nullptr)) != -1) {
        const char* field = option == 'n' ? "name" : option == 'a' ? "author" : "date";
        switch (option) {
        case 'o': o.output = optarg; break;
        case 'n':
        case 'a':
        case 'd':
            if (!orvex::isValidUtf8(optarg))
                return usageError(std::string("The ") + field + " is not valid UTF-8.");
            given[option == 'n' ? kName : option == 'a' ? kAuthor : kDate] = optarg;
            break;
        case 's': o.samples = optarg; break;
        case 'p': o.players = {optarg}; break;
        case 'r': o.recursive = true; break;
        case 'j':
            if (!numberIn(optarg, 1u, 64u, o.jobs))
                return usageError("The option -j takes a number of conversions from 1 to 64, not " + shown(optarg) + ".");
            break;
        case kCheck: o.check = true; break;
        case kTags: o.tags = optarg; break;
        case kKeepTags: o.keepTags = true; break;
        case kStandardHeader: o.standardHeader = true; break;
        case kTime: o.time = true; break;
        case kTimeLimit:
            if (!numberIn(optarg, 0.0, 600.0, o.timeLimit) || o.timeLimit == 0)
                return usageError("The option --time-limit takes minutes, a decimal number more than 0 and at most 600, not "
                                  + shown(optarg) + ".");
            break;
        case 'h': return printOut(kUsage);
        case kVersion: return printOut("orvex-convert " ORVEX_VERSION "\n");
        default: {
            const std::string named = shown(optionNamed(option == ':', argv[optind - 1], options));
            return usageError(option == ':' ? "Option " + named + " needs a value." : "Unknown option " + named + ".");
        }
        }
    }
    return std::nullopt;
}

// The texts of -n, -a and -d in the header's form; what that changes is said once.
std::optional<int> encodeTexts(const Texts& given, Options& o)
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
std::optional<int> checkArguments(int argc, char** argv, Options& o)
{
    if (o.tags && o.tags->empty())
        return usageError("The tags file's path is empty.");
    o.arguments.assign(argv + optind, argv + argc);
    if (o.arguments.empty())
        return usageError(o.recursive ? "No FOLDER given." : "No MODULE given.");
    if (o.output && o.output->empty())
        return usageError("The output path is empty.");
    if (!o.batch()) {
        const bool digi = orvex::equalsIgnoringCase(orvex::extensionOf(o.arguments[0]), "md1");
        if (digi && !o.samples)
            return usageError("An .MD1 module needs its .D15 digi-sample file: give it with -s PATH.");
        if (!digi && o.samples)
            return usageError("The option -s is only for .MD1 modules.");
        const std::string target = o.output.value_or(orvex::derivedSapPath(o.arguments[0]));
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

std::optional<int> parse(int argc, char** argv, Options& o)
{
    o.players = orvex::defaultPlayerFolders();
    o.jobs = std::max(1u, std::thread::hardware_concurrency());
    Texts given;  // UTF-8
    if (const auto status = readOptions(argc, argv, o, given))
        return status;
    if (const auto status = encodeTexts(given, o))
        return status;
    return checkArguments(argc, argv, o);
}

} // namespace cli
