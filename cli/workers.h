#pragma once
// The threads of a run: starting them with small stacks, handing work from some to
// others, and flushing folders several at once.

#include <pthread.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace cli {

class Console;

// How many files are flushed at once in a batch: the file system commits flushes that
// wait together in one go, so more of them in flight cost little more than one.
constexpr unsigned kFlushesAtOnce = 16;

// How many conversions and flushes run at once: `jobs` conversions, but no more than the
// `total` of jobs when it is known (else 0); and no more of either than the limit of
// open files allows (a conversion holds up to two files open; a flush one, and a file
// waiting for it one). A lower limit of conversions is said on the console.
std::pair<unsigned, unsigned> atOnce(unsigned jobs, std::size_t total, Console& console);

// Starts up to `count` threads that run `body`; returns them, and in `error` why one
// could not start. The stacks are small: the conversions' data is on the heap, and under
// a limit on the address space (ulimit -v) every byte counts.
std::vector<pthread_t> startThreads(std::size_t count, const std::function<void()>& body, int& error);

// The folders that received SAP files or new folders: each is flushed once, at the end.
class Folders {
public:
    void add(const std::string& folder);
    // Flushes the folders, `atOnce` at a time; returns the messages of those that fail.
    std::vector<std::string> flush(unsigned atOnce);

private:
    std::mutex mutex_;
    std::set<std::string> folders_;
};

// A queue that hands items from threads to others, with room for a few only: `add` waits
// while it is full, `take` while it is empty and not closed.
template <typename T>
class BoundedQueue {
public:
    explicit BoundedQueue(std::size_t room) : room_(room) {}
    void add(T&& item)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        notFull_.wait(lock, [&] { return items_.size() < room_; });
        items_.push_back(std::move(item));
        notEmpty_.notify_one();
    }
    // False when there is none left to wait for.
    bool take(T& item)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        notEmpty_.wait(lock, [&] { return !items_.empty() || closed_; });
        if (items_.empty())
            return false;
        item = std::move(items_.front());
        items_.pop_front();
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
    std::deque<T> items_;
    std::size_t room_;
    bool closed_ = false;
};

} // namespace cli
