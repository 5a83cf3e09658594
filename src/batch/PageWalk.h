// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace quillet {

/// Whether `name` matches the shell pattern `glob`: `*` matches any run of characters
/// ("/" too), `?` any one character, `[...]` one of a set (`[!...]` or `[^...]` one not in
/// it, `a-z` a range), and `\` takes the next character as it is.
bool MatchesGlob(QStringView glob, QStringView name,
                 Qt::CaseSensitivity sensitivity = Qt::CaseSensitive);

/// Which files of a walked folder are pages.
class PageFilter {
  public:
    /// `include` replaces the default patterns of pages when not empty; `exclude` leaves
    /// out files and folders.
    PageFilter(QStringList include, QStringList exclude)
        : include_(std::move(include)), exclude_(std::move(exclude)) {}

    /// Whether the walk enters the folder at `relative` (from the walked folder).
    bool entersFolder(QStringView relative) const;
    /// Whether the file at `relative` is a page.
    bool takesFile(QStringView relative) const;
    /// Whether only the usual rules choose: no patterns to include or exclude.
    bool usual() const { return include_.isEmpty() && exclude_.isEmpty(); }
    /// takesFile with the usual rules, for a file whose name is `name`, all ASCII.
    static bool TakesUsualName(QByteArrayView name);

  private:
    static bool Matches(const QStringList& globs, QStringView relative,
                        Qt::CaseSensitivity sensitivity);

    QStringList include_;
    QStringList exclude_;
};

/// What a walk found: a page, or a place it could not read.
struct FoundPage {
    QString path;      ///< as walked: the folder as given, then the path in it
    QString relative;  ///< the path from the walked folder
    qint64 size = 0;
    QString error;        ///< set for a folder that could not be read
    QByteArray identity;  ///< the file's FileIdentityKey, from the walk's own look at it
};

/// Hands `take` the pages in `folder` and its folders, in byte order of their paths.
/// Folders whose name starts with "." are not entered, symbolic links are not followed,
/// and only regular files are taken.
void WalkFolder(const QString& folder, const PageFilter& filter,
                const std::function<void(FoundPage&&)>& take);

/// The names listed in `list`, one a line or, with `nul`, separated by NUL bytes; empty
/// names are skipped. Names are read as the system's bytes.
QStringList SplitFileList(QByteArrayView list, bool nul);

}  // namespace quillet
