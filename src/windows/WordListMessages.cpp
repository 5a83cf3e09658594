// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/WordListMessages.h"

#include "frontend/StoreErrorText.h"
#include "windows/Translations.h"

namespace quillet {

QString WordListMessage(const StoreError& error, ListUse use, const QString& list) {
    const QString what = StoreErrorText(error);
    switch (use) {
        case ListUse::Repair:
            return MainFormTr("The word lists could not be read, so the page was left as it was.") +
                   QStringLiteral("\n\n") + what;
        case ListUse::Edit:
            return MainFormTr("The %1 cannot be edited. %2").arg(list, what);
        case ListUse::Change:
            break;
    }
    return what;
}

}  // namespace quillet
