#include "workers.h"

#include "console.h"
#include "paths.h"
#include "safe_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <sys/resource.h>
#include <new>

namespace cli {

namespace {

extern "C" void* threadBody(void* body)
{
    (*static_cast<const std::function<void()>*>(body))();
    return nullptr;
}

} // namespace

std::vector<pthread_t> startThreads(std::size_t count, const std::function<void()>& body, int& error)
{
    pthread_attr_t small;
    ::pthread_attr_init(&small);
    ::pthread_attr_setstacksize(&small, 256 * 1024);
    std::vector<pthread_t> threads;
    try {
        threads.reserve(count);
    } catch (const std::bad_alloc&) {
        error = ENOMEM;
        count = 0;
    }
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

std::pair<unsigned, unsigned> atOnce(unsigned jobs, std::size_t total, Console& console)
{
    unsigned conversions = jobs, flushes = kFlushesAtOnce;
    if (total > 0) {
        conversions = static_cast<unsigned>(std::min<std::size_t>(conversions, total));
        flushes = total > 1 ? static_cast<unsigned>(std::min<std::size_t>(flushes, total)) : 0;
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

void Folders::add(const std::string& folder)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    folders_.insert(folder);
}

std::vector<std::string> Folders::flush(unsigned atOnce)
{
    const std::vector<std::string> folders(folders_.begin(), folders_.end());
    std::vector<int> errors(folders.size());
    std::atomic<std::size_t> next = 0;
    const std::function<void()> flushNext = [&] {
        for (std::size_t i; (i = next++) < folders.size();)
            errors[i] = orvex::SafeFile::flushFolder(folders[i]);
    };
    // This thread flushes too; with fewer threads than asked, the flushes take longer.
    const std::size_t atOnceHere = std::min<std::size_t>(atOnce, folders.size());
    int error = 0;
    const std::vector<pthread_t> threads = startThreads(atOnceHere > 1 ? atOnceHere - 1 : 0, flushNext, error);
    flushNext();
    for (const pthread_t thread : threads)
        ::pthread_join(thread, nullptr);
    std::vector<std::string> problems;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        if (errors[i])
            problems.push_back(orvex::folderNotFlushed(folders[i], errors[i], "the SAP files"));
    }
    return problems;
}

} // namespace cli
