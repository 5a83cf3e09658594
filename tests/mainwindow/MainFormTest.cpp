// SPDX-License-Identifier: GPL-3.0-or-later
// The main window end to end: its commands by menu, button and key, opening and saving in
// the page's own encoding, runs, closing, editing and what it remembers.
#include "FileSystemSupport.h"
#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "documents/DocumentFile.h"
#include "mainwindow/MainForm.h"
#include "mainwindow/MainFormDialogs.h"
#include "mainwindow/StandardMainFormDialogs.h"
#include "windows/FindReplaceDialog.h"
#include "windows/WorkBoxEditor.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QSettings>
#include <QStatusBar>
#include <QStringEncoder>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <functional>
#include "windows/ElidedLabel.h"

namespace quillet::test {
namespace {

using Answer = MainFormDialogs::UnsavedAnswer;

/// Answers the main window's dialogs from queues and records what was asked.
class ScriptedDialogs final : public MainFormDialogs {
  public:
    QStringList openAnswers;       ///< a null string, or none left: cancel
    QStringList saveAnswers;       ///< likewise
    QList<Answer> unsavedAnswers;  ///< none left: Cancel
    QStringList calls;             ///< "open <start>", "save <proposal>", "unsaved", ...

    std::optional<QString> askOpenPath(QWidget*, const QString& start) override {
        calls << "open " + start;
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
    std::optional<int> askLineNumber(QWidget*, int current, int last) override {
        calls << QStringLiteral("line %1/%2").arg(current).arg(last);
        return std::nullopt;
    }
    void showSkipList(QWidget*, const QString& path) override { calls << "skip list " + path; }
    void showIncludeList(QWidget*, const QString& path) override {
        calls << "include list " + path;
    }
    void showAbout(QWidget*, const QString&) override { calls << QStringLiteral("about"); }
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
    using DocumentWriter::Write;
    FileResult Write(const QString& path, std::span<const QByteArrayView> pieces) override {
        ++writes;
        return failWith ? *failWith : AtomicFileWriter().Write(path, pieces);
    }
};

/// A main window over scripted dialogs, an injectable writer and in-memory lists, in a
/// fresh working folder and per-user data folder; messages are collected instead of shown.
class MainFormTest : public ::testing::Test {
  protected:
    MainFormTest() {
        QSettings().clear();  // each test starts as a first start of the program
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
    QString file(const QString& name, const QByteArray& bytes) const {
        EXPECT_TRUE(PutFile(dir.file(name), bytes));
        return dir.file(name);
    }
    void open(const QString& path) {
        dialogs->openAnswers << path;
        form->mnuFileOpenClick();
    }
    void saveAs(const QString& name) {
        dialogs->saveAnswers = {dir.file(name)};
        form->mnuFileSaveClick();
    }
    WorkBoxEditor& view() const { return *form->ui().WorkBox; }
    void typeAtEnd(const QString& typed) {
        view().SendScintilla(QsciScintilla::SCI_DOCUMENTEND);
        view().insert(typed);
    }
    QString text() const { return view().documentText(); }
    QString count() const { return form->ui().CountBox->text(); }
    QString added() const { return form->ui().PBox->text(); }
    /// The title for the page at `path`: its name, the mark of changes, and its folder.
    QString caption(const QString& path) const {
        const QFileInfo page(path);
        return MainFormUi::DesignCaption() + " - " + page.fileName() + "[*] (" +
               page.absolutePath() + ")";
    }
    /// Shows the window, active, with the focus in the document view, as the user has it.
    void showActive() {
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        view().setFocus();
    }
    /// Runs `during` at the first chance the running Fix File pass gives to the event loop.
    void duringFix(const std::function<void()>& during) {
        QTimer::singleShot(0, form.get(), during);
        form->mnuFileFixClick();
    }

    ScopedWorkingDir dir;
    ScopedDataHome home;
    MessageLog messages;
    ScriptedDialogs* dialogs = nullptr;
    FailingWriter* writer = nullptr;
    MemoryWordLists* lists = nullptr;
    std::unique_ptr<MainForm> form;
};

// --- Commands -------------------------------------------------------------------------

TEST_F(MainFormTest, MenuItemsButtonsAndKeysRunTheirCommands) {
    showActive();
    const MainFormUi& ui = form->ui();
    const QString db = home.wordLists();
    const QString page = QStringLiteral("<p>a\r\nb  c</p><p>d<p>e");
    const QKeyCombination none(Qt::Key_unknown);
    const struct {
        QAction* item;
        const char* button;  // the toolbar button's key
        QKeyCombination key;
        QString outcome;  // the dialogs asked for, or else the text left
    } cases[] = {
        {ui.mnuFileOpen, "Open", Qt::CTRL | Qt::Key_O, QStringLiteral("open ")},
        {ui.mnuFileFix, "Fix", QKeyCombination(Qt::Key_F5), "<p>a\r\nb  c</p><p>d</p><p>e"},
        {ui.mnuFileSave, "Save", Qt::CTRL | Qt::Key_S, QStringLiteral("save .fix")},
        {ui.mnuFileStripNewlines, "Newlines", QKeyCombination(Qt::Key_F6), "<p>ab  c</p><p>d<p>e"},
        {ui.mnuFileStripSpaces, "Spaces", QKeyCombination(Qt::Key_F7), "<p>a\r\nb c</p><p>d<p>e"},
        {ui.mnuFileSkipList, "SkipList", none, "skip list " + db},
        {ui.mnuFileIncludeList, "Include", none, "include list " + db},
        {ui.mnuEditGoToLine, nullptr, Qt::CTRL | Qt::Key_G, QStringLiteral("line 1/2")},
        {ui.mnuHelpTutorial, nullptr, QKeyCombination(Qt::Key_F1), QStringLiteral("help")},
        {ui.mnuHelpAbout, nullptr, none, QStringLiteral("about")},
    };
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
        const std::string what = c.item->text().toStdString();
        EXPECT_EQ(outcome([&] { c.item->trigger(); }), c.outcome) << what;
        if (c.button) {
            ASSERT_TRUE(buttons.value(QString::fromLatin1(c.button))) << c.button;
            EXPECT_EQ(outcome([&] { buttons[QString::fromLatin1(c.button)]->click(); }), c.outcome)
                << what;
        }
        if (c.key != none) {
            EXPECT_EQ(
                outcome([&] { QTest::keyClick(&view(), c.key.key(), c.key.keyboardModifiers()); }),
                c.outcome)
                << what;
        }
    }
    // Keys that differ in letter case, the pictures' names and unknown keys run nothing.
    for (const char* key : {"open", "OPEN", "skiplist", "Skip", "Newline", "", "Exit"}) {
        EXPECT_EQ(outcome([&] { form->ToolBar1ButtonClick(QString::fromLatin1(key)); }), page)
            << key;
    }

    // The editor's own keys still edit; Ctrl+F and Ctrl+H open Find and Replace.
    QTest::keyClick(&view(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&view(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(text(), QString());
    QTest::keyClick(&view(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(text(), page);
    for (const bool replacing : {false, true}) {
        showActive();
        QTest::keyClick(&view(), replacing ? Qt::Key_H : Qt::Key_F, Qt::ControlModifier);
        ASSERT_TRUE(form->findReplace() && form->findReplace()->isVisible());
        EXPECT_EQ(form->findReplace()->ReplaceBox->isVisible(), replacing);
        form->findReplace()->close();
    }
    // Ctrl+Q on an unchanged page ends the program.
    showActive();
    view().markSaved();
    QTest::keyClick(&view(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(MainFormTest, LabelsShowTheCountsAfterEachCommand) {
    const QString first = file("first.htm", "<p>one<p>two<H1>x</H1>");
    const QString second = file("second.htm", "<p>a  b<p>c");
    dialogs->unsavedAnswers = {Answer::Discard};  // for the second Open
    const struct {
        const char* name;
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
        {"Save", [&] { saveAs(QStringLiteral("out.fix")); }, "0", ""},
        {"Strip Spaces", [&] { form->mnuFileStripSpacesClick(); }, "0", ""},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        step.run();
        EXPECT_EQ(count(), QString::fromLatin1(step.count));
        EXPECT_EQ(added(), QString::fromLatin1(step.added));
    }
    EXPECT_EQ(text(), QStringLiteral("<p>a b</p><p>c"));
    EXPECT_EQ(FileBytes(dir.file(QStringLiteral("out.fix"))), QByteArray("<p>a  b</p><p>c"));
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(MainFormTest, FixFileInsertsInPlaceAmongCharactersOfEveryWidthAsOneStepToUndo) {
    // The view counts UTF-8 bytes: characters of one to four bytes, NUL and every kind of
    // line end stand before and between the insertions. The text is taken as it stands,
    // typing included.
    using namespace std::string_view_literals;
    const QString page =
        QStringView(u"<p>\u00e9\0\r<div>\u20ac<p>\U0001F600\r\n<h1>x</h1><p>\u00ff\n\u4e2d<p>e"sv)
            .toString();
    view().loadDocument(page);
    typeAtEnd(QStringLiteral("<table>"));
    form->mnuFileFixClick();
    const QString fixed = QStringView(
                              u"<p>\u00e9\0\r</p><div>\u20ac<p>\U0001F600\r\n</p><h1>x</h1>"
                              u"<p>\u00ff\n\u4e2d</p><p>e</p><table>"sv)
                              .toString();
    EXPECT_EQ(text(), fixed);
    EXPECT_EQ(added(), QStringLiteral("4"));
    view().undo();
    EXPECT_EQ(text(), page + "<table>");
    view().redo();
    EXPECT_EQ(text(), fixed);
    // The next command takes the text as undone.
    view().undo();
    form->mnuFileStripNewlinesClick();
    EXPECT_EQ(text(), page + "<table>");
}

TEST_F(MainFormTest, WordListsThatFailAreReportedAndLeaveThePageAlone) {
    const QString page = QStringLiteral("<p>one<h1>two<p>three<h2>");
    view().loadDocument(page);
    // A file where the per-user folder would go: the lists cannot be made.
    ASSERT_TRUE(PutFile(QFileInfo(home.wordLists()).path(), "in the way"));
    form->mnuFileFixClick();
    form->mnuFileIncludeListClick();
    EXPECT_EQ(text(), page);
    EXPECT_TRUE(dialogs->calls.isEmpty());
    ASSERT_EQ(messages.texts.size(), 2);
    EXPECT_TRUE(messages.texts[0].startsWith(u"The word lists could not be read"));
    EXPECT_TRUE(messages.texts[1].startsWith(u"The include list cannot be edited."));
    for (const QString& message : messages.texts) {
        EXPECT_TRUE(message.contains(u"cannot create the folder")) << message.toStdString();
    }

    // A lookup that fails during the pass.
    messages.texts.clear();
    ASSERT_TRUE(QFile::remove(QFileInfo(home.wordLists()).path()));
    lists->failAfterLookups = 1;
    form->mnuFileFixClick();
    EXPECT_EQ(text(), page);
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(messages.texts[0].contains(QStringLiteral("lookup failed")))
        << messages.texts[0].toStdString();
    EXPECT_FALSE(view().isReadOnly());
}

TEST_F(MainFormTest, ThePerUserListsAreMadeOnFirstNeedAndTheStatusLineSaysWhere) {
    MainForm real(std::make_unique<ScriptedDialogs>());  // over the real store
    const auto* label = real.findChild<QLabel*>(QStringLiteral("WordListsLabel"));
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text(), "Word lists: " + home.wordLists());
    real.ui().WorkBox->loadDocument(QStringLiteral("<p>a  b<ul>"));
    real.mnuFileStripSpacesClick();
    EXPECT_FALSE(QFile::exists(home.wordLists()));
    real.mnuFileFixClick();
    EXPECT_EQ(real.ui().WorkBox->documentText(), QStringLiteral("<p>a b</p><ul>"));
    EXPECT_TRUE(QFile::exists(home.wordLists()));
    EXPECT_EQ(real.statusBar()->currentMessage(),
              "Created " + home.wordLists() + " with the default word lists.");
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    EXPECT_TRUE(messages.texts.isEmpty());
}

// --- Opening and saving ---------------------------------------------------------------

TEST_F(MainFormTest, EveryByteSurvivesOpenAndSaveAndTheNamesFollow) {
    static const char kLines[] = "<P>crlf\r\nlf\nlone cr\rnul\0after\ttab\r\n\r\r\n\n<p>x";
    QByteArray bytes(kLines, sizeof(kLines) - 1);
    for (int b = 0; b < 256; ++b) bytes.append(char(b));
    bytes.append('\r');
    const QString path = file(QStringLiteral("Page.Old.htm"), bytes);
    open(path);
    EXPECT_EQ(count(), QString::number(bytes.size()));
    EXPECT_EQ(form->windowTitle(), caption(path));

    // The proposal keeps the folder and the base name; a name typed without an extension
    // is taken as it is, and the next proposal follows it.
    saveAs(QStringLiteral("out"));
    EXPECT_EQ(dialogs->calls.last(), "save " + dir.file(QStringLiteral("Page.Old.fix")));
    EXPECT_EQ(FileBytes(dir.file(QStringLiteral("out"))), bytes);
    EXPECT_EQ(form->windowTitle(), caption(dir.file(QStringLiteral("out"))));
    form->mnuFileSaveClick();
    EXPECT_EQ(dialogs->calls.last(), "save " + dir.file(QStringLiteral("out.fix")));
    // The Open dialog starts at the path last handed to a dialog.
    form->mnuFileOpenClick();
    EXPECT_EQ(dialogs->calls.last(), "open " + dir.file(QStringLiteral("out.fix")));
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join(u'\n').toStdString();
}

TEST_F(MainFormTest, AnOpenThatBringsNoPageKeepsTheDocumentAndItsName) {
    const QString first = file(QStringLiteral("first.htm"), "first");
    open(first);
    const QString huge = file(QStringLiteral("huge.htm"), QByteArray(1001, 'x'));
    QDir(dir.path()).mkdir(QStringLiteral("folder.htm"));
    const QString pipe = dir.file(QStringLiteral("pipe.htm"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString device = dir.file(QStringLiteral("zero"));
    const bool haveDevice = MakeCharDevice(device, 1, 5);  // endless
    const struct {
        const char* name;
        QString answer;
        QString message;  // none: cancelled
    } cases[] = {
        {"cancelled", QString(), QString()},
        {"a missing file", dir.file(QStringLiteral("gone.htm")),
         QStringLiteral("gone.htm: file not found")},
        {"a file too large", huge,
         "Couldn't open " + huge + ": it is too large to hold in memory."},
        // What is not a file is refused before it is read: a named pipe would hold the
        // window until something wrote to it.
        {"a named pipe", pipe, "Couldn't open " + pipe + ": it is a named pipe, not a file."},
        {"a folder", dir.file(QStringLiteral("folder.htm")),
         "Couldn't open " + dir.file(QStringLiteral("folder.htm")) +
             ": it is a folder, not a file."},
        {"a device", haveDevice ? device : QString(),
         "Couldn't open " + device + ": it is a device, not a file."},
    };
    SetDocumentSizeLimit(1000);
    for (const auto& c : cases) {
        if (c.answer.isEmpty() && !c.message.isEmpty()) continue;  // no device node
        SCOPED_TRACE(c.name);
        messages.texts.clear();
        open(c.answer);
        EXPECT_EQ(text(), QStringLiteral("first"));
        EXPECT_EQ(form->windowTitle(), caption(first));
        EXPECT_EQ(count(), QStringLiteral("5"));
        EXPECT_EQ(messages.texts.size(), c.message.isEmpty() ? 0 : 1);
        EXPECT_TRUE(messages.texts.value(0).contains(c.message))
            << messages.texts.value(0).toStdString();
        // Save still proposes the page's own name.
        form->mnuFileSaveClick();  // cancelled
        EXPECT_EQ(dialogs->calls.last(), "save " + dir.file(QStringLiteral("first.fix")));
    }
    SetDocumentSizeLimit(0);

    // Nothing is asked or written for an empty view that holds no page.
    MainForm fresh(std::make_unique<ScriptedDialogs>(), std::make_unique<FailingWriter>());
    fresh.ui().WorkBox->insert(QStringLiteral("typed"));
    fresh.ui().WorkBox->selectAll();
    fresh.ui().WorkBox->removeSelectedText();
    fresh.mnuFileSaveClick();
    EXPECT_TRUE(fresh.close());
}

TEST_F(MainFormTest, AnEmptyPageIsShownWithItsNameAndSaved) {
    // Over another page, and as the first page of a window.
    const QString other = file(QStringLiteral("s.htm"), "<p>something");
    const QString empty = file(QStringLiteral("zero.htm"), {});
    for (const bool afterAnother : {true, false}) {
        SCOPED_TRACE(afterAnother);
        dialogs->unsavedAnswers = {Answer::Discard};
        if (afterAnother) open(other);
        view().insert(QStringLiteral("changed "));
        open(empty);
        EXPECT_EQ(text(), QString());
        EXPECT_EQ(form->windowTitle(), caption(empty));
        EXPECT_EQ(count(), QStringLiteral("0"));
        EXPECT_EQ(RecentFiles().paths().first(), empty);
        form->mnuFileFixClick();
        saveAs(QStringLiteral("zero.fix"));
        EXPECT_EQ(dialogs->calls.last(), "save " + dir.file(QStringLiteral("zero.fix")));
        EXPECT_EQ(FileBytes(dir.file(QStringLiteral("zero.fix"))), QByteArray());
        EXPECT_EQ(form->windowTitle(), caption(dir.file(QStringLiteral("zero.fix"))));
        ASSERT_TRUE(QFile::remove(dir.file(QStringLiteral("zero.fix"))));
    }
    // A page emptied by hand is a change to ask about, and is saved empty.
    open(other);
    view().selectAll();
    view().removeSelectedText();
    EXPECT_FALSE(form->close());
    EXPECT_EQ(dialogs->calls.last(), QStringLiteral("unsaved"));
    saveAs(QStringLiteral("emptied.fix"));
    EXPECT_EQ(FileBytes(dir.file(QStringLiteral("emptied.fix"))), QByteArray());
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join(u'\n').toStdString();
}

TEST_F(MainFormTest, TheTitleNamesThePageAndMarksUnsavedChanges) {
    EXPECT_EQ(form->windowTitle(), MainFormUi::DesignCaption() + "[*]");
    EXPECT_FALSE(form->isWindowModified());
    const QString page = file(QStringLiteral("page.htm"), "<p>one<p>two");
    open(page);
    EXPECT_EQ(form->windowTitle(), "Orvane Quillet - page.htm[*] (" + dir.path() + ")");
    EXPECT_FALSE(form->isWindowModified());
    const struct {
        const char* name;
        std::function<void()> run;
        bool modified;
    } steps[] = {
        {"typing", [&] { typeAtEnd(QStringLiteral("x")); }, true},
        {"undoing it", [&] { view().undo(); }, false},
        {"Fix File", [&] { form->mnuFileFixClick(); }, true},
        {"Save", [&] { saveAs(QStringLiteral("page.fix")); }, false},
        {"Strip Spaces, which changes nothing", [&] { form->mnuFileStripSpacesClick(); }, false},
        {"Undo after Save", [&] { view().undo(); }, true},
        {"Redo", [&] { view().redo(); }, false},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        step.run();
        EXPECT_EQ(form->isWindowModified(), step.modified);
    }
    // Before and after Save, the same form: the name and its folder.
    EXPECT_EQ(form->windowTitle(), caption(dir.file(QStringLiteral("page.fix"))));
}

TEST_F(MainFormTest, AFailedSaveIsReportedAndThePageStaysUnsaved) {
    open(file(QStringLiteral("a.htm"), "line one\r\nline two"));
    QFile::setPermissions(file(QStringLiteral("locked.fix"), "old"), QFileDevice::ReadOwner);
    file(QStringLiteral("out.fix"), "old");
    const bool haveDevice = MakeCharDevice(dir.file(QStringLiteral("full")), 1, 7);
    const QString full = QStringLiteral("Not enough space on the destination disk");
    const struct {
        const char* name;
        std::optional<FileResult::Failure> failure;  // none: the real writer
        rlim_t limit;                                // the file size limit
        qsizetype size;                              // of the page
        const char* target;
        QString message;
    } cases[] = {
        {"a writer that fails", FileResult::Failure::Other, RLIM_INFINITY, 10, "other.fix",
         QStringLiteral("Couldn't copy the database. Reason unknown.")},
        // A folder removed after the dialog showed it.
        {"a folder removed since", std::nullopt, RLIM_INFINITY, 10, "removed/out.fix",
         "The file was not saved: the folder " + dir.file(QStringLiteral("removed")) +
             " no longer exists."},
        {"a locked file", std::nullopt, RLIM_INFINITY, 10, "locked.fix",
         QStringLiteral("File is locked or write protected")},
        // A large page cut short, a small one refused at its first byte, a full device.
        {"a large page cut short", std::nullopt, 64 * 1024, 300 * 1000, "out.fix", full},
        {"a small page refused at its first byte", std::nullopt, 0, 10, "new.fix", full},
        {"a full device", std::nullopt, RLIM_INFINITY, 10, haveDevice ? "full" : nullptr, full},
    };
    for (const auto& c : cases) {
        if (!c.target) continue;  // no device node could be made
        SCOPED_TRACE(c.name);
        messages.texts.clear();
        writer->failWith =
            c.failure ? std::optional(FileResult{*c.failure, QString()}) : std::nullopt;
        view().replaceDocumentUtf8(QByteArray(c.size, 'x'));
        {
            const ScopedFileSizeLimit limit(c.limit);
            saveAs(QString::fromLatin1(c.target));
        }
        EXPECT_EQ(messages.texts, QStringList{c.message});
        EXPECT_TRUE(view().hasUnsavedChanges());
        EXPECT_EQ(form->windowTitle(), caption(dir.file(QStringLiteral("a.htm"))));
    }
    EXPECT_EQ(FileBytes(dir.file(QStringLiteral("locked.fix"))), QByteArray("old"));
    EXPECT_EQ(FileBytes(dir.file(QStringLiteral("out.fix"))), QByteArray("old"));
    EXPECT_EQ(QDir(dir.path()).entryList({"*.fix*"}, QDir::Files | QDir::Hidden),
              (QStringList{"locked.fix", "out.fix"}));
    EXPECT_EQ(S_ISCHR(FileMode(dir.file(QStringLiteral("full")))), haveDevice);
}

// --- Encodings ------------------------------------------------------------------------

TEST_F(MainFormTest, PagesAreShownRepairedAndSavedInTheirOwnEncoding) {
    const auto utf16le = [](QStringView text) {
        return QByteArray(
            QStringEncoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom)
                .encode(text));
    };
    const QString page = QStringLiteral("<p>caf\u00e9<div>");
    const QString saved = QStringLiteral("<p>caf\u00e9</p><div>\u00e9");
    const struct {
        const char* name;
        QByteArray bytes;
        const char* encoding;
        QByteArray saved;
    } cases[] = {
        // After the mark, a U+FEFF is a character of the text.
        {"twice.htm", "\xEF\xBB\xBF\xEF\xBB\xBF" + page.toUtf8(), "UTF-8 with byte-order mark",
         "\xEF\xBB\xBF\xEF\xBB\xBF" + saved.toUtf8()},
        {"le.htm", utf16le(page), "UTF-16LE with byte-order mark", utf16le(saved)},
        {"old.htm", "<p>caf\xE9<div>", "Windows-1252", "<p>caf\xE9</p><div>\xE9"},
        {"latin2.htm", "<meta charset=iso-8859-2><p>caf\xE9<div>", "ISO-8859-2",
         "<meta charset=iso-8859-2><p>caf\xE9</p><div>\xE9"},
    };
    for (const auto& c : cases) {
        dialogs->unsavedAnswers = {Answer::Discard};
        open(file(QString::fromLatin1(c.name), c.bytes));
        EXPECT_TRUE(text().endsWith(page)) << c.name;
        EXPECT_EQ(count(), QString::number(text().size())) << c.name;
        EXPECT_EQ(form->ui().EncodingBox->text(), QString::fromLatin1(c.encoding)) << c.name;
        form->mnuFileFixClick();
        typeAtEnd(QStringLiteral("\u00e9"));
        saveAs(QStringLiteral("out.fix"));
        EXPECT_EQ(FileBytes(dir.file(QStringLiteral("out.fix"))), c.saved) << c.name;
    }
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join(u'\n').toStdString();

    // A character the page's encoding cannot hold is named with its place; nothing is
    // written. So is a U+FEFF at the start of a Windows-1252 page, which has no byte for it.
    typeAtEnd(QStringLiteral("\u20ac"));
    saveAs(QStringLiteral("euro.fix"));
    EXPECT_EQ(messages.texts.join(u'\n'),
              u"The file was not saved: the character \"\u20ac\" (U+20AC) in line 1, column 43 "
              u"cannot be written in ISO-8859-2.");
    dialogs->unsavedAnswers = {Answer::Discard};
    open(dir.file(QStringLiteral("old.htm")));
    view().insertAt(QStringLiteral("\uFEFF"), 0, 0);
    saveAs(QStringLiteral("mark.fix"));
    EXPECT_TRUE(messages.texts.last().contains(u"(U+FEFF) in line 1, column 1"))
        << messages.texts.last().toStdString();
    EXPECT_FALSE(QFile::exists(dir.file(QStringLiteral("euro.fix"))));
    EXPECT_FALSE(QFile::exists(dir.file(QStringLiteral("mark.fix"))));
}

TEST_F(MainFormTest, APageReopensInAChosenEncodingWhichIsRemembered) {
    const MainFormUi& ui = form->ui();
    QMap<QString, QAction*> items;
    for (QAction* item : ui.mnuFileEncodingItems->actions()) items[item->text()] = item;
    ASSERT_TRUE(items.contains(QStringLiteral("ISO-8859-15")));
    const auto checked = [&] { return ui.mnuFileEncodingItems->checkedAction()->text(); };
    EXPECT_FALSE(ui.mnuFileEncoding->isEnabled());  // no page yet

    const QString path = file(QStringLiteral("page.htm"), "caf\xC3\xA9");
    open(path);
    EXPECT_EQ(text(), QStringLiteral("caf\u00e9"));
    EXPECT_EQ(checked(), QStringLiteral("&Automatic"));
    items[QStringLiteral("Windows-1252")]->trigger();
    EXPECT_EQ(text(), QStringLiteral("caf\u00c3\u00a9"));
    EXPECT_EQ(ui.EncodingBox->text(), QStringLiteral("Windows-1252"));

    // An encoding that cannot read the page byte for byte leaves it as it was.
    items[QStringLiteral("UTF-16LE")]->trigger();
    EXPECT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(messages.texts.value(0).contains(u"cannot be read as UTF-16LE"));
    EXPECT_EQ(text(), QStringLiteral("caf\u00c3\u00a9"));
    EXPECT_EQ(checked(), QStringLiteral("Windows-1252"));

    // The choice holds for the page the next time it is opened, in any window.
    MainForm other(std::make_unique<ScriptedDialogs>());
    other.openFile(path);
    EXPECT_EQ(other.ui().WorkBox->documentText(), QStringLiteral("caf\u00c3\u00a9"));

    // Changes are asked about first; Automatic forgets the choice.
    typeAtEnd(QStringLiteral("!"));
    items[QStringLiteral("&Automatic")]->trigger();  // Cancel
    EXPECT_EQ(text(), QStringLiteral("caf\u00c3\u00a9!"));
    dialogs->unsavedAnswers = {Answer::Discard};
    items[QStringLiteral("&Automatic")]->trigger();
    EXPECT_EQ(text(), QStringLiteral("caf\u00e9"));
    EXPECT_EQ(dialogs->calls, (QStringList{"open ", "unsaved", "unsaved"}));
    other.openFile(path);
    EXPECT_EQ(other.encoding(), TextEncoding::Utf8());
}

TEST_F(MainFormTest, ADamagedUtf16PageKeepsItsDamageThroughFixFileAndSave) {
    // A lone surrogate, held in the view as its three bytes, and a stray last byte.
    const auto utf16le = [](QStringView text) {
        QByteArray bytes("\xFF\xFE");
        for (const QChar c : text)
            bytes.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        return bytes + "A";
    };
    const QString page = QStringLiteral("<p>a") + QChar(0xD800) + QStringLiteral("b<div>x");
    const QString fixed = QStringLiteral("<p>a") + QChar(0xD800) + QStringLiteral("b</p><div>x");
    const QString path = file(QStringLiteral("u.htm"), utf16le(page));
    for (const bool html5 : {false, true}) {
        SCOPED_TRACE(html5 ? "HTML5 rules" : "word lists");
        form->ui().mnuOptionsHtml5->setChecked(html5);
        dialogs->unsavedAnswers = {Answer::Discard};
        open(path);
        EXPECT_EQ(form->statusBar()->currentMessage(),
                  u"u.htm: damaged UTF-16LE: an unpaired surrogate (U+D800) at byte 11, kept as it "
                  u"is; u.htm: damaged UTF-16LE: a stray last byte at byte 27, kept as it is");
        EXPECT_EQ(form->ui().EncodingBox->text(), u"UTF-16LE with byte-order mark");
        EXPECT_EQ(text(), page);
        EXPECT_EQ(count(), QStringLiteral("12"));
        form->mnuFileFixClick();
        EXPECT_EQ(added(), QStringLiteral("1"));
        saveAs(QStringLiteral("out.fix"));
        EXPECT_EQ(FileBytes(dir.file(QStringLiteral("out.fix"))), utf16le(fixed));
    }
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join(u'\n').toStdString();

    // A kept surrogate edited apart is no character: the page is not saved.
    dialogs->unsavedAnswers = {Answer::Discard};
    open(path);
    view().SendScintilla(QsciScintilla::SCI_DELETERANGE, 5UL, 1L);
    saveAs(QStringLiteral("apart.fix"));
    EXPECT_EQ(messages.texts.join(u'\n'),
              u"The file was not saved: the byte 0xED in line 1, column 5 is part of no "
              u"character.");
    EXPECT_FALSE(QFile::exists(dir.file(QStringLiteral("apart.fix"))));

    // A declaration passed over is said in the status line until another page opens.
    dialogs->unsavedAnswers = {Answer::Discard};
    open(file(QStringLiteral("latin3.htm"), "<meta charset=iso-8859-3><p>\xA5"));
    EXPECT_EQ(form->statusBar()->currentMessage(),
              u"latin3.htm: declares ISO-8859-3 but is read as Windows-1252, since its bytes are "
              u"not ISO-8859-3");
    open(file(QStringLiteral("plain.htm"), "<p>plain"));
    EXPECT_TRUE(form->statusBar()->currentMessage().isEmpty());
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

TEST_F(MainFormTest, CommandsOnTheDocumentAreRefusedDuringARun) {
    showActive();
    view().loadDocument(QStringLiteral("<p>one<p>tw"));
    view().append(QStringLiteral("o"));  // something to undo
    bool ran = false;
    duringFix([&] {
        ran = true;
        EXPECT_TRUE(view().isReadOnly());
        // The pass reads the view's buffer in place: typing, pasting, undoing and the
        // shortcuts leave it as it is.
        const char* buffer = view().documentBytes().data();
        QTest::keyClicks(&view(), QStringLiteral("x"));
        QApplication::clipboard()->setText(QStringLiteral("pasted"));
        view().paste();
        view().undo();
        QTest::keyClick(&view(), Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(&view(), Qt::Key_O, Qt::ControlModifier);
        EXPECT_EQ(view().documentBytes().data(), buffer);
        EXPECT_EQ(text(), QStringLiteral("<p>one<p>two"));
        dialogs->openAnswers = {file(QStringLiteral("other.htm"), "other")};
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
    duringFix([&] { closedAtOnce = form->close(); });
    EXPECT_FALSE(closedAtOnce);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->isRunning());
    EXPECT_EQ(text(), page);  // the stopped run changed nothing
    EXPECT_EQ(lists->closes, lists->opens);

    // With unsaved changes, the question still comes first.
    form->show();
    view().insert(QStringLiteral("edited "));
    duringFix([&] { form->mnuFileExitClick(); });
    EXPECT_EQ(dialogs->calls, QStringList{"unsaved"});
    EXPECT_TRUE(form->isVisible());  // the answer was Cancel
    EXPECT_EQ(text(), "edited " + page);

    // By HTML5 rules the same.
    form->ui().mnuOptionsHtml5->trigger();
    view().loadDocument(page);
    duringFix([&] { form->close(); });
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->isRunning());
    EXPECT_EQ(text(), page);
}

TEST_F(MainFormTest, TheHtml5OptionIsRememberedAndSteersFixFile) {
    const MainFormUi& ui = form->ui();
    ASSERT_FALSE(ui.mnuOptionsHtml5->isChecked());
    // The word lists end the paragraph before the unknown element; HTML5 rules do not,
    // and need no lists.
    const QString page = QStringLiteral("<p>a<bb>b</bb><div>c");
    view().loadDocument(page);
    form->mnuFileFixClick();
    EXPECT_EQ(text(), QStringLiteral("<p>a</p><bb>b</bb><div>c"));
    ui.mnuOptionsHtml5->trigger();
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
    // So is a page nested too deeply for the parser, with the reason.
    messages.texts.clear();
    const QString deep = "<p>x" + QStringLiteral("<div>").repeated(6000) + "<p>y";
    view().loadDocument(deep);
    form->mnuFileFixClick();
    EXPECT_EQ(text(), deep);
    EXPECT_EQ(messages.texts,
              QStringList("Fix File could not read the page by HTML5 rules, so the page was "
                          "left as it was.\n\nThe page is nested too deeply for the HTML5 rules "
                          "(6,001 levels; the parser reads at most 5,000)."));

    // A new window starts with the option as it was left.
    MainForm next(std::make_unique<ScriptedDialogs>());
    EXPECT_TRUE(next.ui().mnuOptionsHtml5->isChecked());
}

// --- Reviewing what Fix File changed --------------------------------------------------

TEST_F(MainFormTest, EachInsertedParagraphEndIsMarkedAndF8StepsThroughThem) {
    showActive();
    using Mark = WorkBoxEditor::Mark;
    const QString page = QStringLiteral("<p>one<h1>x</h1><p>two\r\n<p>three<ul>");
    view().loadDocument(page);
    form->mnuFileFixClick();
    EXPECT_EQ(text(), QStringLiteral("<p>one</p><h1>x</h1><p>two\r\n</p><p>three</p><ul>"));
    const auto marked = [&](Mark kind = Mark::Inserted) {
        QStringList texts;
        for (const TextSpan& span : view().marks(kind)) {
            texts << QString::fromUtf8(view().documentBytes().sliced(span.start, span.length)) +
                         u'@' + QString::number(span.start);
        }
        return texts;
    };
    EXPECT_EQ(marked(), (QStringList{"</p>@6", "</p>@28", "</p>@40"}));

    // F8 selects each in turn, scrolled into view, and says which it is; Shift+F8 goes back,
    // and both go on from the other end of the page.
    const auto step = [&](Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(&view(), Qt::Key_F8, modifiers);
        return QStringLiteral("%1 %2").arg(view().selectedText(),
                                           form->statusBar()->currentMessage());
    };
    view().setCursorPosition(0, 0);
    EXPECT_EQ(step(Qt::NoModifier), QStringLiteral("</p> Change 1 of 3"));
    EXPECT_EQ(step(Qt::NoModifier), QStringLiteral("</p> Change 2 of 3"));
    EXPECT_EQ(view().SendScintilla(QsciScintilla::SCI_GETSELECTIONSTART), 28);
    EXPECT_EQ(step(Qt::NoModifier), QStringLiteral("</p> Change 3 of 3"));
    EXPECT_EQ(step(Qt::NoModifier), QStringLiteral("</p> Change 1 of 3"));
    EXPECT_EQ(step(Qt::ShiftModifier), QStringLiteral("</p> Change 3 of 3"));

    // The marks follow edits before them.
    view().insertAt(QStringLiteral("<!-- -->"), 0, 0);
    EXPECT_EQ(marked(), (QStringList{"</p>@14", "</p>@36", "</p>@48"}));

    // Strip Newlines keeps them where their text stays; Save writes the text alone.
    form->mnuFileStripNewlinesClick();
    EXPECT_EQ(text(), QStringLiteral("<!-- --><p>one</p><h1>x</h1><p>two</p><p>three</p><ul>"));
    EXPECT_EQ(marked(), (QStringList{"</p>@14", "</p>@34", "</p>@46"}));
    saveAs(QStringLiteral("page.fix"));
    EXPECT_EQ(FileBytes(dir.file(QStringLiteral("page.fix"))), text().toUtf8());

    // Undoing the strip, the comment and the run takes the marks with the "</p>" they
    // marked.
    for (int i = 0; i < 3; ++i) view().undo();
    EXPECT_EQ(text(), page);
    EXPECT_TRUE(marked().isEmpty());
    QTest::keyClick(&view(), Qt::Key_F8);
    EXPECT_TRUE(form->statusBar()->currentMessage().startsWith(u"No change is marked"));

    // Typing over a selected change replaces it, and its mark goes with it; what is typed
    // beside a mark is not marked.
    view().loadDocument(page);
    form->mnuFileFixClick();
    view().setCursorPosition(0, 0);
    step(Qt::NoModifier);
    step(Qt::NoModifier);
    QTest::keyClicks(&view(), QStringLiteral("</div>"));
    EXPECT_TRUE(text().contains(u"two\r\n</div><p>three"));
    EXPECT_EQ(marked(), (QStringList{"</p>@6", "</p>@42"}));
    EXPECT_EQ(step(Qt::NoModifier), QStringLiteral("</p> Change 2 of 2"));
    // Fix File twice, Strip Newlines, Save, and F8 with nothing marked.
    EXPECT_EQ(messages.beeps, 5);
}

TEST_F(MainFormTest, CompareMarksWhereTheOtherWayWouldDiffer) {
    using Mark = WorkBoxEditor::Mark;
    // The word lists end the paragraph before the unknown <bb>; the HTML5 rules end it
    // before the <div> instead.
    const QString page = QStringLiteral("<p>a<bb>b</bb><div>c<p>d<h2>");
    for (const bool html5 : {false, true}) {
        SCOPED_TRACE(html5 ? "by HTML5 rules" : "by the word lists");
        if (form->ui().mnuOptionsHtml5->isChecked() != html5) form->ui().mnuOptionsHtml5->trigger();
        EXPECT_EQ(form->ui().mnuEditCompare->text(),
                  html5 ? QStringLiteral("Co&mpare with the Word Lists")
                        : QStringLiteral("Co&mpare with HTML5 Rules"));
        view().loadDocument(page);
        form->mnuFileFixClick();
        const QString fixed = text();
        const QString added = this->added();
        form->mnuEditCompareClick();
        // The page and the counters stay as they were.
        EXPECT_EQ(text(), fixed);
        EXPECT_EQ(this->added(), added);
        const QString other =
            html5 ? QStringLiteral("the word lists") : QStringLiteral("the HTML5 rules");
        EXPECT_EQ(form->statusBar()->currentMessage(),
                  "2 differences from " + other + " are marked; F8 steps through them.");
        const auto at = [&](Mark kind) {
            QStringList texts;
            for (const TextSpan& span : view().marks(kind)) {
                texts << QString::fromUtf8(view().documentBytes().sliced(span.start, span.length));
            }
            return texts;
        };
        EXPECT_EQ(at(Mark::OtherWouldNotAdd), QStringList{"</p>"});
        EXPECT_EQ(at(Mark::OtherWouldAdd), QStringList{html5 ? "<bb>" : "<div>"});
        // F8 goes through the changes and the differences.
        view().setCursorPosition(0, 0);
        QStringList said;
        for (int i = 0; i < 3; ++i) {
            form->mnuEditNextChangeClick();
            said << view().selectedText() + u' ' + form->statusBar()->currentMessage();
        }
        // By the word lists, the "</p>" before <bb> comes first, then the <div>; by the HTML5
        // rules, the <bb> first, then the "</p>" before <div>.
        const QString wouldAdd = "by " + other + ", a </p> goes before this tag";
        const QString wouldNot = "by " + other + ", no </p> goes here";
        const QStringList expected =
            html5 ? QStringList{"<bb> Difference 1 of 2: " + wouldAdd,
                                "</p> Change 1 of 2; difference 2 of 2: " + wouldNot,
                                "</p> Change 2 of 2"}
                  : QStringList{"</p> Change 1 of 2; difference 1 of 2: " + wouldNot,
                                "<div> Difference 2 of 2: " + wouldAdd, "</p> Change 2 of 2"};
        EXPECT_EQ(said, expected);
        // A new Fix File run makes the comparison stale: its marks go.
        form->mnuFileFixClick();
        EXPECT_TRUE(view().marks(Mark::OtherWouldAdd).isEmpty());
        EXPECT_TRUE(view().marks(Mark::OtherWouldNotAdd).isEmpty());
    }
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join(u'\n').toStdString();
}

TEST_F(MainFormTest, ARunShowsItIsBusyAndEscapeStopsItWithThePageUnchanged) {
    showActive();
    const QString page = QStringLiteral("<p>one<p>two<p>three");
    for (const bool html5 : {false, true}) {
        SCOPED_TRACE(html5 ? "by HTML5 rules" : "by the word lists");
        if (form->ui().mnuOptionsHtml5->isChecked() != html5) form->ui().mnuOptionsHtml5->trigger();
        view().loadDocument(page);
        const int beeps = messages.beeps;
        bool ran = false;
        duringFix([&] {
            ran = true;
            EXPECT_FALSE(form->ui().BusyBar->isHidden());
            EXPECT_FALSE(form->ui().StopButton->isHidden());
            EXPECT_TRUE(form->ui().mnuFileStop->isEnabled());
            ASSERT_TRUE(QApplication::overrideCursor());
            EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
            // A key typed meanwhile is refused with a beep, as the commands are.
            QTest::keyClicks(&view(), QStringLiteral("x"));
            QTest::keyClick(&view(), Qt::Key_Backspace);
            EXPECT_EQ(messages.beeps, beeps + 2);
            QTest::keyClick(&view(), Qt::Key_Escape);
        });
        EXPECT_TRUE(ran);
        EXPECT_EQ(text(), page);
        EXPECT_FALSE(view().hasUnsavedChanges());
        EXPECT_EQ(form->statusBar()->currentMessage(),
                  QStringLiteral("Stopped; the page is as it was."));
        EXPECT_TRUE(form->ui().BusyBar->isHidden());
        EXPECT_TRUE(form->ui().StopButton->isHidden());
        EXPECT_FALSE(form->ui().mnuFileStop->isEnabled());
        EXPECT_FALSE(QApplication::overrideCursor());
        EXPECT_TRUE(view().marks(WorkBoxEditor::Mark::Inserted).isEmpty());
    }
    // Outside a run, Escape and typing are the view's own.
    QTest::keyClicks(&view(), QStringLiteral("y"));
    QTest::keyClick(&view(), Qt::Key_Escape);
    EXPECT_EQ(text(), "y" + page);
    EXPECT_TRUE(messages.texts.isEmpty());
}

// --- The window -----------------------------------------------------------------------

TEST_F(MainFormTest, FindAndReplaceAllIsOneStepToUndo) {
    const QString page = QStringLiteral("cat Cat cat\r\nconcat cat");
    view().loadDocument(page);
    form->mnuEditReplaceClick();
    FindReplaceDialog& find = *form->findReplace();
    find.FindBox->setText(QStringLiteral("cat"));
    find.ReplaceBox->setText(QStringLiteral("cats"));
    find.MatchCaseBox->setChecked(true);
    find.WholeWordsBox->setChecked(true);
    const auto selectionStart = [&] {
        return view().SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART);
    };

    // Find goes from the selection on, and on from the start after the end.
    QList<long> found;
    for (int i = 0; i < 4; ++i) {
        find.findNext();
        found << selectionStart();
    }
    EXPECT_EQ(found, (QList<long>{0, 8, 20, 0}));
    find.findPrevious();
    EXPECT_EQ(selectionStart(), 20);
    // Every place is marked, and counted.
    const auto marks = [&] { return view().marks(WorkBoxEditor::Mark::Found); };
    EXPECT_EQ(marks(), (QList<TextSpan>{{0, 3}, {8, 3}, {20, 3}}));
    EXPECT_EQ(find.StatusLabel->text(),
              QStringLiteral("Went on from the end of the page. 3 places in the page."));

    // Replace puts the replacement at the selected place and selects the next one.
    find.replace();
    EXPECT_EQ(text(), QStringLiteral("cat Cat cat\r\nconcat cats"));
    EXPECT_EQ(selectionStart(), 0);
    view().undo();

    // Replace All: whole words in their case only, the replacements untouched, and all of
    // it one step to undo.
    find.replaceAll();
    EXPECT_EQ(text(), QStringLiteral("cats Cat cats\r\nconcat cats"));
    EXPECT_EQ(find.StatusLabel->text(), QStringLiteral("Replaced 3 places."));
    EXPECT_EQ(form->statusBar()->currentMessage(), QStringLiteral("Replaced 3 places."));
    view().undo();
    EXPECT_EQ(text(), page);
    EXPECT_FALSE(view().isUndoAvailable());

    // Not while a command runs on the page.
    duringFix([&] { find.replaceAll(); });
    EXPECT_EQ(text(), page);

    // Other options, another text, and closing the window, take the marks off.
    find.MatchCaseBox->setChecked(false);
    find.findNext();
    EXPECT_EQ(marks().size(), 4);
    find.FindBox->setText(QStringLiteral("concat"));
    EXPECT_TRUE(marks().isEmpty());
    find.findNext();
    EXPECT_EQ(marks().size(), 1);
    find.close();
    EXPECT_TRUE(marks().isEmpty());
}

TEST_F(MainFormTest, AMessageInTheStatusLineHasItsRoomOrItsToolTip) {
    showActive();
    form->resize(800, form->height());
    QStatusBar& bar = *form->statusBar();
    const auto room = [&] {
        QApplication::processEvents();
        QApplication::processEvents();
        // The message is drawn up to just before the first part shown at the right.
        int right = bar.width();
        for (QWidget* part : bar.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (part->isVisible() && part->x() > 0) right = std::min(right, part->x());
        }
        return right - 8;
    };
    const QString created = "Created " + home.wordLists() + " with the default word lists.";
    for (const bool busy : {false, true}) {
        SCOPED_TRACE(busy ? "during a run" : "between runs");
        form->ui().BusyBar->setVisible(busy);
        form->ui().StopButton->setVisible(busy);
        bar.showMessage(created);
        EXPECT_GE(room(), bar.fontMetrics().horizontalAdvance(created));
        EXPECT_TRUE(bar.toolTip().isEmpty());
        // Without a message, the word-list label takes its room back.
        bar.clearMessage();
        room();
        EXPECT_FALSE(form->ui().WordListsLabel->isElided());
    }
    // A message longer than the window can show is whole in the tool tip.
    const QString longer = created.repeated(4);
    bar.showMessage(longer);
    room();
    EXPECT_EQ(bar.toolTip(), longer);
    EXPECT_EQ(form->ui().WordListsLabel->width(),
              form->ui().WordListsLabel->minimumSizeHint().width());
}

TEST_F(MainFormTest, ZoomAndWordWrapAreKeysAwayAndRemembered) {
    showActive();
    view().loadDocument(QString(300, u'x'));
    const auto zoom = [&] { return view().SendScintilla(QsciScintilla::SCI_GETZOOM); };
    QTest::keyClick(&view(), Qt::Key_Plus, Qt::ControlModifier);
    QTest::keyClick(&view(), Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_EQ(zoom(), 2);
    QTest::keyClick(&view(), Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(zoom(), 1);
    QTest::keyClick(&view(), Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(zoom(), 0);
    form->ui().mnuViewZoomIn->trigger();
    form->ui().mnuViewZoomIn->trigger();
    form->ui().mnuViewZoomIn->trigger();
    EXPECT_EQ(zoom(), 3);
    EXPECT_EQ(view().wrapMode(), QsciScintilla::WrapNone);
    form->ui().mnuViewWordWrap->trigger();
    EXPECT_EQ(view().wrapMode(), QsciScintilla::WrapWord);

    // The next window starts so.
    MainForm next(std::make_unique<ScriptedDialogs>());
    EXPECT_EQ(next.ui().WorkBox->SendScintilla(QsciScintilla::SCI_GETZOOM), 3);
    EXPECT_EQ(next.ui().WorkBox->wrapMode(), QsciScintilla::WrapWord);
    EXPECT_TRUE(next.ui().mnuViewWordWrap->isChecked());
}

TEST_F(MainFormTest, RecentFilesKeepTheLastEightPagesNewestFirst) {
    QStringList pages;
    for (int i = 1; i <= 10; ++i) pages << file(QStringLiteral("p%1.htm").arg(i), "x");
    for (const QString& page : pages) form->openFile(page);
    form->openFile(pages[4]);  // opened again: first, and only once
    QStringList expected{pages[4], pages[9], pages[8], pages[7],
                         pages[6], pages[5], pages[3], pages[2]};
    EXPECT_EQ(RecentFiles().paths(), expected);

    // The menu offers them by number, once the File menu opens; a page that is gone is
    // taken off with a message.
    QMenu& menu = *form->ui().mnuFileRecent;
    emit form->ui().mnuFile->aboutToShow();
    ASSERT_GE(menu.actions().size(), 8);
    EXPECT_EQ(menu.actions()[1]->text(), "&2 " + QDir::toNativeSeparators(pages[9]));
    ASSERT_TRUE(QFile::remove(pages[9]));
    menu.actions()[1]->trigger();
    expected.removeAt(1);
    EXPECT_EQ(RecentFiles().paths(), expected);
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(messages.texts[0].contains(QDir::toNativeSeparators(pages[9])));

    // Choosing one opens it after the question about unsaved changes.
    view().insert(QStringLiteral("changed "));
    dialogs->unsavedAnswers = {Answer::Discard};
    form->openRecentFile(pages[2]);
    EXPECT_EQ(dialogs->calls.last(), QStringLiteral("unsaved"));
    EXPECT_EQ(RecentFiles().paths().first(), pages[2]);
    EXPECT_EQ(form->windowTitle(), caption(QDir::toNativeSeparators(pages[2])));
}

TEST_F(MainFormTest, ADroppedPageIsOpenedAfterTheQuestion) {
    showActive();
    const QString page = file(QStringLiteral("dropped.htm"), "<p>dropped");
    view().loadDocument(QStringLiteral("mine"));
    view().insert(QStringLiteral("changed "));
    auto drop = [&](QMimeData& data) {
        QWidget* target = view().viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        QApplication::processEvents();
    };
    QMimeData named;
    named.setUrls({QUrl::fromLocalFile(page)});
    named.setText(page);  // as file managers send it
    dialogs->unsavedAnswers = {Answer::Cancel, Answer::Discard};
    drop(named);
    EXPECT_EQ(text(), QStringLiteral("changed mine"));  // cancelled
    drop(named);
    EXPECT_EQ(text(), QStringLiteral("<p>dropped"));
    EXPECT_EQ(dialogs->calls, (QStringList{"unsaved", "unsaved"}));
    EXPECT_EQ(RecentFiles().paths().first(), QDir::toNativeSeparators(page));

    // A drop of mere text is the view's own business: no page is opened.
    QMimeData plain;
    plain.setText(QStringLiteral("words"));
    drop(plain);
    EXPECT_EQ(dialogs->calls.size(), 2);
    EXPECT_TRUE(text().endsWith(QStringLiteral("<p>dropped")));
}

TEST_F(MainFormTest, TheWindowItsFoldersAndOptionsAreRememberedForTheNextStart) {
    QDir(dir.path()).mkdir(QStringLiteral("out"));
    const QString page = file(QStringLiteral("page.htm"), "<p>a\nb</p>");
    form->show();
    form->resize(form->size() - QSize(120, 80));
    const QSize size = form->size();
    open(page);
    form->ui().mnuOptionsJoinLineFeeds->trigger();
    saveAs(QStringLiteral("out/page.fix"));
    form->close();

    // The next start: same size, the Open dialog in the page's folder, the Save dialog in
    // the folder saved to (with no page of its own to propose), the option still on.
    auto scripted = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs& next = *scripted;
    MainForm again(std::move(scripted), nullptr, std::make_unique<MemoryWordLists>());
    again.show();
    EXPECT_EQ(again.size(), size);
    again.mnuFileOpenClick();
    EXPECT_EQ(next.calls.last(),
              "open " + QDir::toNativeSeparators(QFileInfo(page).absolutePath()));
    again.ui().WorkBox->loadDocument(QStringLiteral("<p>c\nd</p>"));
    again.mnuFileSaveClick();
    EXPECT_EQ(next.calls.last(),
              "save " + QDir::toNativeSeparators(dir.file(QStringLiteral("out/.fix"))));
    EXPECT_TRUE(again.ui().mnuOptionsJoinLineFeeds->isChecked());
    again.mnuFileStripNewlinesClick();
    EXPECT_EQ(again.ui().WorkBox->documentText(), QStringLiteral("<p>cd</p>"));
    again.ui().WorkBox->markSaved();
}

TEST(StandardDialogs, OpenOffersEveryKindOfPageAndEachAnswerHasItsAccessKey) {
    MessageLog messages;
    StandardMainFormDialogs dialogs;
    QStringList filters;
    EXPECT_TRUE(WithModal([&] { dialogs.askOpenPath(nullptr, QString()); },
                          [&](QWidget* modal) {
                              auto* chooser = qobject_cast<QFileDialog*>(modal);
                              ASSERT_TRUE(chooser);
                              filters = chooser->nameFilters();
                              chooser->reject();
                          }));
    EXPECT_EQ(filters, (QStringList{"HTML Files (*.htm *.html *.xhtml)", "Fixed Files (*.fix)",
                                    "All Files (*)"}));

    // Save, Discard and Cancel, each with a key of its own.
    QStringList keys;
    std::optional<MainFormDialogs::UnsavedAnswer> answer;
    EXPECT_TRUE(WithModal([&] { answer = dialogs.askUnsavedChanges(nullptr); },
                          [&](QWidget* modal) {
                              auto* box = qobject_cast<QMessageBox*>(modal);
                              ASSERT_TRUE(box);
                              for (QAbstractButton* button : box->buttons()) {
                                  const qsizetype at = button->text().indexOf(u'&');
                                  ASSERT_GE(at, 0) << button->text().toStdString();
                                  keys << button->text().mid(at + 1, 1).toLower();
                              }
                              QTest::keyClick(box, Qt::Key_D, Qt::AltModifier);
                          }));
    EXPECT_EQ(keys.size(), 3);
    EXPECT_EQ(QSet<QString>(keys.begin(), keys.end()).size(), 3) << keys.join(u' ').toStdString();
    EXPECT_EQ(answer, MainFormDialogs::UnsavedAnswer::Discard);
}

}  // namespace
}  // namespace quillet::test
