// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "wordlists/WordListStore.h"

#include <sqlite3.h>
#include <QString>
#include <QStringView>

namespace quillet {

/// An open SQLite handle with the path it was opened from; closed with the last owner.
class Connection {
  public:
    Connection(sqlite3* db, QString path) : db_(db), path_(std::move(path)) {}
    ~Connection() { sqlite3_close_v2(db_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* db() const { return db_; }
    const QString& path() const { return path_; }

    /// Waits for another program's lock as `wait` says: up to its time, telling its
    /// `waiting` once, when the first wait begins.
    void SetLockWait(LockWait wait);

    /// The error of the last failure on this connection, at `step`.
    StoreError LastError(StoreError::Step step) const;

  private:
    static int OnBusy(void* self, int attempts);

    sqlite3* db_;
    QString path_;
    LockWait wait_;
    bool told_ = false;
    qint64 waitedMs_ = 0;  // in the present wait for a lock
};

/// A prepared statement, finalized when it goes out of scope.
class Statement {
  public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    sqlite3_stmt* get() const { return stmt_; }

  private:
    sqlite3_stmt* stmt_ = nullptr;
};

/// Binds `text` as a text parameter: an empty text binds as "", never as NULL.
int BindText(sqlite3_stmt* stmt, int index, QStringView text);

/// Column `index` of the current row as text.
QString ColumnText(sqlite3_stmt* stmt, int index);

/// `name` in double quotes, as SQL names a table, field or index.
QString Quoted(const QString& name);

/// The statements that create `schema`'s table and its index: entries are text, and
/// unique whatever their letter case.
QByteArray CreateListSql(const ListSchema& schema);
/// The statement that adds an entry (?1) to `schema`'s table.
QByteArray InsertEntrySql(const ListSchema& schema);

/// The error for an SQLite result code at `step`: its kind, and the system's or SQLite's
/// reason where the kind does not say it all.
StoreError ErrorForCode(int code, const QString& path, StoreError::Step step, const char* detail,
                        int systemErrno);

}  // namespace quillet
