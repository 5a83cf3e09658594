// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mainwindow/MainFormDialogs.h"

#include <QStringList>

namespace quillet {

/// The platform's file dialogs and message box, and the program's secondary windows.
class StandardMainFormDialogs final : public MainFormDialogs {
  public:
    /// The file kinds the Open dialog offers, the first chosen: HTML pages, the ".fix"
    /// files Save writes, and every file.
    static QStringList OpenFilters();
    /// The same for the Save dialog, ".fix" first.
    static QStringList SaveFilters();

    std::optional<QString> askOpenPath(QWidget* parent, const QString& startPath) override;
    std::optional<QString> askSavePath(QWidget* parent, const QString& proposal) override;
    UnsavedAnswer askUnsavedChanges(QWidget* parent) override;
    std::optional<int> askLineNumber(QWidget* parent, int current, int last) override;

    void showSkipList(QWidget* parent, const QString& databasePath) override;
    void showIncludeList(QWidget* parent, const QString& databasePath) override;
    void showAbout(QWidget* parent, const QString& wordListFile) override;
    void showHelpTopics(QWidget* parent) override;
};

}  // namespace quillet
