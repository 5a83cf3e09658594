// SPDX-License-Identifier: GPL-3.0-or-later
// Quillet: repairs HTML pages whose paragraphs were opened with <p> and never closed.
#include "documents/FileNames.h"
#include "mainwindow/MainForm.h"
#include "options/WindowOptions.h"
#include "windows/Translations.h"
#include "windows/WindowImages.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

/// Qt's own options, which QApplication takes from the command line: those that stand
/// alone, and those followed by their value (or joined to it by "=").
const char* const kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
const char* const kQtOptions[] = {
    "platform",      "platformpluginpath",
    "platformtheme", "plugin",
    "qmljsdebugger", "qwindowgeometry",
    "qwindowicon",   "qwindowtitle",
    "session",       "display",
    "geometry",      "title",
    "name",          "visual",
    "style",         "stylesheet",
};

/// `arguments` without Qt's own options, which QApplication reads (a single or a double
/// dash before the name). A "--" ends the options.
QStringList WithoutQtOptions(const QStringList& arguments) {
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--")) {
            kept += arguments.mid(i);
            break;
        }
        QString name = argument;
        if (name.startsWith(QLatin1String("--"))) name.remove(0, 1);
        if (i == 0 || !name.startsWith(u'-')) {
            kept << argument;
            continue;
        }
        name.remove(0, 1);
        const QString bare = name.section(u'=', 0, 0);
        const auto is = [&bare](const char* option) { return bare == QLatin1String(option); };
        if (std::any_of(std::begin(kQtFlags), std::end(kQtFlags), is)) continue;
        if (std::any_of(std::begin(kQtOptions), std::end(kQtOptions), is)) {
            if (!name.contains(u'=')) ++i;  // its value follows
            continue;
        }
        kept << argument;
    }
    return kept;
}

}  // namespace

int main(int argc, char* argv[]) {
    // The command line is read before the window system is reached, so that --help,
    // --version and a usage error need no display.
    // The arguments as the system's bytes: file names that are not UTF-8 stay nameable.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << quillet::DecodeFileName(argv[i]);
    QCommandLineParser parser;
    for (const quillet::OptionHelp& option : quillet::WindowOptionTable()) {
        QStringList names{QString::fromLatin1(option.name)};
        if (option.letter) names.prepend(QString(QChar::fromLatin1(option.letter)));
        parser.addOption(QCommandLineOption(names, QString(), option.valueName()));
    }
    const QString help = QStringLiteral("help");
    const QString version = QStringLiteral("version");
    const QString wordlists = QStringLiteral("wordlists");
    if (!parser.parse(WithoutQtOptions(arguments))) {
        std::fprintf(stderr, "quillet: %s\nTry 'quillet --help'.\n",
                     parser.errorText().toLocal8Bit().constData());
        return 2;
    }
    if (parser.isSet(help)) {
        std::fputs(quillet::WindowUsage().toUtf8().constData(), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::puts("quillet " QUILLET_VERSION);
        return 0;
    }
    const QString wordListFile =
        parser.isSet(wordlists) ? quillet::AbsoluteFileName(parser.value(wordlists)) : QString();
    const QStringList files = parser.positionalArguments();

    QApplication app(argc, argv);
    // The organisation and application names key the settings; the application name is
    // also the title of every message box that names none of its own.
    QApplication::setOrganizationName(QStringLiteral("Quillet"));
    QApplication::setApplicationName(QStringLiteral("Quillet"));
    // Qt's own texts (dialogs, standard buttons) in the user's language.
    quillet::InstallTranslations();
    QApplication::setApplicationVersion(QStringLiteral(QUILLET_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("io.github.quillet.Quillet"));
    QApplication::setWindowIcon(quillet::ApplicationIcon());

    quillet::MainForm form(nullptr, nullptr, nullptr, wordListFile);
    form.show();
    // One page a window: every further page goes to a program of its own, started the
    // same way in the same working folder.
    for (qsizetype i = 1; i < files.size(); ++i) {
        QStringList more;
        if (!wordListFile.isEmpty()) more << QStringLiteral("--wordlists") << wordListFile;
        more << QStringLiteral("--") << quillet::AbsoluteFileName(files[i]);
        QProcess::startDetached(QCoreApplication::applicationFilePath(), more);
    }
    // The first page is read once the window shows, so a large one does not delay it.
    if (!files.isEmpty()) {
        const QString first = quillet::AbsoluteFileName(files.first());
        QTimer::singleShot(0, &form, [&form, first] { form.openFile(first); });
    }
    return QApplication::exec();
}
