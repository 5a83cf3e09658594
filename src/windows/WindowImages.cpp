// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/WindowImages.h"

#include <QFile>

// The pictures live in a static library, whose resources must be registered by hand;
// the registration cannot be named inside a namespace.
static void RegisterWindowImages() {
    Q_INIT_RESOURCE(windows);
}

namespace quillet {

namespace {

void EnsureRegistered() {
    static const bool registered = [] {
        RegisterWindowImages();
        return true;
    }();
    (void)registered;
}

}  // namespace

QIcon ApplicationIcon() {
    EnsureRegistered();
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        icon.addFile(QStringLiteral(":/quillet/quillet-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

QIcon ToolbarImage(const QString& file) {
    EnsureRegistered();
    const QString path = QStringLiteral(":/quillet/toolbar/") + file;
    if (!QFile::exists(path)) return {};
    QIcon icon(path);
    // The double-size drawing, for screens with twice the pixel density; added here
    // rather than found by QIcon, which looks for it only when the screen needs it at
    // the time the icon is made.
    QString doubled = path;
    doubled.insert(doubled.lastIndexOf(u'.'), QStringLiteral("@2x"));
    if (QFile::exists(doubled)) icon.addFile(doubled);
    return icon;
}

}  // namespace quillet
