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
    return QIcon(path);
}

}  // namespace quillet
