// The two word-list editor windows over a real word-list database.
#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "engine/Functions.h"
#include "mainwindow/MainForm.h"
#include "mainwindow/SecondaryWindows.h"
#include "windows/WorkBoxEditor.h"
#include "wordlists/DefaultWordLists.h"
#include "wordlists/IncludeList.h"
#include "wordlists/SkipListForm.h"
#include "wordlists/StoreErrorText.h"
#include "wordlists/StoreListSource.h"
#include "wordlists/WordListStore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <optional>
#include <type_traits>

namespace quillet::test {
namespace {

/// A working folder holding a SkipList.db whose two lists hold exactly what a test says.
class ListFolder {
  public:
    ListFolder(const QStringList& skip, const QStringList& include) {
        StoreError error;
        EXPECT_TRUE(CreateWordListDatabase(databasePath(), &error))
            << StoreErrorText(error).toStdString();
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(QFile::encodeName(databasePath()).constData(), &db), SQLITE_OK);
        Fill(db, SkipListSchema(), skip);
        Fill(db, IncludeListSchema(), include);
        sqlite3_close(db);
    }

    QString databasePath() const { return dir_.file(DefaultDatabasePath()); }

    /// A list as the store now holds it, in index order.
    QStringList Stored(const ListSchema& schema) const {
        StoreError error;
        auto db = WordListDatabase::Open(databasePath(), &error);
        auto table = db ? db->OpenTable(schema, &error) : nullptr;
        if (!table || !table->SetIndex(&error)) return {StoreErrorText(error)};
        return table->Walk(&error).value_or(QStringList{StoreErrorText(error)});
    }

  private:
    // Replaces a list in one transaction, so that long lists are made quickly.
    static void Fill(sqlite3* db, const ListSchema& schema, const QStringList& entries) {
        const QByteArray clear =
            QStringLiteral("BEGIN; DELETE FROM \"%1\"").arg(schema.table).toUtf8();
        ASSERT_EQ(sqlite3_exec(db, clear.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        const QByteArray sql = QStringLiteral("INSERT INTO \"%1\" (\"%2\") VALUES (?1)")
                                   .arg(schema.table, schema.field)
                                   .toUtf8();
        sqlite3_stmt* insert = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, sql.constData(), -1, &insert, nullptr), SQLITE_OK);
        for (const QString& entry : entries) {
            const QByteArray text = entry.toUtf8();
            sqlite3_bind_text(insert, 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE) << entry.toStdString();
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        ASSERT_EQ(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    }

    ScopedWorkingDir dir_;
};

QStringList Lines(const QListWidget& list) {
    QStringList lines;
    for (int i = 0; i < list.count(); ++i) lines << list.item(i)->text();
    return lines;
}

int SelectedRow(const QListWidget& list) {
    const QList<QListWidgetItem*> selected = list.selectedItems();
    return selected.isEmpty() ? -1 : list.row(selected.first());
}

/// An editor shown (not modally) and active, so that focus and keys behave as for the user.
template <typename Form>
std::unique_ptr<Form> OpenEditor(const ListFolder& folder) {
    auto form = std::make_unique<Form>();
    EXPECT_TRUE(form->Load(folder.databasePath()));
    form->show();
    form->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
    return form;
}

// --- What both windows do alike --------------------------------------------------------

template <typename Form>
class EditorTest : public ::testing::Test {
  protected:
    /// Opens this kind of window over a database whose lists both hold `entries`.
    Form& Open(const QStringList& entries) {
        folder.emplace(entries, entries);
        form = OpenEditor<Form>(*folder);
        return *form;
    }
    QStringList Stored() const {
        return folder->Stored(std::is_same_v<Form, SkipListForm> ? SkipListSchema()
                                                                 : IncludeListSchema());
    }
    static QWidget* Focus() { return QApplication::focusWidget(); }

    MessageLog messages;
    std::optional<ListFolder> folder;
    std::unique_ptr<Form> form;
};
using EditorKinds = ::testing::Types<SkipListForm, IncludeList>;
TYPED_TEST_SUITE(EditorTest, EditorKinds);

TYPED_TEST(EditorTest, AnEmptyTableGivesAnEmptyListAndNothingChangesIt) {
    TypeParam& form = this->Open({});
    EXPECT_EQ(form.List->count(), 0);
    EXPECT_EQ(this->Focus(), form.CurrentBox);

    // Delete with no line selected only puts the focus back; an entry of spaces, Enter
    // and Escape do nothing.
    form.CurrentBox->setText(QStringLiteral("typed"));
    form.QuitButton->setFocus();
    form.DeleteButton->click();
    EXPECT_EQ(this->Focus(), form.CurrentBox);
    EXPECT_EQ(form.CurrentBox->text(), QStringLiteral("typed"));
    form.CurrentBox->setText(QStringLiteral("   "));
    form.AddButton->click();
    QTest::keyClick(form.CurrentBox, Qt::Key_Return);
    QTest::keyClick(form.CurrentBox, Qt::Key_Escape);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.CurrentBox->text(), QStringLiteral("   "));
    EXPECT_TRUE(this->Stored().isEmpty());
    EXPECT_TRUE(this->messages.texts.isEmpty());
}

TYPED_TEST(EditorTest, EnterPressesTheFocusedButton) {
    TypeParam& form = this->Open({"a"});
    form.CurrentBox->setText(QStringLiteral("b"));
    form.AddButton->setFocus();
    QTest::keyClick(form.AddButton, Qt::Key_Return);
    EXPECT_EQ(this->Stored(), (QStringList{"a", "b"}));
    form.QuitButton->setFocus();
    QTest::keyClick(form.QuitButton, Qt::Key_Enter);
    EXPECT_FALSE(form.isVisible());
}

TYPED_TEST(EditorTest, AddStoresTheTrimmedEntryAndSelectsItAtItsPlace) {
    // The index ignores letter case; a case-sensitive order would put "Zeta" first.
    TypeParam& form = this->Open({"beta", "Zeta", "alpha"});
    EXPECT_EQ(Lines(*form.List), (QStringList{"alpha", "beta", "Zeta"}));
    EXPECT_EQ(SelectedRow(*form.List), -1);

    form.CurrentBox->setText(QStringLiteral("  gamma  "));
    form.AddButton->click();
    const QStringList expected{"alpha", "beta", "gamma", "Zeta"};
    EXPECT_EQ(this->Stored(), expected);
    EXPECT_EQ(Lines(*form.List), expected);
    EXPECT_EQ(SelectedRow(*form.List), 2);
    EXPECT_EQ(form.CurrentBox->text(), QStringLiteral("gamma"));
    EXPECT_EQ(this->Focus(), form.CurrentBox);
    EXPECT_TRUE(this->messages.texts.isEmpty());
}

TYPED_TEST(EditorTest, AddingASelectedLineReportsADuplicate) {
    TypeParam& form = this->Open({"a", "b", "c"});
    // A click on a line copies it into the text box.
    const QRect line = form.List->visualItemRect(form.List->item(1));
    QTest::mouseClick(form.List->viewport(), Qt::LeftButton, {}, line.center());
    EXPECT_EQ(form.CurrentBox->text(), QStringLiteral("b"));

    form.AddButton->click();
    EXPECT_EQ(this->messages.texts, QStringList{WordListEditor::kDuplicateEntry});
    EXPECT_TRUE(form.CurrentBox->text().isEmpty());
    EXPECT_EQ(SelectedRow(*form.List), 1);
    EXPECT_EQ(this->Focus(), form.CurrentBox);
    EXPECT_EQ(this->Stored().size(), 3);
}

TYPED_TEST(EditorTest, AnEntryDifferingOnlyInCaseIsRefusedByTheStore) {
    TypeParam& form = this->Open({"table"});
    // No duplicate for the window, whose comparison counts case; the store refuses it.
    form.CurrentBox->setText(QStringLiteral("Table"));
    form.AddButton->click();
    ASSERT_EQ(this->messages.texts.size(), 1);
    const QString message = this->messages.texts.first();
    EXPECT_TRUE(message.contains(QStringLiteral("\"table\""))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("SkipList.db"))) << message.toStdString();
    EXPECT_EQ(this->Stored(), QStringList{"table"});
    EXPECT_EQ(Lines(*form.List), QStringList{"table"});
    EXPECT_EQ(SelectedRow(*form.List), -1);
    EXPECT_EQ(form.CurrentBox->text(), QStringLiteral("Table"));  // kept for another try
}

TYPED_TEST(EditorTest, DeleteRemovesTheSelectedLineAndIgnoresTypedText) {
    TypeParam& form = this->Open({"a", "b", "c"});
    form.List->setCurrentRow(1);
    form.CurrentBox->setText(QStringLiteral("c"));
    form.DeleteButton->click();
    EXPECT_EQ(this->Stored(), (QStringList{"a", "c"}));
    EXPECT_EQ(Lines(*form.List), (QStringList{"a", "c"}));
    EXPECT_EQ(SelectedRow(*form.List), -1);
    EXPECT_TRUE(form.CurrentBox->text().isEmpty());
    EXPECT_EQ(this->Focus(), form.CurrentBox);
    EXPECT_TRUE(this->messages.texts.isEmpty());
}

// --- Where the windows differ, and how they are shown -----------------------------------

TEST(WordListEditor, TabFromTheTextBoxReachesAddInOneAndQuitInTheOther) {
    ListFolder folder({"a"}, {"a"});
    auto tabOrder = [](WordListEditor& form) {
        QStringList order{QApplication::focusWidget()->objectName()};
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << QApplication::focusWidget()->objectName();
        }
        form.close();
        return order.join(u' ');
    };
    EXPECT_EQ(tabOrder(*OpenEditor<SkipListForm>(folder)),
              QStringLiteral("CurrentBox AddButton DeleteButton QuitButton List CurrentBox"));
    EXPECT_EQ(tabOrder(*OpenEditor<IncludeList>(folder)),
              QStringLiteral("CurrentBox QuitButton DeleteButton AddButton List CurrentBox"));
}

TEST(WordListEditor, ListsOfMoreThan32767EntriesWork) {
    QStringList many;
    for (int i = 0; i < 32768; ++i) many << QStringLiteral("w%1").arg(i, 5, 10, QLatin1Char('0'));
    ListFolder folder(many, {});
    MessageLog messages;
    // Not shown: the window works the same, without drawing at every line it selects.
    auto form = std::make_unique<SkipListForm>();
    ASSERT_TRUE(form->Load(folder.databasePath()));
    form->CurrentBox->setText(QStringLiteral("zz"));
    form->AddButton->click();
    EXPECT_EQ(SelectedRow(*form->List), 32768);
    EXPECT_EQ(form->CurrentBox->text(), QStringLiteral("zz"));
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST(WordListEditor, AStoreThatCannotBeOpenedIsReportedAndNoWindowOpens) {
    ScopedWorkingDir dir;
    ASSERT_TRUE(PutFile(dir.file(QStringLiteral("junk.db")), QByteArray(4096, 'x')));
    const struct {
        const char* file;
        const char* reason;
    } cases[] = {{"SkipList.db", "file not found"}, {"junk.db", "not a word-list database"}};
    for (const auto& c : cases) {
        MessageLog messages;
        const QString path = dir.file(QString::fromLatin1(c.file));
        EXPECT_FALSE(WithModal([&] { ShowIncludeListForm(nullptr, path); },
                               [](QWidget* modal) { modal->close(); }));
        ASSERT_EQ(messages.texts.size(), 1);
        const QString& text = messages.texts.first();
        EXPECT_TRUE(text.contains(QString::fromLatin1(c.file))) << text.toStdString();
        EXPECT_TRUE(text.contains(QString::fromLatin1(c.reason))) << text.toStdString();
    }
}

TEST(WordListEditor, FixFileAndTheEditorsSayTheSameOfADamagedStore) {
    ScopedWorkingDir dir;
    const QString path = dir.file(QStringLiteral("junk.db"));
    ASSERT_TRUE(PutFile(path, QByteArray(4096, 'x')));
    const QString why =
        StoreErrorText(StoreError{.kind = StoreError::Kind::NotADatabase, .file = path});
    MessageLog messages;
    MainForm form(nullptr, nullptr, nullptr, path);
    form.ui().WorkBox->loadDocument(QStringLiteral("<p>a<div>"));
    form.mnuFileFixClick();
    form.mnuFileSkipListClick();  // the editor reports it and does not open
    EXPECT_EQ(
        messages.texts,
        QStringList({"The word lists could not be read, so the page was left as it was.\n\n" + why,
                     "The skip list cannot be edited. " + why}));
    EXPECT_EQ(form.ui().WorkBox->documentText(), QStringLiteral("<p>a<div>"));
}

TEST(WordListEditor, AnEditorShownDuringAFixPassEditsAndEachShowingLoadsAfresh) {
    // An observer whose first yield shows the skip-list editor, as the main window does
    // when the user asks for it while Fix File runs; the pass's connection stays open.
    class OpeningObserver final : public EngineObserver {
      public:
        std::function<void()> atFirstYield;
        void showRemaining(qint64) override {}
        void showAdded(qint32) override {}
        void clearAdded() override {}
        bool processEvents() override {
            if (atFirstYield) std::exchange(atFirstYield, nullptr)();
            return true;
        }
        void notice(const QString&) override {}
    };

    ListFolder folder({"b"}, {});
    MessageLog messages;
    StoreListSource lists(folder.databasePath());
    OpeningObserver observer;
    Functions engine(observer, lists);
    const auto show = [&] { ShowSkipListForm(nullptr, folder.databasePath()); };
    bool ranInsidePass = false;
    observer.atFirstYield = [&] {
        EXPECT_TRUE(WithModal(show, [&](QWidget* modal) {
            auto* form = qobject_cast<SkipListForm*>(modal);
            ASSERT_TRUE(form);
            ranInsidePass = engine.IsRunning();
            form->CurrentBox->setText(QStringLiteral("span"));
            form->AddButton->click();
            form->List->setCurrentRow(0);  // "b"
            form->DeleteButton->click();
            form->CurrentBox->setText(QStringLiteral("left behind"));
            form->QuitButton->click();
        }));
    };
    const RepairResult result = engine.FixText(QStringLiteral("<p>one<b>two<p>three<span>four"));
    EXPECT_TRUE(ranInsidePass);
    ASSERT_EQ(result.status, RepairResult::Status::Completed) << result.error.toStdString();
    // Asked after the edit: "b" no longer keeps the paragraph open, "span" does.
    EXPECT_EQ(result.text, QStringLiteral("<p>one</p><b>two<p>three<span>four"));

    // The next showing shows the stored table, with nothing in the text box.
    QStringList shown;
    QString current = QStringLiteral("unset");
    EXPECT_TRUE(WithModal(show, [&](QWidget* modal) {
        auto* form = qobject_cast<SkipListForm*>(modal);
        ASSERT_TRUE(form);
        shown = Lines(*form->List);
        current = form->CurrentBox->text();
        form->close();
    }));
    EXPECT_EQ(shown, QStringList{"span"});
    EXPECT_TRUE(current.isEmpty());
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join(u'\n').toStdString();
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
}

}  // namespace
}  // namespace quillet::test
