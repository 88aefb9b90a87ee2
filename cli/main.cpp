// orvex-convert: the program's conversion for batch use. It runs the same load and
// save commands as the window, with the dialogs answered from the command line.

#include "check.h"
#include "conversion.h"
#include "jobs.h"
#include "plain_window.h"
#include "text8.h"

#include <getopt.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

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
    "  -h, --help          show this help and exit\n"
    "      --version       show the version and exit\n"
    "\n"
    "Empty or absent texts are written as 'Unknown' (name, author) and '<?>' (date).\n"
    "Exit status: 0 all converted, 1 any conversion or check failed, 2 usage error.\n";

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
bool takeText(const char* field, const char* text, std::string& into, int& warnings)
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
        ++warnings;
    }
    return true;
}

// The messages of one conversion, one line each, kept to be written together.
class Messages : public orvex::PlainWindow {
public:
    std::vector<std::string> lines;
    int warnings = 0;
    void showAdrConflict() override
    {
        lines.push_back(std::string("warning: ") + orvex::kAdrConflictText);
        ++warnings;
    }
    void showError(const std::string& message) override
    {
        PlainWindow::showError(message);
        lines.push_back(message);
    }
};

struct Texts {
    std::string name, author, date;
};

enum class Result { Converted, Failed, NotChecked };

// One conversion, as the window runs it: load, then save (as the job's target, or
// beside the module), then, when asked, the playback check.
Result convert(const cli::Job& job, const Texts& texts, const std::vector<std::string>& players,
               const orvex::PlayerCache* cache,
               bool besideModule, bool check, Messages& messages, std::vector<orvex::PendingFile>& written)
{
    if (!job.refusal.empty()) {
        if (!job.silent)
            messages.lines.push_back(job.refusal);
        return Result::Failed;
    }
    auto state = std::make_unique<orvex::ConversionState>();
    state->sapFile.setStandardOutput(job.target == "-");
    state->sapFile.setDeferred(cache != nullptr);  // a batch puts its files in place together, at its end
    messages.name = texts.name;
    messages.author = texts.author;
    messages.date = texts.date;
    orvex::Converter converter(*state, messages, players);
    converter.setPlayerCache(cache);
    messages.moduleAnswer = job.module;
    messages.sampleAnswer = job.samples;
    converter.LoadAtariMSX();
    if (!messages.errors.empty() || state->moduleLoaded != 1)
        return Result::Failed;
    messages.saveAnswer = job.target;
    std::error_code error;  // the folders that mirror the tree below the folder converted
    const std::filesystem::path folder = std::filesystem::path(job.target).parent_path();
    if (job.makeFolder && !std::filesystem::is_directory(folder, error)
        && !std::filesystem::create_directories(folder, error) && error) {
        messages.lines.push_back("Cannot make the folder for the SAP file " + orvex::quoted(job.target) + ": "
                                 + error.message() + ".");
        return Result::Failed;
    }
    if (besideModule)
        converter.SaveSAPfile();
    else
        converter.SaveSAPfileas();
    if (!messages.errors.empty() || state->moduleLoaded != 0)
        return Result::Failed;
    if (cache)
        written.push_back(state->sapFile.takePending());
    if (!check)
        return Result::Converted;
    const std::string shownAs = job.target == "-" ? "standard output" : orvex::quoted(state->sapPath);
    if (orvex::FormatTable[state->formatIndex].type == 'D') {
        messages.lines.push_back("The SAP file " + shownAs + ": not checked: libgme does not play TYPE D.");
        return Result::NotChecked;
    }
    const std::string problem = cli::playbackProblem(state->sapFile.contents());
    if (problem.empty())
        return Result::Converted;
    messages.lines.push_back("check: the SAP file " + shownAs + " " + problem + ".");
    return Result::Failed;
}

// Writes lines on standard error, with a progress line below them on a terminal.
class Console {
public:
    explicit Console(std::size_t total) : total_(total), progress_(::isatty(STDERR_FILENO) && total > 1) {}
    // The progress line goes; what follows is written below the last message.
    void finish()
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        clearProgress();
        progress_ = false;
    }
    void report(const Messages& messages, const std::string& module, bool done)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        clearProgress();
        for (const std::string& line : messages.lines)
            std::fprintf(stderr, "orvex-convert: %s\n", line.c_str());
        done_ += done ? 1 : 0;
        if (progress_) {
            std::fprintf(stderr, "[%zu/%zu] %s", done_, total_, orvex::quoted(module).c_str());
            shown_ = true;
        }
        std::fflush(stderr);
    }

private:
    void clearProgress()
    {
        if (shown_)
            std::fputs("\r\033[K", stderr);
        shown_ = false;
    }
    std::mutex mutex_;
    std::size_t total_, done_ = 0;
    bool progress_, shown_ = false;
};

} // namespace

int main(int argc, char** argv)
{
    enum { kVersion = 1000, kCheck };
    static const option options[] = {
        {"output", required_argument, nullptr, 'o'}, {"name", required_argument, nullptr, 'n'},
        {"author", required_argument, nullptr, 'a'}, {"date", required_argument, nullptr, 'd'},
        {"samples", required_argument, nullptr, 's'}, {"players", required_argument, nullptr, 'p'},
        {"recursive", no_argument, nullptr, 'r'},     {"jobs", required_argument, nullptr, 'j'},
        {"check", no_argument, nullptr, kCheck},      {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, kVersion},  {nullptr, 0, nullptr, 0},
    };

    Texts texts;
    std::optional<std::string> output, samples;
    std::vector<std::string> players = orvex::defaultPlayerFolders();
    bool recursive = false, check = false;
    unsigned jobsAtOnce = std::max(1u, std::thread::hardware_concurrency());
    int warnings = 0;

    opterr = 0;
    int option;
    while ((option = getopt_long(argc, argv, ":o:n:a:d:s:p:rj:h", options, nullptr)) != -1) {
        const char* field = option == 'n' ? "name" : option == 'a' ? "author" : "date";
        switch (option) {
        case 'o': output = optarg; break;
        case 'n':
        case 'a':
        case 'd':
            if (!takeText(field, optarg, option == 'n' ? texts.name : option == 'a' ? texts.author : texts.date, warnings))
                return usageError(std::string("the ") + field + " is not valid UTF-8");
            break;
        case 's': samples = optarg; break;
        case 'p': players = {optarg}; break;
        case 'r': recursive = true; break;
        case 'j': {
            char* end = nullptr;
            const long count = std::strtol(optarg, &end, 10);
            if (*optarg == '\0' || *end != '\0' || count < 1 || count > 64)
                return usageError("-j takes a number of conversions from 1 to 64, not " + shown(optarg));
            jobsAtOnce = static_cast<unsigned>(count);
            break;
        }
        case kCheck: check = true; break;
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
        return usageError(recursive ? "no FOLDER given" : "no MODULE given");
    if (output && output->empty())
        return usageError("the output path is empty");
    const std::vector<std::string> arguments(argv + optind, argv + argc);
    const bool batch = recursive || arguments.size() > 1;

    std::vector<cli::Job> jobs;
    std::vector<std::string> problems;
    if (!batch) {
        const bool digi = orvex::equalsIgnoringCase(orvex::extensionOf(arguments[0]), "md1");
        if (digi && !samples)
            return usageError("an .MD1 module needs its .D15 digi-sample file: give it with -s PATH");
        if (!digi && samples)
            return usageError("-s is only for .MD1 modules");
        jobs.push_back({arguments[0], samples, output.value_or(""), "", false});
    } else {
        if (samples)
            return usageError("-s is for one module only; in a batch each .MD1 takes the .D15 file beside it");
        std::error_code error;
        if (output && !std::filesystem::is_directory(*output, error))
            return usageError("with several modules, -o names the folder for the SAP files; " + shown(*output)
                              + " is not an existing folder");
        std::vector<std::pair<std::string, std::string>> modules;
        for (const std::string& argument : arguments) {
            if (recursive && !std::filesystem::is_directory(argument, error))
                return usageError("-r takes folders; " + shown(argument) + " is not one");
            if (!recursive)
                modules.emplace_back("", argument);
        }
        if (recursive)
            modules = cli::modulesBelow(arguments, problems);
        jobs = cli::plan(modules, output);
    }

    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        std::signal(signal, stop);

    // The conversions, several at once, each with a state of its own; the player files
    // are read once.
    const orvex::PlayerCache cache(players);
    Console console(jobs.size());
    std::atomic<std::size_t> next = 0, converted = 0, failed = problems.size(), notChecked = 0;
    std::atomic<int> adrWarnings = 0;
    std::vector<orvex::PendingFile> written;  // by a batch, put in place at its end
    std::vector<Result> writtenAs;            // what each conversion counted as
    std::mutex writtenMutex;
    for (const std::string& problem : problems)
        std::fprintf(stderr, "orvex-convert: %s\n", problem.c_str());
    auto work = [&] {
        for (std::size_t i; (i = next++) < jobs.size();) {
            Messages messages;
            std::vector<orvex::PendingFile> pending;
            const Result result = convert(jobs[i], texts, players, batch ? &cache : nullptr, !output,
                                          check, messages, pending);
            if (!pending.empty()) {
                const std::lock_guard<std::mutex> lock(writtenMutex);
                written.push_back(std::move(pending.front()));
                writtenAs.push_back(result);
            }
            (result == Result::Failed ? failed : converted)++;
            notChecked += result == Result::NotChecked ? 1 : 0;
            adrWarnings += messages.warnings;
            console.report(messages, jobs[i].module, true);
        }
    };
    std::vector<std::thread> workers;
    for (unsigned k = 1; k < std::min<std::size_t>(jobsAtOnce, jobs.size()); ++k)
        workers.emplace_back(work);
    work();
    for (std::thread& worker : workers)
        worker.join();
    console.finish();
    const std::vector<std::string> placed = orvex::SapOutput::placeAll(written);
    for (std::size_t i = 0; i < placed.size(); ++i) {
        if (placed[i].empty())
            continue;
        std::fprintf(stderr, "orvex-convert: %s\n", placed[i].c_str());
        if (writtenAs[i] != Result::Failed) {  // a file that failed its check is counted already
            --converted;
            ++failed;
            notChecked -= writtenAs[i] == Result::NotChecked ? 1 : 0;
        }
    }

    if (batch) {
        std::string summary = std::to_string(converted.load()) + " converted, " + std::to_string(failed.load()) + " failed";
        if (warnings + adrWarnings > 0)
            summary += ", " + std::to_string(warnings + adrWarnings) + " warnings";
        if (check)
            summary += ", " + std::to_string(converted - notChecked) + " checked, " + std::to_string(notChecked.load())
                       + " not checked";
        std::fprintf(stderr, "orvex-convert: %s\n", summary.c_str());
    }
    return failed > 0 ? 1 : 0;
}
