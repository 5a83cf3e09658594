// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/StandardMainFormDialogs.h"

#include "mainwindow/SecondaryWindows.h"
#include "windows/Translations.h"
#include "windows/Utilities.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace quillet {

namespace {

std::optional<QString> Chosen(const QString& path) {
    if (path.isEmpty()) return std::nullopt;
    return path;
}

}  // namespace

QStringList StandardMainFormDialogs::OpenFilters() {
    return {MainFormTr("HTML Files (*.htm *.html *.xhtml)"), MainFormTr("Fixed Files (*.fix)"),
            MainFormTr("All Files (*)")};
}

QStringList StandardMainFormDialogs::SaveFilters() {
    return {MainFormTr("Fixed Files (*.fix)"), MainFormTr("HTML Files (*.htm *.html *.xhtml)"),
            MainFormTr("All Files (*)")};
}

std::optional<QString> StandardMainFormDialogs::askOpenPath(QWidget* parent,
                                                            const QString& startPath) {
    // The dialog only opens files that exist, and never changes the working directory.
    return Chosen(QFileDialog::getOpenFileName(parent, MainFormTr("Open"), startPath,
                                               OpenFilters().join(QStringLiteral(";;"))));
}

std::optional<QString> StandardMainFormDialogs::askSavePath(QWidget* parent,
                                                            const QString& proposal) {
    // It asks before replacing a file; a name typed without an extension stays as typed.
    return Chosen(QFileDialog::getSaveFileName(parent, MainFormTr("Save As"), proposal,
                                               SaveFilters().join(QStringLiteral(";;"))));
}

MainFormDialogs::UnsavedAnswer StandardMainFormDialogs::askUnsavedChanges(QWidget* parent) {
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(),
                    MainFormTr("The document has changes that have not been saved."),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    box.setInformativeText(MainFormTr("Do you want to save them?"));
    box.setDefaultButton(QMessageBox::Save);
    // Each answer has its access key, whatever texts the platform gives the buttons.
    GiveAccessKeys(box.buttons());
    FitTitle(box);
    switch (box.exec()) {
        case QMessageBox::Save:
            return UnsavedAnswer::Save;
        case QMessageBox::Discard:
            return UnsavedAnswer::Discard;
        default:
            return UnsavedAnswer::Cancel;
    }
}

std::optional<int> StandardMainFormDialogs::askLineNumber(QWidget* parent, int current, int last) {
    bool ok = false;
    const int line = QInputDialog::getInt(parent, MainFormTr("Go to Line"),
                                          MainFormTr("Line number (1 to %1):").arg(last), current,
                                          1, last, 1, &ok);
    return ok ? std::optional(line) : std::nullopt;
}

void StandardMainFormDialogs::showSkipList(QWidget* parent, const QString& databasePath) {
    ShowSkipListForm(parent, databasePath);
}

void StandardMainFormDialogs::showIncludeList(QWidget* parent, const QString& databasePath) {
    ShowIncludeListForm(parent, databasePath);
}

void StandardMainFormDialogs::showAbout(QWidget* parent, const QString& wordListFile) {
    ShowAboutBox(parent, wordListFile);
}

void StandardMainFormDialogs::showHelpTopics(QWidget* parent) {
    ShowHelpTopics(parent);
}

}  // namespace quillet
