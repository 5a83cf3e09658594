// The two word-list editor windows over a real word-list database.
#include "EditorTestSupport.h"
#include "GuiTestSupport.h"
#include "common/SecondaryWindows.h"
#include "wordlists/IncludeList.h"
#include "wordlists/SkipListForm.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <type_traits>

namespace quillet::test {
namespace {

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

// Runs each behaviour against both windows: they must act alike step for step.
template <typename Form>
class EditorTest : public ::testing::Test {
  protected:
    static const ListSchema& Schema() {
        return std::is_same_v<Form, SkipListForm> ? SkipListSchema() : IncludeListSchema();
    }
};
using EditorKinds = ::testing::Types<SkipListForm, IncludeList>;
TYPED_TEST_SUITE(EditorTest, EditorKinds);

TYPED_TEST(EditorTest, EmptyTableGivesEmptyListAndDeleteOnlyFocusesTheTextBox) {
    ListFolder folder({}, {});
    MessageLog messages;
    auto form = OpenEditor<TypeParam>(folder);
    EXPECT_EQ(form->List->count(), 0);
    EXPECT_EQ(QApplication::focusWidget(), form->CurrentBox);

    form->CurrentBox->setText(QStringLiteral("typed"));
    form->QuitButton->setFocus();
    form->DeleteButton->click();
    EXPECT_EQ(QApplication::focusWidget(), form->CurrentBox);
    EXPECT_EQ(form->CurrentBox->text(), QStringLiteral("typed"));
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_TRUE(folder.Stored(this->Schema()).isEmpty());
}

TYPED_TEST(EditorTest, ListShowsTheStoreInIndexOrderWithNothingSelected) {
    // The index ignores letter case; a case-sensitive sort would put "Zeta" before "alpha".
    ListFolder folder({QStringLiteral("beta"), QStringLiteral("Zeta"), QStringLiteral("alpha")},
                      {QStringLiteral("beta"), QStringLiteral("Zeta"), QStringLiteral("alpha")});
    auto form = OpenEditor<TypeParam>(folder);
    EXPECT_EQ(Lines(*form->List), (QStringList{QStringLiteral("alpha"), QStringLiteral("beta"),
                                               QStringLiteral("Zeta")}));
    EXPECT_EQ(SelectedRow(*form->List), -1);
    EXPECT_TRUE(form->CurrentBox->text().isEmpty());
}

TYPED_TEST(EditorTest, AddStoresTheTrimmedEntryAndSelectsItAtItsPlace) {
    ListFolder folder({QStringLiteral("b"), QStringLiteral("table"), QStringLiteral("z")},
                      {QStringLiteral("b"), QStringLiteral("z")});
    MessageLog messages;
    auto form = OpenEditor<TypeParam>(folder);
    const int before = form->List->count();

    form->CurrentBox->setText(QStringLiteral("  span  "));
    form->AddButton->click();
    const QStringList stored = folder.Stored(this->Schema());
    EXPECT_TRUE(stored.contains(QStringLiteral("span"))) << stored.join(u',').toStdString();
    EXPECT_EQ(form->List->count(), before + 1);
    EXPECT_EQ(Lines(*form->List), stored);
    EXPECT_EQ(form->List->item(SelectedRow(*form->List))->text(), QStringLiteral("span"));
    EXPECT_EQ(form->CurrentBox->text(), QStringLiteral("span"));
    EXPECT_EQ(QApplication::focusWidget(), form->CurrentBox);

    // Only spaces are trimmed: a tab stays part of the entry.
    form->CurrentBox->setText(QStringLiteral(" \tq "));
    form->AddButton->click();
    EXPECT_TRUE(folder.Stored(this->Schema()).contains(QStringLiteral("\tq")));
    EXPECT_EQ(form->CurrentBox->text(), QStringLiteral("\tq"));
    EXPECT_TRUE(messages.texts.isEmpty());
}

TYPED_TEST(EditorTest, AddWithNothingButSpacesDoesNothing) {
    ListFolder folder({QStringLiteral("b")}, {QStringLiteral("b")});
    MessageLog messages;
    auto form = OpenEditor<TypeParam>(folder);
    form->List->setCurrentRow(0);
    form->CurrentBox->setText(QStringLiteral("   "));
    form->AddButton->click();
    EXPECT_EQ(form->CurrentBox->text(), QStringLiteral("   "));
    EXPECT_EQ(folder.Stored(this->Schema()), QStringList{QStringLiteral("b")});
    EXPECT_EQ(SelectedRow(*form->List), 0);
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), form->CurrentBox);
}

TYPED_TEST(EditorTest, SelectingALineAndAddingReportsADuplicate) {
    ListFolder folder({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")},
                      {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    MessageLog messages;
    auto form = OpenEditor<TypeParam>(folder);

    // A click on a line copies it into the text box.
    const QRect line = form->List->visualItemRect(form->List->item(1));
    QTest::mouseClick(form->List->viewport(), Qt::LeftButton, {}, line.center());
    EXPECT_EQ(form->CurrentBox->text(), QStringLiteral("b"));

    form->AddButton->click();
    EXPECT_EQ(messages.texts, QStringList{WordListEditor::kDuplicateEntry});
    EXPECT_TRUE(form->CurrentBox->text().isEmpty());
    EXPECT_EQ(SelectedRow(*form->List), 1);
    EXPECT_EQ(QApplication::focusWidget(), form->CurrentBox);
    EXPECT_EQ(folder.Stored(this->Schema()).size(), 3);
}

TYPED_TEST(EditorTest, KeyboardSelectionCopiesTheLineIntoTheTextBox) {
    ListFolder folder({QStringLiteral("a"), QStringLiteral("b")},
                      {QStringLiteral("a"), QStringLiteral("b")});
    auto form = OpenEditor<TypeParam>(folder);
    form->List->setCurrentRow(0);
    form->List->setFocus();
    QTest::keyClick(form->List, Qt::Key_Down);
    EXPECT_EQ(SelectedRow(*form->List), 1);
    EXPECT_EQ(form->CurrentBox->text(), QStringLiteral("b"));

    // Clicking the line that is selected already copies it again over typed text.
    form->CurrentBox->setText(QStringLiteral("typed"));
    const QRect line = form->List->visualItemRect(form->List->item(1));
    QTest::mouseClick(form->List->viewport(), Qt::LeftButton, {}, line.center());
    EXPECT_EQ(form->CurrentBox->text(), QStringLiteral("b"));
}

TYPED_TEST(EditorTest, AnEntryDifferingOnlyInCaseIsRefusedByTheStoreAndTheListStays) {
    ListFolder folder({QStringLiteral("table")}, {QStringLiteral("table")});
    MessageLog messages;
    auto form = OpenEditor<TypeParam>(folder);

    // Not a duplicate for the window, whose comparison counts case; the store refuses it.
    form->CurrentBox->setText(QStringLiteral("Table"));
    form->AddButton->click();
    ASSERT_EQ(messages.texts.size(), 1);
    const QString message = messages.texts.first();
    EXPECT_NE(message, WordListEditor::kDuplicateEntry);
    EXPECT_TRUE(message.contains(QStringLiteral("\"table\""))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("\"Table\""))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("SkipList.db"))) << message.toStdString();
    EXPECT_EQ(folder.Stored(this->Schema()), QStringList{QStringLiteral("table")});
    EXPECT_EQ(Lines(*form->List), QStringList{QStringLiteral("table")});
    EXPECT_EQ(SelectedRow(*form->List), -1);
    EXPECT_EQ(form->CurrentBox->text(), QStringLiteral("Table"));
    EXPECT_EQ(QApplication::focusWidget(), form->CurrentBox);
}

TYPED_TEST(EditorTest, DeleteRemovesTheSelectedLineAndIgnoresTypedText) {
    ListFolder folder({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")},
                      {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    MessageLog messages;
    auto form = OpenEditor<TypeParam>(folder);
    form->List->setCurrentRow(1);
    form->CurrentBox->setText(QStringLiteral("c"));
    form->DeleteButton->click();

    const QStringList rest{QStringLiteral("a"), QStringLiteral("c")};
    EXPECT_EQ(folder.Stored(this->Schema()), rest);
    EXPECT_EQ(Lines(*form->List), rest);
    EXPECT_EQ(SelectedRow(*form->List), -1);
    EXPECT_TRUE(form->CurrentBox->text().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), form->CurrentBox);
    EXPECT_TRUE(messages.texts.isEmpty());
}

TYPED_TEST(EditorTest, DeleteOfALineTheStoreNoLongerHoldsChangesNothing) {
    ListFolder folder({QStringLiteral("a"), QStringLiteral("b")},
                      {QStringLiteral("a"), QStringLiteral("b")});
    MessageLog messages;
    auto form = OpenEditor<TypeParam>(folder);
    {
        // Another program removes "b" while the window shows it.
        StoreError error;
        auto db = WordListDatabase::Open(folder.databasePath(), &error);
        auto table = db->OpenTable(this->Schema(), &error);
        ASSERT_TRUE(table->SetIndex(this->Schema().index, &error));
        ASSERT_TRUE(*table->Seek(QStringLiteral("b"), &error));
        ASSERT_TRUE(table->DeleteCurrent(&error));
    }
    form->List->setCurrentRow(1);
    form->DeleteButton->click();
    EXPECT_EQ(Lines(*form->List), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(form->CurrentBox->text(), QStringLiteral("b"));
    EXPECT_TRUE(messages.texts.isEmpty());
}

TYPED_TEST(EditorTest, EnterAndEscapeDoNothing) {
    ListFolder folder({}, {});
    MessageLog messages;
    auto form = OpenEditor<TypeParam>(folder);
    form->CurrentBox->setText(QStringLiteral("word"));
    QTest::keyClick(form->CurrentBox, Qt::Key_Return);
    QTest::keyClick(form->CurrentBox, Qt::Key_Escape);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(folder.Stored(this->Schema()).isEmpty());
    EXPECT_EQ(form->CurrentBox->text(), QStringLiteral("word"));
}

TYPED_TEST(EditorTest, ListsLongerThanSixteenBitPositionsWork) {
    QStringList many;
    for (int i = 0; i < 33000; ++i) many << QStringLiteral("w%1").arg(i, 5, 10, QLatin1Char('0'));
    ListFolder folder(std::is_same_v<TypeParam, SkipListForm> ? many : QStringList{},
                      std::is_same_v<TypeParam, SkipListForm> ? QStringList{} : many);
    MessageLog messages;
    auto form = OpenEditor<TypeParam>(folder);
    ASSERT_EQ(form->List->count(), 33000);
    form->CurrentBox->setText(QStringLiteral("zz"));
    form->AddButton->click();
    EXPECT_EQ(SelectedRow(*form->List), 33000);
    EXPECT_EQ(form->CurrentBox->text(), QStringLiteral("zz"));
    form->List->setCurrentRow(32999);
    form->DeleteButton->click();
    EXPECT_EQ(form->List->count(), 33000);
    EXPECT_FALSE(folder.Stored(this->Schema()).contains(QStringLiteral("w32999")));
    EXPECT_TRUE(messages.texts.isEmpty());
}

// ---------------------------------------------------------------------------------------

TEST(EditorDefinitions, TheWindowsDifferInCaptionSizeCreationOrderAndTabOrder) {
    SkipListForm skip;
    IncludeList include;
    EXPECT_EQ(skip.windowTitle(), QStringLiteral("Skip List"));
    EXPECT_EQ(include.windowTitle(), QStringLiteral("Include List"));
    EXPECT_EQ(skip.size(), QSize(649, 438));
    EXPECT_EQ(include.size(), QSize(643, 437));
    EXPECT_EQ(skip.List->geometry(), QRect(375, 4, 265, 420));
    EXPECT_EQ(include.CurrentBox->geometry(), QRect(10, 272, 348, 19));

    auto names = [](const QWidget& form) {
        QStringList list;
        for (const QObject* child : form.children()) {
            if (child->isWidgetType()) list << child->objectName();
        }
        return list;
    };
    EXPECT_EQ(names(skip).join(u' '),
              QStringLiteral("CurrentBox QuitButton DeleteButton AddButton List"));
    EXPECT_EQ(names(include).join(u' '),
              QStringLiteral("List AddButton DeleteButton QuitButton CurrentBox"));
    for (const WordListEditor* form :
         {static_cast<WordListEditor*>(&skip), static_cast<WordListEditor*>(&include)}) {
        EXPECT_EQ(form->AddButton->text(), QStringLiteral("Add"));
        EXPECT_EQ(form->DeleteButton->text(), QStringLiteral("Delete"));
        EXPECT_EQ(form->QuitButton->text(), QStringLiteral("Quit"));
        EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
        EXPECT_FALSE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
        EXPECT_EQ(form->minimumSize(), form->maximumSize());
    }
}

TEST(EditorDefinitions, LoadCentresTheWindowOnTheScreen) {
    ListFolder folder({}, {});
    QWidget parent;
    parent.setGeometry(10, 10, 200, 100);
    parent.show();
    for (WordListEditor* form : {static_cast<WordListEditor*>(new SkipListForm(&parent)),
                                 static_cast<WordListEditor*>(new IncludeList(&parent))}) {
        ASSERT_TRUE(form->Load(folder.databasePath()));
        form->show();
        const QRect screen = form->screen()->geometry();
        EXPECT_EQ(form->pos(), QPoint((screen.width() - form->width()) / 2,
                                      (screen.height() - form->height()) / 2));
    }
}

TEST(EditorDefinitions, TabFromTheTextBoxReachesAddInOneAndQuitInTheOther) {
    ListFolder folder({QStringLiteral("a")}, {QStringLiteral("a")});
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

TEST(EditorDefinitions, EachWindowEditsItsOwnTable) {
    ListFolder folder({}, {});
    MessageLog messages;
    auto skip = OpenEditor<SkipListForm>(folder);
    skip->CurrentBox->setText(QStringLiteral("em"));
    skip->AddButton->click();
    skip->close();
    auto include = OpenEditor<IncludeList>(folder);
    EXPECT_EQ(include->List->count(), 0);
    include->CurrentBox->setText(QStringLiteral("/div"));
    include->AddButton->click();
    EXPECT_EQ(folder.Stored(SkipListSchema()), QStringList{QStringLiteral("em")});
    EXPECT_EQ(folder.Stored(IncludeListSchema()), QStringList{QStringLiteral("/div")});
}

// ---------------------------------------------------------------------------------------

TEST(EditorShowing, EachShowingLoadsAfreshAndShowsTheStoredTable) {
    ListFolder folder({QStringLiteral("b")}, {});
    MessageLog messages;
    bool opened = false;
    WhenModalOpens([&](QWidget* modal) {
        auto* form = qobject_cast<SkipListForm*>(modal);
        ASSERT_TRUE(form);
        opened = true;
        EXPECT_TRUE(form->isModal());
        form->CurrentBox->setText(QStringLiteral("a"));
        form->AddButton->click();
        form->CurrentBox->setText(QStringLiteral("left behind"));
        form->QuitButton->click();
    });
    ShowSkipListForm(nullptr, folder.databasePath());
    EXPECT_TRUE(opened);

    QStringList shown;
    QString current = QStringLiteral("unset");
    WhenModalOpens([&](QWidget* modal) {
        auto* form = qobject_cast<SkipListForm*>(modal);
        ASSERT_TRUE(form);
        shown = Lines(*form->List);
        current = form->CurrentBox->text();
        form->close();
    });
    ShowSkipListForm(nullptr, folder.databasePath());
    EXPECT_EQ(shown, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_TRUE(current.isEmpty());
    EXPECT_TRUE(messages.texts.isEmpty());
    // The window objects are gone once the calls have returned.
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
}

TEST(EditorShowing, AStoreThatCannotBeOpenedIsReportedAndNoWindowOpens) {
    ScopedWorkingDir dir;
    QFile junk(dir.file(QStringLiteral("junk.db")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();

    struct Case {
        QString path;
        QString reason;
    };
    const Case cases[] = {
        {dir.file(QStringLiteral("SkipList.db")), QStringLiteral("file not found")},
        {dir.file(QStringLiteral("junk.db")), QStringLiteral("not a word-list database")},
    };
    for (const Case& c : cases) {
        MessageLog messages;
        bool opened = false;
        WhenModalOpens(
            [&](QWidget* modal) {
                if (!modal) return;
                opened = true;
                modal->close();
            },
            300);
        ShowIncludeListForm(nullptr, c.path);
        QTest::qWait(350);
        EXPECT_FALSE(opened) << c.path.toStdString();
        ASSERT_EQ(messages.texts.size(), 1);
        const QString& text = messages.texts.first();
        EXPECT_TRUE(text.contains(QFileInfo(c.path).fileName())) << text.toStdString();
        EXPECT_TRUE(text.contains(c.reason)) << text.toStdString();
    }
}

}  // namespace
}  // namespace quillet::test
