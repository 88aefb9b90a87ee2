// orvex-convert: the program's conversion for batch use. It runs the same load and
// save commands as the window, with the dialogs answered from the command line.

#include "conversion.h"
#include "plain_window.h"
#include "text8.h"

#include <getopt.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

namespace {

const char* const kUsage =
    "Usage: orvex-convert [OPTIONS] MODULE\n"
    "Converts an Atari tracker module (.CMC, .MPT, .MD1, .TMC, .TM8, .COM) into a SAP file.\n"
    "\n"
    "  -o, --output PATH   SAP file to write (default: MODULE's path with its last four\n"
    "                      characters replaced by \".SAP\", as \"Save SAP file\" derives it);\n"
    "                      - writes it to standard output\n"
    "  -n, --name TEXT     tune name\n"
    "  -a, --author TEXT   author\n"
    "  -d, --date TEXT     date\n"
    "  -s, --samples PATH  the .D15 digi-sample file of an .MD1 module\n"
    "  -p, --players DIR   folder holding cmc_0500.plr, mpt_0500.plr and tmc_0500.plr\n"
    "                      (default: the program's player folder)\n"
    "  -h, --help          show this help and exit\n"
    "      --version       show the version and exit\n"
    "\n"
    "Empty or absent texts are written as 'Unknown' (name, author) and '<?>' (date).\n"
    "Exit status: 0 the file was written, 1 conversion error, 2 usage error.\n";

// The window's messages go to standard error, one line each.
class ConsoleWindow : public orvex::PlainWindow {
public:
    void showAdrConflict() override
    {
        PlainWindow::showAdrConflict();
        std::fprintf(stderr, "orvex-convert: warning: %s\n", orvex::kAdrConflictText);
    }
    void showError(const std::string& message) override
    {
        PlainWindow::showError(message);
        std::fprintf(stderr, "orvex-convert: %s\n", message.c_str());
    }
};

int usageError(const std::string& message)
{
    std::fprintf(stderr, "orvex-convert: %s\nTry 'orvex-convert --help' for more information.\n", message.c_str());
    return 2;
}

// An argument as messages show it: in single quotes, control characters escaped.
std::string shown(const std::string& argument)
{
    const std::string text = orvex::quoted(argument);
    return "'" + text.substr(1, text.size() - 2) + "'";
}

// What the program writes to standard output: status 1 when it cannot be written.
int printOut(const char* text)
{
    if (std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0)
        return 0;
    std::fprintf(stderr, "orvex-convert: cannot write to standard output: %s\n", std::strerror(errno));
    return 1;
}

// TERM, INT or HUP: the SAP file being written is given up, the target stays as it was.
extern "C" void stop(int signal)
{
    orvex::SapOutput::removeTemporaryFiles();
    std::_Exit(128 + signal);
}

// The 8-bit form of a text option; false for text that is not UTF-8.
bool takeText(const char* field, const char* text, std::string& into)
{
    if (!orvex::isValidUtf8(text))
        return false;
    std::u32string missing;
    into = orvex::utf8ToWindows1250(text, &missing);
    if (!missing.empty()) {
        std::string named;
        for (const char32_t point : missing)
            named += (named.empty() ? "" : ", ") + orvex::describeCharacter(point);
        std::fprintf(stderr, "orvex-convert: warning: the %s's %s %s %s no Windows-1250 form and %s written as '?'\n", field,
                     missing.size() == 1 ? "character" : "characters", named.c_str(),
                     missing.size() == 1 ? "has" : "have", missing.size() == 1 ? "is" : "are");
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    enum { kVersion = 1000 };
    static const option options[] = {
        {"output", required_argument, nullptr, 'o'}, {"name", required_argument, nullptr, 'n'},
        {"author", required_argument, nullptr, 'a'}, {"date", required_argument, nullptr, 'd'},
        {"samples", required_argument, nullptr, 's'}, {"players", required_argument, nullptr, 'p'},
        {"help", no_argument, nullptr, 'h'},          {"version", no_argument, nullptr, kVersion},
        {nullptr, 0, nullptr, 0},
    };

    auto window = std::make_unique<ConsoleWindow>();
    std::optional<std::string> output, samples;
    std::string players = orvex::defaultPlayerFolder();

    opterr = 0;
    int option;
    while ((option = getopt_long(argc, argv, ":o:n:a:d:s:p:h", options, nullptr)) != -1) {
        const char* field = option == 'n' ? "name" : option == 'a' ? "author" : "date";
        switch (option) {
        case 'o': output = optarg; break;
        case 'n':
        case 'a':
        case 'd':
            if (!takeText(field, optarg, option == 'n' ? window->name : option == 'a' ? window->author : window->date))
                return usageError(std::string("the ") + field + " is not valid UTF-8");
            break;
        case 's': samples = optarg; break;
        case 'p': players = optarg; break;
        case 'h': return printOut(kUsage);
        case kVersion: return printOut("orvex-convert " ORVEX_VERSION "\n");
        default: {
            // The option as given: a short one by its letter, a long one by its word
            const std::string named = optopt ? std::string("-") + static_cast<char>(optopt) : argv[optind - 1];
            return usageError(option == ':' ? "option " + shown(named) + " needs a value" : "unknown option " + shown(named));
        }
        }
    }
    if (optind == argc)
        return usageError("no MODULE given");
    if (argc - optind > 1)
        return usageError("one MODULE at a time; unexpected " + shown(argv[optind + 1]));

    const std::string module = argv[optind];
    const bool digi = orvex::equalsIgnoringCase(orvex::extensionOf(module), "md1");
    if (digi && !samples)
        return usageError("an .MD1 module needs its .D15 digi-sample file: give it with -s PATH");
    if (!digi && samples)
        return usageError("-s is only for .MD1 modules");
    if (output && output->empty())
        return usageError("the output path is empty");

    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        std::signal(signal, stop);

    // One conversion, as the window runs it: load, then save.
    auto state = std::make_unique<orvex::ConversionState>();
    state->sapFile.setStandardOutput(output && *output == "-");
    orvex::Converter converter(*state, *window, players);
    window->moduleAnswer = module;
    window->sampleAnswer = samples;
    converter.LoadAtariMSX();
    if (!window->errors.empty() || state->moduleLoaded != 1)
        return 1;
    if (output) {
        window->saveAnswer = *output;
        converter.SaveSAPfileas();
    } else {
        converter.SaveSAPfile();
    }
    return (window->errors.empty() && state->moduleLoaded == 0) ? 0 : 1;
}
