// SPDX-License-Identifier: GPL-3.0-or-later
#include "wordlists/WordListStore.h"

#include "documents/FileNames.h"
#include "wordlists/SqliteSupport.h"

#include <QFileInfo>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace quillet {

namespace {

using Kind = StoreError::Kind;
using Step = StoreError::Step;

QByteArray Sql(const QString& text) {
    return text.toUtf8();
}

/// The names that a table-valued pragma (table_info, index_list, index_info) gives for
/// `object`; nullopt when the store failed.
std::optional<QStringList> PragmaNames(sqlite3* db, const char* pragma, const QString& object) {
    const QByteArray sql = QByteArray("SELECT name FROM pragma_") + pragma + "(?1)";
    Statement query(db, sql.constData());
    if (!query.ok() || BindText(query.get(), 1, object) != SQLITE_OK) return std::nullopt;
    QStringList names;
    int rc;
    while ((rc = sqlite3_step(query.get())) == SQLITE_ROW) names << ColumnText(query.get(), 0);
    if (rc != SQLITE_DONE) return std::nullopt;
    return names;
}

/// Looks for an entry equal to `entry` by the entry field's comparison: SQLITE_ROW with
/// `*listed` set when there is one, SQLITE_DONE when there is none, else the failure.
int FindListed(sqlite3* db, const ListSchema& schema, const QString& entry, QString* listed) {
    const QByteArray sql = Sql(QStringLiteral("SELECT %2 FROM %1 WHERE %2 = ?1")
                                   .arg(Quoted(schema.table), Quoted(schema.field)));
    Statement lookup(db, sql.constData());
    const int rc = lookup.ok() && BindText(lookup.get(), 1, entry) == SQLITE_OK
                       ? sqlite3_step(lookup.get())
                       : sqlite3_errcode(db);
    if (rc == SQLITE_ROW) *listed = ColumnText(lookup.get(), 0);
    return rc;
}

/// An error of `kind` in `file` that names `schema`'s list, table, field and index.
StoreError SchemaError(const QString& file, const ListSchema& schema, Kind kind,
                       QStringList found = {}) {
    return StoreError{.kind = kind,
                      .file = file,
                      .list = schema.description,
                      .table = schema.table,
                      .field = schema.field,
                      .index = schema.index,
                      .found = std::move(found)};
}

/// Whether `names` holds `name` as SQLite compares identifiers (ASCII letters in any case).
bool HoldsName(const QStringList& names, const QString& name) {
    return names.contains(name, Qt::CaseInsensitive);
}

/// `value` in upper-case hexadecimal digits, at least `digits` of them.
QString Hex(uint value, int digits) {
    return QString::number(value, 16).toUpper().rightJustified(digits, u'0');
}

/// Runs one statement that returns no rows; SQLite's result code.
int Execute(sqlite3* db, const char* sql) {
    Statement statement(db, sql);
    return statement.ok() ? sqlite3_step(statement.get()) : sqlite3_errcode(db);
}

}  // namespace

QStringView TrimSpaces(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ') ++begin;
    while (end > begin && text[end - 1] == u' ') --end;
    return text.sliced(begin, end - begin);
}

QString EntryFault(QStringView entry) {
    for (qsizetype i = 0; i < entry.size(); ++i) {
        const char16_t unit = entry[i].unicode();
        if (unit < 0x20 || (unit >= 0x7f && unit < 0xa0)) {
            return QStringLiteral("it holds the control character U+%1").arg(Hex(unit, 4));
        }
        if (QChar::isHighSurrogate(unit) && i + 1 < entry.size() &&
            QChar::isLowSurrogate(entry[i + 1].unicode())) {
            ++i;
        } else if (unit >= 0xdc80 && unit <= 0xdcff) {
            // A byte that was not UTF-8, kept as DecodeFileName keeps it.
            return QStringLiteral("it holds the byte 0x%1, which is not UTF-8")
                .arg(Hex(unit - 0xdc00, 2));
        } else if (QChar::isSurrogate(unit)) {
            return QStringLiteral("it holds half of a surrogate pair (U+%1)").arg(Hex(unit, 4));
        }
    }
    return QString();
}

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

std::unique_ptr<WordListDatabase> WordListDatabase::Open(const QString& path, StoreError* error,
                                                         LockWait wait) {
    const QString absolute = AbsoluteFileName(path);
    const QByteArray name = EncodeFileName(absolute);
    auto fail = [&](Kind kind, const QString& reason = QString()) {
        if (error) *error = StoreError{.kind = kind, .file = absolute, .reason = reason};
        return nullptr;
    };
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX;
#ifdef Q_OS_UNIX
    struct stat info {};
    if (::stat(name.constData(), &info) != 0) {
        return errno == ENOENT ? fail(Kind::Missing)
                               : fail(Kind::Unreadable, qt_error_string(errno));
    }
    if (S_ISDIR(info.st_mode)) return fail(Kind::Folder);
    const bool readOnly = !(info.st_mode & S_IWUSR);
#else
    const QFileInfo info(absolute);
    if (!info.exists()) return fail(Kind::Missing);
    if (info.isDir()) return fail(Kind::Folder);
    const bool readOnly = !(info.permissions() & QFileDevice::WriteOwner);
#endif
    // A file marked read-only is opened for reading only, so that no change goes into it
    // even for a user that the system would let write it, as with the pages.
    if (readOnly) flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX;

    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(name.constData(), &db, flags, nullptr);
    auto connection = std::make_shared<Connection>(db, absolute);
    if (rc != SQLITE_OK) {
        if (error) *error = connection->LastError(Step::Opening);
        return nullptr;
    }
    connection->SetLockWait(std::move(wait));
    sqlite3_extended_result_codes(db, 1);
    // A double-quoted name that names no column must be an error, never a string.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);

    // Opening reads nothing; read the schema now so that a file that is not a database,
    // or one that another program holds locked, is reported here and not at first use.
    Statement probe(db, "SELECT count(*) FROM sqlite_master");
    const int step = probe.ok() ? sqlite3_step(probe.get()) : sqlite3_errcode(db);
    if (step != SQLITE_ROW) {
        if (error) *error = connection->LastError(Step::Opening);
        return nullptr;
    }
    return std::unique_ptr<WordListDatabase>(new WordListDatabase(std::move(connection)));
}

bool WordListDatabase::Begin(StoreError* error) {
    // IMMEDIATE takes the write lock at once: a change that began by reading could not
    // wait for another writer without holding up that writer in turn.
    if (Execute(connection_->db(), "BEGIN IMMEDIATE") == SQLITE_DONE) return true;
    if (error) *error = connection_->LastError(Step::Storing);
    return false;
}

bool WordListDatabase::Commit(StoreError* error) {
    sqlite3* db = connection_->db();
    if (Execute(db, "COMMIT") == SQLITE_DONE) return true;
    if (error) *error = connection_->LastError(Step::Storing);
    // A commit that failed (readers held the file too long, the disk is full) leaves the
    // change open; it is dropped, so that nothing of it is stored.
    Rollback();
    return false;
}

void WordListDatabase::Rollback() {
    sqlite3* db = connection_->db();
    if (!sqlite3_get_autocommit(db)) Execute(db, "ROLLBACK");
}

std::unique_ptr<WordListTable> WordListDatabase::OpenTable(const ListSchema& schema,
                                                           StoreError* error) {
    // The table must have the entry field; statements are built only after this check.
    const std::optional<QStringList> fields =
        PragmaNames(connection_->db(), "table_info", schema.table);
    if (!fields) {
        if (error) *error = connection_->LastError(Step::ReadingTables);
        return nullptr;
    }
    if (fields->isEmpty() || !HoldsName(*fields, schema.field)) {
        if (error) {
            *error = fields->isEmpty() ? SchemaError(path(), schema, Kind::NoTable)
                                       : SchemaError(path(), schema, Kind::NoField, *fields);
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

bool WordListTable::SetIndex(StoreError* error) {
    Finalize();
    hasCurrent_ = false;
    auto fail = [&](Kind kind, QStringList found = {}) {
        Finalize();
        if (error) *error = SchemaError(connection_->path(), schema_, kind, std::move(found));
        return false;
    };
    // The index must be the table's, and on the entry field alone.
    sqlite3* db = connection_->db();
    const std::optional<QStringList> indexes = PragmaNames(db, "index_list", schema_.table);
    const std::optional<QStringList> columns = PragmaNames(db, "index_info", schema_.index);
    if (!indexes || !columns) {
        if (error) *error = connection_->LastError(Step::ReadingIndexes);
        return false;
    }
    if (!HoldsName(*indexes, schema_.index)) return fail(Kind::NoIndex);
    if (columns->size() != 1 || columns->first().compare(schema_.field, Qt::CaseInsensitive) != 0) {
        return fail(Kind::IndexOnOtherFields, *columns);
    }
    // INDEXED BY makes the statement fail to prepare unless the named index can answer
    // the comparison itself, so a seek is never a scan of the table.
    const QByteArray sql =
        Sql(QStringLiteral("SELECT rowid FROM %1 INDEXED BY %2 WHERE %3 = ?1")
                .arg(Quoted(schema_.table), Quoted(schema_.index), Quoted(schema_.field)));
    if (sqlite3_prepare_v3(db, sql.constData(), -1, SQLITE_PREPARE_PERSISTENT, &seek_, nullptr) !=
        SQLITE_OK) {
        return fail(Kind::IndexUnusable);
    }
    return true;
}

std::optional<bool> WordListTable::Seek(QStringView key, StoreError* error) {
    if (!seek_) {
        if (error) *error = StoreError{.kind = Kind::NoIndexSelected, .file = connection_->path()};
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
        *error = connection_->LastError(Step::LookingUp);
    }
    hasCurrent_ = found.value_or(false);
    // Resetting ends the statement's read, so no lock is held between lookups.
    sqlite3_reset(seek_);
    sqlite3_clear_bindings(seek_);
    return found;
}

std::optional<qint32> WordListTable::RecordCount(StoreError* error) {
    const QByteArray sql =
        Sql(QStringLiteral("SELECT count(*) FROM %1").arg(Quoted(schema_.table)));
    Statement count(connection_->db(), sql.constData());
    if (count.ok() && sqlite3_step(count.get()) == SQLITE_ROW) {
        return qint32(sqlite3_column_int64(count.get(), 0));
    }
    if (error) *error = connection_->LastError(Step::Counting);
    return std::nullopt;
}

std::optional<QStringList> WordListTable::Walk(StoreError* error) {
    if (!seek_) {
        if (error) *error = StoreError{.kind = Kind::NoIndexSelected, .file = connection_->path()};
        return std::nullopt;
    }
    return ReadEntries(
        Sql(QStringLiteral("SELECT %3 FROM %1 INDEXED BY %2 ORDER BY %3")
                .arg(Quoted(schema_.table), Quoted(schema_.index), Quoted(schema_.field))),
        error);
}

std::optional<QStringList> WordListTable::ReadEntries(const QByteArray& sql, StoreError* error) {
    Statement walk(connection_->db(), sql.constData());
    QStringList entries;
    int rc = walk.ok() ? sqlite3_step(walk.get()) : sqlite3_errcode(connection_->db());
    while (rc == SQLITE_ROW) {
        entries.append(ColumnText(walk.get(), 0));
        rc = sqlite3_step(walk.get());
    }
    if (rc != SQLITE_DONE) {
        if (error) *error = connection_->LastError(Step::ReadingEntries);
        return std::nullopt;
    }
    return entries;
}

std::optional<QStringList> WordListTable::TextEntries(QString* collation, StoreError* error) {
    if (!seek_) {
        if (error) *error = StoreError{.kind = Kind::NoIndexSelected, .file = connection_->path()};
        return std::nullopt;
    }
    // The seek compares by the index's collation, which SetIndex found usable for it.
    Statement comparison(connection_->db(),
                         "SELECT coll FROM pragma_index_xinfo(?1) WHERE key = 1 AND cid >= 0");
    if (!comparison.ok() || BindText(comparison.get(), 1, schema_.index) != SQLITE_OK ||
        sqlite3_step(comparison.get()) != SQLITE_ROW) {
        if (error) *error = connection_->LastError(Step::ReadingIndexes);
        return std::nullopt;
    }
    *collation = ColumnText(comparison.get(), 0).toUpper();
    return ReadEntries(Sql(QStringLiteral("SELECT %2 FROM %1 WHERE typeof(%2) = 'text'")
                               .arg(Quoted(schema_.table), Quoted(schema_.field))),
                       error);
}

bool WordListTable::Add(const QString& entry, StoreError* error) {
    if (const QString fault = EntryFault(entry); !fault.isEmpty()) {
        if (error) {
            *error = SchemaError(connection_->path(), schema_, Kind::NotText);
            error->step = Step::Adding;
            error->entry = entry;
            error->reason = fault;
        }
        return false;
    }
    sqlite3* db = connection_->db();
    // An equal entry is looked for first, so that it is refused, and named as listed (it
    // may differ in letter case), even where the index would take a second one.
    QString listed;
    const int found = FindListed(db, schema_, entry, &listed);
    if (found == SQLITE_DONE) {
        Statement insert(db, InsertEntrySql(schema_).constData());
        if (insert.ok() && BindText(insert.get(), 1, entry) == SQLITE_OK &&
            sqlite3_step(insert.get()) == SQLITE_DONE) {
            return true;
        }
        // Another program may have added it meanwhile.
        const int code = sqlite3_extended_errcode(db);
        if (code != SQLITE_CONSTRAINT_UNIQUE && code != SQLITE_CONSTRAINT_PRIMARYKEY) {
            if (error) *error = connection_->LastError(Step::Adding);
            return false;
        }
        listed = entry;
    } else if (found != SQLITE_ROW) {
        if (error) *error = connection_->LastError(Step::Adding);
        return false;
    }
    if (error) {
        *error = SchemaError(connection_->path(), schema_, Kind::Duplicate);
        error->entry = entry;
        error->listed = listed;
    }
    return false;
}

bool WordListTable::DeleteCurrent(StoreError* error) {
    if (!hasCurrent_) {
        if (error) *error = StoreError{.kind = Kind::NoCurrentEntry, .file = connection_->path()};
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
    if (error) *error = connection_->LastError(Step::Deleting);
    return false;
}

}  // namespace quillet
