#include "EditorTestSupport.h"

#include "wordlists/DefaultWordLists.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <QFile>

namespace quillet::test {

namespace {

// Fills a list in one transaction, so that long lists are made quickly.
void Replace(sqlite3* db, const ListSchema& schema, const QStringList& entries) {
    auto exec = [db](const QString& sql) {
        ASSERT_EQ(sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
    };
    exec(QStringLiteral("BEGIN"));
    exec(QStringLiteral("DELETE FROM \"%1\"").arg(schema.table));
    sqlite3_stmt* insert = nullptr;
    const QByteArray sql = QStringLiteral("INSERT INTO \"%1\" (\"%2\") VALUES (?1)")
                               .arg(schema.table, schema.field)
                               .toUtf8();
    ASSERT_EQ(sqlite3_prepare_v2(db, sql.constData(), -1, &insert, nullptr), SQLITE_OK);
    for (const QString& entry : entries) {
        const QByteArray text = entry.toUtf8();
        sqlite3_bind_text(insert, 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE) << entry.toStdString();
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    exec(QStringLiteral("COMMIT"));
}

}  // namespace

ListFolder::ListFolder(const QStringList& skip, const QStringList& include) {
    StoreError error;
    EXPECT_TRUE(CreateWordListDatabase(databasePath(), &error)) << error.message.toStdString();
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(QFile::encodeName(databasePath()).constData(), &db), SQLITE_OK);
    Replace(db, SkipListSchema(), skip);
    Replace(db, IncludeListSchema(), include);
    sqlite3_close(db);
}

ListFolder::~ListFolder() = default;

QStringList ListFolder::Stored(const ListSchema& schema) const {
    StoreError error;
    auto db = WordListDatabase::Open(databasePath(), &error);
    if (!db) return {QStringLiteral("<store failed: %1>").arg(error.message)};
    auto table = db->OpenTable(schema, &error);
    if (!table || !table->SetIndex(schema.index, &error)) return {error.message};
    return table->Walk(&error).value_or(QStringList{error.message});
}

}  // namespace quillet::test
