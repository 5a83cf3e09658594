#pragma once

#include "TestSupport.h"
#include "common/Utilities.h"
#include "documents/DocumentFile.h"
#include "mainwindow/MainForm.h"
#include "mainwindow/MainFormDialogs.h"

#include <gtest/gtest.h>
#include <QStringList>
#include <deque>
#include <memory>
#include <optional>

namespace quillet::test {

/// Answers the main window's dialogs from queues and records what was asked.
class ScriptedDialogs final : public MainFormDialogs {
  public:
    std::deque<QString> openAnswers;  ///< a null string, or none left: cancel
    std::deque<QString> saveAnswers;
    std::deque<UnsavedAnswer> unsavedAnswers;  ///< empty queue: Cancel
    QStringList calls;                         ///< "open <start>", "save <proposal>", ...

    std::optional<QString> askOpenPath(QWidget* parent, const QString& startPath) override;
    std::optional<QString> askSavePath(QWidget* parent, const QString& proposal) override;
    UnsavedAnswer askUnsavedChanges(QWidget* parent) override;
    void showSkipList(QWidget* parent, const QString& databasePath) override;
    void showIncludeList(QWidget* parent, const QString& databasePath) override;
    void showAbout(QWidget* parent) override;
    void showHelpTopics(QWidget* parent) override;
};

/// Writes through the atomic writer unless told to fail with a chosen result.
class FailingWriter final : public DocumentWriter {
  public:
    std::optional<FileResult> failWith;
    int writes = 0;
    FileResult Write(const QString& path, QByteArrayView bytes) override;
};

/// Hands the main window lists that the test keeps.
class SharedLists final : public WordListSource {
  public:
    explicit SharedLists(MemoryWordLists& lists) : lists_(lists) {}
    std::unique_ptr<WordListLookup> openLists(QString* error) override {
        return lists_.openLists(error);
    }

  private:
    MemoryWordLists& lists_;
};

/// A main window over scripted dialogs, an injectable writer and in-memory lists, in a
/// fresh working folder; messages are collected instead of shown.
class MainFormTest : public ::testing::Test {
  protected:
    MainFormTest();
    ~MainFormTest() override;

    /// Writes `bytes` to a file in the working folder and returns its path.
    QString writeFile(const QString& name, const QByteArray& bytes) const;
    QByteArray readFile(const QString& path) const;
    /// Opens `path` through the Open command.
    void open(const QString& path);

    QString label(const char* name) const;
    QString viewText() const;
    void typeInView(const QString& text);

    ScopedWorkingDir dir;
    MemoryWordLists lists{{QStringLiteral("b"), QStringLiteral("i"), QString()},
                          {QStringLiteral("/ul"), QStringLiteral("/table")}};
    ScriptedDialogs* dialogs = nullptr;
    FailingWriter* writer = nullptr;
    std::unique_ptr<MainForm> form;
    QStringList messages;
};

}  // namespace quillet::test
