// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

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
    /// How many characters at the start of `path` name the walked folder (with a "/"
    /// after it), which all the pages of the walk share; 0 for a page named or listed.
    qsizetype walked = 0;
};

/// What a page is called in messages: its path, or "standard input" for "-".
inline QString PageLabel(const QString& path) {
    return path == u"-" ? QStringLiteral("standard input") : path;
}

/// One page of a run, with where its result goes.
struct PageJob {
    QString path;
    QString output;  ///< a file, "-" for standard output, empty when nothing is written
    QString backup;  ///< where the original is kept first; empty for none
    /// Whether the output is the page itself, so that an unchanged page is left alone.
    bool replacesPage = false;
    qint64 size = 0;
    QString refusal;  ///< why the page fails before it is read
    /// Whether the output goes into a folder that the run made, which held nothing.
    bool freshOutput = false;

    QString label() const { return PageLabel(path); }
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

/// The pages of a run, each with where its result goes, worked out before anything is
/// written. A site may have hundreds of thousands of pages: each is held in a few dozen
/// bytes (the names of all share one buffer, and what follows from a name is worked out
/// when it is needed), and its PageJob is made when the page is repaired.
class PagePlan {
  public:
    explicit PagePlan(PlanSettings settings) : settings_(std::move(settings)) {}

    /// Adds a page at the end.
    void add(const PageSource& source);
    /// Refuses each page whose output (or backup) would be another's too, or would
    /// replace a page of the run; files are compared by what they are, so links and other
    /// spellings of a name count. Once, after the last page is added.
    void check();
    /// Makes the folders that the outputs go into, where missing; a page whose folder
    /// cannot be made is refused with the reason.
    void makeOutputFolders();

    qsizetype size() const { return qsizetype(pages_.size()); }
    /// The size of page `index` as it was found.
    qint64 pageSize(qsizetype index) const { return pages_[size_t(index)].size; }
    qint64 totalSize() const;
    PageJob job(qsizetype index) const;

    /// A file's key (FileIdentityKey) as 96 bits of two hashes of its bytes, which is all
    /// that comparing keys needs: two keys share one by chance about once in 2^95 pairs.
    /// The empty key is all zeros.
    struct Digest {
        quint64 first = 0;
        quint32 second = 0;

        bool isEmpty() const { return first == 0 && second == 0; }
        friend bool operator==(const Digest&, const Digest&) = default;
    };
    /// A key that a page holds: its own, or that of its output or backup, in 16 bytes.
    struct Held {
        static constexpr quint32 kOutput = 0x80000000u;  // an output's or a backup's
        Digest key;
        quint32 pageAndRole = 0;  // the page's number, with kOutput for an output's key

        qsizetype page() const { return qsizetype(pageAndRole & ~kOutput); }
        bool output() const { return (pageAndRole & kOutput) != 0; }
    };

  private:
    struct Page {
        quint64 at : 40;      // where its path starts in names_
        quint64 folder : 24;  // 1 + the walked folder in folders_ it starts with; 0 for none
        quint32 length = 0;   // of its path after that folder
        /// Its path under --output-dir: the last `mirror` bytes of the path held in names_
        /// (after the walked folder), or, with kOwnMirror set, that many bytes after it.
        quint32 mirror = 0;
        qint64 size = 0;
    };
    static constexpr quint32 kOwnMirror = 0x80000000u;

    QString path(const Page& page) const;
    QString mirror(const Page& page) const;
    QString outputOf(const Page& page) const;
    /// The job of page `index` as it was found, before the plan refused anything.
    PageJob make(qsizetype index) const;
    void refuse(qsizetype index, QString why) { refusals_.insert(index, std::move(why)); }

    PlanSettings settings_;
    std::vector<Page> pages_;
    /// The pages' paths and mirrors, as the system's bytes (EncodeFileName), which are
    /// half the size of the text; a name that would not come back the same from its bytes
    /// is kept as it is in `literal_` instead.
    QByteArray names_;
    /// Every page's own key (none for standard input), and, from check() on, those of the
    /// outputs and backups; sorted there, so that the pages that hold a key lie together.
    std::vector<Held> held_;
    QStringList folders_;  // the walked folders that paths start with, each with its "/"
    QHash<qsizetype, QString> literal_;
    QHash<qsizetype, QString> errors_;    // why a page found is none, as it was found
    QHash<qsizetype, QString> refusals_;  // why the plan refuses a page; few have one
    QSet<QString> fresh_;                 // the output folders that the run made
};

/// The path of `inner` from `outer` when it is `outer` or lies inside it ("" for the
/// folder itself), links followed as far as the path exists; nothing when it lies
/// elsewhere.
std::optional<QString> PathWithin(const QString& inner, const QString& outer);

}  // namespace quillet
