// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace quillet {

QList<QTranslator*> InstallTranslations(const QLocale& locale) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    QList<QTranslator*> installed;
    for (const char* catalogue : {"qtbase", "qscintilla"}) {
        // Owned by the application once installed.
        auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
        if (!translator->load(locale, QString::fromLatin1(catalogue), QStringLiteral("_"),
                              folder)) {
            continue;
        }
        QCoreApplication::installTranslator(translator.get());
        installed << translator.release();
    }
    return installed;
}

QString MainFormTr(const char* text) {
    return QCoreApplication::translate("quillet::MainForm", text);
}

}  // namespace quillet
