// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QString>

namespace quillet {

/// The application icon, the icon of every window and the About box's picture.
QIcon ApplicationIcon();

/// The toolbar picture stored under `file` ("open.png", ...), with its double-size
/// drawing for dense screens; a null icon when unknown.
QIcon ToolbarImage(const QString& file);

}  // namespace quillet
