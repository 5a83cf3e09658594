// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "documents/DocumentFile.h"

#include <QString>

namespace quillet {

/// The message that Save shows for a failed write: the fixed texts for a full disk, a
/// refused write and any other failure, and its own for a character the page's encoding
/// cannot hold. Empty for a success.
QString SaveFailureMessage(const FileResult& result);

}  // namespace quillet
