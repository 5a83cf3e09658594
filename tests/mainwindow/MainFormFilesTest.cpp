// Opening and saving documents from the main window.
#include "MainFormTestSupport.h"
#include "windows/WorkBoxEditor.h"

#include <QFile>

namespace quillet::test {
namespace {

TEST_F(MainFormTest, OpenShowsThePageAndItsCounts) {
    const QString path = writeFile(QStringLiteral("Page.Old.htm"), "<P>caf\xE9\r\n<H1>x</H1>");
    open(path);
    EXPECT_EQ(viewText(), QStringLiteral("<P>caf\u00E9\r\n<H1>x</H1>"));
    EXPECT_EQ(form->documentText(), viewText());
    EXPECT_EQ(label("CountBox"), QStringLiteral("19"));
    EXPECT_EQ(label("PBox"), QStringLiteral("0"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Orvane Quillet - ") + path);
    EXPECT_FALSE(form->ui().WorkBox->hasUnsavedChanges());
    EXPECT_TRUE(messages.isEmpty());

    // The Save proposal keeps the folder and the base name (letter case as it was).
    form->mnuFileSaveClick();
    EXPECT_EQ(dialogs->calls.last(), QStringLiteral("save ") + dir.file("Page.Old.fix"));

    // The next Open dialog starts at the path it was last handed.
    form->mnuFileOpenClick();
    EXPECT_EQ(dialogs->calls.last(), QStringLiteral("open ") + dir.file("Page.Old.fix"));
}

TEST_F(MainFormTest, OpenResetsTheAddedCount) {
    form->ui().WorkBox->loadDocument(QStringLiteral("<p>a<p>b"));
    form->mnuFileFixClick();
    EXPECT_EQ(label("PBox"), QStringLiteral("1"));
    dialogs->unsavedAnswers = {MainFormDialogs::UnsavedAnswer::Discard};
    open(writeFile(QStringLiteral("a.htm"), "x"));
    EXPECT_EQ(label("PBox"), QStringLiteral("0"));
}

TEST_F(MainFormTest, CancelledOpenChangesNothing) {
    open(writeFile(QStringLiteral("a.htm"), "first"));
    const QString caption = form->windowTitle();
    dialogs->openAnswers.push_back(QString());
    form->mnuFileOpenClick();
    EXPECT_EQ(viewText(), QStringLiteral("first"));
    EXPECT_EQ(form->windowTitle(), caption);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(MainFormTest, EmptyFileLeavesTheDocumentButNamesTheNextSave) {
    const QString first = writeFile(QStringLiteral("first.htm"), "first");
    open(first);
    open(writeFile(QStringLiteral("empty"), QByteArray()));
    EXPECT_EQ(viewText(), QStringLiteral("first"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Orvane Quillet - ") + first);
    EXPECT_EQ(label("CountBox"), QStringLiteral("5"));
    form->mnuFileSaveClick();
    // No dot in the name: the proposal adds ".fix" to the whole name.
    EXPECT_EQ(dialogs->calls.last(), QStringLiteral("save ") + dir.file("empty.fix"));
}

TEST_F(MainFormTest, UnreadableFileIsReported) {
    open(writeFile(QStringLiteral("first.htm"), "first"));
    open(dir.path());  // a folder
    open(dir.file(QStringLiteral("gone.htm")));
    EXPECT_EQ(viewText(), QStringLiteral("first"));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Couldn't open ")));
    EXPECT_TRUE(messages[1].contains(QStringLiteral("gone.htm")));
    // The name parts already follow the chosen file.
    form->mnuFileSaveClick();
    EXPECT_EQ(dialogs->calls.last(), QStringLiteral("save ") + dir.file("gone.fix"));
}

TEST_F(MainFormTest, OpenAsksBeforeDroppingUnsavedChanges) {
    open(writeFile(QStringLiteral("a.htm"), "first"));
    typeInView(QStringLiteral("edit "));
    dialogs->calls.clear();
    dialogs->unsavedAnswers = {MainFormDialogs::UnsavedAnswer::Cancel};
    form->mnuFileOpenClick();
    EXPECT_EQ(dialogs->calls, QStringList{"unsaved"});
    EXPECT_EQ(viewText(), QStringLiteral("edit first"));

    dialogs->unsavedAnswers = {MainFormDialogs::UnsavedAnswer::Discard};
    open(writeFile(QStringLiteral("b.htm"), "second"));
    EXPECT_EQ(viewText(), QStringLiteral("second"));
}

TEST_F(MainFormTest, SaveWritesTheViewAndUpdatesCaptionAndCounts) {
    open(writeFile(QStringLiteral("index.htm"), "<p>a<p>b"));
    form->mnuFileFixClick();
    EXPECT_EQ(label("PBox"), QStringLiteral("1"));
    typeInView(QStringLiteral("<!-- hand edit -->"));

    const QString target = dir.file(QStringLiteral("out"));  // typed without an extension
    dialogs->saveAnswers.push_back(target);
    form->mnuFileSaveClick();
    EXPECT_EQ(dialogs->calls.last(), QStringLiteral("save ") + dir.file("index.fix"));
    EXPECT_EQ(readFile(target), QByteArray("<!-- hand edit --><p>a</p><p>b"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Orvane Quillet - out"));
    EXPECT_EQ(label("PBox"), QString());
    EXPECT_EQ(label("CountBox"), QStringLiteral("0"));  // unchanged by Save
    EXPECT_FALSE(form->ui().WorkBox->hasUnsavedChanges());
    EXPECT_TRUE(messages.isEmpty());

    // The next proposal follows the saved file.
    form->mnuFileSaveClick();
    EXPECT_EQ(dialogs->calls.last(), QStringLiteral("save ") + dir.file("out.fix"));
}

TEST_F(MainFormTest, SaveWithAnEmptyViewAsksNothing) {
    open(writeFile(QStringLiteral("a.htm"), "x"));
    form->ui().WorkBox->replaceDocument(QString());
    dialogs->calls.clear();
    form->mnuFileSaveClick();
    EXPECT_TRUE(dialogs->calls.isEmpty());
    EXPECT_EQ(writer->writes, 0);
}

TEST_F(MainFormTest, CancelledSaveChangesNothing) {
    open(writeFile(QStringLiteral("a.htm"), "x"));
    const QString caption = form->windowTitle();
    form->mnuFileSaveClick();
    EXPECT_EQ(writer->writes, 0);
    EXPECT_EQ(form->windowTitle(), caption);
    EXPECT_EQ(label("PBox"), QStringLiteral("0"));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(MainFormTest, SaveFailuresShowTheirFixedMessages) {
    open(writeFile(QStringLiteral("a.htm"), "page"));
    const QString caption = form->windowTitle();
    const struct {
        FileResult::Failure failure;
        const char* message;
    } cases[] = {
        {FileResult::Failure::DiskFull, "Not enough space on the destination disk"},
        {FileResult::Failure::Permission, "File is locked or write protected"},
        {FileResult::Failure::NotFound, "Couldn't copy the database. Reason unknown."},
        {FileResult::Failure::Other, "Couldn't copy the database. Reason unknown."},
    };
    for (const auto& c : cases) {
        messages.clear();
        writer->failWith = FileResult{c.failure, QStringLiteral("some reason")};
        dialogs->saveAnswers.push_back(dir.file(QStringLiteral("failed.fix")));
        form->mnuFileSaveClick();
        EXPECT_EQ(messages, QStringList{QString::fromLatin1(c.message)});
        EXPECT_EQ(form->windowTitle(), caption);
        EXPECT_EQ(label("PBox"), QStringLiteral("0"));
    }
    // The failed name is what the next Save proposes.
    form->mnuFileSaveClick();
    EXPECT_EQ(dialogs->calls.last(), QStringLiteral("save ") + dir.file("failed.fix"));
}

TEST_F(MainFormTest, ReadOnlyTargetIsRefusedAndKept) {
    open(writeFile(QStringLiteral("a.htm"), "page"));
    const QString target = writeFile(QStringLiteral("locked.fix"), "old");
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::ReadUser);
    dialogs->saveAnswers.push_back(target);
    form->mnuFileSaveClick();
    EXPECT_EQ(messages, QStringList{"File is locked or write protected"});
    EXPECT_EQ(readFile(target), QByteArray("old"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Orvane Quillet - ") + dir.file("a.htm"));
}

TEST_F(MainFormTest, CharacterOutsideTheCodePageIsNamedAndNothingIsWritten) {
    open(writeFile(QStringLiteral("a.htm"), "line one\r\nline two"));
    form->ui().WorkBox->setCursorPosition(1, 5);
    typeInView(QStringLiteral("\u015D"));
    const QString target = dir.file(QStringLiteral("a.fix"));
    dialogs->saveAnswers.push_back(target);
    form->mnuFileSaveClick();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("U+015D"))) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(QStringLiteral("line 2, column 6")))
        << messages[0].toStdString();
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_TRUE(form->ui().WorkBox->hasUnsavedChanges());
}

TEST_F(MainFormTest, EveryByteSurvivesOpenAndSave) {
    static const char kLines[] = "<P>crlf\r\nlf\nlone cr\rnul\0after\ttab\r\n\r\r\n\n<p>x";
    QByteArray bytes(kLines, sizeof(kLines) - 1);
    for (int round = 0; round < 2; ++round) {
        for (int b = 0; b < 256; ++b) bytes.append(char(b));
    }
    bytes.append('\r');
    open(writeFile(QStringLiteral("bytes.htm"), bytes));
    EXPECT_EQ(label("CountBox"), QString::number(bytes.size()));
    const QString target = dir.file(QStringLiteral("bytes.fix"));
    dialogs->saveAnswers.push_back(target);
    form->mnuFileSaveClick();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    EXPECT_EQ(readFile(target), bytes);
}

}  // namespace
}  // namespace quillet::test
