// The main window's start-up, command dispatch, repair commands and closing.
#include "MainFormTestSupport.h"
#include "engine/Functions.h"
#include "mainwindow/ProgressDisplay.h"
#include "windows/WorkBoxEditor.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace quillet::test {
namespace {

TEST_F(MainFormTest, StartsEmptyWithTheDesignCaption) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Orvane Quillet"));
    EXPECT_EQ(label("CountBox"), QString());
    EXPECT_EQ(label("PBox"), QString());
    EXPECT_TRUE(form->ui().WorkBox->isDocumentEmpty());
    EXPECT_EQ(lists.opens, 0);  // nothing is loaded at start-up
    EXPECT_EQ(form->databasePath(),
              QDir(dir.path()).absoluteFilePath(QStringLiteral("SkipList.db")));
    EXPECT_TRUE(dialogs->calls.isEmpty());
}

TEST_F(MainFormTest, ToolbarDispatchesByExactKey) {
    const QString db = form->databasePath();
    const struct {
        const char* key;
        QString call;
    } cases[] = {
        {"Open", QStringLiteral("open ")},
        {"SkipList", QStringLiteral("skip list ") + db},
        {"Include", QStringLiteral("include list ") + db},
    };
    for (const auto& c : cases) {
        dialogs->calls.clear();
        form->ToolBar1ButtonClick(QString::fromLatin1(c.key));
        EXPECT_EQ(dialogs->calls, QStringList{c.call}) << c.key;
    }
    // Keys that differ in letter case, or match nothing, run nothing.
    dialogs->calls.clear();
    for (const char* key : {"open", "OPEN", "skiplist", "Skip", "Newline", "", "Exit", "About"}) {
        form->ToolBar1ButtonClick(QString::fromLatin1(key));
    }
    EXPECT_TRUE(dialogs->calls.isEmpty()) << dialogs->calls.join(u',').toStdString();
    EXPECT_TRUE(form->ui().WorkBox->isDocumentEmpty());
    EXPECT_EQ(lists.opens, 0);
}

TEST_F(MainFormTest, ToolbarButtonsAndMenuItemsDoTheSame) {
    const MainFormUi& ui = form->ui();
    auto button = [&](const char* key) -> QToolButton* {
        for (QAction* entry : ui.ToolBar1->actions()) {
            if (entry->data().toString() == QLatin1String(key)) {
                return qobject_cast<QToolButton*>(ui.ToolBar1->widgetForAction(entry));
            }
        }
        return nullptr;
    };
    const std::pair<const char*, QAction*> pairs[] = {
        {"Open", ui.mnuFileOpen},
        {"SkipList", ui.mnuFileSkipList},
        {"Include", ui.mnuFileIncludeList},
    };
    for (const auto& [key, item] : pairs) {
        dialogs->calls.clear();
        ASSERT_TRUE(button(key)) << key;
        button(key)->click();
        const QStringList fromButton = dialogs->calls;
        dialogs->calls.clear();
        item->trigger();
        EXPECT_EQ(dialogs->calls, fromButton) << key;
        EXPECT_EQ(fromButton.size(), 1) << key;
    }

    // The repair buttons run their commands like the menu items.
    form->ui().WorkBox->loadDocument(QStringLiteral("<p>one<p>two</p>"));
    button("Fix")->click();
    EXPECT_EQ(viewText(), QStringLiteral("<p>one</p><p>two</p>"));
    EXPECT_EQ(label("PBox"), QStringLiteral("1"));

    dialogs->calls.clear();
    ui.mnuHelpTutorial->trigger();
    ui.mnuHelpAbout->trigger();
    EXPECT_EQ(dialogs->calls, (QStringList{"help", "about"}));
}

TEST_F(MainFormTest, FixFileShowsTheCountsAndKeepsTheResult) {
    form->ui().WorkBox->loadDocument(
        QStringLiteral("<p>one\r\n<H1>Head</H1><p>two<b>x</b> <p>three"));
    form->mnuFileFixClick();
    const QString fixed = QStringLiteral("<p>one\r\n</p><H1>Head</H1><p>two<b>x</b> </p><p>three");
    EXPECT_EQ(viewText(), fixed);
    EXPECT_EQ(form->documentText(), fixed);
    EXPECT_EQ(label("PBox"), QStringLiteral("2"));
    EXPECT_EQ(label("CountBox"), QStringLiteral("0"));
    EXPECT_EQ(lists.opens, 1);
    EXPECT_EQ(lists.closes, 1);
    EXPECT_TRUE(messages.isEmpty());

    // The whole repair is one step to undo, and running it again changes nothing.
    form->mnuFileFixClick();
    EXPECT_EQ(viewText(), fixed);
    form->ui().WorkBox->undo();
    EXPECT_EQ(viewText(), QStringLiteral("<p>one\r\n<H1>Head</H1><p>two<b>x</b> <p>three"));

    // The next command takes the text as undone, not the last result.
    form->mnuFileStripSpacesClick();
    EXPECT_EQ(viewText(), QStringLiteral("<p>one\r\n<H1>Head</H1><p>two<b>x</b> <p>three"));
    EXPECT_EQ(form->documentText(), viewText());
}

TEST_F(MainFormTest, FixFileInsertsInPlaceAmongCharactersOfEveryWidth) {
    // The view counts UTF-8 bytes: characters of one to four bytes, NUL and every kind of
    // line end stand before and between the insertions.
    using namespace std::string_view_literals;
    const QString page =
        QStringView(
            u"<p>\u00e9\0\r<div>\u20ac<p>\U0001F600\r\n<h1>x</h1><p>\u00ff\n\u4e2d<table><p>end"sv)
            .toString();
    form->ui().WorkBox->loadDocument(page);
    form->ui().WorkBox->setCursorPosition(0, 5);
    form->mnuFileFixClick();
    const QString fixed = QStringView(
                              u"<p>\u00e9\0\r</p><div>\u20ac<p>\U0001F600\r\n</p><h1>x</h1>"
                              u"<p>\u00ff\n\u4e2d</p><table><p>end"sv)
                              .toString();
    ASSERT_EQ(page.size(), 48);  // the NUL and everything after it are in
    EXPECT_EQ(viewText(), fixed);
    EXPECT_EQ(form->documentText(), fixed);
    EXPECT_EQ(label("PBox"), QStringLiteral("3"));
    form->ui().WorkBox->undo();
    EXPECT_EQ(viewText(), page);
    form->ui().WorkBox->redo();
    EXPECT_EQ(viewText(), fixed);
}

TEST_F(MainFormTest, RepairsRunOnAnEmptyDocument) {
    form->mnuFileFixClick();
    EXPECT_EQ(label("PBox"), QStringLiteral("0"));
    EXPECT_EQ(label("CountBox"), QStringLiteral("0"));
    EXPECT_EQ(lists.opens, 1);
    form->mnuFileStripSpacesClick();
    EXPECT_EQ(label("PBox"), QString());
    EXPECT_EQ(label("CountBox"), QStringLiteral("0"));
    EXPECT_TRUE(form->ui().WorkBox->isDocumentEmpty());
}

TEST_F(MainFormTest, StripCommandsKeepOtherLineEndsAndClearTheAddedCount) {
    form->ui().WorkBox->loadDocument(QStringLiteral("<p>a\r\nb\rc\nd</p>\r\n<p>x  y   z</p>  "));
    form->mnuFileFixClick();
    EXPECT_EQ(label("PBox"), QStringLiteral("0"));

    form->mnuFileStripNewlinesClick();
    EXPECT_EQ(viewText(), QStringLiteral("<p>abc\nd</p>\r\n<p>x  y   z</p>  "));
    EXPECT_EQ(label("PBox"), QString());
    EXPECT_EQ(label("CountBox"), QStringLiteral("0"));

    form->mnuFileStripSpacesClick();
    EXPECT_EQ(viewText(), QStringLiteral("<p>abc\nd</p>\r\n<p>x y z</p>"));
    EXPECT_EQ(label("PBox"), QString());
    EXPECT_EQ(label("CountBox"), QStringLiteral("0"));
    EXPECT_EQ(form->documentText(), viewText());
}

TEST_F(MainFormTest, RepairsTakeTheTextAsEdited) {
    form->ui().WorkBox->loadDocument(QStringLiteral("<p>one"));
    form->ui().WorkBox->setCursorPosition(0, 6);
    typeInView(QStringLiteral("<ul>"));
    form->mnuFileFixClick();
    EXPECT_EQ(viewText(), QStringLiteral("<p>one</p><ul>"));
}

TEST_F(MainFormTest, UnavailableListsLeaveTheDocumentAlone) {
    form->ui().WorkBox->loadDocument(QStringLiteral("<p>one<p>two"));
    lists.failOpen = true;
    form->mnuFileFixClick();
    EXPECT_EQ(viewText(), QStringLiteral("<p>one<p>two"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("lists unavailable")));
    EXPECT_EQ(label("CountBox"), QString());
    EXPECT_EQ(label("PBox"), QString());
    EXPECT_FALSE(form->ui().WorkBox->isReadOnly());

    // A lookup that fails halfway is reported the same way.
    form->ui().WorkBox->loadDocument(QStringLiteral("<p>one<h1>two"));
    lists.failOpen = false;
    lists.failAfterLookups = 0;
    form->mnuFileFixClick();
    EXPECT_EQ(viewText(), QStringLiteral("<p>one<h1>two"));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].contains(QStringLiteral("lookup failed")));
}

TEST_F(MainFormTest, LastOpeningBracketIsNoticedDuringThePass) {
    form->ui().WorkBox->loadDocument(QStringLiteral("<p>text <"));
    bool runningAtNotice = false;
    SetMessageSink([&](const QString& text) {
        messages << text;
        runningAtNotice = form->isRunning();
    });
    form->mnuFileFixClick();
    EXPECT_EQ(messages, QStringList{"Last item on the page is an opening <"});
    EXPECT_TRUE(runningAtNotice);
    EXPECT_EQ(viewText(), QStringLiteral("<p>text <"));
}

/// Runs `during` at the first chance the running Fix File pass gives to the event loop.
void DuringFix(MainForm& form, const std::function<void()>& during) {
    QTimer::singleShot(0, &form, during);
    form.mnuFileFixClick();
}

TEST_F(MainFormTest, CommandsOnTheDocumentAreRefusedDuringARun) {
    const QString page = QStringLiteral("<p>one<p>two");
    writeFile(QStringLiteral("other.htm"), "other");
    form->ui().WorkBox->loadDocument(page);
    bool ran = false;
    DuringFix(*form, [&] {
        ran = true;
        EXPECT_TRUE(form->isRunning());
        EXPECT_TRUE(form->ui().WorkBox->isReadOnly());
        dialogs->openAnswers.push_back(dir.file(QStringLiteral("other.htm")));
        form->mnuFileOpenClick();
        form->mnuFileSaveClick();
        form->ToolBar1ButtonClick(QStringLiteral("Save"));
        form->mnuFileFixClick();
        form->mnuFileStripNewlinesClick();
        form->mnuFileStripSpacesClick();
        EXPECT_TRUE(dialogs->calls.isEmpty());
        EXPECT_EQ(lists.opens, 1);
        // The editors, Help and About stay available.
        form->mnuFileSkipListClick();
        form->mnuFileIncludeListClick();
        form->mnuHelpTutorialClick();
        form->mnuHelpAboutClick();
        EXPECT_EQ(dialogs->calls.size(), 4);
    });
    EXPECT_TRUE(ran);
    EXPECT_FALSE(form->isRunning());
    EXPECT_FALSE(form->ui().WorkBox->isReadOnly());
    EXPECT_EQ(viewText(), QStringLiteral("<p>one</p><p>two"));
    EXPECT_EQ(label("PBox"), QStringLiteral("1"));
    EXPECT_EQ(label("CountBox"), QStringLiteral("0"));

    // Afterwards the commands work again.
    dialogs->unsavedAnswers = {MainFormDialogs::UnsavedAnswer::Discard};
    form->mnuFileOpenClick();
    EXPECT_EQ(viewText(), QStringLiteral("other"));
}

TEST_F(MainFormTest, ClosingDuringARunStopsItAndThenCloses) {
    form->show();
    const QString page = QStringLiteral("<p>one<p>two<p>three");
    form->ui().WorkBox->loadDocument(page);
    bool closedAtOnce = true;
    DuringFix(*form, [&] { closedAtOnce = form->close(); });
    EXPECT_FALSE(closedAtOnce);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->isRunning());
    EXPECT_EQ(viewText(), page);  // the stopped run changed nothing
    EXPECT_EQ(lists.closes, lists.opens);
}

TEST_F(MainFormTest, ClosingDuringARunStillAsksAboutUnsavedChanges) {
    form->show();
    form->ui().WorkBox->loadDocument(QStringLiteral("<p>one<p>two"));
    typeInView(QStringLiteral("edited "));
    DuringFix(*form, [&] { form->mnuFileExitClick(); });
    EXPECT_EQ(dialogs->calls, QStringList{"unsaved"});
    EXPECT_TRUE(form->isVisible());  // the answer was Cancel
    EXPECT_EQ(viewText(), QStringLiteral("edited <p>one<p>two"));
}

TEST_F(MainFormTest, ClosingAsksOnlyWhenThereAreUnsavedChanges) {
    form->show();
    EXPECT_TRUE(form->close());
    EXPECT_TRUE(dialogs->calls.isEmpty());

    form->show();
    form->ui().WorkBox->loadDocument(QStringLiteral("page"));
    EXPECT_TRUE(form->close());
    EXPECT_TRUE(dialogs->calls.isEmpty());

    form->show();
    typeInView(QStringLiteral("more "));
    dialogs->unsavedAnswers = {MainFormDialogs::UnsavedAnswer::Cancel};
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());

    // Save, but cancel the Save dialog: the window stays.
    dialogs->unsavedAnswers = {MainFormDialogs::UnsavedAnswer::Save};
    EXPECT_FALSE(form->close());
    EXPECT_EQ(dialogs->calls, (QStringList{"unsaved", "unsaved", "save .fix"}));

    // Save into a file: the window closes.
    dialogs->calls.clear();
    dialogs->unsavedAnswers = {MainFormDialogs::UnsavedAnswer::Save};
    dialogs->saveAnswers = {dir.file(QStringLiteral("kept.fix"))};
    EXPECT_TRUE(form->close());
    EXPECT_EQ(readFile(dir.file(QStringLiteral("kept.fix"))), QByteArray("more page"));

    form->show();
    typeInView(QStringLiteral("again "));
    dialogs->unsavedAnswers = {MainFormDialogs::UnsavedAnswer::Discard};
    form->mnuFileExitClick();
    EXPECT_FALSE(form->isVisible());
}

TEST_F(MainFormTest, ResizingKeepsTheControlsInProportion) {
    form->show();
    const MainFormUi& ui = form->ui();
    const QSize design = ui.client->size();
    const QRect box = ui.WorkBox->geometry();
    form->resize(form->width() + design.width(), form->height() + design.height());
    ASSERT_EQ(ui.client->size(), design * 2);
    EXPECT_NEAR(ui.WorkBox->x(), 2 * box.x(), 1);
    EXPECT_NEAR(ui.WorkBox->y(), 2 * box.y(), 1);
    EXPECT_NEAR(ui.WorkBox->width(), 2 * box.width(), 1);
    EXPECT_NEAR(ui.WorkBox->height(), 2 * box.height(), 1);
    // The docked toolbar spans the width and takes its proportional height.
    EXPECT_EQ(ui.ToolBar1->geometry(), QRect(0, 0, design.width() * 2, ui.pixels(420) * 2));

    form->resize(form->width() - design.width(), form->height() - design.height());
    EXPECT_EQ(ui.WorkBox->geometry(), box);
}

}  // namespace
}  // namespace quillet::test
