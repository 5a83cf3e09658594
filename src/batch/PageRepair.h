// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "batch/RunPlan.h"
#include "batch/RunReport.h"
#include "documents/DocumentFile.h"
#include "documents/TextEncoding.h"
#include "engine/RepairCommands.h"
#include "wordlists/WordListSnapshot.h"

#include <QByteArray>
#include <QIODevice>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace quillet {

/// What every page of a run shares, unchanged while the run goes on.
struct RepairRun {
    const RepairCommand* command = nullptr;
    RepairSettings settings;
    std::optional<TextEncoding> encoding;  ///< --encoding; detected when unset
    bool verbose = false;
    /// Whether each page's count is said after its name (not with -q).
    bool sayCounts = true;
    /// What becomes of a repaired page: written, only counted (--check), or compared
    /// (--diff).
    enum class Result { Written, Counted, Compared } result = Result::Written;
    /// The lists, read once for the run; null when the command does not need them.
    std::shared_ptr<const WordListSnapshot> lists;
    /// Standard input and output, for the page "-".
    QIODevice* in = nullptr;
    QIODevice* out = nullptr;
};

/// How far the repair of one page has come, for the progress line.
struct JobProgress {
    std::atomic<bool> running{false};
    std::atomic<qint64> characters{0};  ///< of the page's text
    std::atomic<qint64> remaining{0};   ///< characters still to repair
    /// Whether anything shows this progress (a progress line on a terminal): when nothing
    /// does, the repair counts no characters for it.
    bool shown = true;
    /// When the page is repaired in the thread that draws the progress line: called a few
    /// times a second while it is, to draw it.
    std::function<void()> tick;
};

/// What became of one page. Its files, when it has any, wait in `staged` to be committed.
struct PageOutcome {
    PageRecord record;
    /// What the user is told before the outcome: the encoding read, declarations passed
    /// over, kept damage, the engine's notices; already in the system's bytes.
    QByteArray notes;
    /// The count as said after the page's name ("3 </p> added"); empty when nothing is said.
    QString countText;
    /// The unified diff, with --diff.
    QByteArray diff;
    std::unique_ptr<StagedFiles> staged;
    /// Standard output, which the page was written to, went away (a closed pipe).
    bool outputClosed = false;
};

/// Reads, repairs and writes (or counts, or compares) one page. Safe to call from many
/// threads at once, each with a page of its own.
PageOutcome RepairPage(const RepairRun& run, const PageJob& job, JobProgress* progress);

}  // namespace quillet
