// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/SecondaryWindows.h"

#include "registry/RegistryAccess.h"
#include "windows/HelpViewer.h"
#include "windows/IncludeList.h"
#include "windows/SkipListForm.h"
#include "windows/frmAbout.h"

#include <QPointer>
#include <memory>

namespace quillet {

// Each editor and About box lives for one showing only: it is made here, loaded, shown
// modally, and discarded when this function returns, which also ends its database
// connection.

void ShowSkipListForm(QWidget* parent, const QString& databasePath) {
    SkipListForm form(parent);
    if (form.Load(databasePath)) form.exec();
}

void ShowIncludeListForm(QWidget* parent, const QString& databasePath) {
    IncludeList form(parent);
    if (form.Load(databasePath)) form.exec();
}

void ShowAboutBox(QWidget* parent, const QString& wordListFile) {
    const std::unique_ptr<RegistryAccess> registry = CreateSystemRegistry();
    frmAbout box(SystemInfoAccess(*registry, wordListFile), parent);
    box.exec();
}

void ShowHelpTopics(QWidget* parent, const QString& collectionPath) {
    // One help window for the program; it goes when it is closed, or with its parent.
    static QPointer<HelpViewer> open;
    if (open) {
        open->show();
        open->raise();
        open->activateWindow();
        return;
    }
    auto viewer = std::make_unique<HelpViewer>(parent);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    // An open help window does not keep the program running once the main window closes.
    viewer->setAttribute(Qt::WA_QuitOnClose, false);
    if (!viewer->Load(collectionPath.isEmpty() ? HelpViewer::DefaultCollectionPath()
                                               : collectionPath)) {
        return;
    }
    open = viewer.release();
    open->show();
}

}  // namespace quillet
