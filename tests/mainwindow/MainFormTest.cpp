// The main window: its commands and their labels, opening and saving, runs, closing and
// resizing.
#include "FileSystemSupport.h"
#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "documents/DocumentFile.h"
#include "mainwindow/MainForm.h"
#include "mainwindow/MainFormDialogs.h"
#include "windows/FindReplaceDialog.h"
#include "windows/WorkBoxEditor.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSettings>
#include <QStatusBar>
#include <QStringEncoder>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
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
    std::optional<int> lineAnswer;
    QStringList calls;  ///< "open <start>", "save <proposal>", "unsaved", "line 1/3", ...

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
    std::optional<int> askLineNumber(QWidget*, int current, int last) override {
        calls << QStringLiteral("line %1/%2").arg(current).arg(last);
        return lineAnswer;
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
    QString file(const char* name, const QByteArray& bytes) const {
        EXPECT_TRUE(PutFile(dir.file(QString::fromLatin1(name)), bytes));
        return dir.file(QString::fromLatin1(name));
    }
    void open(const QString& path) {
        dialogs->openAnswers << path;
        form->mnuFileOpenClick();
    }
    WorkBoxEditor& view() const { return *form->ui().WorkBox; }
    /// Types `typed` at the end of the document.
    void typeAtEnd(const QString& typed) {
        view().SendScintilla(QsciScintilla::SCI_DOCUMENTEND);
        view().insert(typed);
    }
    QString text() const { return view().documentText(); }
    QString count() const { return form->ui().CountBox->text(); }
    QString added() const { return form->ui().PBox->text(); }
    QString caption(const QString& name) const {
        return MainFormUi::DesignCaption() + " - " + name;
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

TEST_F(MainFormTest, ButtonsRunTheCommandOfTheirExactKeyAsTheMenuItemsDo) {
    const MainFormUi& ui = form->ui();
    const QString db = home.wordLists();
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

TEST_F(MainFormTest, ThePerUserListsAreMadeOnFirstNeedAndTheStatusLineSaysWhere) {
    const auto* label = form->findChild<QLabel*>(QStringLiteral("WordListsLabel"));
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text(), "Word lists: " + home.wordLists());
    view().loadDocument(QStringLiteral("<p>a  b<ul>"));
    form->mnuFileStripSpacesClick();
    EXPECT_FALSE(QFile::exists(home.wordLists()));

    form->mnuFileFixClick();
    EXPECT_TRUE(QFile::exists(home.wordLists()));
    EXPECT_EQ(form->statusBar()->currentMessage(),
              "Created " + home.wordLists() + " with the default word lists.");
    form->statusBar()->clearMessage();
    form->mnuFileSkipListClick();
    EXPECT_EQ(form->statusBar()->currentMessage(), QString());
    EXPECT_EQ(dialogs->calls, QStringList{"skip list " + home.wordLists()});
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(MainFormTest, ListsThatCannotBeMadeAreReportedAndNothingRuns) {
    // A file where the folder "quillet" would go.
    ASSERT_TRUE(PutFile(QFileInfo(home.wordLists()).path(), "in the way"));
    const QString page = QStringLiteral("<p>a<ul>");
    view().loadDocument(page);
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
}

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

TEST_F(MainFormTest, AFullDiskIsReportedAndThePageStaysUnsaved) {
    open(file("a.htm", "<p>one"));
    const QString target = file("out.fix", "old");
    const bool device = MakeCharDevice(dir.file(QStringLiteral("full")), 1, 7);
    // A large page cut short, a small one refused at its first byte, and a full device,
    // all through the real writer.
    const struct {
        rlim_t limit;
        qsizetype size;
        QString target;
    } cases[] = {
        {64 * 1024, 300 * 1000, target},
        {0, 10, target},
        {RLIM_INFINITY, 10, device ? dir.file(QStringLiteral("full")) : QString()},
    };
    for (const auto& c : cases) {
        if (c.target.isEmpty()) continue;  // no device node could be made
        messages.texts.clear();
        view().replaceDocument(QString(c.size, u'x'));
        dialogs->saveAnswers = {c.target};
        {
            const ScopedFileSizeLimit full(c.limit);
            form->mnuFileSaveClick();
        }
        EXPECT_EQ(messages.texts, QStringList{"Not enough space on the destination disk"});
        EXPECT_TRUE(view().hasUnsavedChanges());
        EXPECT_EQ(form->windowTitle(), caption(dir.file(QStringLiteral("a.htm"))));
    }
    EXPECT_EQ(FileBytes(target), QByteArray("old"));
    EXPECT_EQ(QDir(dir.path()).entryList({"*.fix*"}, QDir::Files | QDir::Hidden),
              QStringList{"out.fix"});
    EXPECT_EQ(S_ISCHR(FileMode(dir.file(QStringLiteral("full")))), device);
}

TEST_F(MainFormTest, OpenRefusesAPageTooLargeToHoldAndKeepsTheDocument) {
    const QString first = file("first.htm", "first");
    open(first);
    QStringList tooLarge{file("huge.htm", QByteArray(1001, 'x'))};
    if (MakeCharDevice(dir.file(QStringLiteral("zero")), 1, 5)) {
        tooLarge << dir.file(QStringLiteral("zero"));  // endless
    }
    SetDocumentSizeLimit(1000);
    for (const QString& path : tooLarge) {
        messages.texts.clear();
        open(path);
        EXPECT_EQ(messages.texts,
                  QStringList{"Couldn't open " + path + ": it is too large to hold in memory."});
        EXPECT_EQ(text(), QStringLiteral("first"));
        EXPECT_EQ(form->windowTitle(), caption(first));
    }
    SetDocumentSizeLimit(0);
}

// --- Encodings ------------------------------------------------------------------------

TEST_F(MainFormTest, PagesAreShownRepairedAndSavedInTheirOwnEncoding) {
    const auto utf16 = [](QStringView text, QStringConverter::Encoding order) {
        return QByteArray(QStringEncoder(order, QStringConverter::Flag::WriteBom).encode(text));
    };
    using Q = QStringConverter;
    const QString page = QStringLiteral("<p>caf\u00e9<div>");
    const QString saved = QStringLiteral("<p>caf\u00e9</p><div>\u00e9");
    const struct {
        const char* name;
        QByteArray bytes;
        const char* encoding;
        QByteArray saved;
    } cases[] = {
        {"plain.htm", page.toUtf8(), "UTF-8", saved.toUtf8()},
        {"marked.htm", "\xEF\xBB\xBF" + page.toUtf8(), "UTF-8 with byte-order mark",
         "\xEF\xBB\xBF" + saved.toUtf8()},
        // After the mark, a U+FEFF is a character of the text.
        {"twice.htm", "\xEF\xBB\xBF\xEF\xBB\xBF" + page.toUtf8(), "UTF-8 with byte-order mark",
         "\xEF\xBB\xBF\xEF\xBB\xBF" + saved.toUtf8()},
        {"le.htm", utf16(page, Q::Utf16LE), "UTF-16LE with byte-order mark",
         utf16(saved, Q::Utf16LE)},
        {"be.htm", utf16(page, Q::Utf16BE), "UTF-16BE with byte-order mark",
         utf16(saved, Q::Utf16BE)},
        {"old.htm", "<p>caf\xE9<div>", "Windows-1252", "<p>caf\xE9</p><div>\xE9"},
        {"latin2.htm", "<meta charset=iso-8859-2><p>caf\xE9<div>", "ISO-8859-2",
         "<meta charset=iso-8859-2><p>caf\xE9</p><div>\xE9"},
    };
    for (const auto& c : cases) {
        dialogs->unsavedAnswers = {Answer::Discard};
        open(file(c.name, c.bytes));
        EXPECT_TRUE(text().endsWith(page)) << c.name;
        EXPECT_EQ(count(), QString::number(text().size())) << c.name;
        EXPECT_EQ(form->ui().EncodingBox->text(), QString::fromLatin1(c.encoding)) << c.name;
        form->mnuFileFixClick();
        typeAtEnd(QStringLiteral("\u00e9"));
        dialogs->saveAnswers = {dir.file(QStringLiteral("out.fix"))};
        form->mnuFileSaveClick();
        EXPECT_EQ(FileBytes(dir.file(QStringLiteral("out.fix"))), c.saved) << c.name;
    }
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join(u'\n').toStdString();

    // A character the page's encoding cannot hold is named with its place; nothing is
    // written.
    typeAtEnd(QStringLiteral("\u20ac"));
    dialogs->saveAnswers = {dir.file(QStringLiteral("euro.fix"))};
    form->mnuFileSaveClick();
    EXPECT_EQ(messages.texts.join(u'\n'),
              u"The file was not saved: the character \"\u20ac\" (U+20AC) in line 1, column 43 "
              u"cannot be written in ISO-8859-2.")
        << messages.texts.join(u'\n').toStdString();
    EXPECT_FALSE(QFile::exists(dir.file(QStringLiteral("euro.fix"))));

    // So is a U+FEFF at the very start of a Windows-1252 page, which has no byte for it.
    messages.texts.clear();
    dialogs->unsavedAnswers = {Answer::Discard};
    open(file("old.htm", "<p>caf\xE9"));
    view().insertAt(QStringLiteral("\uFEFF"), 0, 0);
    dialogs->saveAnswers = {dir.file(QStringLiteral("mark.fix"))};
    form->mnuFileSaveClick();
    EXPECT_TRUE(messages.texts.join(u'\n').contains(u"(U+FEFF) in line 1, column 1"))
        << messages.texts.join(u'\n').toStdString();
}

TEST_F(MainFormTest, APageReopensInAChosenEncodingWhichIsRemembered) {
    const MainFormUi& ui = form->ui();
    QMap<QString, QAction*> items;
    for (QAction* item : ui.mnuFileEncodingItems->actions()) items[item->text()] = item;
    ASSERT_TRUE(items.contains(QStringLiteral("ISO-8859-15")));
    const auto checked = [&] { return ui.mnuFileEncodingItems->checkedAction()->text(); };
    EXPECT_FALSE(ui.mnuFileEncoding->isEnabled());  // no page yet

    const QString path = file("page.htm", "caf\xC3\xA9");
    open(path);
    EXPECT_EQ(text(), QStringLiteral("caf\u00e9"));
    EXPECT_EQ(checked(), QStringLiteral("&Automatic"));
    items[QStringLiteral("Windows-1252")]->trigger();
    EXPECT_EQ(text(), QStringLiteral("caf\u00c3\u00a9"));
    EXPECT_EQ(ui.EncodingBox->text(), QStringLiteral("Windows-1252"));
    EXPECT_EQ(checked(), QStringLiteral("Windows-1252"));

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
    view().loadDocument(QStringLiteral("<p>one<p>tw"));
    view().append(QStringLiteral("o"));  // something to undo
    bool ran = false;
    DuringFix(*form, [&] {
        ran = true;
        EXPECT_TRUE(view().isReadOnly());
        // The pass reads the view's buffer in place: typing, pasting and undoing in the
        // view itself leave it as it is.
        const char* buffer = view().documentBytes().data();
        QTest::keyClicks(&view(), QStringLiteral("x"));
        QApplication::clipboard()->setText(QStringLiteral("pasted"));
        view().paste();
        view().undo();
        EXPECT_EQ(view().documentBytes().data(), buffer);
        EXPECT_EQ(text(), QStringLiteral("<p>one<p>two"));
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
    EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "&Options", "&Help"}));
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

TEST_F(MainFormTest, NoSizeClipsACaptionOrTheToolbarAndNumberBoxesStayLow) {
    form->show();
    const MainFormUi& ui = form->ui();
    const QFontMetrics metrics(ui.CountBox->font());
    const int digits = metrics.horizontalAdvance(QStringLiteral("9999999999"));
    for (const QSize size : {QSize(100, 80), QSize(2600, 1800)}) {
        form->resize(size);
        for (const QLabel* label : ui.Label1) {
            EXPECT_LE(metrics.horizontalAdvance(label->text()), label->width()) << size.width();
            EXPECT_LE(metrics.height(), label->height()) << size.width();
        }
        for (const QLabel* box : {ui.CountBox, ui.PBox}) {
            EXPECT_LE(digits, box->contentsRect().width() - box->indent()) << size.width();
            EXPECT_LE(metrics.height(), box->contentsRect().height()) << size.width();
            // No taller than a line needs, in the middle of the row of captions.
            EXPECT_LE(box->height(), 2 * metrics.height()) << size.width();
            EXPECT_NEAR(box->geometry().center().y(), ui.Label1[2]->geometry().center().y(), 2);
        }
        EXPECT_GE(ui.ToolBar1->width(), ui.ToolBar1->sizeHint().width()) << size.width();
        EXPECT_GE(ui.ToolBar1->height(), ui.ToolBar1->sizeHint().height()) << size.width();
    }
}

// --- Everyday editing -----------------------------------------------------------------

/// Shows the window, active, with the focus in the document view, as the user has it.
void ShowActive(MainForm& form) {
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.ui().WorkBox->setFocus();
}

TEST_F(MainFormTest, ShortcutsReachTheirCommandsFromTheDocumentView) {
    ShowActive(*form);
    const QString page = QStringLiteral("<p>a\r\nb  c<div>\nx");
    const struct {
        QKeyCombination key;
        QString outcome;  // the dialogs asked for, or else the text left
    } cases[] = {
        {Qt::CTRL | Qt::Key_O, QStringLiteral("open ")},
        {Qt::CTRL | Qt::Key_S, QStringLiteral("save .fix")},
        {QKeyCombination(Qt::Key_F5), QStringLiteral("<p>a\r\nb  c</p><div>\nx")},
        {QKeyCombination(Qt::Key_F6), QStringLiteral("<p>a\r\nb  c<div>\nx")},  // not exact
        {QKeyCombination(Qt::Key_F7), QStringLiteral("<p>a\r\nb c<div>\nx")},
        {Qt::CTRL | Qt::Key_G, QStringLiteral("line 1/3")},
        {QKeyCombination(Qt::Key_F1), QStringLiteral("help")},
    };
    for (const auto& c : cases) {
        view().loadDocument(page);
        dialogs->calls.clear();
        QTest::keyClick(&view(), c.key.key(), c.key.keyboardModifiers());
        EXPECT_EQ(dialogs->calls.isEmpty() ? text() : dialogs->calls.join(u','), c.outcome)
            << QKeySequence(c.key).toString().toStdString();
    }
    // The editor's own keys still edit.
    view().loadDocument(page);
    QTest::keyClick(&view(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&view(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(text(), QString());
    QTest::keyClick(&view(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(text(), page);

    QTest::keyClick(&view(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(form->findReplace());
    EXPECT_TRUE(form->findReplace()->isVisible());
    EXPECT_FALSE(form->findReplace()->ReplaceBox->isVisible());
    form->findReplace()->close();
    ShowActive(*form);
    QTest::keyClick(&view(), Qt::Key_H, Qt::ControlModifier);
    EXPECT_TRUE(form->findReplace()->ReplaceBox->isVisible());
    form->findReplace()->close();

    // During a run the keys are refused like the menu items.
    ShowActive(*form);
    DuringFix(*form, [&] {
        dialogs->calls.clear();
        QTest::keyClick(&view(), Qt::Key_O, Qt::ControlModifier);
        QTest::keyClick(&view(), Qt::Key_Z, Qt::ControlModifier);
        EXPECT_TRUE(dialogs->calls.isEmpty());
    });
    EXPECT_EQ(text(), QStringLiteral("<p>a\r\nb  c</p><div>\nx"));

    // Ctrl+Q on an unchanged page ends the program.
    view().markSaved();
    QTest::keyClick(&view(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(MainFormTest, FindAndReplaceAllIsOneStepToUndo) {
    const QString page = QStringLiteral("cat Cat cat\r\nconcat cat");
    view().loadDocument(page);
    form->mnuEditReplaceClick();
    FindReplaceDialog& find = *form->findReplace();
    find.FindBox->setText(QStringLiteral("cat"));
    find.ReplaceBox->setText(QStringLiteral("cats"));
    find.MatchCaseBox->setChecked(true);
    find.WholeWordsBox->setChecked(true);

    // Find goes from the selection on, and on from the start after the end.
    QStringList found;
    for (int i = 0; i < 4; ++i) {
        find.findNext();
        found << QString::number(view().SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART));
    }
    EXPECT_EQ(found.join(u' '), QStringLiteral("0 8 20 0"));
    find.findPrevious();
    EXPECT_EQ(view().selectedText(), QStringLiteral("cat"));
    EXPECT_EQ(view().SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART), 20);

    // Replace puts the replacement at the selected place and selects the next one.
    find.replace();
    EXPECT_EQ(text(), QStringLiteral("cat Cat cat\r\nconcat cats"));
    EXPECT_EQ(view().SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART), 0);
    view().undo();

    // Replace All: whole words in their case only, the replacements themselves untouched,
    // and all of it one step to undo.
    find.replaceAll();
    EXPECT_EQ(text(), QStringLiteral("cats Cat cats\r\nconcat cats"));
    EXPECT_TRUE(find.StatusLabel->text().contains(u'3'));
    view().undo();
    EXPECT_EQ(text(), page);
    EXPECT_FALSE(view().isUndoAvailable());

    // Not while a command runs on the page.
    DuringFix(*form, [&] { find.replaceAll(); });
    EXPECT_EQ(text(), page);
    EXPECT_EQ(messages.beeps, 2);  // the refusal and the end of Fix File
}

TEST_F(MainFormTest, RecentFilesKeepTheLastEightPagesNewestFirst) {
    QStringList pages;
    for (int i = 1; i <= 10; ++i) pages << file(qPrintable(QStringLiteral("p%1.htm").arg(i)), "x");
    for (const QString& page : pages) form->openFile(page);
    form->openFile(pages[4]);  // opened again: first, and only once
    QStringList expected{pages[4], pages[9], pages[8], pages[7],
                         pages[6], pages[5], pages[3], pages[2]};
    EXPECT_EQ(RecentFiles().paths(), expected);

    // The menu offers them by number, once the File menu opens; a page that is gone is
    // taken off with a message.
    QMenu& menu = *form->ui().mnuFileRecent;
    emit form->ui().mnuFile->aboutToShow();
    EXPECT_TRUE(menu.menuAction()->isEnabled());
    ASSERT_GE(menu.actions().size(), 8);
    EXPECT_EQ(menu.actions()[1]->text(), "&2 " + QDir::toNativeSeparators(pages[9]));
    ASSERT_TRUE(QFile::remove(pages[9]));
    menu.actions()[1]->trigger();
    expected.removeAt(1);
    EXPECT_EQ(RecentFiles().paths(), expected);
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_TRUE(messages.texts[0].contains(QDir::toNativeSeparators(pages[9])));
    EXPECT_EQ(text(), QStringLiteral("x"));  // the page opened before

    // Choosing one opens it after the question about unsaved changes.
    view().insert(QStringLiteral("changed "));
    dialogs->unsavedAnswers = {Answer::Discard};
    form->openRecentFile(pages[2]);
    EXPECT_EQ(dialogs->calls.last(), QStringLiteral("unsaved"));
    EXPECT_EQ(RecentFiles().paths().first(), pages[2]);
    EXPECT_EQ(form->windowTitle(), caption(QDir::toNativeSeparators(pages[2])));
}

TEST_F(MainFormTest, ADroppedPageIsOpenedAfterTheQuestion) {
    ShowActive(*form);
    const QString page = file("dropped.htm", "<p>dropped");
    view().loadDocument(QStringLiteral("mine"));
    view().insert(QStringLiteral("changed "));
    auto drop = [&](QMimeData& data) {
        QWidget* target = view().viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        QApplication::processEvents();
        return enter.isAccepted();
    };
    QMimeData named;
    named.setUrls({QUrl::fromLocalFile(page)});
    named.setText(page);  // as file managers send it
    dialogs->unsavedAnswers = {Answer::Cancel, Answer::Discard};
    EXPECT_TRUE(drop(named));
    EXPECT_EQ(text(), QStringLiteral("changed mine"));  // cancelled
    EXPECT_TRUE(drop(named));
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
    QDir(dir.file(QString())).mkdir(QStringLiteral("out"));
    const QString page = file("page.htm", "<p>a\nb</p>");
    form->show();
    form->resize(form->size() + QSize(120, 80));
    const QSize size = form->size();
    open(page);
    form->ui().mnuOptionsJoinLineFeeds->trigger();
    dialogs->saveAnswers = {dir.file(QStringLiteral("out/page.fix"))};
    form->mnuFileSaveClick();
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

}  // namespace
}  // namespace quillet::test
