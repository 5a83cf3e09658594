// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/StoreError.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>
#include <memory>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

namespace quillet {

/// The file the program opens its lists from, relative to the working directory.
inline QString DefaultDatabasePath() {
    return QStringLiteral("SkipList.db");
}

/// The names of one list's table, entry field and index.
struct ListSchema {
    QString table;
    QString field;
    QString index;
    QString description;  ///< "skip list" or "include list"
};
const ListSchema& SkipListSchema();
const ListSchema& IncludeListSchema();

/// Why `entry` cannot be stored as an entry, or empty when it can: an entry is text, so
/// it holds no control character (U+0000-U+001F, U+007F-U+009F) and no surrogate that is
/// not half of a pair (which is how a byte that is not UTF-8 reaches the program in a
/// command's arguments, see DecodeFileName). The reason reads "it holds ...".
QString EntryFault(QStringView entry);

/// `text` without its leading and trailing space characters (U+0020 only): an entry as
/// the list editors and the batch tool take it from what the user typed.
QStringView TrimSpaces(QStringView text);

/// How long the store waits for a lock that another program (another Quillet, say) holds on
/// the database before it fails with StoreError::Kind::Locked, and whom it tells that it
/// waits.
struct LockWait {
    static constexpr int kDefaultMs = 2000;
    int timeoutMs = kDefaultMs;
    /// Called once on the connection, when its first wait begins.
    std::function<void()> waiting{};
};

class Connection;
class WordListTable;

/// One connection to the word-list database, opened shared for reading and writing (for
/// reading only when the file is marked read-only). The file is never created here; it
/// must exist with its tables and indexes.
class WordListDatabase {
  public:
    static std::unique_ptr<WordListDatabase> Open(const QString& path, StoreError* error,
                                                  LockWait wait = {});
    ~WordListDatabase();

    /// Starts a change of several entries: until Commit or Rollback, this connection holds
    /// the database for writing, other programs wait for it, and what it adds or deletes
    /// is stored all together or not at all.
    bool Begin(StoreError* error);
    /// Stores the change. When it fails, the change is rolled back and nothing of it is
    /// stored.
    bool Commit(StoreError* error);
    /// Drops the change; nothing of it is stored.
    void Rollback();

    /// Opens `schema`'s table for seeks and walks, after checking that it has the entry
    /// field; its index is selected separately.
    std::unique_ptr<WordListTable> OpenTable(const ListSchema& schema, StoreError* error);
    /// The absolute path of the database file.
    const QString& path() const;

  private:
    explicit WordListDatabase(std::shared_ptr<Connection> connection);
    std::shared_ptr<Connection> connection_;
};

/// One list's table, with its index selected. Every change is stored at once, unless the
/// database's Begin has started a change of several entries.
class WordListTable {
  public:
    ~WordListTable();
    WordListTable(const WordListTable&) = delete;
    WordListTable& operator=(const WordListTable&) = delete;

    /// Selects the schema's index for seeks and walks, after checking that the table has
    /// it, on the entry field alone.
    bool SetIndex(StoreError* error);
    /// Seeks the entry equal to `key` by the index's comparison. When found it becomes
    /// the current entry. nullopt when the store failed.
    std::optional<bool> Seek(QStringView key, StoreError* error);
    /// Number of entries.
    std::optional<qint32> RecordCount(StoreError* error);
    /// Every entry, in index order.
    std::optional<QStringList> Walk(StoreError* error);
    /// Every entry that is text, which is all a seek for a text can find, and in
    /// `*collation` the comparison the index orders them by ("BINARY", "NOCASE" or
    /// "RTRIM"): what answering seeks from memory needs.
    std::optional<QStringList> TextEntries(QString* collation, StoreError* error);
    /// Stores a new entry. An entry equal to a listed one by the entry field's comparison
    /// is refused with Kind::Duplicate, whether or not the index is unique, and one that is
    /// no text (see EntryFault) with Kind::NotText.
    bool Add(const QString& entry, StoreError* error);
    /// Deletes the entry that the last successful Seek found.
    bool DeleteCurrent(StoreError* error);

  private:
    /// The first column of each row that `sql` selects, as text.
    std::optional<QStringList> ReadEntries(const QByteArray& sql, StoreError* error);
    friend class WordListDatabase;
    WordListTable(std::shared_ptr<Connection> connection, const ListSchema& schema);
    void Finalize();

    std::shared_ptr<Connection> connection_;
    const ListSchema& schema_;
    sqlite3_stmt* seek_ = nullptr;
    bool hasCurrent_ = false;
    qint64 currentRow_ = 0;
};

}  // namespace quillet
