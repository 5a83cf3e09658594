// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "wordlists/WordListStore.h"

#include <QString>
#include <QStringList>

namespace quillet {

/// Opening tags that leave an open paragraph open: phrasing elements and their friends,
/// their self-closing spellings ("br/"), head elements that may stray into the body,
/// and the empty name that comments, declarations and a lone "<" carry.
QStringList DefaultSkipList();

/// Closing tags, with their "/", of the elements whose end closes a paragraph inside them.
QStringList DefaultIncludeList();

/// Creates a word-list database at `path` with both tables, their indexes and the default
/// lists. Refuses to replace an existing file; never leaves a half-made file behind.
bool CreateWordListDatabase(const QString& path, StoreError* error);

}  // namespace quillet
