#pragma once

#include <QString>

class QWidget;

namespace quillet {

// The windows the main window opens. Each is created afresh, shown modally and discarded
// when it closes; the calls return when it has closed.

/// The skip-list editor ("Skip List") over the database at `databasePath`.
void ShowSkipListForm(QWidget* parent, const QString& databasePath);
/// The include-list editor ("Include List") over the database at `databasePath`.
void ShowIncludeListForm(QWidget* parent, const QString& databasePath);
/// The About box.
void ShowAboutBox(QWidget* parent);
/// The help, opened at its index of topics.
void ShowHelpTopics(QWidget* parent);

}  // namespace quillet
