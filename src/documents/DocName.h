// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace quillet {

/// The name parts of a document's path.
struct DocName {
    QString dir;       ///< the folder part with its trailing separator; empty when none
    QString fileName;  ///< everything after the last separator, extension included
    QString baseName;  ///< fileName without its last "." and what follows
};

/// How paths are split: on Windows at "\" (or "/") with the parts upper-cased, as its file
/// names ignore case; elsewhere at "/" with the parts kept as they are, since an
/// upper-cased folder would name another folder.
struct PathRules {
    bool upperCase;
    bool backslashSeparates;
    static PathRules Native();
};

DocName SplitDocName(const QString& path, PathRules rules = PathRules::Native());

/// The name a repaired copy is saved under: the folder and base name with ".fix".
QString FixedFileName(const DocName& name);

}  // namespace quillet
