// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/PageWalk.h"

#include "documents/DocumentFile.h"
#include "documents/FileNames.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#else
#include <QDirIterator>
#include <QFileInfo>
#endif

namespace quillet {

namespace {

/// The default pages, matched against a file's name in any letter case.
const char* const kPagePatterns[] = {"*.htm", "*.html", "*.shtml", "*.xhtml"};

bool SameCharacter(QChar a, QChar b, Qt::CaseSensitivity sensitivity) {
    return a == b || (sensitivity == Qt::CaseInsensitive && a.toCaseFolded() == b.toCaseFolded());
}

/// The end (one past the "]") of the set that opens at `glob[at]`; -1 when it is not closed,
/// and the "[" stands for itself.
qsizetype SetEnd(QStringView glob, qsizetype at) {
    qsizetype i = at + 1;
    if (i < glob.size() && (glob[i] == u'!' || glob[i] == u'^')) ++i;
    if (i < glob.size() && glob[i] == u']') ++i;  // a "]" first is one of the set
    const qsizetype close = glob.indexOf(u']', i);
    return close < 0 ? -1 : close + 1;
}

/// Whether `c` is one of the set `set` ("[...]" whole).
bool InSet(QStringView set, QChar c, Qt::CaseSensitivity sensitivity) {
    set = set.sliced(1, set.size() - 2);
    const bool negated = !set.isEmpty() && (set[0] == u'!' || set[0] == u'^');
    if (negated) set = set.sliced(1);
    bool found = false;
    for (qsizetype i = 0; i < set.size() && !found; ++i) {
        if (i + 2 < set.size() && set[i + 1] == u'-') {
            const auto within = [&](QChar x) { return x >= set[i] && x <= set[i + 2]; };
            found = within(c) || (sensitivity == Qt::CaseInsensitive &&
                                  (within(c.toLower()) || within(c.toUpper())));
            i += 2;
        } else {
            found = SameCharacter(set[i], c, sensitivity);
        }
    }
    return found != negated;
}

}  // namespace

bool MatchesGlob(QStringView glob, QStringView name, Qt::CaseSensitivity sensitivity) {
    qsizetype g = 0;
    qsizetype n = 0;
    qsizetype starGlob = -1;  // after the last "*" met, and where its match now ends
    qsizetype starName = 0;
    while (n < name.size()) {
        if (g < glob.size()) {
            if (glob[g] == u'*') {
                starGlob = ++g;
                starName = n;
                continue;
            }
            bool matched = false;
            qsizetype next = g + 1;
            if (glob[g] == u'?') {
                matched = true;
            } else if (glob[g] == u'[' && (next = SetEnd(glob, g)) > 0) {
                matched = InSet(glob.sliced(g, next - g), name[n], sensitivity);
            } else {
                if (glob[g] == u'\\' && g + 1 < glob.size()) ++g;
                next = g + 1;
                matched = SameCharacter(glob[g], name[n], sensitivity);
            }
            if (matched) {
                g = next;
                ++n;
                continue;
            }
        }
        // Let the last "*" take one more character, and try again from there.
        if (starGlob < 0) return false;
        g = starGlob;
        n = ++starName;
    }
    while (g < glob.size() && glob[g] == u'*') ++g;
    return g == glob.size();
}

bool PageFilter::Matches(const QStringList& globs, QStringView relative,
                         Qt::CaseSensitivity sensitivity) {
    const QStringView name = relative.sliced(relative.lastIndexOf(u'/') + 1);
    return std::any_of(globs.begin(), globs.end(), [&](const QString& glob) {
        return MatchesGlob(glob, relative, sensitivity) ||
               (!glob.contains(u'/') && MatchesGlob(glob, name, sensitivity));
    });
}

bool PageFilter::entersFolder(QStringView relative) const {
    const QStringView name = relative.sliced(relative.lastIndexOf(u'/') + 1);
    return !name.startsWith(u'.') && !Matches(exclude_, relative, Qt::CaseSensitive);
}

bool PageFilter::takesFile(QStringView relative) const {
    const QStringView name = relative.sliced(relative.lastIndexOf(u'/') + 1);
    // A repaired copy is never taken for a page, whatever the patterns.
    if (name.endsWith(u".fix", Qt::CaseInsensitive)) return false;
    if (Matches(exclude_, relative, Qt::CaseSensitive)) return false;
    if (!include_.isEmpty()) return Matches(include_, relative, Qt::CaseSensitive);
    return std::any_of(std::begin(kPagePatterns), std::end(kPagePatterns), [&](const char* glob) {
        return MatchesGlob(QString::fromLatin1(glob), name, Qt::CaseInsensitive);
    });
}

QList<FoundPage> WalkFolder(const QString& folder, const PageFilter& filter) {
    const QString base = folder.endsWith(u'/') ? folder : folder + u'/';
    QList<FoundPage> found;
    std::vector<QString> folders{QString()};  // still to read, from the walked folder
    while (!folders.empty()) {
        const QString relative = std::move(folders.back());
        folders.pop_back();
        const QString path = relative.isEmpty() ? folder : base + relative;
        const auto child = [&](const QString& name) {
            return relative.isEmpty() ? name : relative + u'/' + name;
        };
#ifdef Q_OS_UNIX
        DIR* listing = ::opendir(EncodeFileName(path).constData());
        if (!listing) {
            found.append({path,
                          relative,
                          0,
                          QStringLiteral("cannot read the folder: %1").arg(qt_error_string(errno)),
                          {}});
            continue;
        }
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(listing);
            if (!entry) {
                if (errno != 0) {
                    found.append(
                        {path,
                         relative,
                         0,
                         QStringLiteral("cannot read the folder: %1").arg(qt_error_string(errno)),
                         {}});
                }
                break;
            }
            const QByteArrayView bytes(entry->d_name, qsizetype(std::strlen(entry->d_name)));
            if (bytes == "." || bytes == "..") continue;
            const QString inner = child(DecodeFileName(bytes));
            unsigned char type = entry->d_type;
            struct stat info {};
            const bool look = type == DT_UNKNOWN || (type == DT_REG && filter.takesFile(inner));
            if (look) {
                if (::fstatat(::dirfd(listing), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
                    found.append(
                        {base + inner,
                         inner,
                         0,
                         QStringLiteral("cannot look at it: %1").arg(qt_error_string(errno)),
                         {}});
                    continue;
                }
                type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
            }
            if (type == DT_DIR && filter.entersFolder(inner)) {
                folders.push_back(inner);
            } else if (type == DT_REG && look && filter.takesFile(inner)) {
                found.append({base + inner,
                              inner,
                              qint64(info.st_size),
                              {},
                              FileIdentityKey(quint64(info.st_dev), quint64(info.st_ino))});
            }
        }
        ::closedir(listing);
#else
        QDirIterator it(path,
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        while (it.hasNext()) {
            const QFileInfo info(it.next());
            const QString inner = child(info.fileName());
            if (info.isSymLink()) continue;
            if (info.isDir() && filter.entersFolder(inner)) folders.push_back(inner);
            if (info.isFile() && filter.takesFile(inner)) {
                found.append({base + inner, inner, info.size(), {}, {}});
            }
        }
#endif
    }
    // In byte order of the paths, so that every run takes the pages in the same order.
    std::vector<std::pair<QByteArray, qsizetype>> order;
    order.reserve(size_t(found.size()));
    for (qsizetype i = 0; i < found.size(); ++i) {
        order.emplace_back(EncodeFileName(found[i].relative), i);
    }
    std::sort(order.begin(), order.end());
    QList<FoundPage> sorted;
    sorted.reserve(found.size());
    for (const auto& [key, index] : order) sorted.append(std::move(found[index]));
    return sorted;
}

QStringList SplitFileList(QByteArrayView list, bool nul) {
    QStringList names;
    const char separator = nul ? '\0' : '\n';
    qsizetype from = 0;
    while (from < list.size()) {
        qsizetype end = list.indexOf(separator, from);
        if (end < 0) end = list.size();
        if (end > from) names.append(DecodeFileName(list.sliced(from, end - from)));
        from = end + 1;
    }
    return names;
}

}  // namespace quillet
