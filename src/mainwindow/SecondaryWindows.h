// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QWidget;

namespace quillet {

// The windows the main window opens. The editors and the About box are created afresh,
// shown modally and discarded when they close; those calls return when the window has
// closed. The help stays open beside the main window.

/// The skip-list editor ("Skip List") over the database at `databasePath`.
void ShowSkipListForm(QWidget* parent, const QString& databasePath);
/// The include-list editor ("Include List") over the database at `databasePath`.
void ShowIncludeListForm(QWidget* parent, const QString& databasePath);
/// The About box; its System Info names `wordListFile` as the word-list file in use.
void ShowAboutBox(QWidget* parent, const QString& wordListFile = QString());
/// The help, opened at its index of topics, over the collection at `collectionPath`
/// (by default the one beside the program). The help window is not modal: the call
/// returns at once, and a help window already open is brought to the front instead.
void ShowHelpTopics(QWidget* parent, const QString& collectionPath = QString());

}  // namespace quillet
