#include "TestSupport.h"
#include "engine/Functions.h"
#include "wordlists/DefaultWordLists.h"
#include "wordlists/StoreErrorText.h"
#include "wordlists/StoreListSource.h"
#include "wordlists/WordListStore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>

namespace quillet {
namespace {

using test::ScopedWorkingDir;

/// A fresh default database in a temporary working directory.
class StoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        StoreError error;
        ASSERT_TRUE(CreateWordListDatabase(DefaultDatabasePath(), &error))
            << StoreErrorText(error).toStdString();
    }

    /// Opens `schema`'s table with its index selected.
    std::unique_ptr<WordListTable> Table(WordListDatabase& db, const ListSchema& schema) {
        StoreError error;
        auto table = db.OpenTable(schema, &error);
        EXPECT_TRUE(table) << StoreErrorText(error).toStdString();
        if (table) {
            EXPECT_TRUE(table->SetIndex(&error)) << StoreErrorText(error).toStdString();
        }
        return table;
    }

    std::unique_ptr<WordListDatabase> Open(StoreError* error = nullptr) {
        StoreError local;
        auto db = WordListDatabase::Open(DefaultDatabasePath(), error ? error : &local);
        return db;
    }

    /// Runs SQL on a second connection, as another program would.
    static int Exec(const char* sql) {
        sqlite3* db = nullptr;
        sqlite3_open_v2("SkipList.db", &db, SQLITE_OPEN_READWRITE, nullptr);
        const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        sqlite3_close(db);
        return rc;
    }

    ScopedWorkingDir dir_;
};

TEST_F(StoreTest, NewDatabaseHoldsTheDefaultListsInIndexOrder) {
    auto db = Open();
    ASSERT_TRUE(db);
    auto skip = Table(*db, SkipListSchema());
    auto include = Table(*db, IncludeListSchema());
    StoreError error;
    QStringList sorted = DefaultSkipList();
    std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    EXPECT_EQ(skip->Walk(&error), sorted);
    EXPECT_EQ(include->RecordCount(&error), DefaultIncludeList().size());
    const QStringList entries = *include->Walk(&error);
    EXPECT_EQ(entries.first(), u"/address");
    EXPECT_TRUE(entries.contains(u"/div"));
    EXPECT_FALSE(entries.contains(u"/span"));
}

TEST_F(StoreTest, SeekMatchesWholeEntriesWithoutRegardToCase) {
    auto db = Open();
    auto skip = Table(*db, SkipListSchema());
    StoreError error;
    ASSERT_TRUE(skip->Add(QStringLiteral("Table"), &error));
    EXPECT_EQ(skip->Seek(u"table", &error), true);
    EXPECT_EQ(skip->Seek(u"TABLE", &error), true);
    EXPECT_EQ(skip->Seek(u"tab", &error), false);
    EXPECT_EQ(skip->Seek(u"tables", &error), false);
    EXPECT_EQ(skip->Seek(u"br/", &error), true);
    EXPECT_EQ(skip->Seek(u"br /", &error), false);
    // The empty name is an entry of its own: empty and null texts find it, and never
    // match as SQL NULL.
    EXPECT_EQ(skip->Seek(QStringView(u""), &error), true);
    EXPECT_EQ(skip->Seek(QString(), &error), true);
    ASSERT_TRUE(skip->DeleteCurrent(&error));
    EXPECT_EQ(skip->Seek(QString(), &error), false);
}

TEST_F(StoreTest, SeekUsesTheIndex) {
    auto db = Open();
    for (const ListSchema* schema : {&SkipListSchema(), &IncludeListSchema()}) {
        auto table = Table(*db, *schema);
        const QString plan = table->SeekPlan();
        EXPECT_TRUE(
            plan.contains(QStringLiteral("INDEX %1 (%2=?)").arg(schema->index, schema->field)))
            << plan.toStdString();
        EXPECT_FALSE(plan.contains(u"SCAN")) << plan.toStdString();
    }
}

TEST_F(StoreTest, AddRefusesEqualEntriesAndNamesTheListedOne) {
    auto db = Open();
    auto include = Table(*db, IncludeListSchema());
    StoreError error;
    EXPECT_FALSE(include->Add(QStringLiteral("/div"), &error));
    EXPECT_EQ(error.kind, StoreError::Kind::Duplicate);
    EXPECT_TRUE(StoreErrorText(error).contains(u"already holds \"/div\""))
        << StoreErrorText(error).toStdString();

    EXPECT_FALSE(include->Add(QStringLiteral("/DIV"), &error));
    EXPECT_EQ(error.kind, StoreError::Kind::Duplicate);
    EXPECT_TRUE(StoreErrorText(error).contains(
        u"\"/div\", which differs from \"/DIV\" only in letter case"))
        << StoreErrorText(error).toStdString();
    EXPECT_EQ(include->RecordCount(&error), DefaultIncludeList().size());

    ASSERT_TRUE(include->Add(QStringLiteral("/Object"), &error));
    const QStringList entries = *include->Walk(&error);
    EXPECT_EQ(entries.indexOf(u"/Object"), entries.indexOf(u"/nav") + 1);  // sorted in place
}

TEST_F(StoreTest, AddRefusesEqualEntriesEvenWhereTheIndexWouldTakeThem) {
    ASSERT_EQ(Exec("DROP INDEX \"Include\";"
                   "CREATE INDEX \"Include\" ON \"IncludeList\" (\"Include\" COLLATE NOCASE);"),
              SQLITE_OK);
    auto db = Open();
    auto include = Table(*db, IncludeListSchema());
    StoreError error;
    for (const QString& entry : {QStringLiteral("/div"), QStringLiteral("/Div")}) {
        EXPECT_FALSE(include->Add(entry, &error));
        EXPECT_EQ(error.kind, StoreError::Kind::Duplicate);
        EXPECT_EQ(error.entry, entry);
        EXPECT_EQ(error.listed, QStringLiteral("/div"));
    }
    EXPECT_EQ(include->RecordCount(&error), DefaultIncludeList().size());
}

TEST_F(StoreTest, DeleteRemovesOnlyTheEntryFoundBySeek) {
    auto db = Open();
    auto skip = Table(*db, SkipListSchema());
    StoreError error;
    EXPECT_FALSE(skip->DeleteCurrent(&error));  // nothing sought yet
    EXPECT_EQ(skip->Seek(u"nosuch", &error), false);
    EXPECT_FALSE(skip->DeleteCurrent(&error));  // a failed seek leaves no current entry
    const qint32 before = *skip->RecordCount(&error);
    ASSERT_EQ(skip->Seek(u"span", &error), true);
    ASSERT_TRUE(skip->DeleteCurrent(&error));
    EXPECT_EQ(skip->RecordCount(&error), before - 1);
    EXPECT_EQ(skip->Seek(u"span", &error), false);
    EXPECT_EQ(skip->Seek(u"strong", &error), true);
}

TEST_F(StoreTest, OpeningFailsClearlyForMissingAndBrokenFiles) {
    StoreError error;
    EXPECT_FALSE(WordListDatabase::Open(QStringLiteral("nosuch.db"), &error));
    EXPECT_EQ(error.kind, StoreError::Kind::Missing);
    EXPECT_TRUE(StoreErrorText(error).contains(
        QDir::current().absoluteFilePath(QStringLiteral("nosuch.db"))));
    EXPECT_TRUE(StoreErrorText(error).contains(u"file not found"));
    EXPECT_FALSE(QFile::exists(QStringLiteral("nosuch.db")));  // never created

    QDir().mkdir(QStringLiteral("folder.db"));
    EXPECT_FALSE(WordListDatabase::Open(QStringLiteral("folder.db"), &error));
    EXPECT_EQ(error.kind, StoreError::Kind::Folder);

    QFile junk(QStringLiteral("junk.db"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    EXPECT_FALSE(WordListDatabase::Open(QStringLiteral("junk.db"), &error));
    EXPECT_EQ(error.kind, StoreError::Kind::NotADatabase);
    EXPECT_TRUE(StoreErrorText(error).contains(u"junk.db")) << StoreErrorText(error).toStdString();

    // A database cut short: its header promises pages that are not there.
    QFile real(DefaultDatabasePath());
    ASSERT_TRUE(real.open(QIODevice::ReadOnly));
    const QByteArray bytes = real.readAll();
    QFile cut(QStringLiteral("cut.db"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(bytes.left(bytes.size() / 2));
    cut.close();
    auto db = WordListDatabase::Open(QStringLiteral("cut.db"), &error);
    std::unique_ptr<WordListTable> table;
    if (db) table = db->OpenTable(IncludeListSchema(), &error);
    if (table && table->SetIndex(&error)) {
        EXPECT_FALSE(table->Walk(&error));
    }
    EXPECT_NE(error.kind, StoreError::Kind::None);
    EXPECT_TRUE(StoreErrorText(error).contains(u"cut.db")) << StoreErrorText(error).toStdString();
}

TEST_F(StoreTest, MissingTablesAndIndexesAreReported) {
    ASSERT_EQ(Exec("DROP INDEX \"Include\"; DROP TABLE \"Lookup\";"), SQLITE_OK);
    auto db = Open();
    ASSERT_TRUE(db);
    StoreError error;
    EXPECT_FALSE(db->OpenTable(SkipListSchema(), &error));
    EXPECT_EQ(StoreErrorText(error),
              QStringLiteral("Word-list database \"%1\": the table Lookup is missing.")
                  .arg(QDir::current().absoluteFilePath(DefaultDatabasePath())));

    auto include = db->OpenTable(IncludeListSchema(), &error);
    ASSERT_TRUE(include);
    EXPECT_FALSE(include->SetIndex(&error));
    EXPECT_EQ(error.kind, StoreError::Kind::NoIndex);
    EXPECT_FALSE(include->Seek(u"/div", &error));  // no index, no seek
}

TEST_F(StoreTest, LockedDatabaseIsWaitedForThenReported) {
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open("SkipList.db", &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    StoreError error;
    EXPECT_FALSE(WordListDatabase::Open(DefaultDatabasePath(), &error));
    EXPECT_EQ(error.kind, StoreError::Kind::Locked);
    EXPECT_TRUE(StoreErrorText(error).contains(u"locked")) << StoreErrorText(error).toStdString();
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_TRUE(WordListDatabase::Open(DefaultDatabasePath(), &error));
}

TEST_F(StoreTest, ReadOnlyFileRefusesChangesWhoeverAsks) {
    ASSERT_EQ(chmod("SkipList.db", 0444), 0);
    auto db = Open();
    ASSERT_TRUE(db);
    auto skip = Table(*db, SkipListSchema());
    StoreError error;
    EXPECT_EQ(skip->Seek(u"b", &error), true);
    EXPECT_FALSE(skip->DeleteCurrent(&error));
    EXPECT_EQ(error.kind, StoreError::Kind::ReadOnly);
    EXPECT_FALSE(skip->Add(QStringLiteral("blink2"), &error));
    EXPECT_EQ(error.kind, StoreError::Kind::ReadOnly);
    EXPECT_EQ(skip->Seek(u"b", &error), true);
}

TEST(StoreSchema, TablesAndIndexesOnOtherFieldsAreRefusedByName) {
    const struct {
        const char* schema;
        const char* wrong;
    } cases[] = {
        // SQLite would take a double-quoted "Reject" that names no field for a string.
        {"CREATE TABLE Lookup(Wrong TEXT); CREATE INDEX Alpha ON Lookup(Wrong);"
         "INSERT INTO Lookup VALUES('b'), ('');",
         "the table Lookup has no field Reject (its fields: Wrong)"},
        {"CREATE TABLE Lookup(Reject TEXT, Other TEXT); CREATE INDEX Alpha ON Lookup(Other);",
         "the index Alpha of the table Lookup is on Other, not on the field Reject alone"},
        {"CREATE TABLE Lookup(Reject TEXT, Other TEXT); CREATE INDEX Alpha ON Lookup(Reject, "
         "Other);",
         "the index Alpha of the table Lookup is on Reject, Other, not on the field Reject alone"},
        {"CREATE TABLE Lookup(Reject TEXT); CREATE TABLE T(Reject TEXT);"
         "CREATE INDEX Alpha ON T(Reject);",
         "the table Lookup has no index Alpha"},
    };
    for (const auto& c : cases) {
        ScopedWorkingDir dir;
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open("SkipList.db", &raw), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(raw, c.schema, nullptr, nullptr, nullptr), SQLITE_OK) << c.schema;
        sqlite3_close(raw);

        StoreError error;
        auto db = WordListDatabase::Open(DefaultDatabasePath(), &error);
        ASSERT_TRUE(db) << StoreErrorText(error).toStdString();
        auto table = db->OpenTable(SkipListSchema(), &error);
        EXPECT_FALSE(table && table->SetIndex(&error)) << c.schema;
        EXPECT_EQ(StoreErrorText(error),
                  QStringLiteral("Word-list database \"%1\": %2.")
                      .arg(dir.file(DefaultDatabasePath()), QString::fromLatin1(c.wrong)));
    }
}

TEST_F(StoreTest, CreationRefusesAnExistingFileAndLeavesNoTemporaryFile) {
    StoreError error;
    const QByteArray before = [] {
        QFile f(DefaultDatabasePath());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    EXPECT_FALSE(CreateWordListDatabase(DefaultDatabasePath(), &error));
    EXPECT_TRUE(StoreErrorText(error).contains(u"exists already"));
    QFile f(DefaultDatabasePath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    EXPECT_EQ(QDir::current().entryList(QDir::Files), QStringList{DefaultDatabasePath()});

    EXPECT_FALSE(CreateWordListDatabase(QStringLiteral("no/such/folder/x.db"), &error));
    EXPECT_EQ(QDir::current().entryList(QDir::Files), QStringList{DefaultDatabasePath()});

    // A new database gets the usual permissions of a new file.
    const mode_t previous = umask(027);
    EXPECT_TRUE(CreateWordListDatabase(QStringLiteral("other.db"), &error));
    umask(previous);
    struct stat info {};
    ASSERT_EQ(stat("other.db", &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(StoreTest, PassListsAnswerFromTheStoreAndHoldNoLockBetweenLookups) {
    StoreListSource source(DefaultDatabasePath());
    StoreError error;
    auto lists = source.openLists(&error);
    ASSERT_TRUE(lists) << StoreErrorText(error).toStdString();
    EXPECT_EQ(lists->inSkipList(u""), true);
    EXPECT_EQ(lists->inSkipList(u"b"), true);
    EXPECT_EQ(lists->inSkipList(u"div"), false);
    EXPECT_EQ(lists->inIncludeList(u"/div"), true);
    EXPECT_EQ(lists->inIncludeList(u"/b"), false);

    // Another program (an editor window) changes the lists while the pass is open: the
    // change goes through at once, and names the pass has not asked about yet see it.
    ASSERT_EQ(Exec("INSERT INTO \"Lookup\" VALUES ('Blockquote'); DELETE FROM \"Lookup\" WHERE "
                   "\"Reject\" = 'b';"),
              SQLITE_OK);
    EXPECT_EQ(lists->inSkipList(u"blockquote"), true);
    EXPECT_EQ(lists->inSkipList(u"b"), true);  // answered earlier in this pass
    lists.reset();

    auto next = source.openLists(&error);
    EXPECT_EQ(next->inSkipList(u"b"), false);  // the next pass sees the deletion
}

TEST_F(StoreTest, AnEditMadeWhileAFixPassIsPausedGoesThrough) {
    StoreListSource source(DefaultDatabasePath());
    // Pause after the pass has looked up "b" and before it meets "xyz": the edit adds "xyz"
    // to the skip list and takes "/div" out of the include list.
    int editResult = -1;
    struct Pausing final : EngineObserver {
        int calls = 0;
        int* result;
        void showRemaining(qint64) override {}
        void showAdded(qint32) override {}
        void clearAdded() override {}
        void notice(const QString&) override {}
        bool processEvents() override {
            if (++calls == 4) {
                *result = Exec(
                    "INSERT INTO \"Lookup\" VALUES ('xyz');"
                    "DELETE FROM \"IncludeList\" WHERE \"Include\" = '/div';");
            }
            return true;
        }
    } pausing;
    pausing.result = &editResult;
    Functions paused(pausing, source);
    const RepairResult result =
        paused.FixText(QStringLiteral("<p>a<b>b</b><xyz>c</xyz><div><p>d</div>"));
    EXPECT_EQ(editResult, SQLITE_OK);  // not refused as locked
    ASSERT_TRUE(result.ok()) << result.error.toStdString();
    // This pass already saw the change: xyz is skipped, /div no longer closes.
    EXPECT_EQ(result.text.toStdString(), "<p>a<b>b</b><xyz>c</xyz></p><div><p>d</div>");
}

TEST_F(StoreTest, PassListsReportWhyTheyCannotOpen) {
    StoreListSource missing(QStringLiteral("elsewhere.db"));
    StoreError error;
    EXPECT_FALSE(missing.openLists(&error));
    EXPECT_EQ(StoreErrorText(error), QStringLiteral("Word-list database \"%1\": file not found.")
                                         .arg(QDir::current().absoluteFilePath("elsewhere.db")));

    ASSERT_EQ(Exec("DROP INDEX \"Alpha\";"), SQLITE_OK);
    StoreListSource noIndex(DefaultDatabasePath());
    EXPECT_FALSE(noIndex.openLists(&error));
    EXPECT_EQ(error.kind, StoreError::Kind::NoIndex);
    EXPECT_EQ(error.index, QStringLiteral("Alpha"));
}

}  // namespace
}  // namespace quillet
