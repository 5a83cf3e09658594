// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/JobPool.h"

#include <QThread>
#include <algorithm>

#ifdef Q_OS_LINUX
#include <sched.h>
#endif

namespace quillet {

JobPool::JobPool(int threads, qsizetype count, qsizetype ahead, std::function<void(qsizetype)> work,
                 const std::atomic<bool>* interrupted)
    : count_(count),
      ahead_(std::max<qsizetype>(ahead, 1)),
      work_(std::move(work)),
      interrupted_(interrupted),
      allowed_(std::min(count, ahead_)),
      finished_(size_t(count), 0) {
    // The caller's thread is one of them: it does the next job itself rather than wait.
    // So one job at a time needs no other thread, and nothing is handed between threads;
    // nor does a run of a single page.
    const int started = int(std::max<qsizetype>(std::min<qsizetype>(count - 1, threads - 1), 0));
    threads_.reserve(size_t(started));
    for (int i = 0; i < started; ++i) threads_.emplace_back([this] { runThread(); });
}

JobPool::~JobPool() {
    stop();
    for (std::thread& thread : threads_) thread.join();
}

bool JobPool::stopping() const {
    return stopped_ || (interrupted_ && interrupted_->load());
}

qsizetype JobPool::runNext(std::unique_lock<std::mutex>& lock) {
    const qsizetype job = next_++;
    lock.unlock();
    work_(job);
    doneCount_.fetch_add(1, std::memory_order_relaxed);
    lock.lock();
    finished_[size_t(job)] = 1;
    return job;
}

void JobPool::runThread() {
    std::unique_lock lock(mutex_);
    for (;;) {
        workAllowed_.wait(lock, [&] { return stopping() || next_ >= count_ || next_ < allowed_; });
        if (stopping() || next_ >= count_) return;
        // The caller is woken only for the job it waits for.
        if (runNext(lock) == awaited_) resultReady_.notify_one();
    }
}

bool JobPool::take(qsizetype index, std::chrono::milliseconds interval,
                   const std::function<void()>& waiting) {
    std::unique_lock lock(mutex_);
    awaited_ = index;
    for (;;) {
        if (finished_[size_t(index)]) break;
        // A job that was not started will not be once the pool stops.
        if (stopping() && index >= next_) {
            stopped_ = true;
            workAllowed_.notify_all();
            awaited_ = -1;
            return false;
        }
        // Rather than wait, do the next job here.
        if (!stopping() && next_ < count_ && next_ < allowed_) {
            runNext(lock);
            continue;
        }
        if (!resultReady_.wait_for(lock, interval, [&] { return finished_[size_t(index)] != 0; })) {
            lock.unlock();
            if (waiting) waiting();
            lock.lock();
        }
    }
    awaited_ = -1;
    const qsizetype allowed = std::min(count_, index + 1 + ahead_);
    if (allowed > allowed_) {
        // Threads wait for more only when they ran out of reach.
        const bool waited = next_ >= allowed_;
        allowed_ = allowed;
        if (waited) workAllowed_.notify_all();
    }
    return true;
}

void JobPool::stop() {
    const std::lock_guard lock(mutex_);
    stopped_ = true;
    workAllowed_.notify_all();
}

int AvailableProcessors() {
#ifdef Q_OS_LINUX
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
#endif
    return std::max(QThread::idealThreadCount(), 1);
}

}  // namespace quillet
