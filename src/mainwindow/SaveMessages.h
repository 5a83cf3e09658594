// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "documents/DocumentFile.h"

#include <QString>

namespace quillet {

/// The message that Save shows for a failed write to `path`: the fixed texts for a full
/// disk and a refused write, its own for a character the page's encoding cannot hold and
/// for a folder that no longer exists, the system's reason for any other failure that has
/// one, and the fixed text for the rest. Empty for a success.
QString SaveFailureMessage(const FileResult& result, const QString& path);

}  // namespace quillet
