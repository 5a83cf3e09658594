// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quillet {

/// Runs numbered jobs on a few threads, each job once, taking them in the order of their
/// numbers, while one thread (the caller's) takes their results in that same order. The
/// caller's thread is one of the few: when the result it waits for is not done, it does the
/// next job itself. The threads run at most `ahead` jobs past the last one the caller took,
/// so that the results waiting to be taken stay few.
class JobPool {
  public:
    /// Runs jobs 0 to `count` - 1 on `threads` threads, the caller's among them; `work(n)`
    /// does job n. Once
    /// `*interrupted` is true (it may be set by a signal handler), no job is started.
    JobPool(int threads, qsizetype count, qsizetype ahead, std::function<void(qsizetype)> work,
            const std::atomic<bool>* interrupted = nullptr);
    /// Lets the jobs under way finish, and starts no more.
    ~JobPool();
    JobPool(const JobPool&) = delete;
    JobPool& operator=(const JobPool&) = delete;

    /// Waits until job `index` is done, calling `waiting()` about every `interval` while it
    /// waits; then the threads may go on up to `ahead` jobs past it. False, at once or as
    /// soon as it is known, when the job will never run: the pool was stopped or
    /// interrupted first.
    bool take(qsizetype index, std::chrono::milliseconds interval,
              const std::function<void()>& waiting = {});
    /// Starts no more jobs; those under way finish.
    void stop();
    /// The number of jobs done so far.
    qsizetype done() const { return doneCount_.load(std::memory_order_relaxed); }

  private:
    void runThread();
    /// Runs the next job with `lock` (held) let go meanwhile; returns its number.
    qsizetype runNext(std::unique_lock<std::mutex>& lock);
    bool stopping() const;

    const qsizetype count_;
    const qsizetype ahead_;
    const std::function<void(qsizetype)> work_;
    const std::atomic<bool>* interrupted_;
    std::mutex mutex_;
    std::condition_variable workAllowed_;  // for the threads
    std::condition_variable resultReady_;  // for the caller
    qsizetype next_ = 0;                   // the next job to start
    qsizetype allowed_ = 0;                // jobs below this may start
    qsizetype awaited_ = -1;               // the job the caller waits for
    std::vector<char> finished_;
    bool stopped_ = false;
    std::atomic<qsizetype> doneCount_{0};
    std::vector<std::thread> threads_;
};

/// The number of processors this process may run on.
int AvailableProcessors();

}  // namespace quillet
