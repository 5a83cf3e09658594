// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/StoreError.h"

#include <QString>

namespace quillet {

/// The sentence that tells the user why the word lists failed, naming the database file:
/// "Word-list database "FILE": what went wrong." Both programs word the store's errors
/// through it; the core itself holds no sentence of them.
QString StoreErrorText(const StoreError& error);

}  // namespace quillet
