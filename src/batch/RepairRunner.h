// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "batch/BatchTool.h"
#include "batch/PageRepair.h"
#include "batch/RunPlan.h"

#include <QIODevice>
#include <QList>
#include <atomic>

namespace quillet {

/// How a run reports.
struct RunnerSettings {
    int jobs = 1;
    bool quiet = false;
    /// Whether the run ends with a summary line (it has several pages).
    bool summary = false;
    /// Where the report goes; null for none.
    QIODevice* report = nullptr;
    QString reportName;  ///< for its errors
};

/// Runs a repair over its pages: the pages on `settings.jobs` threads, their files
/// committed in batches, and everything said about them (messages, the diff, the report)
/// in the pages' order whatever the number of threads; the progress line on a terminal,
/// and the summary. Returns the run's exit status.
int RunRepairs(const RepairRun& run, const PagePlan& pages, const RunnerSettings& settings,
               BatchIo io);

}  // namespace quillet
