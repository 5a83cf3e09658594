// SPDX-License-Identifier: GPL-3.0-or-later
// The main of the GUI tests: GoogleTest inside a QApplication, with the program's settings
// kept in a temporary folder of their own.
#include <gtest/gtest.h>
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    // CTest sets the offscreen platform; the test listing at build time runs without it.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillet"));
    QApplication::setOrganizationName(QStringLiteral("Quillet"));
    // Never the user's own settings.
    const QTemporaryDir settings;
    if (!settings.isValid()) return 1;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    return RUN_ALL_TESTS();
}
