// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"
#include "frontend/StoreErrorText.h"
#include "wordlists/DefaultWordLists.h"
#include "wordlists/StoreListSource.h"
#include "wordlists/WordListSnapshot.h"
#include "wordlists/WordListStore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <QDir>

namespace quillet {
namespace {

using test::FileBytes;
using test::PutFile;
using test::ScopedWorkingDir;

/// Runs SQL on a connection of its own, as another program would.
int Exec(const char* sql, const char* path = "SkipList.db") {
    sqlite3* db = nullptr;
    sqlite3_open(path, &db);
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return rc;
}

/// A fresh default database in a temporary working folder.
class StoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        StoreError error;
        ASSERT_TRUE(CreateWordListDatabase(DefaultDatabasePath(), &error)) << Text(error);
        db_ = WordListDatabase::Open(DefaultDatabasePath(), &error);
        ASSERT_TRUE(db_) << Text(error);
    }

    /// `schema`'s table with its index selected.
    std::unique_ptr<WordListTable> Table(const ListSchema& schema) {
        StoreError error;
        auto table = db_->OpenTable(schema, &error);
        EXPECT_TRUE(table && table->SetIndex(&error)) << Text(error);
        return table;
    }
    static std::string Text(const StoreError& error) { return StoreErrorText(error).toStdString(); }

    ScopedWorkingDir dir_;
    std::unique_ptr<WordListDatabase> db_;
    StoreError error_;
};

TEST_F(StoreTest, SeekAddAndDeleteWorkOnWholeEntriesWithoutRegardToCase) {
    auto skip = Table(SkipListSchema());
    QStringList sorted = DefaultSkipList();
    std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    EXPECT_EQ(skip->Walk(&error_), sorted);
    EXPECT_EQ(Table(IncludeListSchema())->Walk(&error_)->first(), u"/address");

    ASSERT_TRUE(skip->Add(QStringLiteral("Table"), &error_));
    const struct {
        const char* name;
        QString key;
        bool found;
    } seeks[] = {
        {"lower case", "table", true}, {"upper case", "TABLE", true},
        {"a prefix", "tab", false},    {"longer", "tables", false},
        {"with a /", "br/", true},     {"with a space", "br /", false},
        {"the empty name", "", true},
    };
    for (const auto& s : seeks) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(skip->Seek(s.key, &error_), s.found);
    }
    // The empty name is an entry of its own, which a null text finds too.
    EXPECT_EQ(skip->Seek(QString(), &error_), true);
    ASSERT_TRUE(skip->DeleteCurrent(&error_));
    EXPECT_EQ(skip->Seek(QString(), &error_), false);
    EXPECT_FALSE(skip->DeleteCurrent(&error_));  // a failed seek leaves no current entry
    ASSERT_EQ(skip->Seek(u"span", &error_), true);
    ASSERT_TRUE(skip->DeleteCurrent(&error_));
    EXPECT_EQ(skip->Seek(u"span", &error_), false);
    EXPECT_EQ(skip->Seek(u"strong", &error_), true);
    EXPECT_EQ(skip->RecordCount(&error_), DefaultSkipList().size() - 1);
}

TEST_F(StoreTest, AddRefusesEqualEntriesEvenWhereTheIndexWouldTakeThem) {
    for (const bool caseless : {false, true}) {
        if (caseless) {
            ASSERT_EQ(Exec("DROP INDEX \"Include\"; CREATE INDEX \"Include\" ON \"IncludeList\" "
                           "(\"Include\" COLLATE NOCASE);"),
                      SQLITE_OK);
        }
        auto include = Table(IncludeListSchema());
        for (const QString& entry : {QStringLiteral("/div"), QStringLiteral("/DIV")}) {
            EXPECT_FALSE(include->Add(entry, &error_));
            EXPECT_EQ(error_.kind, StoreError::Kind::Duplicate);
            EXPECT_EQ(error_.listed, QStringLiteral("/div"));
        }
        EXPECT_TRUE(StoreErrorText(error_).contains(
            u"\"/div\", which differs from \"/DIV\" only in letter case"))
            << Text(error_);
        EXPECT_EQ(include->RecordCount(&error_), DefaultIncludeList().size());
    }
}

TEST_F(StoreTest, FilesThatAreNoWordListsAreReportedByNameAndReason) {
    const QString here = QDir::currentPath() + u'/';
    QDir().mkdir(QStringLiteral("folder.db"));
    ASSERT_TRUE(PutFile(QStringLiteral("junk.db"), QByteArray(4096, 'x')));
    const QByteArray real = FileBytes(DefaultDatabasePath());
    ASSERT_TRUE(PutFile(QStringLiteral("cut.db"), real.left(real.size() / 2)));
    const struct {
        const char* name;
        const char* file;
        StoreError::Kind kind;
        const char* reason;
    } cases[] = {
        {"a missing file", "nosuch.db", StoreError::Kind::Missing, "file not found"},
        {"a folder", "folder.db", StoreError::Kind::Folder, ""},
        {"not a database", "junk.db", StoreError::Kind::NotADatabase, ""},
        {"a database cut short", "cut.db", StoreError::Kind::None, ""},  // some kind, some step
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StoreError error;
        auto db = WordListDatabase::Open(QString::fromLatin1(c.file), &error);
        std::unique_ptr<WordListTable> table =
            db ? db->OpenTable(IncludeListSchema(), &error) : nullptr;
        EXPECT_FALSE(table && table->SetIndex(&error) && table->Walk(&error));
        EXPECT_NE(error.kind, StoreError::Kind::None);
        EXPECT_TRUE(c.kind == StoreError::Kind::None || error.kind == c.kind);
        EXPECT_TRUE(StoreErrorText(error).contains(here + QString::fromLatin1(c.file)))
            << Text(error);
        EXPECT_TRUE(StoreErrorText(error).contains(QString::fromLatin1(c.reason))) << Text(error);
    }
    EXPECT_FALSE(QFile::exists(QStringLiteral("nosuch.db")));  // never created
}

TEST(WordListSnapshot, AnswersAsTheStoreDoesByTheIndexsComparison) {
    const struct {
        const char* name;
        const char* collation;
    } cases[] = {
        {"letter case ignored", "NOCASE"}, {"exact", "BINARY"}, {"trailing spaces", "RTRIM"}};
    const QStringList names{"font", "FONT", "b", "b  ", "\u00e9m", "\u00c9m", "", "7", "/td", "x"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedWorkingDir dir;
        const std::string schema =
            std::string("CREATE TABLE Lookup(Reject COLLATE ") + c.collation +
            "); CREATE INDEX Alpha ON Lookup(Reject COLLATE " + c.collation +
            "); CREATE TABLE IncludeList(Include TEXT COLLATE NOCASE);"
            "CREATE INDEX Include ON IncludeList(Include);"
            "INSERT INTO Lookup VALUES ('Font'), ('b '), ('\u00c9M'), (''), (7), (NULL), (x'78');"
            "INSERT INTO IncludeList VALUES ('/TD');";
        ASSERT_EQ(Exec(schema.c_str()), SQLITE_OK);
        StoreError error;
        const auto snapshot = WordListSnapshot::Read(DefaultDatabasePath(), &error);
        ASSERT_TRUE(snapshot) << StoreErrorText(error).toStdString();
        const auto store = StoreListSource(DefaultDatabasePath()).openLists(&error);
        ASSERT_TRUE(store);
        for (const QString& name : names) {
            // Both as a pass asks: the name lower-cased.
            const QString asked = name.toLower();
            EXPECT_EQ(snapshot->inSkipList(asked), store->inSkipList(name).value_or(false))
                << name.toStdString();
            EXPECT_EQ(snapshot->inIncludeList(asked), store->inIncludeList(name).value_or(false))
                << name.toStdString();
        }
    }
    // A file that is no word-list database is refused as the store refuses it.
    ScopedWorkingDir dir;
    ASSERT_TRUE(PutFile(DefaultDatabasePath(), "not a database"));
    StoreError snapshotError;
    StoreError storeError;
    EXPECT_FALSE(WordListSnapshot::Read(DefaultDatabasePath(), &snapshotError));
    EXPECT_FALSE(StoreListSource(DefaultDatabasePath()).openLists(&storeError));
    EXPECT_EQ(StoreErrorText(snapshotError), StoreErrorText(storeError));
}

TEST(StoreSchema, TablesFieldsAndIndexesThatDoNotFitAreRefusedByName) {
    const struct {
        const char* name;
        const char* schema;
        const char* wrong;
    } cases[] = {
        {"no table", "", "the table Lookup is missing"},
        // SQLite would take a double-quoted "Reject" that names no field for a string.
        {"no field of the name",
         "CREATE TABLE Lookup(Wrong TEXT); CREATE INDEX Alpha ON Lookup(Wrong);"
         "INSERT INTO Lookup VALUES('b'), ('');",
         "the table Lookup has no field Reject (its fields: Wrong)"},
        {"an index on another field",
         "CREATE TABLE Lookup(Reject TEXT, Other TEXT); CREATE INDEX Alpha ON Lookup(Other);",
         "the index Alpha of the table Lookup is on Other, not on the field Reject alone"},
        {"an index on two fields",
         "CREATE TABLE Lookup(Reject TEXT, Other TEXT); CREATE INDEX Alpha ON Lookup(Reject, "
         "Other);",
         "the index Alpha of the table Lookup is on Reject, Other, not on the field Reject alone"},
        {"the index on another table",
         "CREATE TABLE Lookup(Reject TEXT); CREATE TABLE T(Reject TEXT);"
         "CREATE INDEX Alpha ON T(Reject);",
         "the table Lookup has no index Alpha"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The default database with another table Lookup.
        ScopedWorkingDir dir;
        StoreError error;
        ASSERT_TRUE(CreateWordListDatabase(DefaultDatabasePath(), &error));
        ASSERT_EQ(Exec(("DROP TABLE Lookup;" + std::string(c.schema)).c_str()), SQLITE_OK);
        const QString expected = QStringLiteral("Word-list database \"%1\": %2.")
                                     .arg(dir.file(DefaultDatabasePath()), c.wrong);
        auto db = WordListDatabase::Open(DefaultDatabasePath(), &error);
        ASSERT_TRUE(db) << StoreErrorText(error).toStdString();
        auto table = db->OpenTable(SkipListSchema(), &error);
        EXPECT_FALSE(table && table->SetIndex(&error)) << c.schema;
        EXPECT_EQ(StoreErrorText(error), expected);
        // A Fix File pass is refused the same way.
        EXPECT_FALSE(StoreListSource(DefaultDatabasePath()).openLists(&error));
        EXPECT_EQ(StoreErrorText(error), expected);
    }
}

TEST_F(StoreTest, ALockedOrReadOnlyFileIsReportedAndNeverChanged) {
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open("SkipList.db", &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    // The wait is cut short here; the one who waits is told once.
    int told = 0;
    const LockWait wait{.timeoutMs = 1, .waiting = [&told] { ++told; }};
    EXPECT_FALSE(WordListDatabase::Open(DefaultDatabasePath(), &error_, wait));
    EXPECT_EQ(error_.kind, StoreError::Kind::Locked);
    EXPECT_EQ(told, 1);
    EXPECT_TRUE(StoreErrorText(error_).contains(u"locked")) << Text(error_);
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    // Whoever runs the program, the superuser too.
    db_.reset();
    ASSERT_EQ(chmod("SkipList.db", 0444), 0);
    db_ = WordListDatabase::Open(DefaultDatabasePath(), &error_);
    ASSERT_TRUE(db_) << Text(error_);
    auto skip = Table(SkipListSchema());
    EXPECT_EQ(skip->Seek(u"b", &error_), true);
    EXPECT_FALSE(skip->DeleteCurrent(&error_));
    EXPECT_EQ(error_.kind, StoreError::Kind::ReadOnly);
    EXPECT_FALSE(skip->Add(QStringLiteral("blink2"), &error_));
    EXPECT_EQ(error_.kind, StoreError::Kind::ReadOnly);
    EXPECT_EQ(skip->Seek(u"b", &error_), true);
}

TEST_F(StoreTest, AChangeOfSeveralEntriesIsStoredWholeOrNotAtAll) {
    auto skip = Table(SkipListSchema());
    const qint32 before = *skip->RecordCount(&error_);
    ASSERT_TRUE(db_->Begin(&error_)) << Text(error_);
    ASSERT_TRUE(skip->Add(QStringLiteral("one"), &error_));
    ASSERT_TRUE(skip->Add(QStringLiteral("two"), &error_));
    EXPECT_FALSE(skip->Add(QStringLiteral("ONE"), &error_));  // seen within the change
    db_->Rollback();
    EXPECT_EQ(skip->RecordCount(&error_), before);

    // Another program waits for the change, and then finds it whole.
    ASSERT_TRUE(db_->Begin(&error_)) << Text(error_);
    ASSERT_TRUE(skip->Add(QStringLiteral("one"), &error_));
    StoreError otherError;
    auto other = WordListDatabase::Open(DefaultDatabasePath(), &otherError, {.timeoutMs = 1});
    ASSERT_TRUE(other) << Text(otherError);
    EXPECT_FALSE(other->Begin(&otherError));
    EXPECT_EQ(otherError.kind, StoreError::Kind::Locked);
    EXPECT_TRUE(StoreErrorText(otherError).contains(u"storing the changes")) << Text(otherError);
    ASSERT_TRUE(skip->Add(QStringLiteral("two"), &error_));
    ASSERT_TRUE(db_->Commit(&error_)) << Text(error_);
    auto otherSkip = other->OpenTable(SkipListSchema(), &otherError);
    ASSERT_TRUE(otherSkip);
    EXPECT_EQ(otherSkip->RecordCount(&otherError), before + 2);

    // A commit that cannot take the file from a reader drops the change.
    skip.reset();
    db_ = WordListDatabase::Open(DefaultDatabasePath(), &error_, {.timeoutMs = 1});
    skip = Table(SkipListSchema());
    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open("SkipList.db", &reader), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM Lookup;", nullptr, nullptr, nullptr),
        SQLITE_OK);
    ASSERT_TRUE(db_->Begin(&error_)) << Text(error_);
    ASSERT_TRUE(skip->Add(QStringLiteral("four"), &error_));
    EXPECT_FALSE(db_->Commit(&error_));
    EXPECT_EQ(error_.kind, StoreError::Kind::Locked);
    sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(reader);
    EXPECT_EQ(skip->RecordCount(&error_), before + 2);
    EXPECT_EQ(skip->Seek(u"four", &error_), false);
}

TEST_F(StoreTest, EntriesThatAreNoTextAreRefused) {
    const struct {
        const char* name;
        QString entry;
        const char* fault;  // empty: stored
    } cases[] = {
        {"a tag name", QStringLiteral("blink/"), ""},
        {"letters beyond ASCII and a pair", QStringLiteral("caf\u00e9\U0001F600"), ""},
        {"a line feed", QStringLiteral("a\nb"), "it holds the control character U+000A"},
        {"a tab", QStringLiteral("a\tb"), "it holds the control character U+0009"},
        {"delete", QStringLiteral("x\u007f"), "it holds the control character U+007F"},
        {"a C1 control", QStringLiteral("x\u0085"), "it holds the control character U+0085"},
        {"a byte that is not UTF-8", QString::fromUtf16(u"caf\xdce9"),
         "it holds the byte 0xE9, which is not UTF-8"},
        {"half a pair", QString::fromUtf16(u"a\xd800"),
         "it holds half of a surrogate pair (U+D800)"},
    };
    auto skip = Table(SkipListSchema());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EntryFault(c.entry), QString::fromUtf8(c.fault));
        EXPECT_EQ(skip->Add(c.entry, &error_), !*c.fault);
        if (*c.fault) {
            EXPECT_EQ(error_.kind, StoreError::Kind::NotText);
            EXPECT_TRUE(Text(error_).ends_with(std::string("adding an entry: the entry cannot be "
                                                           "stored, as ") +
                                               c.fault + "."))
                << Text(error_);
            EXPECT_EQ(skip->Seek(c.entry, &error_), false);
        }
    }
}

TEST_F(StoreTest, CreationRefusesAnExistingFileAndLeavesNoTemporaryFile) {
    const QByteArray before = FileBytes(DefaultDatabasePath());
    EXPECT_FALSE(CreateWordListDatabase(DefaultDatabasePath(), &error_));
    EXPECT_TRUE(StoreErrorText(error_).contains(u"exists already"));
    EXPECT_EQ(FileBytes(DefaultDatabasePath()), before);
    EXPECT_FALSE(CreateWordListDatabase(QStringLiteral("no/such/folder/x.db"), &error_));
    EXPECT_EQ(QDir::current().entryList(QDir::Files | QDir::Hidden),
              QStringList{DefaultDatabasePath()});

    // A new database gets the usual permissions of a new file.
    const mode_t previous = umask(027);
    EXPECT_TRUE(CreateWordListDatabase(QStringLiteral("other.db"), &error_));
    umask(previous);
    struct stat info {};
    ASSERT_EQ(stat("other.db", &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

}  // namespace
}  // namespace quillet
