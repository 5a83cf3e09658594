// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/RunPlan.h"

#include "documents/DocName.h"
#include "documents/DocumentFile.h"
#include "documents/FileNames.h"

#include <QDir>
#include <QHash>
#include <QMap>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <tuple>
#include <vector>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace quillet {

namespace {

using Digest = PagePlan::Digest;
using Held = PagePlan::Held;

Digest DigestOf(const QByteArray& key) {
    if (key.isEmpty()) return {};
    return {quint64(qHashBits(key.constData(), size_t(key.size()), 0x5bd1e995)) | 1,
            quint32(qHashBits(key.constData(), size_t(key.size()), 0x27d4eb2f))};
}

/// The order of the keys held: by key, then a page's own before outputs', then by page.
bool Before(const Held& a, const Held& b) {
    return std::tie(a.key.first, a.key.second, a.pageAndRole) <
           std::tie(b.key.first, b.key.second, b.pageAndRole);
}

/// The first page but `self` that holds `key` as its own (or, with `output`, as its
/// output's or backup's), or -1.
qsizetype Other(const std::vector<Held>& held, const Digest& key, bool output, qsizetype self) {
    if (key.isEmpty()) return -1;
    const quint32 role = output ? Held::kOutput : 0;
    for (auto it = std::lower_bound(held.begin(), held.end(), Held{key, role}, Before);
         it != held.end() && it->key == key && it->output() == output; ++it) {
        if (it->page() != self) return it->page();
    }
    return -1;
}

/// Keys of outputs, most of which do not exist yet: those share a few folders, whose
/// resolved names are worked out once each.
class OutputKeys {
  public:
    QByteArray key(const QString& path) {
#ifdef Q_OS_UNIX
        const QByteArray name = EncodeFileName(path);
        const qsizetype slash = name.lastIndexOf('/');
        const QByteArrayView folder = slash < 0    ? QByteArrayView(".")
                                      : slash == 0 ? QByteArrayView("/")
                                                   : QByteArrayView(name).first(slash);
        // Pages come folder by folder: the last folder is mostly the one asked for again.
        if (!haveLast_ || QByteArrayView(lastName_) != folder) {
            lastName_ = folder.toByteArray();
            auto found = folders_.constFind(lastName_);
            if (found == folders_.cend()) {
                Folder resolved;
                if (char* real = ::realpath(lastName_.constData(), nullptr)) {
                    resolved.name = real;
                    std::free(real);
                } else {
                    resolved.absent = errno == ENOENT;
                    resolved.name = EncodeFileName(AbsoluteFileName(DecodeFileName(lastName_)));
                }
                found = folders_.insert(lastName_, resolved);
            }
            last_ = *found;
            haveLast_ = true;
        }
        // A file there (or a link) is known by what it is. In a folder that is not there
        // yet, as under a fresh --output-dir, there is none to look at.
        struct stat info {};
        if (!last_.absent && (::lstat(name.constData(), &info) == 0 || errno != ENOENT)) {
            return FileIdentityKey(path);
        }
        const QByteArrayView leaf = QByteArrayView(name).sliced(slash + 1);
        QByteArray key;
        key.reserve(5 + last_.name.size() + 1 + leaf.size());
        key.append("path ").append(last_.name).append('/').append(leaf);
        return key;
#else
        return FileIdentityKey(path);
#endif
    }

  private:
    struct Folder {
        QByteArray name;      // with links followed where it exists
        bool absent = false;  // not there at all
    };
    QHash<QByteArray, Folder> folders_;
    bool haveLast_ = false;
    QByteArray lastName_;  // the folder asked for last, and what it is
    Folder last_;
};

}  // namespace

void PagePlan::add(const PageSource& source) {
    const qsizetype index = size();
    Page page;
    page.at = quint64(names_.size());
    page.folder = 0;
    page.size = source.size;
    // The walked folder is held once for all its pages; they keep the rest of their path.
    QStringView rest = source.path;
    constexpr qsizetype kMostFolders = (qsizetype(1) << 24) - 1;  // what Page::folder holds
    if (source.walked > 0 && folders_.size() < kMostFolders) {
        const QStringView folder = rest.first(source.walked);
        if (folders_.isEmpty() || folders_.constLast() != folder)
            folders_.append(folder.toString());
        page.folder = quint64(folders_.size());
        rest = rest.sliced(source.walked);
    }
    // Names read from the system come back the same from their bytes; one given otherwise
    // may not (half a surrogate pair), and is kept as it is.
    QByteArray path = EncodeFileName(rest);
    const bool halves =
        std::any_of(rest.cbegin(), rest.cend(), [](QChar c) { return c.isSurrogate(); });
    if (halves && DecodeFileName(path) != rest) literal_.insert(index, source.path);
    const QByteArray mirror = EncodeFileName(source.mirror);
    page.length = quint32(path.size());
    names_ += path;
    // A walked page's mirror is mostly the end of its path.
    page.mirror = quint32(mirror.size());
    if (!path.endsWith(mirror)) {
        page.mirror |= kOwnMirror;
        names_ += mirror;
    }
    if (!source.error.isEmpty()) {
        errors_.insert(index, source.error);
    } else if (source.path != u"-") {
        held_.push_back(
            {DigestOf(source.identity.isEmpty() ? FileIdentityKey(source.path) : source.identity),
             quint32(index)});
    }
    pages_.push_back(page);
}

qint64 PagePlan::totalSize() const {
    qint64 total = 0;
    for (const Page& page : pages_) total += page.size;
    return total;
}

QString PagePlan::path(const Page& page) const {
    if (!literal_.isEmpty()) {
        const auto found = literal_.constFind(&page - pages_.data());
        if (found != literal_.cend()) return *found;
    }
    const QString rest =
        DecodeFileName(QByteArrayView(names_).sliced(qsizetype(page.at), page.length));
    return page.folder == 0 ? rest : folders_[qsizetype(page.folder) - 1] + rest;
}

QString PagePlan::mirror(const Page& page) const {
    const quint32 length = page.mirror & ~kOwnMirror;
    const qsizetype end = qsizetype(page.at) + page.length;
    const qsizetype at = (page.mirror & kOwnMirror) != 0 ? end : end - length;
    return DecodeFileName(QByteArrayView(names_).sliced(at, length));
}

QString PagePlan::outputOf(const Page& page) const {
    using Target = PlanSettings::Target;
    if (settings_.target == Target::Nowhere) return {};
    if (settings_.target == Target::Named) return settings_.output;
    const QString name = path(page);
    if (name == u"-") return name;
    switch (settings_.target) {
        case Target::FixCopy:
            return FixedFileName(SplitDocName(name));
        case Target::InPlace:
            return name;
        case Target::OutputDir: {
            const QString under = page.mirror == 0 ? SplitDocName(name).fileName : mirror(page);
            QString output;
            output.reserve(settings_.output.size() + 1 + under.size());
            output.append(settings_.output);
            if (!settings_.output.endsWith(u'/')) output.append(u'/');
            output.append(under);
            return output;
        }
        default:
            return {};
    }
}

PageJob PagePlan::make(qsizetype index) const {
    const Page& page = pages_[size_t(index)];
    PageJob job{path(page), {}, {}, false, page.size, errors_.value(index)};
    if (!job.refusal.isEmpty()) return job;
    job.output = outputOf(page);
    if (!fresh_.isEmpty()) {
        const qsizetype slash = job.output.lastIndexOf(u'/');
        job.freshOutput = slash > 0 && fresh_.contains(job.output.first(slash));
    }
    job.replacesPage = settings_.target == PlanSettings::Target::InPlace && job.path != u"-";
    if (job.replacesPage && !settings_.backupSuffix.isEmpty()) {
        job.backup = job.path + settings_.backupSuffix;
    }
    return job;
}

PageJob PagePlan::job(qsizetype index) const {
    PageJob job = make(index);
    if (job.refusal.isEmpty()) job.refusal = refusals_.value(index);
    return job;
}

void PagePlan::check() {
    using Target = PlanSettings::Target;
    const bool inPlace = settings_.target == Target::InPlace;
    const bool backups = inPlace && !settings_.backupSuffix.isEmpty();
    // The keys of the outputs (or of the backups) join the pages' own.
    if (!inPlace || backups) held_.reserve(held_.size() + pages_.size());
    OutputKeys outputKeys;
    for (qsizetype i = 0; i < size(); ++i) {
        if (errors_.contains(i)) continue;
        const Page& page = pages_[size_t(i)];
        Digest key;
        if (!inPlace) {
            if (const QString output = outputOf(page); !output.isEmpty() && output != u"-") {
                key = DigestOf(outputKeys.key(output));
            }
        } else if (const QString name = path(page); backups && name != u"-") {
            key = DigestOf(outputKeys.key(name + settings_.backupSuffix));
        }
        if (!key.isEmpty()) held_.push_back({key, quint32(i) | Held::kOutput});
    }
    std::sort(held_.begin(), held_.end(), Before);
    // Only a page that shares a key with another entry can be refused (a copy that would
    // replace its own page holds one key twice): most pages are looked at no more.
    struct Keys {
        Digest input;   // empty for standard input
        Digest output;  // the page itself in place; empty for none or standard output
        Digest backup;
    };
    QMap<qsizetype, Keys> shared;
    for (size_t from = 0, to = 0; from < held_.size(); from = to) {
        for (to = from + 1; to < held_.size() && held_[to].key == held_[from].key;) ++to;
        if (to - from < 2) continue;
        for (size_t k = from; k < to; ++k) shared.insert(held_[k].page(), {});
    }
    for (const Held& held : held_) {
        const auto found = shared.find(held.page());
        if (found == shared.end()) continue;
        (!held.output() ? found->input : backups ? found->backup : found->output) = held.key;
    }
    const auto holder = [&](const Digest& key, bool output, qsizetype self) {
        return Other(held_, key, output, self);
    };
    enum class Clash { None, SamePage, Replaced, ItsOwnCopy, ReplacesPage, SameOutput, Backup };
    for (auto page = shared.cbegin(); page != shared.cend(); ++page) {
        const qsizetype i = page.key();
        const Digest input = page->input;
        const Digest output = inPlace ? input : page->output;
        const Digest backup = page->backup;
        if (output.isEmpty()) continue;
        // Judged by the keys alone; the names are looked at for the few pages refused.
        Clash clash = Clash::None;
        qsizetype other = -1;
        if (settings_.target == Target::InPlace) {
            if ((other = holder(input, false, i)) >= 0) {
                clash = Clash::SamePage;
            } else if ((other = holder(input, true, i)) >= 0) {
                clash = Clash::Replaced;
            }
        } else if (settings_.target == Target::FixCopy && output == input) {
            clash = Clash::ItsOwnCopy;
        } else if ((other = holder(output, false, i)) >= 0) {
            clash = Clash::ReplacesPage;
        } else if ((other = holder(output, true, i)) >= 0) {
            clash = Clash::SameOutput;
        }
        if (clash == Clash::None && !backup.isEmpty() &&
            ((other = holder(backup, false, i)) >= 0 || (other = holder(backup, true, i)) >= 0)) {
            clash = Clash::Backup;
        }
        if (clash == Clash::None) continue;
        const PageJob job = make(i);
        const PageJob by = other >= 0 ? make(other) : PageJob();
        QString refusal;
        switch (clash) {
            case Clash::SamePage:
                refusal = QStringLiteral(
                              "not repaired: it is the same page as %1, which this run repairs "
                              "too")
                              .arg(by.path);
                break;
            case Clash::Replaced:
                refusal = QStringLiteral("not repaired: %1 would replace it")
                              .arg(by.backup.isEmpty() ? by.output : by.backup);
                break;
            case Clash::ItsOwnCopy:
                // Naming the page itself with -o is the user's choice; by default it is
                // refused.
                refusal = QStringLiteral(
                              "the repaired copy %1 would replace the page itself; name another "
                              "output with -o")
                              .arg(job.output);
                break;
            case Clash::ReplacesPage:
                refusal = QStringLiteral(
                              "not repaired: its output %1 would replace %2, a page of this run")
                              .arg(job.output, by.path);
                break;
            case Clash::SameOutput:
                refusal =
                    QStringLiteral("not repaired: its output %1 would also be the output of %2")
                        .arg(job.output, by.path);
                break;
            case Clash::Backup:
                refusal = QStringLiteral(
                              "not repaired: its backup %1 would replace a file of this run (of "
                              "%2)")
                              .arg(job.backup, by.path);
                break;
            case Clash::None:
                break;
        }
        refuse(i, std::move(refusal));
    }
    // The run needs the keys no more.
    std::vector<Held>().swap(held_);
}

void PagePlan::makeOutputFolders() {
    QHash<QString, QString> made;  // each folder, and why it could not be made
    for (qsizetype i = 0; i < size(); ++i) {
        if (errors_.contains(i) || refusals_.contains(i)) continue;
        const QString output = outputOf(pages_[size_t(i)]);
        const qsizetype slash = output.lastIndexOf(u'/');
        if (slash <= 0) continue;
        const QString folder = output.first(slash);
        auto found = made.find(folder);
        if (found == made.end()) {
            QString reason;
#ifdef Q_OS_UNIX
            // Each missing folder from the top down; one there already is no failure.
            const QByteArray name = EncodeFileName(folder);
            for (qsizetype at = name.indexOf('/', 1);; at = name.indexOf('/', at + 1)) {
                const QByteArray part = at < 0 ? name : name.first(at);
                const bool made = ::mkdir(part.constData(), 0777) == 0;
                if (!made && errno != EEXIST) {
                    reason = ResultForErrno(errno).reason;
                    break;
                }
                if (at < 0) {
                    // Made now, it holds nothing that the outputs could replace.
                    if (made) fresh_.insert(folder);
                    break;
                }
            }
#else
            if (!QDir().mkpath(folder)) reason = QStringLiteral("the folder cannot be made");
#endif
            found = made.insert(folder, reason);
        }
        if (!found->isEmpty()) {
            refuse(i, QStringLiteral("cannot make the folder %1: %2").arg(folder, *found));
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
