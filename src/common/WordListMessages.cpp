#include "common/WordListMessages.h"

#include "wordlists/StoreErrorText.h"

#include <QCoreApplication>

namespace quillet {

QString WordListMessage(const StoreError& error, ListUse use, const QString& list) {
    const QString what = StoreErrorText(error);
    switch (use) {
        case ListUse::Repair:
            return QCoreApplication::translate(
                       "quillet::MainForm",
                       "The word lists could not be read, so the page was left as it was.") +
                   QStringLiteral("\n\n") + what;
        case ListUse::Edit:
            return QCoreApplication::translate("quillet::MainForm", "The %1 cannot be edited. %2")
                .arg(list, what);
        case ListUse::Change:
            break;
    }
    return what;
}

}  // namespace quillet
