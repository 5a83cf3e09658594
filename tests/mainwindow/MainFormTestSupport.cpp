#include "MainFormTestSupport.h"

#include "windows/WorkBoxEditor.h"

#include <QFile>
#include <QLabel>

namespace quillet::test {

namespace {

std::optional<QString> Next(std::deque<QString>& answers) {
    if (answers.empty()) return std::nullopt;
    const QString answer = answers.front();
    answers.pop_front();
    if (answer.isNull()) return std::nullopt;
    return answer;
}

}  // namespace

std::optional<QString> ScriptedDialogs::askOpenPath(QWidget*, const QString& startPath) {
    calls << QStringLiteral("open ") + startPath;
    return Next(openAnswers);
}

std::optional<QString> ScriptedDialogs::askSavePath(QWidget*, const QString& proposal) {
    calls << QStringLiteral("save ") + proposal;
    return Next(saveAnswers);
}

MainFormDialogs::UnsavedAnswer ScriptedDialogs::askUnsavedChanges(QWidget*) {
    calls << QStringLiteral("unsaved");
    if (unsavedAnswers.empty()) return UnsavedAnswer::Cancel;
    const UnsavedAnswer answer = unsavedAnswers.front();
    unsavedAnswers.pop_front();
    return answer;
}

void ScriptedDialogs::showSkipList(QWidget*, const QString& databasePath) {
    calls << QStringLiteral("skip list ") + databasePath;
}

void ScriptedDialogs::showIncludeList(QWidget*, const QString& databasePath) {
    calls << QStringLiteral("include list ") + databasePath;
}

void ScriptedDialogs::showAbout(QWidget*) {
    calls << QStringLiteral("about");
}

void ScriptedDialogs::showHelpTopics(QWidget*) {
    calls << QStringLiteral("help");
}

FileResult FailingWriter::Write(const QString& path, QByteArrayView bytes) {
    ++writes;
    if (failWith) return *failWith;
    return AtomicFileWriter().Write(path, bytes);
}

MainFormTest::MainFormTest() {
    auto scripted = std::make_unique<ScriptedDialogs>();
    auto failing = std::make_unique<FailingWriter>();
    dialogs = scripted.get();
    writer = failing.get();
    form = std::make_unique<MainForm>(std::move(scripted), std::move(failing),
                                      std::make_unique<SharedLists>(lists));
    SetMessageSink([this](const QString& text) { messages << text; });
}

MainFormTest::~MainFormTest() {
    SetMessageSink({});
}

QString MainFormTest::writeFile(const QString& name, const QByteArray& bytes) const {
    QFile file(dir.file(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return file.fileName();
}

QByteArray MainFormTest::readFile(const QString& path) const {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QByteArray();
    return file.readAll();
}

void MainFormTest::open(const QString& path) {
    dialogs->openAnswers.push_back(path);
    form->mnuFileOpenClick();
}

QString MainFormTest::label(const char* name) const {
    const auto* box = form->findChild<QLabel*>(QString::fromLatin1(name));
    EXPECT_TRUE(box) << name;
    return box ? box->text() : QStringLiteral("<missing>");
}

QString MainFormTest::viewText() const {
    return form->ui().WorkBox->documentText();
}

void MainFormTest::typeInView(const QString& text) {
    form->ui().WorkBox->insert(text);
}

}  // namespace quillet::test
