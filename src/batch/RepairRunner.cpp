// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/RepairRunner.h"

#include "batch/DescriptorDevice.h"
#include "batch/JobPool.h"
#include "batch/TerminalProgress.h"
#include "documents/FileNames.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cerrno>
#include <thread>
#include <vector>

namespace quillet {

namespace {

using namespace std::chrono_literals;

/// Files are committed together once this many wait (or this many bytes), or when the
/// oldest has waited a second.
constexpr qsizetype kCommitFiles = 128;
constexpr qint64 kCommitBytes = qint64(64) << 20;
constexpr qint64 kCommitWaitMs = 1000;
/// The most pages done past the one taken last: each holds its files open until they are
/// committed, and a process may only have so many open (1024 by default).
constexpr qsizetype kMostAhead = 128;

class Runner {
  public:
    Runner(const RepairRun& run, const PagePlan& jobs, const RunnerSettings& settings, BatchIo io)
        : run_(run),
          jobs_(jobs),
          settings_(settings),
          io_(io),
          report_{run.command, run.settings.html5, run.result == RepairRun::Result::Written},
          ahead_(std::clamp<qsizetype>(4 * qsizetype(settings.jobs), 16, kMostAhead)),
          outcomes_(size_t(jobs.size())),
          progress_(size_t(ahead_ + 2)),
          line_(io.err, ShowsLine(io, settings), Total()) {}

    int run();

  private:
    /// Whether the run draws its progress line: on a terminal, unless told to be quiet.
    static bool ShowsLine(const BatchIo& io, const RunnerSettings& settings) {
        return io.errIsTerminal && !settings.quiet;
    }
    RunCount Total() const { return RunCount{jobs_.size(), jobs_.totalSize()}; }
    /// The pages and bytes done, with the share done of the pages under way.
    RunCount Done(qsizetype from) const;
    void work(qsizetype index);
    /// Commits the files of the pages taken so far and says what became of them.
    void flush();
    void report(qsizetype index);
    void error(const QString& text) {
        line_.clear();
        io_.err.write(EncodeFileName(QString(QStringLiteral("quillet-batch: ") + text + u'\n')));
    }
    bool out(QByteArrayView bytes);
    void writeReport(const QByteArray& line);
    QString summary() const;

    const RepairRun& run_;
    const PagePlan& jobs_;
    const RunnerSettings& settings_;
    BatchIo io_;
    ReportRun report_;
    /// How far past the page taken last the threads may go.
    const qsizetype ahead_;
    /// Each page's outcome from when it is done until it is said.
    std::vector<std::unique_ptr<PageOutcome>> outcomes_;
    /// The pages under way, each in the slot of its number modulo the slots: they lie
    /// within the threads' reach, fewer pages than there are slots.
    std::vector<JobProgress> progress_;
    std::atomic<qint64> donePages_{0};
    std::atomic<qint64> doneBytes_{0};
    TerminalProgress line_;
    QElapsedTimer clock_;

    std::vector<qsizetype> held_;  // taken, not yet committed and said, in order
    qsizetype heldFiles_ = 0;
    qint64 heldBytes_ = 0;
    QElapsedTimer heldSince_;
    RunTotals totals_;
    bool outClosed_ = false;
    bool reportFailed_ = false;
};

RunCount Runner::Done(qsizetype from) const {
    RunCount done{donePages_.load(std::memory_order_relaxed),
                  doneBytes_.load(std::memory_order_relaxed)};
    const qsizetype end = std::min<qsizetype>(jobs_.size(), from + qsizetype(progress_.size()));
    for (qsizetype i = from; i < end; ++i) {
        const JobProgress& job = progress_[size_t(i) % progress_.size()];
        const qint64 characters = job.characters.load(std::memory_order_relaxed);
        if (!job.running.load(std::memory_order_relaxed) || characters <= 0) continue;
        const qint64 remaining = job.remaining.load(std::memory_order_relaxed);
        done.bytes +=
            qint64(double(jobs_.pageSize(i)) * double(characters - remaining) / double(characters));
    }
    return done;
}

void Runner::work(qsizetype index) {
    JobProgress& progress = progress_[size_t(index) % progress_.size()];
    progress.characters.store(0);
    progress.running.store(true);
    outcomes_[size_t(index)] =
        std::make_unique<PageOutcome>(RepairPage(run_, jobs_.job(index), &progress));
    progress.running.store(false);
    doneBytes_.fetch_add(jobs_.pageSize(index), std::memory_order_relaxed);
    donePages_.fetch_add(1, std::memory_order_relaxed);
}

bool Runner::out(QByteArrayView bytes) {
    if (outClosed_) return false;
    if (io_.out.write(bytes.data(), bytes.size()) == bytes.size()) return true;
    // Nobody reads any more: stop, as standard tools do, without a message.
    const auto* device = dynamic_cast<const DescriptorDevice*>(&io_.out);
    if (device && device->systemError() == EPIPE) {
        outClosed_ = true;
        return false;
    }
    error(QStringLiteral("cannot write standard output: ") + io_.out.errorString());
    outClosed_ = true;
    return false;
}

void Runner::writeReport(const QByteArray& line) {
    if (!settings_.report || reportFailed_) return;
    if (settings_.report == &io_.out) {
        reportFailed_ = !out(line);
        return;
    }
    if (settings_.report->write(line) != line.size()) {
        reportFailed_ = true;
        error(QStringLiteral("cannot write the report %1: %2")
                  .arg(settings_.reportName, settings_.report->errorString()));
    }
}

void Runner::flush() {
    std::vector<StagedFiles*> groups;
    for (const qsizetype index : held_) {
        if (StagedFiles* files = outcomes_[size_t(index)]->staged.get()) groups.push_back(files);
    }
    if (!groups.empty()) CommitStagedFiles(groups);
    for (const qsizetype index : held_) report(index);
    held_.clear();
    heldFiles_ = 0;
    heldBytes_ = 0;
}

void Runner::report(qsizetype index) {
    const std::unique_ptr<PageOutcome> taken = std::move(outcomes_[size_t(index)]);
    PageOutcome& outcome = *taken;
    PageRecord& record = outcome.record;
    const QString label = PageLabel(record.path);
    if (outcome.staged && !outcome.staged->result().ok()) {
        record.status = PageRecord::Status::Failed;
        record.error = QStringLiteral("cannot write %1: %2")
                           .arg(outcome.staged->failedPath(), outcome.staged->result().reason);
        record.written = false;
    }
    outcome.staged.reset();
    line_.clear();
    if (!settings_.quiet) io_.err.write(outcome.notes);
    if (record.status == PageRecord::Status::Failed) {
        // A reader that went away ends the run quietly.
        if (!outcome.outputClosed) error(QStringLiteral("%1: %2").arg(label, record.error));
    } else if (!settings_.quiet && !outcome.countText.isEmpty()) {
        io_.err.write(
            EncodeFileName(QString(label + QStringLiteral(": ") + outcome.countText + u'\n')));
    }
    if (outcome.outputClosed) outClosed_ = true;
    if (!outcome.diff.isEmpty()) out(outcome.diff);
    if (settings_.report) writeReport(ReportLine(report_, record));

    ++totals_.pages;
    switch (record.status) {
        case PageRecord::Status::Changed:
            ++totals_.changed;
            break;
        case PageRecord::Status::Unchanged:
            ++totals_.unchanged;
            break;
        case PageRecord::Status::Failed:
            ++totals_.failed;
            return;
    }
    totals_.count += record.count;
    totals_.bytesIn += record.bytesIn;
    totals_.bytesOut += record.bytesOut;
}

QString Runner::summary() const {
    const bool would = run_.result != RepairRun::Result::Written;
    QString line = QStringLiteral("%1 pages read, %2 %3, %4 unchanged, %5 failed, %6 in %7 s")
                       .arg(totals_.pages)
                       .arg(totals_.changed)
                       .arg(would ? QStringLiteral("would change") : QStringLiteral("changed"))
                       .arg(totals_.unchanged)
                       .arg(totals_.failed)
                       .arg(run_.command->countText(totals_.count, would))
                       .arg(totals_.seconds, 0, 'f', 1);
    if (totals_.interrupted) line.prepend(QStringLiteral("interrupted: "));
    return line;
}

int Runner::run() {
    clock_.start();
    const qsizetype count = jobs_.size();
    qsizetype taking = 0;  // the page taken next
    // The pages repaired in this thread draw the line as they go.
    const std::thread::id self = std::this_thread::get_id();
    const bool shown = ShowsLine(io_, settings_);
    for (JobProgress& slot : progress_) {
        slot.shown = shown;
        slot.tick = [&, self] {
            if (std::this_thread::get_id() == self) line_.update(Done(taking));
        };
    }
    {
        JobPool pool(
            settings_.jobs, count, ahead_, [this](qsizetype index) { work(index); },
            io_.interrupted);
        const auto waiting = [&](qsizetype next) {
            line_.update(Done(next));
            if (!held_.empty() && heldSince_.elapsed() >= kCommitWaitMs) flush();
        };
        for (qsizetype i = 0; i < count && !outClosed_; ++i) {
            taking = i;
            if (!pool.take(i, 100ms, [&] { waiting(i); })) {
                totals_.interrupted = true;
                break;
            }
            if (held_.empty()) heldSince_.start();
            held_.push_back(i);
            if (const StagedFiles* files = outcomes_[size_t(i)]->staged.get()) {
                heldFiles_ += files->count();
                heldBytes_ += files->bytes();
            }
            // Nothing to commit, the batch is full, the oldest has waited long enough, or
            // the last page: say it now.
            if (heldFiles_ == 0 || heldFiles_ >= kCommitFiles || heldBytes_ >= kCommitBytes ||
                heldSince_.elapsed() >= kCommitWaitMs || i + 1 == count ||
                outcomes_[size_t(i)]->outputClosed) {
                flush();
            }
            line_.update(Done(i + 1));
        }
        // The pool's end waits for the pages under way. When the run was interrupted,
        // every page started was taken above; when standard output went away, those after
        // it are dropped unwritten.
    }
    flush();
    totals_.interrupted = totals_.interrupted || (io_.interrupted && io_.interrupted->load());
    totals_.seconds = double(clock_.elapsed()) / 1000;
    line_.clear();
    writeReport(SummaryLine(report_, totals_));
    if ((!settings_.quiet && settings_.summary) || totals_.interrupted) {
        io_.err.write(summary().toUtf8() + '\n');
    }
    if (totals_.interrupted) return kExitInterrupted;
    const bool changes = run_.result != RepairRun::Result::Written && totals_.changed > 0;
    return totals_.failed > 0 || outClosed_ || reportFailed_ || changes ? kExitFailed : kExitOk;
}

}  // namespace

int RunRepairs(const RepairRun& run, const PagePlan& jobs, const RunnerSettings& settings,
               BatchIo io) {
    return Runner(run, jobs, settings, io).run();
}

}  // namespace quillet
