#include "run.h"

#include "convert_job.h"
#include "console.h"
#include "paths.h"
#include "safe_file.h"
#include "workers.h"

#include <malloc.h>
#include <pthread.h>
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
#include <optional>
#include <set>
#include <string_view>

namespace cli {

namespace {

// Wakes the main thread when a worker ends or the run must stop; blocked everywhere, so
// that it is only ever taken by the main thread's wait.
constexpr int kWake = SIGUSR1;

// A job done but for the placement of its SAP file: what is said and counted once the
// file is in place, or has failed to get there.
struct Done {
    std::string module;
    std::vector<std::string> lines;
    Result result = Result::Failed;
    int warnings = 0;
    bool timed = false;                   // it has a TIME line
    std::optional<orvex::SafeFile> file;  // the SAP file to put in place
    AudioFiles audio;                     // and its audio files
    // Out of memory: the line is said as before + module + after, without taking memory.
    const char* before = nullptr;
    const char* after = nullptr;
};

struct Shared {
    Shared(const Options& o, Plan& p, const TagsFile* t)
        : options(o), plan(p), players(o.players), console(p.total()), toPlace(kFlushesAtOnce),
          context{o, t, players, folders}
    {
    }
    const Options& options;
    Plan& plan;
    const orvex::PlayerCache players;
    Console console;
    Folders folders;
    BoundedQueue<Done> toPlace;  // files written, for the placers to put in place
    const Context context;
    std::atomic<unsigned> converted = 0, failed = 0, skipped = 0, warnings = 0, notChecked = 0, timed = 0;
    std::atomic<unsigned> withAudio = 0, withoutAudio = 0;
    std::atomic<unsigned> placers = 0;  // threads that put files in place
    std::atomic<unsigned> convertersDone = 0, placersDone = 0;
    pthread_t main = ::pthread_self();

    Tally tally() const { return {converted, failed, skipped, warnings, notChecked, timed, withAudio, withoutAudio}; }
};

// A job's SAP file once the conversion has made it: begun at its target (the target's
// checks), its TIME line added, then written in full beside the target. placeFile
// commits it; the folders are flushed once each at the run's end. Standard output is
// written and done with at once.
class JobWriter final : public orvex::SapWriter {
public:
    JobWriter(const Job& job, const Options& options, CommandLineWindow& window)
        : job_(job), options_(options), window_(window)
    {
    }
    void write(orvex::SapFile& sap, const std::string& target, const std::vector<orvex::InputFile>& inputs) override
    {
        const bool toStandardOutput = job_.target == "-";
        orvex::SafeFile file = toStandardOutput ? orvex::SafeFile(orvex::SafeFile::kStandardOutput)
                                                : orvex::SafeFile(target, inputs);
        if (options_.time || !options_.audio.empty())
            timing = addTime(options_, sap, toStandardOutput ? "standard output" : orvex::quoted(target));
        file.write(sap.bytes());
        if (!timing.untimed.empty())
            window_.lines.push_back(timing.untimed);
        if (toStandardOutput)
            file.commit();
        else
            written.emplace(std::move(file));
    }
    Timing timing;
    std::optional<orvex::SafeFile> written;

private:
    const Job& job_;
    const Options& options_;
    CommandLineWindow& window_;
};

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
            CommandLineWindow window;
            JobWriter writer(job, shared.options, window);
            done.result = convertJob(job, shared.context, writer, writer.timing, done.audio, window);
            done.file = std::move(writer.written);
            done.timed = writer.timing.timed;
            done.lines = std::move(window.lines);
            done.warnings = window.warnings;
        }
    } catch (const std::bad_alloc&) {
        done = Done();
        done.before = "Cannot convert the module \"";
        done.after = "\": out of memory.";
    }
    done.module = std::move(job.module);
    return done;
}

// Commits the job's SAP file, then its audio files: flushed, checked and put in place;
// their folder is flushed at the end of the run. An audio file that fails fails the job,
// and the SAP file stays.
void placeFile(Done& done, Shared& shared)
{
    const auto commit = [&done](orvex::SafeFile& file) {
        try {
            file.commit(orvex::SafeFile::Folder::Later);
            return true;
        } catch (const orvex::ConversionError& e) {
            done.result = Result::Failed;
            done.lines.push_back(e.what());
            return false;
        }
    };
    try {
        if (commit(*done.file)) {
            for (orvex::SafeFile& audio : done.audio.files)
                commit(audio);
            shared.folders.add(done.file->folder());
        }
    } catch (const std::bad_alloc&) {
        done.result = Result::Failed;
        done.before = "Cannot put the SAP file of \"";
        done.after = "\" in its place: out of memory.";
    }
    done.file.reset();
    done.audio.files.clear();
}

// Counts the job and says its lines, once its file is in place. False when standard
// error cannot be written.
bool countAndSay(Done& done, Shared& shared)
{
    (done.result == Result::Converted || done.result == Result::NotChecked ? shared.converted
     : done.result == Result::Skipped                                      ? shared.skipped
                                                                            : shared.failed)++;
    shared.notChecked += done.result == Result::NotChecked ? 1 : 0;
    shared.timed += done.timed && done.result != Result::Failed ? 1 : 0;
    if (!shared.options.audio.empty() && done.result != Result::Failed && done.result != Result::Skipped)
        (done.audio.withoutAudio ? shared.withoutAudio : shared.withAudio)++;
    shared.warnings += static_cast<unsigned>(done.warnings);
    if (done.before)
        return shared.console.sayPlainly(done.before, done.module, done.after);
    try {
        return shared.console.say(done.lines, &done.module);
    } catch (const std::bad_alloc&) {
        return shared.console.sayPlainly("The messages about \"", done.module, "\" are lost: out of memory.");
    }
}

// The end of a job: its file put in place, then the job counted and its lines said.
bool finish(Done& done, Shared& shared)
{
    if (done.file)
        placeFile(done, shared);
    return countAndSay(done, shared);
}

// TERM, INT or HUP (`signal`), or standard error gone (0): the files in flight are
// given up. After a signal, a batch ends with its summary of what was done, written
// without taking memory or a lock that another thread may hold.
[[noreturn]] void stop(Shared& shared, int signal)
{
    const Tally done = shared.tally();  // not the files that the stop cancels
    shared.console.close();
    orvex::SafeFile::removeAllNames();
    if (signal > 0 && shared.options.batch()) {
        char line[256];
        shared.console.sayLast(line, summaryLine(shared.options, done, line));
    }
    ::_exit(signal > 0 ? 128 + signal : 1);
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
                stop(shared, signal);
        }
        Job job;
        if (!shared.plan.next(job))
            return;
        Done done = perform(job, shared);
        if (done.file && shared.placers > 0) {
            try {
                shared.toPlace.add(std::move(done));
                continue;
            } catch (const std::bad_alloc&) {
                // placed here, then
            }
        }
        if (!finish(done, shared))
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
            stop(shared, 0);
        if (finished())
            return;
        siginfo_t info;
        const int signal = ::sigwaitinfo(&waited, &info);
        if (signal > 0 && signal != kWake)
            stop(shared, signal);
    }
}

// Starts the threads that place files and those that convert, as many as `atOnce` allows;
// this thread converts when none can be started. Returns them, placers first.
std::pair<std::vector<pthread_t>, std::vector<pthread_t>> startWorkers(Shared& shared, const std::function<void()>& placing,
                                                                       const std::function<void()>& converting)
{
    const auto [conversions, flushes] = atOnce(shared.options.jobs, shared.plan.total(), shared.console);
    int error = 0;
    std::vector<pthread_t> placers = startThreads(flushes, placing, error);
    shared.placers = static_cast<unsigned>(placers.size());
    std::vector<pthread_t> converters = startThreads(conversions, converting, error);
    try {
        if (converters.size() < conversions && conversions > 1)
            shared.console.say("Only " + std::to_string(std::max<std::size_t>(converters.size(), 1)) + " of "
                               + std::to_string(conversions) + " conversions run at once: a thread cannot be started ("
                               + std::strerror(error) + ").");
        else if (placers.size() < flushes)
            shared.console.say("Only " + std::to_string(placers.size()) + " of " + std::to_string(flushes)
                               + " files are flushed at once: a thread cannot be started (" + std::strerror(error) + ").");
    } catch (const std::bad_alloc&) {
        // the threads run all the same
    }
    return {std::move(placers), std::move(converters)};
}

// The summary of a batch stopped before it runs, made beforehand: a signal handler
// takes no memory and writes it as it is.
char earlySummary[256];
std::size_t earlySummaryLength = 0;

extern "C" void stopEarly(int signal)
{
    (void)!::write(STDERR_FILENO, earlySummary, earlySummaryLength);
    ::_exit(128 + signal);
}

} // namespace

void summarizeEarlyStops(const Options& options)
{
    if (options.batch())
        earlySummaryLength = summaryLine(options, Tally(), earlySummary);
    const sigset_t stops = stopSignals();
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        if (sigismember(&stops, signal))
            std::signal(signal, stopEarly);
    }
}

std::size_t summaryLine(const Options& options, const Tally& tally, char (&line)[256])
{
    int length = std::snprintf(line, sizeof line, "orvex-convert: %u converted, %u failed", tally.converted, tally.failed);
    const auto add = [&](const char* format, unsigned a, unsigned b = 0) {
        length += std::snprintf(line + length, sizeof line - static_cast<std::size_t>(length), format, a, b);
    };
    if (tally.skipped > 0)
        add(", %u skipped", tally.skipped);
    const unsigned warnings = tally.warnings + static_cast<unsigned>(options.textWarnings);
    if (warnings > 0)
        add(warnings == 1 ? ", %u warning" : ", %u warnings", warnings);
    if (options.check)
        add(", %u checked, %u not checked", tally.converted - tally.notChecked, tally.notChecked);
    if (options.time)
        add(", %u timed", tally.timed);
    if (!options.audio.empty())
        add(", %u with audio, %u without audio (TYPE D)", tally.withAudio, tally.withoutAudio);
    add(".\n", 0);
    return static_cast<std::size_t>(length);
}

void run(const Options& options, Plan& plan, const TagsFile* tags, Tally& tally)
{
    const sigset_t stops = stopSignals();
    sigset_t waited = stops;
    sigaddset(&waited, kWake);
    ::pthread_sigmask(SIG_BLOCK, &waited, nullptr);  // in every thread started from here on
    std::signal(SIGPIPE, SIG_IGN);                   // a closed pipe is an error of the write
    // The threads share one memory arena: another would reserve 64 MB of address space,
    // which a limit on it (ulimit -v) may not allow.
    ::mallopt(M_ARENA_MAX, 1);

    Shared shared(options, plan, tags);
    shared.console.countFoldersToRead([&plan] { return plan.foldersToRead(); });
    // What was done so far, also when the run ends short of memory
    struct Told {
        Shared& shared;
        Tally& tally;
        ~Told()
        {
            shared.console.finish();
            tally = shared.tally();
        }
    } told{shared, tally};
    const std::function<void()> placing = [&] {
        Done done;
        while (shared.toPlace.take(done) && finish(done, shared)) {
        }
        ++shared.placersDone;
        ::pthread_kill(shared.main, kWake);
    };
    const std::function<void()> converting = [&] {
        convertJobs(shared);
        ++shared.convertersDone;
        ::pthread_kill(shared.main, kWake);
    };
    const auto [placers, converters] = startWorkers(shared, placing, converting);
    if (converters.empty())
        convertJobs(shared, &stops);
    else
        waitFor(waited, shared, [&] { return shared.convertersDone == converters.size(); });
    shared.toPlace.close();
    waitFor(waited, shared, [&] { return shared.placersDone == placers.size(); });
    for (const auto& threads : {converters, placers}) {
        for (const pthread_t thread : threads)
            ::pthread_join(thread, nullptr);
    }
    if (shared.console.broken())
        stop(shared, 0);

    for (const std::string& problem : shared.folders.flush(kFlushesAtOnce)) {
        ++shared.failed;
        shared.console.say(problem);
    }
    const timespec now{0, 0};
    if (const int signal = ::sigtimedwait(&stops, nullptr, &now); signal > 0)
        stop(shared, signal);  // one that came during the last flushes
}

} // namespace cli
