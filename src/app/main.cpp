// Quillet: repairs HTML pages whose paragraphs were opened with <p> and never closed.
#include "common/Translations.h"
#include "mainwindow/MainForm.h"
#include "windows/WindowImages.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The application's title: the title of every message box that names none of its own.
    QApplication::setApplicationName(QStringLiteral("Quillet"));
    // Where QSettings keeps the window's state and the recent files.
    QApplication::setOrganizationName(QStringLiteral("Quillet"));
    quillet::InstallTranslations();
    QApplication::setApplicationVersion(QStringLiteral(QUILLET_VERSION));
    QApplication::setWindowIcon(quillet::ApplicationIcon());

    quillet::MainForm form;
    form.show();
    return QApplication::exec();
}
