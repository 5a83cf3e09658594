// SPDX-License-Identifier: GPL-3.0-or-later
#include "documents/DocName.h"

namespace quillet {

PathRules PathRules::Native() {
#ifdef Q_OS_WIN
    return PathRules{true, true};
#else
    return PathRules{false, false};
#endif
}

DocName SplitDocName(const QString& path, PathRules rules) {
    qsizetype separator = path.lastIndexOf(u'/');
    if (rules.backslashSeparates) separator = std::max(separator, path.lastIndexOf(u'\\'));
    DocName name;
    name.fileName = path.sliced(separator + 1);
    name.dir = path.first(separator + 1);
    if (rules.upperCase) {
        name.fileName = name.fileName.toUpper();
        name.dir = name.dir.toUpper();
    }
    const qsizetype dot = name.fileName.lastIndexOf(u'.');
    name.baseName = dot < 0 ? name.fileName : name.fileName.first(dot);
    return name;
}

QString FixedFileName(const DocName& name) {
    return name.dir + name.baseName + QStringLiteral(".fix");
}

}  // namespace quillet
