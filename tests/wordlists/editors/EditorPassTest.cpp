// The editors and the Fix File pass over the same word-list database.
#include "EditorTestSupport.h"
#include "GuiTestSupport.h"
#include "common/SecondaryWindows.h"
#include "engine/Functions.h"
#include "wordlists/IncludeList.h"
#include "wordlists/SkipListForm.h"
#include "wordlists/StoreListSource.h"

#include <gtest/gtest.h>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace quillet::test {
namespace {

/// Opens an editor window the way the main window does: modally, with the given steps
/// played in it, then closes it.
template <typename Form>
void EditInWindow(const QString& databasePath, std::function<void(Form&)> steps) {
    bool opened = false;
    WhenModalOpens([&](QWidget* modal) {
        auto* form = qobject_cast<Form*>(modal);
        ASSERT_TRUE(form);
        opened = true;
        steps(*form);
        form->QuitButton->click();
    });
    if constexpr (std::is_same_v<Form, SkipListForm>) {
        ShowSkipListForm(nullptr, databasePath);
    } else {
        ShowIncludeListForm(nullptr, databasePath);
    }
    EXPECT_TRUE(opened);
}

void AddEntry(WordListEditor& form, const QString& entry) {
    form.CurrentBox->setText(entry);
    form.AddButton->click();
}

void DeleteEntry(WordListEditor& form, const QString& entry) {
    const QList<QListWidgetItem*> found = form.List->findItems(entry, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << entry.toStdString();
    form.List->setCurrentItem(found.first());
    form.DeleteButton->click();
}

/// An observer whose yield runs `action` once, when `when` first says so.
class YieldingObserver final : public EngineObserver {
  public:
    std::function<bool()> when;
    std::function<void()> action;
    qint32 added = 0;
    int yields = 0;

    void showRemaining(qint64) override {}
    void showAdded(qint32 count) override { added = count; }
    void clearAdded() override {}
    bool processEvents() override {
        ++yields;
        if (action && when()) std::exchange(action, nullptr)();
        return true;
    }
    void notice(const QString&) override {}
};

TEST(EditorsAndPass, AChangeMadeInAnEditorIsSeenByTheNextPass) {
    ListFolder folder({}, {});
    MessageLog messages;
    StoreListSource lists(folder.databasePath());
    SilentObserver observer;
    Functions engine(observer, lists);
    const QString page = QStringLiteral("<p>one<em>two<p>three</div>");

    EXPECT_EQ(engine.FixText(page).text, QStringLiteral("<p>one</p><em>two<p>three</div>"));

    EditInWindow<SkipListForm>(folder.databasePath(),
                               [](SkipListForm& form) { AddEntry(form, QStringLiteral("em")); });
    EditInWindow<IncludeList>(folder.databasePath(),
                              [](IncludeList& form) { AddEntry(form, QStringLiteral("/div")); });
    EXPECT_EQ(engine.FixText(page).text, QStringLiteral("<p>one<em>two</p><p>three</p></div>"));

    // Entries typed with capitals are found too: the store ignores case, the pass asks in
    // lower case.
    EditInWindow<SkipListForm>(folder.databasePath(), [](SkipListForm& form) {
        DeleteEntry(form, QStringLiteral("em"));
        AddEntry(form, QStringLiteral("EM"));
    });
    EXPECT_EQ(engine.FixText(page).text, QStringLiteral("<p>one<em>two</p><p>three</p></div>"));

    EditInWindow<SkipListForm>(folder.databasePath(),
                               [](SkipListForm& form) { DeleteEntry(form, QStringLiteral("EM")); });
    EXPECT_EQ(engine.FixText(page).text, QStringLiteral("<p>one</p><em>two<p>three</p></div>"));
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join(u'\n').toStdString();
}

TEST(EditorsAndPass, AnEditorOpenedWhileThePassYieldsRunsInsideItAndThePassGoesOn) {
    ListFolder folder({QStringLiteral("b")}, {});
    MessageLog messages;
    StoreListSource lists(folder.databasePath());
    YieldingObserver observer;
    Functions engine(observer, lists);

    bool ranInsidePass = false;
    QStringList shown;
    // At the pass's first yield, before any tag has been looked up, the user opens the
    // skip-list editor and changes both entries: the pass's connection is open meanwhile.
    observer.when = [&] { return observer.yields == 1; };
    observer.action = [&] {
        EditInWindow<SkipListForm>(folder.databasePath(), [&](SkipListForm& form) {
            ranInsidePass = engine.IsRunning();
            AddEntry(form, QStringLiteral("span"));
            DeleteEntry(form, QStringLiteral("b"));
            for (int i = 0; i < form.List->count(); ++i) shown << form.List->item(i)->text();
        });
    };
    const RepairResult result = engine.FixText(QStringLiteral("<p>one<b>two<p>three<span>four"));

    EXPECT_TRUE(ranInsidePass);
    EXPECT_EQ(shown, QStringList{QStringLiteral("span")});
    ASSERT_EQ(result.status, RepairResult::Status::Completed) << result.error.toStdString();
    EXPECT_EQ(result.text, QStringLiteral("<p>one</p><b>two<p>three<span>four"));
    EXPECT_EQ(engine.AddedCount, 1);
    EXPECT_EQ(folder.Stored(SkipListSchema()), QStringList{QStringLiteral("span")});
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join(u'\n').toStdString();
}

TEST(EditorsAndPass, APassKeepsTheAnswersItHadBeforeAChangeMadeDuringIt) {
    ListFolder folder({}, {});
    MessageLog messages;
    StoreListSource lists(folder.databasePath());
    YieldingObserver observer;
    Functions engine(observer, lists);

    // After the first insertion, "/div" has been looked up once and "/section" not yet.
    observer.when = [&] { return observer.added == 1; };
    observer.action = [&] {
        EditInWindow<IncludeList>(folder.databasePath(), [](IncludeList& form) {
            AddEntry(form, QStringLiteral("/div"));
            AddEntry(form, QStringLiteral("/section"));
        });
    };
    const RepairResult result =
        engine.FixText(QStringLiteral("<p>a</div><p>b</div><p>c</section>d"));
    ASSERT_TRUE(result.ok()) << result.error.toStdString();
    EXPECT_EQ(result.text, QStringLiteral("<p>a</div></p><p>b</div></p><p>c</p></section>d"));
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join(u'\n').toStdString();
}

}  // namespace
}  // namespace quillet::test
