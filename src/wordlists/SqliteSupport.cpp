// SPDX-License-Identifier: GPL-3.0-or-later
#include "wordlists/SqliteSupport.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace quillet {

int BindText(sqlite3_stmt* stmt, int index, QStringView text) {
    // A null pointer would bind SQL NULL, which equals nothing: keep the empty name.
    static const char16_t kEmpty[] = u"";
    const void* data = text.isEmpty() ? static_cast<const void*>(kEmpty) : text.utf16();
    return sqlite3_bind_text16(stmt, index, data, int(text.size() * sizeof(char16_t)),
                               SQLITE_TRANSIENT);
}

QString ColumnText(sqlite3_stmt* stmt, int index) {
    const void* data = sqlite3_column_text16(stmt, index);
    const int bytes = sqlite3_column_bytes16(stmt, index);
    if (!data) return QStringLiteral("");
    return QString(static_cast<const QChar*>(data), bytes / int(sizeof(char16_t)));
}

QString Quoted(const QString& name) {
    return u'"' + name + u'"';
}

QByteArray CreateListSql(const ListSchema& schema) {
    return QStringLiteral(
               "CREATE TABLE %1 (%2 TEXT NOT NULL COLLATE NOCASE);"
               "CREATE UNIQUE INDEX %3 ON %1 (%2 COLLATE NOCASE);")
        .arg(Quoted(schema.table), Quoted(schema.field), Quoted(schema.index))
        .toUtf8();
}

QByteArray InsertEntrySql(const ListSchema& schema) {
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (?1)")
        .arg(Quoted(schema.table), Quoted(schema.field))
        .toUtf8();
}

StoreError ErrorForCode(int code, const QString& path, StoreError::Step step, const char* detail,
                        int systemErrno) {
    using Kind = StoreError::Kind;
    StoreError error{.kind = Kind::Other, .step = step, .file = path};
    switch (code & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            error.kind = Kind::Locked;
            break;
        case SQLITE_NOTADB:
            error.kind = Kind::NotADatabase;
            break;
        case SQLITE_CORRUPT:
            error.kind = Kind::Damaged;
            break;
        case SQLITE_READONLY:
            error.kind = Kind::ReadOnly;
            break;
        case SQLITE_FULL:
            error.kind = Kind::DiskFull;
            break;
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            error.kind = Kind::Unreadable;
            if (systemErrno) error.reason = QString::fromLocal8Bit(std::strerror(systemErrno));
            break;
        default:
            error.reason = QString::fromUtf8(detail ? detail : sqlite3_errstr(code));
            break;
    }
    return error;
}

void Connection::SetLockWait(LockWait wait) {
    wait_ = std::move(wait);
    sqlite3_busy_handler(db_, &Connection::OnBusy, this);
}

int Connection::OnBusy(void* self, int attempts) {
    auto* connection = static_cast<Connection*>(self);
    // SQLite calls this each time a lock it needs is held elsewhere, counting the attempts
    // for that lock from 0. The waits grow as SQLite's own do, so that a short lock is
    // taken soon and a long one costs few wake-ups.
    static constexpr int kSteps[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 100};
    if (attempts == 0) connection->waitedMs_ = 0;
    const qint64 left = connection->wait_.timeoutMs - connection->waitedMs_;
    if (left <= 0) return 0;
    if (!connection->told_ && connection->wait_.waiting) {
        connection->told_ = true;
        connection->wait_.waiting();
    }
    const int step = kSteps[std::min<size_t>(size_t(attempts), std::size(kSteps) - 1)];
    const int ms = int(std::min<qint64>(step, left));
    sqlite3_sleep(ms);
    connection->waitedMs_ += ms;
    return 1;
}

StoreError Connection::LastError(StoreError::Step step) const {
    return ErrorForCode(sqlite3_extended_errcode(db_), path_, step, sqlite3_errmsg(db_),
                        sqlite3_system_errno(db_));
}

}  // namespace quillet
