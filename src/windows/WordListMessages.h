// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/StoreError.h"

#include <QString>

namespace quillet {

/// What the window was doing with the word lists when they failed.
enum class ListUse {
    Repair,  ///< Fix File, which then leaves the page as it was
    Edit,    ///< opening a list editor, which then does not open
    Change,  ///< an editor's change or refill of its list
};

/// The message the window shows when the word lists fail during `use`: what that means
/// for the command, then the file and what went wrong with it. `list` names the list
/// being edited ("skip list").
QString WordListMessage(const StoreError& error, ListUse use, const QString& list = QString());

}  // namespace quillet
