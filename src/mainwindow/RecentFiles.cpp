// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/RecentFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace quillet {

const QString RecentFiles::kKey = QStringLiteral("files/recent");

namespace {

QString Absolute(const QString& path) {
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

void Store(QStringList paths) {
    paths.removeDuplicates();
    while (paths.size() > RecentFiles::kMaximum) paths.removeLast();
    QSettings().setValue(RecentFiles::kKey, paths);
}

}  // namespace

QStringList RecentFiles::paths() const {
    QStringList paths = QSettings().value(kKey).toStringList();
    paths.removeAll(QString());
    return paths.mid(0, kMaximum);
}

void RecentFiles::add(const QString& path) {
    const QString absolute = Absolute(path);
    QStringList list = paths();
    list.removeAll(absolute);
    list.prepend(absolute);
    Store(list);
}

void RecentFiles::remove(const QString& path) {
    QStringList list = paths();
    list.removeAll(path);
    list.removeAll(Absolute(path));
    Store(list);
}

void RecentFiles::clear() {
    QSettings().remove(kKey);
}

}  // namespace quillet
