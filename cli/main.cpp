// orvex-convert: the program's conversion for batch use. It runs the same load and
// save commands as the window, with the dialogs answered from the command line.

#include "conversion.h"
#include "plain_window.h"
#include "text8.h"

#include <getopt.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace {

const char* const kUsage =
    "Usage: orvex-convert [OPTIONS] MODULE\n"
    "Converts an Atari tracker module (.CMC, .MPT, .MD1, .TMC, .TM8, .COM) into a SAP file.\n"
    "\n"
    "  -o, --output PATH   SAP file to write (default: MODULE's path with its last four\n"
    "                      characters replaced by \".SAP\", as \"Save SAP file\" derives it)\n"
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
        switch (option) {
        case 'o': output = optarg; break;
        case 'n': window->name = orvex::utf8ToWindows1250(optarg); break;
        case 'a': window->author = orvex::utf8ToWindows1250(optarg); break;
        case 'd': window->date = orvex::utf8ToWindows1250(optarg); break;
        case 's': samples = optarg; break;
        case 'p': players = optarg; break;
        case 'h': std::fputs(kUsage, stdout); return 0;
        case kVersion: std::puts("orvex-convert " ORVEX_VERSION); return 0;
        case ':': return usageError(std::string("option '") + argv[optind - 1] + "' needs a value");
        default: return usageError(std::string("unknown option '") + argv[optind - 1] + "'");
        }
    }
    if (optind == argc)
        return usageError("no MODULE given");
    if (argc - optind > 1)
        return usageError(std::string("one MODULE at a time; unexpected '") + argv[optind + 1] + "'");

    const std::string module = argv[optind];
    const bool digi = orvex::equalsIgnoringCase(orvex::extensionOf(module), "md1");
    if (digi && !samples)
        return usageError("an .MD1 module needs its .D15 digi-sample file: give it with -s PATH");
    if (!digi && samples)
        return usageError("-s is only for .MD1 modules");
    if (output && output->empty())
        return usageError("the output path is empty");

    // One conversion, as the window runs it: load, then save.
    auto state = std::make_unique<orvex::ConversionState>();
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
