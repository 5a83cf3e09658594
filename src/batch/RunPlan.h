// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace quillet {

/// A page of a run as it was found: named, listed or walked.
struct PageSource {
    QString path;  ///< as walked, listed or named; "-" for standard input
    /// Its path under --output-dir: the path from the walked folder, or the path as
    /// listed; empty for a named page, which goes there by its name.
    QString mirror;
    qint64 size = 0;
    QString error;        ///< why it cannot be a page (a folder without -r, an unreadable folder)
    QByteArray identity;  ///< its FileIdentityKey when the walk knows it already
};

/// One page of a run, with where its result goes.
struct PageJob {
    QString path;
    QString output;  ///< a file, "-" for standard output, empty when nothing is written
    QString backup;  ///< where the original is kept first; empty for none
    /// Whether the output is the page itself, so that an unchanged page is left alone.
    bool replacesPage = false;
    qint64 size = 0;
    QString refusal;  ///< why the page fails before it is read

    QString label() const { return path == u"-" ? QStringLiteral("standard input") : path; }
};

/// Where a run's results go.
struct PlanSettings {
    enum class Target {
        FixCopy,    ///< NAME.fix beside each page
        Named,      ///< the -o of a single page
        InPlace,    ///< the page itself
        OutputDir,  ///< under a folder
        Nowhere,    ///< --check, --diff
    };
    Target target = Target::FixCopy;
    QString output;        ///< -o, or the folder of --output-dir
    QString backupSuffix;  ///< with InPlace; empty for no backup
};

/// Works out every page's output before anything is written, and refuses a page whose
/// output (or backup) would be another's too, or would replace a page of the run (files
/// are compared by what they are, so links and other spellings of a name count). The
/// sources are taken apart on the way.
QList<PageJob> PlanJobs(QList<PageSource>&& sources, const PlanSettings& settings);

/// Makes the folders that the outputs of `jobs` go into, where missing; a page whose
/// folder cannot be made is refused with the reason.
void MakeOutputFolders(QList<PageJob>& jobs);

/// The path of `inner` from `outer` when it is `outer` or lies inside it ("" for the
/// folder itself), links followed as far as the path exists; nothing when it lies
/// elsewhere.
std::optional<QString> PathWithin(const QString& inner, const QString& outer);

}  // namespace quillet
