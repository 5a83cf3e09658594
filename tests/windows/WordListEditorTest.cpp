// SPDX-License-Identifier: GPL-3.0-or-later
// The two word-list editor windows over a real word-list database.
#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "engine/Functions.h"
#include "frontend/StoreErrorText.h"
#include "mainwindow/SecondaryWindows.h"
#include "windows/IncludeList.h"
#include "windows/SkipListForm.h"
#include "windows/WorkBoxEditor.h"
#include "wordlists/DefaultWordLists.h"
#include "wordlists/StoreListSource.h"
#include "wordlists/WordListStore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <type_traits>

namespace quillet::test {
namespace {

/// Makes a SkipList.db in `dir` whose two lists both hold exactly `entries`.
QString MakeLists(const ScopedWorkingDir& dir, const QStringList& entries) {
    const QString path = dir.file(DefaultDatabasePath());
    StoreError error;
    EXPECT_TRUE(CreateWordListDatabase(path, &error)) << StoreErrorText(error).toStdString();
    QString sql = QStringLiteral("BEGIN; DELETE FROM Lookup; DELETE FROM IncludeList;");
    for (const QString& entry : entries) {
        sql += QStringLiteral(
                   "INSERT INTO Lookup VALUES('%1'); INSERT INTO IncludeList "
                   "VALUES('%1');")
                   .arg(entry);
    }
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    EXPECT_EQ(sqlite3_exec(db, (sql + "COMMIT;").toUtf8().constData(), nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    return path;
}

QStringList Lines(const QListWidget& list) {
    QStringList lines;
    for (int i = 0; i < list.count(); ++i) lines << list.item(i)->text();
    return lines;
}

int SelectedRow(const QListWidget& list) {
    const QList<QListWidgetItem*> selected = list.selectedItems();
    return selected.isEmpty() ? -1 : list.row(selected.first());
}

/// What both windows do alike, each over its own list.
template <typename Form>
class EditorTest : public ::testing::Test {
  protected:
    /// Shows (not modally) and activates this kind of window over lists holding `entries`,
    /// so that focus and keys behave as for the user.
    Form& Open(const QStringList& entries) {
        path = MakeLists(dir, entries);
        form = std::make_unique<Form>();
        EXPECT_TRUE(form->Load(path));
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        return *form;
    }
    /// The list as the store now holds it, in index order.
    QStringList Stored() const {
        StoreError error;
        auto db = WordListDatabase::Open(path, &error);
        auto table = db->OpenTable(
            std::is_same_v<Form, SkipListForm> ? SkipListSchema() : IncludeListSchema(), &error);
        return table && table->SetIndex(&error) ? table->Walk(&error).value_or(QStringList())
                                                : QStringList{StoreErrorText(error)};
    }
    static QWidget* Focus() { return QApplication::focusWidget(); }

    ScopedWorkingDir dir;
    QString path;
    MessageLog messages;
    std::unique_ptr<Form> form;
};
using EditorKinds = ::testing::Types<SkipListForm, IncludeList>;
TYPED_TEST_SUITE(EditorTest, EditorKinds);

TYPED_TEST(EditorTest, AddStoresTheTrimmedEntryAtItsPlaceAndRefusesEqualOnes) {
    // The index ignores letter case; a case-sensitive order would put "Zeta" first.
    TypeParam& form = this->Open({"beta", "Zeta", "alpha"});
    EXPECT_EQ(Lines(*form.List), (QStringList{"alpha", "beta", "Zeta"}));
    EXPECT_EQ(this->Focus(), form.CurrentBox);
    // The text box has a caption above it, whose access key leads to it, within the window.
    ASSERT_TRUE(form.CurrentLabel);
    EXPECT_EQ(form.CurrentLabel->buddy(), form.CurrentBox);
    EXPECT_EQ(form.CurrentLabel->text(), QStringLiteral("&Tag name:"));
    EXPECT_LE(form.CurrentLabel->geometry().bottom(), form.CurrentBox->geometry().top());
    EXPECT_TRUE(form.rect().contains(form.CurrentLabel->geometry()));
    form.List->setFocus();
    QTest::keyClick(&form, Qt::Key_T, Qt::AltModifier);
    EXPECT_EQ(this->Focus(), form.CurrentBox);

    // An entry of spaces, Enter and Escape in the text box do nothing.
    form.CurrentBox->setText(QStringLiteral("   "));
    form.AddButton->click();
    QTest::keyClick(form.CurrentBox, Qt::Key_Return);
    QTest::keyClick(form.CurrentBox, Qt::Key_Escape);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(this->Stored().size(), 3);

    form.CurrentBox->setText(QStringLiteral("  gamma  "));
    form.AddButton->setFocus();
    QTest::keyClick(form.AddButton, Qt::Key_Return);  // Enter presses the focused button
    const QStringList expected{"alpha", "beta", "gamma", "Zeta"};
    EXPECT_EQ(this->Stored(), expected);
    EXPECT_EQ(Lines(*form.List), expected);
    EXPECT_EQ(SelectedRow(*form.List), 2);
    EXPECT_EQ(form.CurrentBox->text(), QStringLiteral("gamma"));
    EXPECT_EQ(this->Focus(), form.CurrentBox);
    EXPECT_TRUE(this->messages.texts.isEmpty());

    // A click on a line copies it into the text box; adding it is a duplicate.
    const QRect line = form.List->visualItemRect(form.List->item(1));
    QTest::mouseClick(form.List->viewport(), Qt::LeftButton, {}, line.center());
    EXPECT_EQ(form.CurrentBox->text(), QStringLiteral("beta"));
    form.AddButton->click();
    EXPECT_EQ(this->messages.texts, QStringList{WordListEditor::kDuplicateEntry});
    EXPECT_TRUE(form.CurrentBox->text().isEmpty());
    EXPECT_EQ(SelectedRow(*form.List), 1);

    // The window's own comparison counts case; the store refuses the entry, and the text
    // stays for another try.
    this->messages.texts.clear();
    form.CurrentBox->setText(QStringLiteral("Gamma"));
    form.AddButton->click();
    ASSERT_EQ(this->messages.texts.size(), 1);
    EXPECT_TRUE(this->messages.texts[0].contains(u"\"gamma\"") &&
                this->messages.texts[0].contains(u"SkipList.db"))
        << this->messages.texts[0].toStdString();
    EXPECT_EQ(this->Stored(), expected);
    EXPECT_EQ(form.CurrentBox->text(), QStringLiteral("Gamma"));
}

TYPED_TEST(EditorTest, AddRefusesControlCharactersAndKeepsTheText) {
    TypeParam& form = this->Open({"a"});
    const struct {
        const char* name;
        QString text;
        const char* fault;
    } cases[] = {
        {"a pasted tab", QStringLiteral("x\ty"), "it holds the control character U+0009"},
        {"a pasted line break", QStringLiteral("x\ny"), "it holds the control character U+000A"},
        {"an escape", QStringLiteral(" \u001b[1m "), "it holds the control character U+001B"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        this->messages.texts.clear();
        form.CurrentBox->setText(c.text);
        form.AddButton->click();
        EXPECT_EQ(this->messages.texts,
                  QStringList{QStringLiteral("The entry was not added: %1.").arg(c.fault)});
        EXPECT_EQ(form.CurrentBox->text(), c.text);
        EXPECT_EQ(this->Focus(), form.CurrentBox);
        EXPECT_EQ(this->Stored(), QStringList{"a"});
        EXPECT_EQ(Lines(*form.List), QStringList{"a"});
    }
}

TYPED_TEST(EditorTest, DeleteRemovesTheSelectedLineAndIgnoresTypedText) {
    TypeParam& form = this->Open({"a", "b", "c"});
    // With no line selected, Delete only puts the focus back.
    form.CurrentBox->setText(QStringLiteral("b"));
    form.QuitButton->setFocus();
    form.DeleteButton->click();
    EXPECT_EQ(this->Focus(), form.CurrentBox);
    EXPECT_EQ(this->Stored().size(), 3);

    form.List->setCurrentRow(1);
    form.CurrentBox->setText(QStringLiteral("c"));
    form.DeleteButton->click();
    EXPECT_EQ(this->Stored(), (QStringList{"a", "c"}));
    EXPECT_EQ(Lines(*form.List), (QStringList{"a", "c"}));
    EXPECT_EQ(SelectedRow(*form.List), -1);
    EXPECT_TRUE(form.CurrentBox->text().isEmpty());
    EXPECT_EQ(this->Focus(), form.CurrentBox);
    EXPECT_TRUE(this->messages.texts.isEmpty());
    form.QuitButton->setFocus();
    QTest::keyClick(form.QuitButton, Qt::Key_Enter);
    EXPECT_FALSE(form.isVisible());
}

TEST(WordListEditor, ListsOfMoreThan32767EntriesWork) {
    QStringList many;
    for (int i = 0; i < 32768; ++i) many << QStringLiteral("w%1").arg(i, 5, 10, QLatin1Char('0'));
    ScopedWorkingDir dir;
    MessageLog messages;
    // Not shown: the window works the same, without drawing at every line it selects.
    auto form = std::make_unique<SkipListForm>();
    ASSERT_TRUE(form->Load(MakeLists(dir, many)));
    form->CurrentBox->setText(QStringLiteral("zz"));
    form->AddButton->click();
    EXPECT_EQ(SelectedRow(*form->List), 32768);
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST(WordListEditor, AStoreThatCannotBeOpenedIsReportedWithItsReason) {
    ScopedWorkingDir dir;
    const QString junk = dir.file(QStringLiteral("junk.db"));
    ASSERT_TRUE(PutFile(junk, QByteArray(4096, 'x')));
    for (const QString& path : {dir.file(QStringLiteral("SkipList.db")), junk}) {
        MessageLog messages;
        EXPECT_FALSE(WithModal([&] { ShowIncludeListForm(nullptr, path); },
                               [](QWidget* modal) { modal->close(); }));
        ASSERT_EQ(messages.texts.size(), 1);
        EXPECT_TRUE(messages.texts[0].contains(path)) << messages.texts[0].toStdString();
        EXPECT_TRUE(messages.texts[0].contains(path == junk ? u"not a word-list database"
                                                            : u"file not found"))
            << messages.texts[0].toStdString();
    }
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
    ScopedWorkingDir dir;
    const QString path = MakeLists(dir, {"b"});
    MessageLog messages;
    StoreListSource lists(path);
    OpeningObserver observer;
    Functions engine(observer, lists);
    const auto show = [&] { ShowSkipListForm(nullptr, path); };
    observer.atFirstYield = [&] {
        EXPECT_TRUE(WithModal(show, [&](QWidget* modal) {
            auto* form = qobject_cast<SkipListForm*>(modal);
            ASSERT_TRUE(form && engine.IsRunning());
            form->CurrentBox->setText(QStringLiteral("span"));
            form->AddButton->click();
            form->List->setCurrentRow(0);  // "b"
            form->DeleteButton->click();
            form->CurrentBox->setText(QStringLiteral("left behind"));
            form->QuitButton->click();
        }));
    };
    const QString page = QStringLiteral("<p>one<b>two<p>three<span>four");
    const RepairResult result = engine.FixText(TextUnits::Utf16(page));
    ASSERT_EQ(result.status, RepairResult::Status::Completed) << result.error.toStdString();
    // Asked after the edit: "b" no longer keeps the paragraph open, "span" does.
    EXPECT_EQ(RepairedText(page, result), QStringLiteral("<p>one</p><b>two<p>three<span>four"));

    // The next showing shows the stored table, with nothing in the text box.
    EXPECT_TRUE(WithModal(show, [&](QWidget* modal) {
        auto* form = qobject_cast<SkipListForm*>(modal);
        ASSERT_TRUE(form);
        EXPECT_EQ(Lines(*form->List), QStringList{"span"});
        EXPECT_TRUE(form->CurrentBox->text().isEmpty());
        form->close();
    }));
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join(u'\n').toStdString();
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
}

}  // namespace
}  // namespace quillet::test
