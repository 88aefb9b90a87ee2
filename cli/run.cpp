#include "run.h"

#include "convert_job.h"
#include "console.h"
#include "paths.h"
#include "safe_file.h"
#include "workers.h"

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

// How many files are flushed at once in a batch: the file system commits flushes that
// wait together in one go, so more of them in flight cost little more than one.
constexpr unsigned kFlushesAtOnce = 16;

struct Shared {
    Shared(const Options& o, Plan& p, const TagsFile* t)
        : options(o), plan(p), players(o.players), console(p.total()), waiting(kFlushesAtOnce),
          context{o, t, players, folders}
    {
    }
    const Options& options;
    Plan& plan;
    const orvex::PlayerCache players;
    Console console;
    Folders folders;
    Waiting<Done> waiting;
    const Context context;
    std::atomic<unsigned> converted = 0, failed = 0, skipped = 0, warnings = 0, notChecked = 0, timed = 0;
    std::atomic<unsigned> flushing = 0;                               // threads that place files
    std::atomic<unsigned> convertersDone = 0, flushersDone = 0;
    pthread_t main = ::pthread_self();
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
            Messages messages;
            Converted converted = convertJob(job, shared.context, messages);
            done.result = converted.result;
            done.file = std::move(converted.file);
            done.timed = converted.timed;
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
            console.say("The limit of " + std::to_string(files.rlim_cur) + " open files allows " + std::to_string(conversions)
                        + " conversions at once.");
        }
        flushes = std::min(flushes, (room - 2 * conversions) / 2);
    }
    return {conversions, flushes};
}

} // namespace

Tally run(const Options& options, Plan& plan, const TagsFile* tags)
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
    const std::vector<pthread_t> flushers = startThreads(flushes, flushing, error);
    shared.flushing = static_cast<unsigned>(flushers.size());
    const std::vector<pthread_t> converters = startThreads(conversions, converting, error);
    if (converters.size() < conversions && conversions > 1)
        shared.console.say("Only " + std::to_string(std::max<std::size_t>(converters.size(), 1)) + " of "
                           + std::to_string(conversions) + " conversions run at once: a thread cannot be started ("
                           + std::strerror(error) + ").");
    else if (flushers.size() < flushes)
        shared.console.say("Only " + std::to_string(flushers.size()) + " of " + std::to_string(flushes)
                           + " files are flushed at once: a thread cannot be started (" + std::strerror(error) + ").");

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
