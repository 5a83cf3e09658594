#include "common/SecondaryWindows.h"

#include "windows/HelpViewer.h"
#include "windows/RegistryAccess.h"
#include "windows/frmAbout.h"
#include "wordlists/IncludeList.h"
#include "wordlists/SkipListForm.h"

namespace quillet {

// Each window object lives for one showing only: it is made here, loaded, shown modally,
// and discarded when this function returns, which also ends its database connection.

void ShowSkipListForm(QWidget* parent, const QString& databasePath) {
    SkipListForm form(parent);
    if (form.Load(databasePath)) form.exec();
}

void ShowIncludeListForm(QWidget* parent, const QString& databasePath) {
    IncludeList form(parent);
    if (form.Load(databasePath)) form.exec();
}

void ShowAboutBox(QWidget* parent) {
    const std::unique_ptr<RegistryAccess> registry = CreateSystemRegistry();
    frmAbout box(SystemInfoAccess(*registry), parent);
    box.exec();
}

void ShowHelpTopics(QWidget* parent) {
    HelpViewer viewer(parent);
    if (viewer.Load(HelpViewer::DefaultCollectionPath())) viewer.exec();
}

}  // namespace quillet
