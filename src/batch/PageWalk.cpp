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
#include <unistd.h>
#else
#include <QDirIterator>
#include <QFileInfo>
#endif

namespace quillet {

namespace {

/// The default pages: a file's name ends with one of these, in any letter case (as the
/// patterns "*.htm", "*.html", "*.shtml" and "*.xhtml" would match it).
constexpr QLatin1StringView kPageEndings[] = {QLatin1StringView(".htm"), QLatin1StringView(".html"),
                                              QLatin1StringView(".shtml"),
                                              QLatin1StringView(".xhtml")};

/// Whether a file of this name, a QStringView or a QLatin1StringView, is a repaired copy.
template <typename View>
bool IsRepairedCopy(View name) {
    return name.endsWith(QLatin1StringView(".fix"), Qt::CaseInsensitive);
}

/// Whether a file of this name is a page by the default patterns.
template <typename View>
bool HasPageEnding(View name) {
    return std::any_of(
        std::begin(kPageEndings), std::end(kPageEndings),
        [&](QLatin1StringView ending) { return name.endsWith(ending, Qt::CaseInsensitive); });
}

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
    if (IsRepairedCopy(name)) return false;
    if (Matches(exclude_, relative, Qt::CaseSensitive)) return false;
    if (!include_.isEmpty()) return Matches(include_, relative, Qt::CaseSensitive);
    return HasPageEnding(name);
}

bool PageFilter::TakesUsualName(QByteArrayView name) {
    const QLatin1StringView text(name);
    return !IsRepairedCopy(text) && HasPageEnding(text);
}

#ifdef Q_OS_UNIX

void WalkFolder(const QString& folder, const PageFilter& filter,
                const std::function<void(FoundPage&&)>& take) {
    const QString base = folder.endsWith(u'/') ? folder : folder + u'/';
    const QByteArray top = EncodeFileName(folder);
    const QByteArray baseBytes = EncodeFileName(base);
    const auto error = [](const char* what, int number) {
        return QStringLiteral("%1: %2").arg(QLatin1StringView(what), qt_error_string(number));
    };
    // Names stay the system's bytes; the filter reads one as text only when it has patterns
    // of the user's, or the name is not ASCII.
    const auto isAscii = [](QByteArrayView bytes) {
        return std::all_of(bytes.begin(), bytes.end(), [](char c) { return quint8(c) < 0x80; });
    };
    const bool usual = filter.usual();
    const auto takes = [&](const QByteArray& inner, QByteArrayView name) {
        return usual && isAscii(name) ? PageFilter::TakesUsualName(name)
                                      : filter.takesFile(DecodeFileName(inner));
    };
    const auto enters = [&](const QByteArray& inner, QByteArrayView name) {
        return usual ? !name.startsWith('.') : filter.entersFolder(DecodeFileName(inner));
    };
    const auto hand = [&](const QByteArray& relative, qint64 size, QString why,
                          QByteArray identity) {
        const QString text = DecodeFileName(relative);
        take({text.isEmpty() ? folder : base + text, text, size, std::move(why),
              std::move(identity)});
    };

    // One folder's pages and the folders the walk enters, sorted by their names with a "/"
    // after a folder's: taken in that order, folder by folder, the pages come in the byte
    // order of their whole paths, and the walk holds no more than the folders it is in.
    struct Entry {
        QByteArray key;  // the name, and "/" after a folder's
        qint64 size = 0;
        QByteArray identity;
        QString error;  // a page or folder that could not be looked at
        bool folder = false;
    };
    struct Level {
        QByteArray relative;  // from the walked folder
        std::vector<Entry> entries;
        size_t next = 0;
    };
    // Lists the folder at `relative`; false after handing on why it cannot be read.
    const auto list = [&](const QByteArray& relative, Level* level) {
        level->relative = relative;
        DIR* listing = ::opendir((relative.isEmpty() ? top : baseBytes + relative).constData());
        if (!listing) {
            hand(relative, 0, error("cannot read the folder", errno), {});
            return false;
        }
        int failure = 0;
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(listing);
            if (!entry) {
                failure = errno;
                break;
            }
            const QByteArrayView name(entry->d_name, qsizetype(std::strlen(entry->d_name)));
            if (name == "." || name == "..") continue;
            QByteArray inner;
            inner.reserve(relative.size() + 1 + name.size());
            if (!relative.isEmpty()) inner.append(relative).append('/');
            inner.append(name);
            unsigned char type = entry->d_type;
            struct stat info {};
            const bool taken = type != DT_DIR && takes(inner, name);
            const bool look = type == DT_UNKNOWN || (type == DT_REG && taken);
            if (look) {
                if (::fstatat(::dirfd(listing), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
                    level->entries.push_back(
                        {name.toByteArray(), 0, {}, error("cannot look at it", errno), false});
                    continue;
                }
                type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
            }
            if (type == DT_DIR && enters(inner, name)) {
                // A folder that cannot be read is said where its name sorts, before what
                // the name begins ("news" before "news.htm", whose folder "news/" comes
                // after).
                const int fd = ::openat(::dirfd(listing), entry->d_name,
                                        O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (fd < 0) {
                    level->entries.push_back(
                        {name.toByteArray(), 0, {}, error("cannot read the folder", errno), false});
                    continue;
                }
                ::close(fd);
                level->entries.push_back({name.toByteArray() + '/', 0, {}, {}, true});
            } else if (type == DT_REG && look && taken) {
                level->entries.push_back(
                    {name.toByteArray(),
                     qint64(info.st_size),
                     FileIdentityKey(quint64(info.st_dev), quint64(info.st_ino)),
                     {},
                     false});
            }
        }
        ::closedir(listing);
        if (failure != 0) hand(relative, 0, error("cannot read the folder", failure), {});
        std::sort(level->entries.begin(), level->entries.end(),
                  [](const Entry& a, const Entry& b) { return a.key < b.key; });
        return true;
    };

    std::vector<Level> levels(1);
    if (!list(QByteArray(), &levels.back())) return;
    while (!levels.empty()) {
        Level& level = levels.back();
        if (level.next == level.entries.size()) {
            levels.pop_back();
            continue;
        }
        Entry entry = std::move(level.entries[level.next++]);
        QByteArray relative = level.relative;
        if (!relative.isEmpty()) relative.append('/');
        if (entry.folder) {
            relative.append(QByteArrayView(entry.key).chopped(1));
            Level inner;
            if (list(relative, &inner)) levels.push_back(std::move(inner));
        } else {
            relative.append(entry.key);
            hand(relative, entry.size, std::move(entry.error), std::move(entry.identity));
        }
    }
}

#else

void WalkFolder(const QString& folder, const PageFilter& filter,
                const std::function<void(FoundPage&&)>& take) {
    const QString base = folder.endsWith(u'/') ? folder : folder + u'/';
    // What was found, held until it is sorted: the path from the walked folder as its
    // bytes, which are also what it sorts by.
    struct Found {
        QByteArray relative;
        qint64 size;
    };
    std::vector<Found> found;
    std::vector<QString> folders{QString()};  // still to read, from the walked folder
    while (!folders.empty()) {
        const QString relative = std::move(folders.back());
        folders.pop_back();
        QDirIterator it(relative.isEmpty() ? folder : base + relative,
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        while (it.hasNext()) {
            const QFileInfo info(it.next());
            const QString inner =
                relative.isEmpty() ? info.fileName() : relative + u'/' + info.fileName();
            if (info.isSymLink()) continue;
            if (info.isDir() && filter.entersFolder(inner)) folders.push_back(inner);
            if (info.isFile() && filter.takesFile(inner)) {
                found.push_back({EncodeFileName(inner), info.size()});
            }
        }
    }
    // In byte order of the paths, so that every run takes the pages in the same order.
    std::sort(found.begin(), found.end(),
              [](const Found& a, const Found& b) { return a.relative < b.relative; });
    for (Found& page : found) {
        const QString relative = DecodeFileName(page.relative);
        take({base + relative, relative, page.size, {}, {}});
    }
}

#endif

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
