// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "options/OptionHelp.h"

#include <QString>
#include <span>

namespace quillet {

/// The options of the window program, `quillet`, which its command line reads and its
/// --help and manual page list.
std::span<const OptionHelp> WindowOptionTable();

/// The text of `quillet --help`.
QString WindowUsage();

}  // namespace quillet
