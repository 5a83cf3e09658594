// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QLocale>
#include <QString>

class QTranslator;

namespace quillet {

/// Installs Qt's own translations (the texts of its dialogs and standard buttons) and
/// those of the editor component for `locale`, from Qt's translations folder, and returns
/// the translators installed; the application owns them. The program's own texts are
/// written in English and stay so where no translation of them exists.
QList<QTranslator*> InstallTranslations(const QLocale& locale = QLocale());

/// `text` in the one translation context of the main window's texts, which its
/// definition, its dialogs and its messages share.
QString MainFormTr(const char* text);

}  // namespace quillet
