// SPDX-License-Identifier: GPL-3.0-or-later
// A core source that calls a window's function, declared by hand past the include root:
// linked with the core's libraries only, it must not link.
#include "engine/Functions.h"

class QWidget;

namespace quillet {
void ShowMessage(const QString& text, QWidget* parent);
}

int main() {
    quillet::ShowMessage(QStringLiteral("from the core"), nullptr);
    return 0;
}
