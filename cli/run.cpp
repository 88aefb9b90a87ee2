#include "run.h"

#include "check.h"
#include "console.h"
#include "conversion.h"
#include "paths.h"
#include "plain_window.h"
#include "safe_file.h"
#include "tune_length.h"

#include <malloc.h>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <new>
#include <set>
#include <string_view>

namespace cli {

namespace {

// Wakes the main thread when a worker ends or the run must stop; blocked everywhere, so
// that it is only ever taken by the main thread's wait.
constexpr int kWake = SIGUSR1;

// The messages of one conversion, one line each, written together.
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

enum class Result { Converted, Failed, NotChecked, Skipped };

extern "C" void* threadBody(void* body)
{
    (*static_cast<const std::function<void()>*>(body))();
    return nullptr;
}

// Starts up to `count` threads that run `body`; returns them, and in `error` why one
// could not start. The stacks are small: the conversions' data is on the heap, and under
// a limit on the address space (ulimit -v) every byte counts.
std::vector<pthread_t> start(std::size_t count, const std::function<void()>& body, int& error)
{
    pthread_attr_t small;
    ::pthread_attr_init(&small);
    ::pthread_attr_setstacksize(&small, 256 * 1024);
    std::vector<pthread_t> threads;
    threads.reserve(count);
    while (threads.size() < count) {
        pthread_t thread;
        if (const int failed = ::pthread_create(&thread, &small, threadBody, const_cast<std::function<void()>*>(&body))) {
            error = failed;
            break;
        }
        threads.push_back(thread);
    }
    ::pthread_attr_destroy(&small);
    return threads;
}

// The folders that received SAP files or new folders: each is flushed once, at the end.
class Folders {
public:
    void add(const std::string& folder)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        folders_.insert(folder);
    }
    // Flushes the folders, `atOnce` at a time; returns the messages of those that fail.
    std::vector<std::string> flush(unsigned atOnce)
    {
        const std::vector<std::string> folders(folders_.begin(), folders_.end());
        std::vector<int> errors(folders.size());
        std::atomic<std::size_t> next = 0;
        const std::function<void()> flushing = [&] {
            for (std::size_t i; (i = next++) < folders.size();)
                errors[i] = orvex::SafeFile::flushFolder(folders[i]);
        };
        // This thread flushes too; with fewer threads than asked, the flushes take longer.
        const std::size_t atOnceHere = std::min<std::size_t>(atOnce, folders.size());
        int error = 0;
        const std::vector<pthread_t> threads = start(atOnceHere > 1 ? atOnceHere - 1 : 0, flushing, error);
        flushing();
        for (const pthread_t thread : threads)
            ::pthread_join(thread, nullptr);
        std::vector<std::string> problems;
        for (std::size_t i = 0; i < folders.size(); ++i) {
            if (errors[i])
                problems.push_back("Cannot flush the folder " + orvex::quoted(folders[i]) + " to disk: "
                                   + std::strerror(errors[i]) + "; the SAP files put there may not survive a crash.");
        }
        return problems;
    }

private:
    std::mutex mutex_;
    std::set<std::string> folders_;
};

// A job done but for the placement of its SAP file: what is said and counted once the
// file is in place, or has failed to get there.
struct Done {
    std::string module;
    std::vector<std::string> lines;
    Result result = Result::Failed;
    int warnings = 0;
    bool timed = false;                        // it has a TIME line
    std::unique_ptr<orvex::WrittenFile> file;  // the SAP file to put in place
    // Out of memory: the line is said as before + module + after, without taking memory.
    const char* before = nullptr;
    const char* after = nullptr;
};

// The written files that wait for their placement: the conversions add them, the
// flushing threads take them. There is room for a few only.
class Waiting {
public:
    explicit Waiting(std::size_t room) : room_(room) {}
    void add(Done&& done)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        notFull_.wait(lock, [&] { return files_.size() < room_; });
        files_.push_back(std::move(done));
        notEmpty_.notify_one();
    }
    // False when there is none left to wait for.
    bool take(Done& done)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        notEmpty_.wait(lock, [&] { return !files_.empty() || closed_; });
        if (files_.empty())
            return false;
        done = std::move(files_.front());
        files_.pop_front();
        notFull_.notify_one();
        return true;
    }
    void close()
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        notEmpty_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable notFull_, notEmpty_;
    std::deque<Done> files_;
    std::size_t room_;
    bool closed_ = false;
};

// How many files are flushed at once in a batch: the file system commits flushes that
// wait together in one go, so more of them in flight cost little more than one.
constexpr unsigned kFlushesAtOnce = 16;

struct Shared {
    Shared(const Options& o, Plan& p, const Manifest* m)
        : options(o), plan(p), manifest(m), players(o.players), console(p.total()), waiting(kFlushesAtOnce)
    {
    }
    const Options& options;
    Plan& plan;
    const Manifest* manifest;
    const orvex::PlayerCache players;
    Console console;
    Folders folders;
    Waiting waiting;
    std::atomic<unsigned> converted = 0, failed = 0, skipped = 0, warnings = 0, notChecked = 0, timed = 0;
    std::atomic<unsigned> flushing = 0;                               // threads that place files
    std::atomic<unsigned> convertersDone = 0, flushersDone = 0;
    pthread_t main = ::pthread_self();
};

// Makes the folders that mirror the tree below the folder converted; they are flushed
// into their parents at the end.
bool makeFolder(const std::string& target, Messages& messages, Folders& folders)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path folder = fs::path(target).parent_path();
    static thread_local fs::path known;  // the jobs of a thread come a folder at a time
    if (folder == known || fs::is_directory(folder, error))
        return known = folder, true;
    fs::path missing = folder;
    while (!missing.parent_path().empty() && !fs::exists(missing.parent_path(), error))
        missing = missing.parent_path();
    if (!fs::create_directories(folder, error) && error) {
        messages.lines.push_back("Cannot make the folder for the SAP file " + orvex::quoted(target) + ": " + error.message()
                                 + ".");
        return false;
    }
    for (fs::path made = folder;; made = made.parent_path()) {
        folders.add(made.parent_path().empty() ? "." : made.parent_path().string());
        if (made == missing)
            return known = folder, true;
    }
}

// The module's texts, each from the first source that gives one: its row of the
// manifest, the options, the SAP file it replaces. Returns "" or why they cannot be
// written; the warnings go to the messages.
std::string chooseTexts(const Job& job, const orvex::InputFile& module, Shared& shared, Messages& messages)
{
    const Options& o = shared.options;
    const Manifest::Row* row = shared.manifest ? shared.manifest->find(module.device, module.inode) : nullptr;
    Texts kept;
    std::string keptFrom;
    if (o.keepTags && job.target != "-") {
        const std::string sap = job.target.empty() ? orvex::derivedSapPath(job.module) : job.target;
        keptFrom = "the SAP file " + orvex::quoted(sap) + ": ";
        if (const std::string problem = keptTexts(sap, kept); !problem.empty()) {
            messages.lines.push_back("warning: " + keptFrom + "no texts to keep: " + problem);
            ++messages.warnings;
        }
    }
    std::string* boxes[] = {&messages.name, &messages.author, &messages.date};
    std::vector<std::string> warnings;
    for (int f = kName; f <= kDate; ++f) {
        const auto field = static_cast<Field>(f);
        std::string refused;
        if (row && !row->texts[f].empty())
            refused = encode(row->texts[f], field, o.standardHeader, shared.manifest->source(*row) + ": ", *boxes[f], warnings);
        else if (!o.texts[f].empty())
            *boxes[f] = o.texts[f];
        else if (!kept[f].empty())
            refused = encode(kept[f], field, o.standardHeader, keptFrom, *boxes[f], warnings);
        else
            boxes[f]->clear();
        if (!refused.empty())
            return refused;
    }
    messages.lines.insert(messages.lines.end(), warnings.begin(), warnings.end());
    messages.warnings += static_cast<int>(warnings.size());
    return "";
}

// Why a tune has no TIME line: "not timed: TYPE D ...", "no TIME: no end or loop within
// 20 minutes", "no TIME: PLAYER does not return ...".
std::string whyNoTime(const orvex::sap::TuneLength& length, double minutes)
{
    using Kind = orvex::sap::TuneLength::Kind;
    if (length.kind == Kind::NotTimed)
        return length.problem;
    char limit[32];
    std::snprintf(limit, sizeof limit, minutes == 1 ? "%g minute" : "%g minutes", minutes);
    if (length.kind != Kind::Unknown)
        return "no TIME: " + length.problem;
    return length.problem.empty() ? std::string("no TIME: no end or loop within ") + limit
                                  : "no TIME: " + length.problem + " for " + limit;
}

// One conversion, as the window runs it: load, then save (as the job's target, or beside
// the module); then, when asked, the tune's length and the playback check.
Result convert(const Job& job, Shared& shared, Messages& messages, std::unique_ptr<orvex::WrittenFile>& written,
               bool& timed)
{
    const Options& o = shared.options;
    // A state for each thread, used again: every load starts it afresh.
    static thread_local auto state = std::make_unique<orvex::ConversionState>();
    state->sapFile.setStandardOutput(job.target == "-");
    state->sapFile.setPlaceLater(true);
    orvex::Converter converter(*state, messages, o.players);
    converter.setPlayerCache(&shared.players);
    converter.setHeaderStyle(o.standardHeader ? orvex::HeaderStyle::Standard : orvex::HeaderStyle::Apostrophes);
    messages.moduleAnswer = job.module;
    messages.sampleAnswer = job.samples;
    converter.LoadAtariMSX();
    if (!messages.errors.empty() || state->moduleLoaded != 1)
        return Result::Failed;
    if (const std::string refused = chooseTexts(job, state->inputs.front(), shared, messages); !refused.empty()) {
        messages.lines.push_back("Cannot convert the module " + orvex::quoted(job.module) + ": " + refused + ".");
        return Result::Failed;
    }
    if (job.makeFolder && !makeFolder(job.target, messages, shared.folders))
        return Result::Failed;
    messages.saveAnswer = job.target;
    if (job.target.empty())
        converter.SaveSAPfile();
    else
        converter.SaveSAPfileas();
    if (!messages.errors.empty() || state->moduleLoaded != 0)
        return Result::Failed;
    written = state->sapFile.takeWritten();
    const std::string shownAs = job.target == "-" ? "standard output" : orvex::quoted(state->sapPath);
    std::string file = state->sapFile.contents();
    double listen = 10;
    if (o.time) {
        const orvex::sap::TuneLength length = orvex::sap::findLength(file, o.timeLimit * 60);
        if (const std::string line = orvex::sap::timeLine(length); !line.empty()) {
            file.insert(file.size() - state->imageEnd, line);  // the header's last line
            if (written) {
                if (const std::string problem = written->rewrite(file); !problem.empty()) {
                    messages.lines.push_back(problem);
                    return Result::Failed;
                }
            }
            timed = true;
            if (length.kind == orvex::sap::TuneLength::Kind::Ends)
                listen = std::min(listen, length.seconds);
        } else {
            messages.lines.push_back("The SAP file " + shownAs + ": " + whyNoTime(length, o.timeLimit) + ".");
        }
    }
    if (job.target == "-") {
        if (const int error = orvex::writeAll(STDOUT_FILENO, file)) {
            messages.lines.push_back(std::string("Cannot write the SAP file to standard output: ") + std::strerror(error) + ".");
            return Result::Failed;
        }
    }
    if (!o.check)
        return Result::Converted;
    if (orvex::FormatTable[state->formatIndex].type == 'D') {
        messages.lines.push_back("The SAP file " + shownAs + ": not checked: libgme does not play TYPE D.");
        return Result::NotChecked;
    }
    const std::string problem = playbackProblem(file, listen);
    if (problem.empty())
        return Result::Converted;
    messages.lines.push_back("check: the SAP file " + shownAs + " " + problem + ".");
    return Result::Failed;
}

// One job as far as its file: converted (or refused, or skipped), not yet placed.
Done perform(Job& job, Shared& shared)
{
    Done done;
    try {
        if (job.outOfMemory) {
            done.before = "Cannot read the folder \"";
            done.after = "\": out of memory; modules in it or below it are left out.";
        } else if (job.kind != Job::Kind::Convert) {
            done.result = job.kind == Job::Kind::Skipped ? Result::Skipped : Result::Failed;
            if (!job.silent)
                done.lines.push_back(job.message);
        } else {
            Messages messages;
            done.result = convert(job, shared, messages, done.file, done.timed);
            done.lines = std::move(messages.lines);
            done.warnings = messages.warnings;
        }
    } catch (const std::bad_alloc&) {
        done = Done();
        done.before = "Cannot convert the module \"";
        done.after = "\": out of memory.";
    }
    done.module = std::move(job.module);
    return done;
}

// Puts the job's file in place, then says the job's lines and counts it, once. False
// when standard error cannot be written.
bool report(Done& done, Shared& shared)
{
    if (done.file) {
        try {
            const std::string problem = done.file->place();
            if (problem.empty()) {
                shared.folders.add(done.file->folder());
            } else {
                done.result = Result::Failed;
                done.lines.push_back(problem);
            }
        } catch (const std::bad_alloc&) {
            done.result = Result::Failed;
            done.before = "Cannot put the SAP file of \"";
            done.after = "\" in its place: out of memory.";
        }
        done.file.reset();
    }
    (done.result == Result::Converted || done.result == Result::NotChecked ? shared.converted
     : done.result == Result::Skipped                                      ? shared.skipped
                                                                            : shared.failed)++;
    shared.notChecked += done.result == Result::NotChecked ? 1 : 0;
    shared.timed += done.timed && done.result != Result::Failed ? 1 : 0;
    shared.warnings += static_cast<unsigned>(done.warnings);
    if (done.before)
        return shared.console.sayPlainly(done.before, done.module, done.after);
    try {
        return shared.console.say(done.lines, &done.module);
    } catch (const std::bad_alloc&) {
        return shared.console.sayPlainly("The messages about \"", done.module, "\" are lost: out of memory.");
    }
}

// TERM, INT or HUP, or standard error gone: the files in flight are given up.
[[noreturn]] void stop(int status)
{
    orvex::SafeFile::removeAllNames();
    ::_exit(status);
}

// Converts jobs until none is left or the run must stop. With `stops`, this is the main
// thread, which looks for the signals between jobs.
void convertJobs(Shared& shared, const sigset_t* stops = nullptr)
{
    while (!shared.console.broken()) {
        if (stops) {
            const timespec now{0, 0};
            const int signal = ::sigtimedwait(stops, nullptr, &now);
            if (signal > 0)
                stop(128 + signal);
        }
        Job job;
        if (!shared.plan.next(job))
            return;
        Done done = perform(job, shared);
        if (done.file && shared.flushing > 0) {
            try {
                shared.waiting.add(std::move(done));
                continue;
            } catch (const std::bad_alloc&) {
                // placed here, then
            }
        }
        if (!report(done, shared))
            return;
    }
}

// TERM, INT and HUP, but those ignored when the program started: they stay ignored
// (nohup, trap '' INT).
sigset_t stopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN)
            sigaddset(&set, signal);
    }
    return set;
}

// The main thread waits for `done`, for a signal, or for standard error to break.
template <typename Finished>
void waitFor(const sigset_t& waited, Shared& shared, Finished finished)
{
    for (;;) {
        if (shared.console.broken())
            stop(1);
        if (finished())
            return;
        siginfo_t info;
        const int signal = ::sigwaitinfo(&waited, &info);
        if (signal > 0 && signal != kWake)
            stop(128 + signal);
    }
}

// How many conversions and flushes run at once: as many conversions as asked, but no
// more than there are jobs; and no more of either than the limit of open files allows
// (a conversion holds up to two files open; a flush one, and a file waiting for it one).
std::pair<unsigned, unsigned> atOnce(const Options& options, const Plan& plan, Console& console)
{
    unsigned conversions = options.jobs, flushes = kFlushesAtOnce;
    if (plan.total() > 0) {
        conversions = static_cast<unsigned>(std::min<std::size_t>(conversions, plan.total()));
        flushes = plan.total() > 1 ? static_cast<unsigned>(std::min<std::size_t>(flushes, plan.total())) : 0;
    }
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY
        && files.rlim_cur < 10 + 2 * conversions + 2 * flushes) {
        const unsigned room = files.rlim_cur > 12 ? static_cast<unsigned>(files.rlim_cur - 10) : 2;
        if (2 * conversions > room) {
            conversions = room / 2;
            console.say("the limit of " + std::to_string(files.rlim_cur) + " open files allows " + std::to_string(conversions)
                        + " conversions at once");
        }
        flushes = std::min(flushes, (room - 2 * conversions) / 2);
    }
    return {conversions, flushes};
}

} // namespace

Tally run(const Options& options, Plan& plan, const Manifest* manifest)
{
    const sigset_t stops = stopSignals();
    sigset_t waited = stops;
    sigaddset(&waited, kWake);
    ::pthread_sigmask(SIG_BLOCK, &waited, nullptr);  // in every thread started from here on
    std::signal(SIGPIPE, SIG_IGN);                   // a closed pipe is an error of the write
    // The threads share one memory arena: another would reserve 64 MB of address space,
    // which a limit on it (ulimit -v) may not allow.
    ::mallopt(M_ARENA_MAX, 1);

    Shared shared(options, plan, manifest);
    const auto [conversions, flushes] = atOnce(options, plan, shared.console);
    const std::function<void()> flushing = [&] {
        Done done;
        while (shared.waiting.take(done) && report(done, shared)) {
        }
        ++shared.flushersDone;
        ::pthread_kill(shared.main, kWake);
    };
    const std::function<void()> converting = [&] {
        convertJobs(shared);
        ++shared.convertersDone;
        ::pthread_kill(shared.main, kWake);
    };
    int error = 0;
    const std::vector<pthread_t> flushers = start(flushes, flushing, error);
    shared.flushing = static_cast<unsigned>(flushers.size());
    const std::vector<pthread_t> converters = start(conversions, converting, error);
    if (converters.size() < conversions && conversions > 1)
        shared.console.say("only " + std::to_string(std::max<std::size_t>(converters.size(), 1)) + " of "
                           + std::to_string(conversions) + " conversions run at once: a thread cannot be started ("
                           + std::strerror(error) + ")");
    else if (flushers.size() < flushes)
        shared.console.say("only " + std::to_string(flushers.size()) + " of " + std::to_string(flushes)
                           + " files are flushed at once: a thread cannot be started (" + std::strerror(error) + ")");

    if (converters.empty())
        convertJobs(shared, &stops);
    else
        waitFor(waited, shared, [&] { return shared.convertersDone == converters.size(); });
    shared.waiting.close();
    waitFor(waited, shared, [&] { return shared.flushersDone == flushers.size(); });
    for (const auto& threads : {converters, flushers}) {
        for (const pthread_t thread : threads)
            ::pthread_join(thread, nullptr);
    }
    if (shared.console.broken())
        stop(1);

    for (const std::string& problem : shared.folders.flush(kFlushesAtOnce)) {
        ++shared.failed;
        shared.console.say(problem);
    }
    const timespec now{0, 0};
    if (const int signal = ::sigtimedwait(&stops, nullptr, &now); signal > 0)
        stop(128 + signal);  // one that came during the last flushes
    shared.console.finish();
    return {shared.converted, shared.failed, shared.skipped, shared.warnings, shared.notChecked, shared.timed};
}

} // namespace cli
