// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/RunPlan.h"

#include "documents/DocName.h"
#include "documents/DocumentFile.h"
#include "documents/FileNames.h"

#include <QDir>
#include <QHash>
#include <cerrno>
#include <cstdlib>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace quillet {

namespace {

/// A file's key (FileIdentityKey) as two hashes of its bytes, which is all that comparing
/// keys needs, in 16 bytes a key instead of a path: two keys share one by chance about once
/// in 2^127 pairs. The empty key is all zeros.
struct Digest {
    quint64 first = 0;
    quint64 second = 0;

    bool isEmpty() const { return first == 0 && second == 0; }
    friend bool operator==(const Digest&, const Digest&) = default;
};

size_t qHash(const Digest& digest, size_t seed = 0) {
    return size_t(digest.first) ^ seed;
}

Digest DigestOf(const QByteArray& key) {
    if (key.isEmpty()) return {};
    return {quint64(qHashBits(key.constData(), size_t(key.size()), 0x5bd1e995)) | 1,
            quint64(qHashBits(key.constData(), size_t(key.size()), 0x27d4eb2f))};
}

struct Keys {
    Digest input;   // empty for standard input
    Digest output;  // empty for none or standard output
    Digest backup;
};

/// The first two jobs that hold a key: all that saying who else holds it needs.
struct Holders {
    qsizetype first = -1;
    qsizetype second = -1;

    void add(qsizetype index) {
        if (first < 0) {
            first = index;
        } else if (second < 0) {
            second = index;
        }
    }
};
using HolderMap = QHash<Digest, Holders>;

/// The first job but `self` that holds `key`, or -1.
qsizetype Other(const HolderMap& holders, const Digest& key, qsizetype self) {
    if (key.isEmpty()) return -1;
    const auto found = holders.constFind(key);
    if (found == holders.cend()) return -1;
    return found->first != self ? found->first : found->second;
}

/// Keys of outputs, most of which do not exist yet: those share a few folders, whose
/// resolved names are worked out once each.
class OutputKeys {
  public:
    QByteArray key(const QString& path) {
#ifdef Q_OS_UNIX
        struct stat info {};
        const QByteArray name = EncodeFileName(path);
        // A file there (or a link) is known by what it is.
        if (::lstat(name.constData(), &info) == 0 || errno != ENOENT) return FileIdentityKey(path);
        const qsizetype slash = name.lastIndexOf('/');
        const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? "/" : name.left(slash);
        auto found = folders_.find(folder);
        if (found == folders_.end()) {
            QByteArray resolved;
            if (char* real = ::realpath(folder.constData(), nullptr)) {
                resolved = real;
                std::free(real);
            } else {
                resolved = EncodeFileName(AbsoluteFileName(DecodeFileName(folder)));
            }
            found = folders_.insert(folder, resolved);
        }
        return "path " + *found + '/' + name.mid(slash + 1);
#else
        return FileIdentityKey(path);
#endif
    }

  private:
    QHash<QByteArray, QByteArray> folders_;
};

/// Where the result of the page at `path` goes; `mirror` is its path under --output-dir.
QString OutputFor(const QString& path, const QString& mirror, const PlanSettings& settings) {
    using Target = PlanSettings::Target;
    if (settings.target == Target::Nowhere) return {};
    if (settings.target == Target::Named) return settings.output;
    if (path == u"-") return path;
    switch (settings.target) {
        case Target::FixCopy:
            return FixedFileName(SplitDocName(path));
        case Target::InPlace:
            return path;
        case Target::OutputDir: {
            const QString under = mirror.isEmpty() ? SplitDocName(path).fileName : mirror;
            return settings.output.endsWith(u'/') ? settings.output + under
                                                  : settings.output + u'/' + under;
        }
        default:
            return {};
    }
}

}  // namespace

QList<PageJob> PlanJobs(QList<PageSource>&& sources, const PlanSettings& settings) {
    using Target = PlanSettings::Target;
    QList<PageJob> jobs;
    QList<Keys> keys;
    jobs.reserve(sources.size());
    keys.reserve(sources.size());
    HolderMap inputs;
    HolderMap outputs;  // and backups
    OutputKeys outputKeys;
    for (PageSource& source : sources) {
        PageJob job{std::move(source.path), {}, {}, false, source.size, std::move(source.error)};
        Keys key;
        if (job.refusal.isEmpty()) {
            job.output = OutputFor(job.path, source.mirror, settings);
            source.mirror = QString();
            job.replacesPage = settings.target == Target::InPlace && job.path != u"-";
            if (job.replacesPage && !settings.backupSuffix.isEmpty()) {
                job.backup = job.path + settings.backupSuffix;
            }
            if (job.path != u"-") {
                key.input = DigestOf(source.identity.isEmpty() ? FileIdentityKey(job.path)
                                                               : source.identity);
                source.identity = QByteArray();
            }
            if (job.replacesPage) {
                key.output = key.input;
            } else if (!job.output.isEmpty() && job.output != u"-") {
                key.output = DigestOf(outputKeys.key(job.output));
            }
            if (!job.backup.isEmpty()) key.backup = DigestOf(outputKeys.key(job.backup));
            const qsizetype index = jobs.size();
            if (!key.input.isEmpty()) inputs[key.input].add(index);
            if (!key.output.isEmpty() && !job.replacesPage) outputs[key.output].add(index);
            if (!key.backup.isEmpty()) outputs[key.backup].add(index);
        }
        jobs.append(std::move(job));
        keys.append(std::move(key));
    }
    sources = QList<PageSource>();
    for (qsizetype i = 0; i < jobs.size(); ++i) {
        PageJob& job = jobs[i];
        const Keys& key = keys[i];
        if (!job.refusal.isEmpty() || key.output.isEmpty()) continue;
        qsizetype other = -1;
        if (job.replacesPage) {
            if ((other = Other(inputs, key.input, i)) >= 0) {
                job.refusal = QStringLiteral(
                                  "not repaired: it is the same page as %1, which "
                                  "this run repairs too")
                                  .arg(jobs[other].path);
            } else if ((other = Other(outputs, key.input, i)) >= 0) {
                job.refusal = QStringLiteral("not repaired: %1 would replace it")
                                  .arg(jobs[other].backup.isEmpty() ? jobs[other].output
                                                                    : jobs[other].backup);
            }
        } else if (settings.target == Target::FixCopy && key.output == key.input) {
            // Naming the page itself with -o is the user's choice; by default it is refused.
            job.refusal = QStringLiteral(
                              "the repaired copy %1 would replace the page itself; "
                              "name another output with -o")
                              .arg(job.output);
        } else if ((other = Other(inputs, key.output, i)) >= 0) {
            job.refusal = QStringLiteral(
                              "not repaired: its output %1 would replace %2, a page "
                              "of this run")
                              .arg(job.output, jobs[other].path);
        } else if ((other = Other(outputs, key.output, i)) >= 0) {
            job.refusal = QStringLiteral(
                              "not repaired: its output %1 would also be the output "
                              "of %2")
                              .arg(job.output, jobs[other].path);
        }
        if (job.refusal.isEmpty() && !key.backup.isEmpty()) {
            if ((other = Other(inputs, key.backup, i)) >= 0 ||
                (other = Other(outputs, key.backup, i)) >= 0) {
                job.refusal = QStringLiteral(
                                  "not repaired: its backup %1 would replace a file "
                                  "of this run (of %2)")
                                  .arg(job.backup, jobs[other].path);
            }
        }
    }
    return jobs;
}

void MakeOutputFolders(QList<PageJob>& jobs) {
    QHash<QString, QString> made;  // each folder, and why it could not be made
    for (PageJob& job : jobs) {
        const qsizetype slash = job.output.lastIndexOf(u'/');
        if (!job.refusal.isEmpty() || slash <= 0) continue;
        const QString folder = job.output.first(slash);
        auto found = made.find(folder);
        if (found == made.end()) {
            QString reason;
#ifdef Q_OS_UNIX
            // Each missing folder from the top down; one there already is no failure.
            const QByteArray name = EncodeFileName(folder);
            for (qsizetype at = name.indexOf('/', 1);; at = name.indexOf('/', at + 1)) {
                const QByteArray part = at < 0 ? name : name.first(at);
                if (::mkdir(part.constData(), 0777) != 0 && errno != EEXIST) {
                    reason = ResultForErrno(errno).reason;
                    break;
                }
                if (at < 0) break;
            }
#else
            if (!QDir().mkpath(folder)) reason = QStringLiteral("the folder cannot be made");
#endif
            found = made.insert(folder, reason);
        }
        if (!found->isEmpty()) {
            job.refusal = QStringLiteral("cannot make the folder %1: %2").arg(folder, *found);
        }
    }
}

std::optional<QString> PathWithin(const QString& inner, const QString& outer) {
    // Each path with links followed as far as it exists, and the rest as it is written.
    const auto resolved = [](const QString& path) {
        QString rest;
        QString existing = AbsoluteFileName(path);
        for (;;) {
            if (char* real = ::realpath(EncodeFileName(existing).constData(), nullptr)) {
                QString full = DecodeFileName(real) + rest;
                std::free(real);
                return full;
            }
            const qsizetype slash = existing.lastIndexOf(u'/');
            if (slash <= 0) return AbsoluteFileName(path);
            rest.prepend(existing.sliced(slash));
            existing.truncate(slash);
        }
    };
    const QString in = resolved(inner);
    QString out = resolved(outer);
    if (in == out) return QString();
    if (!out.endsWith(u'/')) out += u'/';
    if (!in.startsWith(out)) return std::nullopt;
    return in.sliced(out.size());
}

}  // namespace quillet
