#pragma once

#include <QList>
#include <QLocale>

class QTranslator;

namespace quillet {

/// Installs Qt's own translations (the texts of its dialogs and standard buttons) and
/// those of the editor component for `locale`, from Qt's translations folder, and returns
/// the translators installed; the application owns them. The program's own texts are
/// written in English and stay so where no translation of them exists.
QList<QTranslator*> InstallTranslations(const QLocale& locale = QLocale());

}  // namespace quillet
