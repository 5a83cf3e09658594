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

    /// A StoreError for the last failure on this connection, naming the file.
    StoreError LastError(const QString& doing) const;

  private:
    sqlite3* db_;
    QString path_;
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

/// A sentence naming the database and the reason.
QString StoreMessage(const QString& path, const QString& reason);

/// The error kind and reason for an SQLite result code.
StoreError ErrorForCode(int code, const QString& path, const QString& doing, const char* detail,
                        int systemErrno);

}  // namespace quillet
