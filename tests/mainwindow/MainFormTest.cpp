// The main window: its commands and their labels, opening and saving, runs, closing and
// resizing.
#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "documents/DocumentFile.h"
#include "mainwindow/MainForm.h"
#include "mainwindow/MainFormDialogs.h"
#include "windows/WorkBoxEditor.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QSettings>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <functional>

namespace quillet::test {
namespace {

using Answer = MainFormDialogs::UnsavedAnswer;

/// Answers the main window's dialogs from queues and records what was asked.
class ScriptedDialogs final : public MainFormDialogs {
  public:
    QStringList openAnswers;  ///< a null string, or none left: cancel
    QStringList saveAnswers;
    QList<Answer> unsavedAnswers;  ///< none left: Cancel
    QStringList calls;             ///< "open <start>", "save <proposal>", "unsaved", ...

    std::optional<QString> askOpenPath(QWidget*, const QString& startPath) override {
        calls << "open " + startPath;
        return Next(openAnswers);
    }
    std::optional<QString> askSavePath(QWidget*, const QString& proposal) override {
        calls << "save " + proposal;
        return Next(saveAnswers);
    }
    Answer askUnsavedChanges(QWidget*) override {
        calls << QStringLiteral("unsaved");
        return unsavedAnswers.isEmpty() ? Answer::Cancel : unsavedAnswers.takeFirst();
    }
    void showSkipList(QWidget*, const QString& path) override { calls << "skip list " + path; }
    void showIncludeList(QWidget*, const QString& path) override {
        calls << "include list " + path;
    }
    void showAbout(QWidget*) override { calls << QStringLiteral("about"); }
    void showHelpTopics(QWidget*) override { calls << QStringLiteral("help"); }

  private:
    static std::optional<QString> Next(QStringList& answers) {
        const QString answer = answers.isEmpty() ? QString() : answers.takeFirst();
        return answer.isNull() ? std::nullopt : std::optional(answer);
    }
};

/// Writes through the atomic writer unless told to fail with a chosen result.
class FailingWriter final : public DocumentWriter {
  public:
    std::optional<FileResult> failWith;
    int writes = 0;
    FileResult Write(const QString& path, QByteArrayView bytes) override {
        ++writes;
        return failWith ? *failWith : AtomicFileWriter().Write(path, bytes);
    }
};

/// A main window over scripted dialogs, an injectable writer and in-memory lists, in a
/// fresh working folder; messages are collected instead of shown.
class MainFormTest : public ::testing::Test {
  protected:
    MainFormTest() {
        auto scripted = std::make_unique<ScriptedDialogs>();
        auto failing = std::make_unique<FailingWriter>();
        auto memory = std::make_unique<MemoryWordLists>(QStringList{"b", "i", QString()},
                                                        QStringList{"/ul", "/table"});
        dialogs = scripted.get();
        writer = failing.get();
        lists = memory.get();
        form =
            std::make_unique<MainForm>(std::move(scripted), std::move(failing), std::move(memory));
    }

    /// Writes a file in the working folder and returns its path.
    QString file(const char* name, const QByteArray& bytes) const {
        EXPECT_TRUE(PutFile(dir.file(QString::fromLatin1(name)), bytes));
        return dir.file(QString::fromLatin1(name));
    }
    void open(const QString& path) {
        dialogs->openAnswers << path;
        form->mnuFileOpenClick();
    }
    WorkBoxEditor& view() const { return *form->ui().WorkBox; }
    QString text() const { return view().documentText(); }
    QString count() const { return form->ui().CountBox->text(); }
    QString added() const { return form->ui().PBox->text(); }
    QString caption(const QString& name) const { return MainForm::kCaption + " - " + name; }

    ScopedWorkingDir dir;
    MessageLog messages;
    ScriptedDialogs* dialogs = nullptr;
    FailingWriter* writer = nullptr;
    MemoryWordLists* lists = nullptr;
    std::unique_ptr<MainForm> form;
};

// --- Commands -------------------------------------------------------------------------

TEST_F(MainFormTest, ButtonsRunTheCommandOfTheirExactKeyAsTheMenuItemsDo) {
    const MainFormUi& ui = form->ui();
    const QString db = dir.file(QStringLiteral("SkipList.db"));
    const QString page = QStringLiteral("<p>a\r\nb  c</p><p>d<p>e");
    const struct {
        const char* key;
        QAction* item;
        QString outcome;
    } cases[] = {
        {"Open", ui.mnuFileOpen, QStringLiteral("open ")},
        {"Fix", ui.mnuFileFix, QStringLiteral("<p>a\r\nb  c</p><p>d</p><p>e")},
        {"Save", ui.mnuFileSave, QStringLiteral("save .fix")},
        {"Newlines", ui.mnuFileStripNewlines, QStringLiteral("<p>ab  c</p><p>d<p>e")},
        {"Spaces", ui.mnuFileStripSpaces, QStringLiteral("<p>a\r\nb c</p><p>d<p>e")},
        {"SkipList", ui.mnuFileSkipList, "skip list " + db},
        {"Include", ui.mnuFileIncludeList, "include list " + db},
        {nullptr, ui.mnuHelpTutorial, QStringLiteral("help")},
        {nullptr, ui.mnuHelpAbout, QStringLiteral("about")},
    };
    // What a command did: the dialogs it asked for, or else the text it left.
    auto outcome = [&](const std::function<void()>& command) {
        view().loadDocument(page);
        dialogs->calls.clear();
        command();
        return dialogs->calls.isEmpty() ? text() : dialogs->calls.join(u',');
    };
    QMap<QString, QToolButton*> buttons;
    for (QAction* entry : ui.ToolBar1->actions()) {
        buttons[entry->data().toString()] =
            qobject_cast<QToolButton*>(ui.ToolBar1->widgetForAction(entry));
    }
    for (const auto& c : cases) {
        EXPECT_EQ(outcome([&] { c.item->trigger(); }), c.outcome) << c.item->text().toStdString();
        if (!c.key) continue;
        ASSERT_TRUE(buttons.value(QString::fromLatin1(c.key))) << c.key;
        EXPECT_EQ(outcome([&] { buttons[QString::fromLatin1(c.key)]->click(); }), c.outcome)
            << c.key;
    }
    // Keys that differ in letter case, the pictures' names and unknown keys run nothing.
    for (const char* key : {"open", "OPEN", "skiplist", "Skip", "Newline", "", "Exit", "About"}) {
        EXPECT_EQ(outcome([&] { form->ToolBar1ButtonClick(QString::fromLatin1(key)); }), page)
            << key;
    }
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(MainFormTest, LabelsShowTheCountsAfterEachCommand) {
    const QString first = file("first.htm", "<p>one<p>two<H1>x</H1>");
    const QString second = file("second.htm", "<p>a  b<p>c");
    dialogs->unsavedAnswers = {Answer::Discard};  // for the second Open
    dialogs->saveAnswers = {dir.file(QStringLiteral("out.fix"))};
    const struct {
        const char* step;
        std::function<void()> run;
        const char* count;
        const char* added;
    } steps[] = {
        {"start", [] {}, "", ""},
        {"Fix File on nothing", [&] { form->mnuFileFixClick(); }, "0", "0"},
        {"Strip Spaces on nothing", [&] { form->mnuFileStripSpacesClick(); }, "0", ""},
        {"Open", [&] { open(first); }, "22", "0"},
        {"Fix File", [&] { form->mnuFileFixClick(); }, "0", "2"},
        {"Open over changes", [&] { open(second); }, "11", "0"},
        {"Strip Newlines", [&] { form->mnuFileStripNewlinesClick(); }, "0", ""},
        {"Fix File", [&] { form->mnuFileFixClick(); }, "0", "1"},
        {"Save", [&] { form->mnuFileSaveClick(); }, "0", ""},
        {"Strip Spaces", [&] { form->mnuFileStripSpacesClick(); }, "0", ""},
    };
    for (const auto& step : steps) {
        step.run();
        EXPECT_EQ(count(), QString::fromLatin1(step.count)) << step.step;
        EXPECT_EQ(added(), QString::fromLatin1(step.added)) << step.step;
    }
    EXPECT_EQ(text(), QStringLiteral("<p>a b</p><p>c"));
    EXPECT_EQ(FileBytes(dir.file(QStringLiteral("out.fix"))), QByteArray("<p>a  b</p><p>c"));
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(MainFormTest, RepairsTakeTheTextAsItStandsInTheView) {
    view().loadDocument(QStringLiteral("<p>a  b<p>c"));
    view().setCursorPosition(0, 11);
    view().insert(QStringLiteral("<ul>"));
    form->mnuFileFixClick();
    EXPECT_EQ(text(), QStringLiteral("<p>a  b</p><p>c</p><ul>"));
    // The repair is one step to undo, and the next command takes the text as undone.
    view().undo();
    EXPECT_EQ(text(), QStringLiteral("<p>a  b<p>c<ul>"));
    form->mnuFileStripSpacesClick();
    EXPECT_EQ(text(), QStringLiteral("<p>a b<p>c<ul>"));
    EXPECT_EQ(form->documentText(), text());
}

TEST_F(MainFormTest, FixFileInsertsInPlaceAmongCharactersOfEveryWidth) {
    // The view counts UTF-8 bytes: characters of one to four bytes, NUL and every kind of
    // line end stand before and between the insertions.
    using namespace std::string_view_literals;
    const QString page =
        QStringView(
            u"<p>\u00e9\0\r<div>\u20ac<p>\U0001F600\r\n<h1>x</h1><p>\u00ff\n\u4e2d<table><p>end"sv)
            .toString();
    view().loadDocument(page);
    view().setCursorPosition(0, 5);
    form->mnuFileFixClick();
    const QString fixed = QStringView(
                              u"<p>\u00e9\0\r</p><div>\u20ac<p>\U0001F600\r\n</p><h1>x</h1>"
                              u"<p>\u00ff\n\u4e2d</p><table><p>end"sv)
                              .toString();
    ASSERT_EQ(page.size(), 48);  // the NUL and everything after it are in
    EXPECT_EQ(text(), fixed);
    EXPECT_EQ(form->documentText(), fixed);
    EXPECT_EQ(added(), QStringLiteral("3"));
    view().undo();
    EXPECT_EQ(text(), page);
    view().redo();
    EXPECT_EQ(text(), fixed);
}

TEST_F(MainFormTest, ListsFailingDuringThePassLeaveTheDocumentAlone) {
    view().loadDocument(QStringLiteral("<p>one<h1>two<p>three<h2>"));
    lists->failAfterLookups = 1;
    form->mnuFileFixClick();
    EXPECT_EQ(text(), QStringLiteral("<p>one<h1>two<p>three<h2>"));
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(messages.texts[0].contains(QStringLiteral("lookup failed")))
        << messages.texts[0].toStdString();
    EXPECT_FALSE(view().isReadOnly());
}

// --- Opening and saving ---------------------------------------------------------------

TEST_F(MainFormTest, EveryByteSurvivesOpenAndSaveAndTheNamesFollow) {
    static const char kLines[] = "<P>crlf\r\nlf\nlone cr\rnul\0after\ttab\r\n\r\r\n\n<p>x";
    QByteArray bytes(kLines, sizeof(kLines) - 1);
    for (int b = 0; b < 256; ++b) bytes.append(char(b));
    bytes.append('\r');
    const QString path = file("Page.Old.htm", bytes);
    open(path);
    EXPECT_EQ(count(), QString::number(bytes.size()));
    EXPECT_EQ(form->windowTitle(), caption(path));

    // The proposal keeps the folder and the base name; a name typed without an extension
    // is taken as it is, and the next proposal follows it.
    dialogs->saveAnswers = {dir.file(QStringLiteral("out"))};
    form->mnuFileSaveClick();
    EXPECT_EQ(dialogs->calls.last(), "save " + dir.file(QStringLiteral("Page.Old.fix")));
    EXPECT_EQ(FileBytes(dir.file(QStringLiteral("out"))), bytes);
    EXPECT_EQ(form->windowTitle(), caption(QStringLiteral("out")));
    form->mnuFileSaveClick();
    EXPECT_EQ(dialogs->calls.last(), "save " + dir.file(QStringLiteral("out.fix")));
    // The Open dialog starts at the path last handed to a dialog.
    form->mnuFileOpenClick();
    EXPECT_EQ(dialogs->calls.last(), "open " + dir.file(QStringLiteral("out.fix")));
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join(u'\n').toStdString();
}

TEST_F(MainFormTest, AnOpenThatBringsNoPageKeepsTheDocument) {
    const QString first = file("first.htm", "first");
    open(first);
    const struct {
        const char* what;
        QString answer;
        QString proposal;
        int messages;
    } cases[] = {
        {"cancelled", QString(), dir.file(QStringLiteral("first.fix")), 0},
        // An empty file is not shown, but its name is taken; without a dot in it, the
        // whole name gets ".fix".
        {"empty", file("empty", {}), dir.file(QStringLiteral("empty.fix")), 0},
        {"missing", dir.file(QStringLiteral("gone.htm")), dir.file(QStringLiteral("gone.fix")), 1},
    };
    for (const auto& c : cases) {
        messages.texts.clear();
        open(c.answer);
        EXPECT_EQ(text(), QStringLiteral("first")) << c.what;
        EXPECT_EQ(form->windowTitle(), caption(first)) << c.what;
        EXPECT_EQ(count(), QStringLiteral("5")) << c.what;
        EXPECT_EQ(messages.texts.size(), c.messages) << c.what;
        form->mnuFileSaveClick();  // cancelled
        EXPECT_EQ(dialogs->calls.last(), "save " + c.proposal) << c.what;
    }
    EXPECT_TRUE(messages.texts.value(0).contains(QStringLiteral("gone.htm")));

    // Nothing is asked or written for an empty view.
    view().replaceDocument(QString());
    dialogs->calls.clear();
    form->mnuFileSaveClick();
    EXPECT_TRUE(dialogs->calls.isEmpty());
    EXPECT_EQ(writer->writes, 0);
}

TEST_F(MainFormTest, AFailedSaveIsReportedAndChangesNothing) {
    open(file("a.htm", "line one\r\nline two"));
    const QString locked = file("locked.fix", "old");
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ReadUser);
    const struct {
        std::optional<FileResult::Failure> failure;
        QString target;
        const char* message;
    } cases[] = {
        {FileResult::Failure::DiskFull, dir.file(QStringLiteral("full.fix")),
         "Not enough space on the destination disk"},
        {FileResult::Failure::Other, dir.file(QStringLiteral("other.fix")),
         "Couldn't copy the database. Reason unknown."},
        {std::nullopt, locked, "File is locked or write protected"},
    };
    for (const auto& c : cases) {
        messages.texts.clear();
        writer->failWith =
            c.failure ? std::optional(FileResult{*c.failure, QString()}) : std::nullopt;
        dialogs->saveAnswers = {c.target};
        form->mnuFileSaveClick();
        EXPECT_EQ(messages.texts, QStringList{QString::fromLatin1(c.message)});
        EXPECT_EQ(form->windowTitle(), caption(dir.file(QStringLiteral("a.htm"))));
        EXPECT_EQ(added(), QStringLiteral("0"));
    }
    EXPECT_EQ(FileBytes(locked), QByteArray("old"));

    // A character the code page cannot hold is named with its place; nothing is written.
    messages.texts.clear();
    view().setCursorPosition(1, 5);
    view().insert(QStringLiteral("\u015D"));
    dialogs->saveAnswers = {dir.file(QStringLiteral("a.fix"))};
    form->mnuFileSaveClick();
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(messages.texts[0].contains(QStringLiteral("U+015D")));
    EXPECT_TRUE(messages.texts[0].contains(QStringLiteral("line 2, column 6")))
        << messages.texts[0].toStdString();
    EXPECT_FALSE(QFile::exists(dir.file(QStringLiteral("a.fix"))));
    EXPECT_TRUE(view().hasUnsavedChanges());
}

TEST_F(MainFormTest, UnsavedChangesAreAskedAboutBeforeTheyAreLost) {
    form->show();
    EXPECT_TRUE(form->close());  // nothing loaded
    form->show();
    view().loadDocument(QStringLiteral("page"));
    EXPECT_TRUE(form->close());  // nothing changed
    EXPECT_TRUE(dialogs->calls.isEmpty());

    form->show();
    view().insert(QStringLiteral("more "));
    form->mnuFileOpenClick();  // Cancel
    EXPECT_FALSE(form->close());
    dialogs->unsavedAnswers = {Answer::Save};  // and the Save dialog cancelled
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(text(), QStringLiteral("more page"));

    dialogs->unsavedAnswers = {Answer::Save};
    dialogs->saveAnswers = {dir.file(QStringLiteral("kept.fix"))};
    EXPECT_TRUE(form->close());
    EXPECT_EQ(FileBytes(dir.file(QStringLiteral("kept.fix"))), QByteArray("more page"));
    EXPECT_EQ(dialogs->calls,
              (QStringList{"unsaved", "unsaved", "unsaved", "save .fix", "unsaved", "save .fix"}));

    form->show();
    view().insert(QStringLiteral("again "));
    dialogs->unsavedAnswers = {Answer::Discard};
    form->mnuFileExitClick();
    EXPECT_FALSE(form->isVisible());
}

// --- Runs -----------------------------------------------------------------------------

/// Runs `during` at the first chance the running Fix File pass gives to the event loop.
void DuringFix(MainForm& form, const std::function<void()>& during) {
    QTimer::singleShot(0, &form, during);
    form.mnuFileFixClick();
}

TEST_F(MainFormTest, CommandsOnTheDocumentAreRefusedDuringARun) {
    view().loadDocument(QStringLiteral("<p>one<p>two"));
    bool ran = false;
    DuringFix(*form, [&] {
        ran = true;
        EXPECT_TRUE(view().isReadOnly());
        dialogs->openAnswers = {file("other.htm", "other")};
        for (auto command :
             {&MainForm::mnuFileOpenClick, &MainForm::mnuFileSaveClick, &MainForm::mnuFileFixClick,
              &MainForm::mnuFileStripNewlinesClick, &MainForm::mnuFileStripSpacesClick}) {
            (form.get()->*command)();
        }
        EXPECT_TRUE(dialogs->calls.isEmpty());
        EXPECT_EQ(lists->opens, 1);
        // The editors, Help and About stay available.
        for (auto command : {&MainForm::mnuFileSkipListClick, &MainForm::mnuFileIncludeListClick,
                             &MainForm::mnuHelpTutorialClick, &MainForm::mnuHelpAboutClick}) {
            (form.get()->*command)();
        }
        EXPECT_EQ(dialogs->calls.size(), 4);
    });
    EXPECT_TRUE(ran);
    EXPECT_FALSE(form->isRunning());
    EXPECT_FALSE(view().isReadOnly());
    EXPECT_EQ(text(), QStringLiteral("<p>one</p><p>two"));
    EXPECT_EQ(added(), QStringLiteral("1"));

    // Afterwards the commands work again.
    dialogs->unsavedAnswers = {Answer::Discard};
    form->mnuFileOpenClick();
    EXPECT_EQ(text(), QStringLiteral("other"));
}

TEST_F(MainFormTest, ClosingDuringARunStopsItAndThenCloses) {
    form->show();
    const QString page = QStringLiteral("<p>one<p>two<p>three");
    view().loadDocument(page);
    bool closedAtOnce = true;
    DuringFix(*form, [&] { closedAtOnce = form->close(); });
    EXPECT_FALSE(closedAtOnce);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->isRunning());
    EXPECT_EQ(text(), page);  // the stopped run changed nothing
    EXPECT_EQ(lists->closes, lists->opens);

    // With unsaved changes, the question still comes first.
    form->show();
    view().insert(QStringLiteral("edited "));
    DuringFix(*form, [&] { form->mnuFileExitClick(); });
    EXPECT_EQ(dialogs->calls, QStringList{"unsaved"});
    EXPECT_TRUE(form->isVisible());  // the answer was Cancel
    EXPECT_EQ(text(), "edited " + page);
}

// --- Fix File by HTML5 rules -----------------------------------------------------------

TEST_F(MainFormTest, TheHtml5OptionIsRememberedAndSteersFixFile) {
    QSettings().remove(QStringLiteral("repair/html5"));
    const MainFormUi& ui = form->ui();
    QStringList titles;
    for (QAction* menu : form->menuBar()->actions()) titles << menu->text();
    EXPECT_EQ(titles, (QStringList{"&File", "&Options", "&Help"}));
    ASSERT_TRUE(ui.mnuOptionsHtml5->isCheckable());
    EXPECT_FALSE(ui.mnuOptionsHtml5->isChecked());

    // The word lists end the paragraph before the unknown element; HTML5 rules do not,
    // and need no lists.
    const QString page = QStringLiteral("<p>a<bb>b</bb><div>c");
    view().loadDocument(page);
    form->mnuFileFixClick();
    EXPECT_EQ(text(), QStringLiteral("<p>a</p><bb>b</bb><div>c"));
    ui.mnuOptionsHtml5->trigger();
    EXPECT_TRUE(QSettings().value(QStringLiteral("repair/html5")).toBool());
    lists->failOpen = true;
    view().loadDocument(page);
    form->mnuFileFixClick();
    EXPECT_EQ(text(), QStringLiteral("<p>a<bb>b</bb></p><div>c"));
    EXPECT_EQ(added(), QStringLiteral("1"));
    EXPECT_TRUE(messages.texts.isEmpty());

    // A page the parser fails on is reported and left as it was.
    const QString breaking = QStringLiteral(
        "<math><tbody><ms><template></template><th><colgroup><datalist><template></template>"
        "</body><p>a<p>");
    view().loadDocument(breaking);
    form->mnuFileFixClick();
    EXPECT_EQ(text(), breaking);
    if (messages.texts.size() == 1) {  // else Debian's parser has mended
        EXPECT_TRUE(messages.texts[0].startsWith(QStringLiteral(
            "Fix File could not read the page by HTML5 rules, so the page was left as it was.")));
    }

    // A new window starts with the option as it was left.
    MainForm next(std::make_unique<ScriptedDialogs>());
    EXPECT_TRUE(next.ui().mnuOptionsHtml5->isChecked());
    ui.mnuOptionsHtml5->trigger();
    EXPECT_FALSE(QSettings().value(QStringLiteral("repair/html5")).toBool());
}

TEST_F(MainFormTest, ResizingKeepsTheViewInProportion) {
    form->show();
    const MainFormUi& ui = form->ui();
    const QSize design = ui.client->size();
    const QRect box = ui.WorkBox->geometry();
    form->resize(form->size() + design);
    ASSERT_EQ(ui.client->size(), design * 2);
    EXPECT_NEAR(ui.WorkBox->x(), 2 * box.x(), 1);
    EXPECT_NEAR(ui.WorkBox->y(), 2 * box.y(), 1);
    EXPECT_NEAR(ui.WorkBox->width(), 2 * box.width(), 1);
    EXPECT_NEAR(ui.WorkBox->height(), 2 * box.height(), 1);
    form->resize(form->size() - design);
    EXPECT_EQ(ui.WorkBox->geometry(), box);
}

}  // namespace
}  // namespace quillet::test
