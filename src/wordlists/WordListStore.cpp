#include "wordlists/WordListStore.h"

#include "wordlists/SqliteSupport.h"

#include <QDir>
#include <QFileInfo>

namespace quillet {

namespace {

/// How long an open or a lookup waits for another program's lock before it fails.
constexpr int kBusyTimeoutMs = 2000;

QByteArray Sql(const QString& text) {
    return text.toUtf8();
}

QString Quoted(const QString& name) {
    return u'"' + name + u'"';
}

}  // namespace

const ListSchema& SkipListSchema() {
    static const ListSchema schema{QStringLiteral("Lookup"), QStringLiteral("Reject"),
                                   QStringLiteral("Alpha"), QStringLiteral("skip list")};
    return schema;
}

const ListSchema& IncludeListSchema() {
    static const ListSchema schema{QStringLiteral("IncludeList"), QStringLiteral("Include"),
                                   QStringLiteral("Include"), QStringLiteral("include list")};
    return schema;
}

// ---------------------------------------------------------------------------------------

WordListDatabase::WordListDatabase(std::shared_ptr<Connection> connection)
    : connection_(std::move(connection)) {}

WordListDatabase::~WordListDatabase() = default;

const QString& WordListDatabase::path() const {
    return connection_->path();
}

std::unique_ptr<WordListDatabase> WordListDatabase::Open(const QString& path, StoreError* error) {
    const QFileInfo info(path);
    const QString absolute = info.absoluteFilePath();
    auto fail = [&](StoreError::Kind kind, const QString& reason) {
        if (error) *error = StoreError{kind, StoreMessage(absolute, reason)};
        return nullptr;
    };
    if (!info.exists()) return fail(StoreError::Kind::Missing, QStringLiteral("file not found"));
    if (info.isDir()) return fail(StoreError::Kind::Unreadable, QStringLiteral("it is a folder"));

    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(absolute).constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
    auto connection = std::make_shared<Connection>(db, absolute);
    if (rc != SQLITE_OK) {
        if (error) *error = connection->LastError(QString());
        return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db, 1);

    // Opening reads nothing; read the schema now so that a file that is not a database,
    // or one that another program holds locked, is reported here and not at first use.
    Statement probe(db, "SELECT count(*) FROM sqlite_master");
    const int step = probe.ok() ? sqlite3_step(probe.get()) : sqlite3_errcode(db);
    if (step != SQLITE_ROW) {
        if (error) *error = connection->LastError(QString());
        return nullptr;
    }
    return std::unique_ptr<WordListDatabase>(new WordListDatabase(std::move(connection)));
}

std::unique_ptr<WordListTable> WordListDatabase::OpenTable(const ListSchema& schema,
                                                           StoreError* error) {
    const QByteArray sql = Sql(QStringLiteral("SELECT %1 FROM %2 LIMIT 0")
                                   .arg(Quoted(schema.field), Quoted(schema.table)));
    Statement check(connection_->db(), sql.constData());
    if (!check.ok()) {
        if (error) {
            const int code = sqlite3_errcode(connection_->db());
            if ((code & 0xff) == SQLITE_ERROR) {
                *error =
                    StoreError{StoreError::Kind::MissingSchema,
                               StoreMessage(path(), QStringLiteral("the table %1 with its field %2 "
                                                                   "is missing")
                                                        .arg(schema.table, schema.field))};
            } else {
                *error = connection_->LastError(QString());
            }
        }
        return nullptr;
    }
    return std::unique_ptr<WordListTable>(new WordListTable(connection_, schema));
}

// ---------------------------------------------------------------------------------------

WordListTable::WordListTable(std::shared_ptr<Connection> connection, const ListSchema& schema)
    : connection_(std::move(connection)), schema_(schema) {}

WordListTable::~WordListTable() {
    Finalize();
}

void WordListTable::Finalize() {
    sqlite3_finalize(seek_);
    seek_ = nullptr;
}

bool WordListTable::SetIndex(const QString& index, StoreError* error) {
    Finalize();
    hasCurrent_ = false;
    // INDEXED BY makes the statement fail to prepare unless the named index can answer
    // the comparison itself, so a seek is never a scan of the table.
    const QByteArray sql =
        Sql(QStringLiteral("SELECT rowid FROM %1 INDEXED BY %2 WHERE %3 = ?1")
                .arg(Quoted(schema_.table), Quoted(index), Quoted(schema_.field)));
    if (index != schema_.index ||
        sqlite3_prepare_v3(connection_->db(), sql.constData(), -1, SQLITE_PREPARE_PERSISTENT,
                           &seek_, nullptr) != SQLITE_OK) {
        Finalize();
        if (error) {
            *error = StoreError{StoreError::Kind::MissingSchema,
                                StoreMessage(connection_->path(),
                                             QStringLiteral("the index %1 on %2 (%3) is missing or "
                                                            "cannot serve lookups")
                                                 .arg(index, schema_.table, schema_.field))};
        }
        return false;
    }
    return true;
}

std::optional<bool> WordListTable::Seek(QStringView key, StoreError* error) {
    if (!seek_) {
        if (error) {
            *error =
                StoreError{StoreError::Kind::Other,
                           StoreMessage(connection_->path(), QStringLiteral("no index selected"))};
        }
        return std::nullopt;
    }
    BindText(seek_, 1, key);
    const int rc = sqlite3_step(seek_);
    std::optional<bool> found;
    if (rc == SQLITE_ROW) {
        currentRow_ = sqlite3_column_int64(seek_, 0);
        found = true;
    } else if (rc == SQLITE_DONE) {
        found = false;
    } else if (error) {
        *error = connection_->LastError(QStringLiteral("looking up an entry"));
    }
    hasCurrent_ = found.value_or(false);
    // Resetting ends the statement's read, so no lock is held between lookups.
    sqlite3_reset(seek_);
    sqlite3_clear_bindings(seek_);
    return found;
}

QString WordListTable::SeekPlan() const {
    if (!seek_) return QString();
    const QByteArray sql = QByteArray("EXPLAIN QUERY PLAN ") + sqlite3_sql(seek_);
    Statement plan(connection_->db(), sql.constData());
    QStringList details;
    while (plan.ok() && sqlite3_step(plan.get()) == SQLITE_ROW)
        details << ColumnText(plan.get(), 3);
    return details.join(u'\n');
}

std::optional<qint32> WordListTable::RecordCount(StoreError* error) {
    const QByteArray sql =
        Sql(QStringLiteral("SELECT count(*) FROM %1").arg(Quoted(schema_.table)));
    Statement count(connection_->db(), sql.constData());
    if (count.ok() && sqlite3_step(count.get()) == SQLITE_ROW) {
        return qint32(sqlite3_column_int64(count.get(), 0));
    }
    if (error) *error = connection_->LastError(QStringLiteral("counting the entries"));
    return std::nullopt;
}

std::optional<QStringList> WordListTable::Walk(StoreError* error) {
    if (!seek_) {
        if (error) {
            *error =
                StoreError{StoreError::Kind::Other,
                           StoreMessage(connection_->path(), QStringLiteral("no index selected"))};
        }
        return std::nullopt;
    }
    const QByteArray sql =
        Sql(QStringLiteral("SELECT %3 FROM %1 INDEXED BY %2 ORDER BY %3")
                .arg(Quoted(schema_.table), Quoted(schema_.index), Quoted(schema_.field)));
    Statement walk(connection_->db(), sql.constData());
    QStringList entries;
    int rc = walk.ok() ? sqlite3_step(walk.get()) : sqlite3_errcode(connection_->db());
    while (rc == SQLITE_ROW) {
        entries.append(ColumnText(walk.get(), 0));
        rc = sqlite3_step(walk.get());
    }
    if (rc != SQLITE_DONE) {
        if (error) *error = connection_->LastError(QStringLiteral("reading the entries"));
        return std::nullopt;
    }
    return entries;
}

bool WordListTable::Add(const QString& entry, StoreError* error) {
    const QByteArray sql = Sql(QStringLiteral("INSERT INTO %1 (%2) VALUES (?1)")
                                   .arg(Quoted(schema_.table), Quoted(schema_.field)));
    Statement insert(connection_->db(), sql.constData());
    if (insert.ok()) {
        BindText(insert.get(), 1, entry);
        if (sqlite3_step(insert.get()) == SQLITE_DONE) return true;
    }
    const int code = sqlite3_extended_errcode(connection_->db());
    if (code == SQLITE_CONSTRAINT_UNIQUE || code == SQLITE_CONSTRAINT_PRIMARYKEY) {
        if (error) {
            // Name the listed entry: it may differ from the new one in letter case.
            QString listed = entry;
            const QByteArray find = Sql(QStringLiteral("SELECT %2 FROM %1 WHERE %2 = ?1")
                                            .arg(Quoted(schema_.table), Quoted(schema_.field)));
            Statement lookup(connection_->db(), find.constData());
            if (lookup.ok() && BindText(lookup.get(), 1, entry) == SQLITE_OK &&
                sqlite3_step(lookup.get()) == SQLITE_ROW) {
                listed = ColumnText(lookup.get(), 0);
            }
            const QString reason =
                listed == entry
                    ? QStringLiteral("the %1 already holds \"%2\"").arg(schema_.description, listed)
                    : QStringLiteral(
                          "the %1 already holds \"%2\", which differs from \"%3\" only "
                          "in letter case")
                          .arg(schema_.description, listed, entry);
            *error =
                StoreError{StoreError::Kind::Duplicate, StoreMessage(connection_->path(), reason)};
        }
        return false;
    }
    if (error) *error = connection_->LastError(QStringLiteral("adding an entry"));
    return false;
}

bool WordListTable::DeleteCurrent(StoreError* error) {
    if (!hasCurrent_) {
        if (error) {
            *error =
                StoreError{StoreError::Kind::Other,
                           StoreMessage(connection_->path(), QStringLiteral("no entry to delete"))};
        }
        return false;
    }
    const QByteArray sql =
        Sql(QStringLiteral("DELETE FROM %1 WHERE rowid = ?1").arg(Quoted(schema_.table)));
    Statement remove(connection_->db(), sql.constData());
    if (remove.ok() && sqlite3_bind_int64(remove.get(), 1, currentRow_) == SQLITE_OK &&
        sqlite3_step(remove.get()) == SQLITE_DONE) {
        hasCurrent_ = false;
        return true;
    }
    if (error) *error = connection_->LastError(QStringLiteral("deleting an entry"));
    return false;
}

}  // namespace quillet
