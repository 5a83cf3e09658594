#include "wordlists/SqliteSupport.h"

#include <QDir>
#include <cstring>

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

QString StoreMessage(const QString& path, const QString& reason) {
    return QStringLiteral("Word-list database \"%1\": %2.")
        .arg(QDir::toNativeSeparators(path), reason);
}

StoreError ErrorForCode(int code, const QString& path, const QString& doing, const char* detail,
                        int systemErrno) {
    StoreError error;
    QString reason;
    switch (code & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            error.kind = StoreError::Kind::Locked;
            reason = QStringLiteral("the file is locked by another program");
            break;
        case SQLITE_NOTADB:
            error.kind = StoreError::Kind::NotADatabase;
            reason = QStringLiteral("the file is not a word-list database");
            break;
        case SQLITE_CORRUPT:
            error.kind = StoreError::Kind::NotADatabase;
            reason = QStringLiteral("the file is damaged");
            break;
        case SQLITE_READONLY:
            error.kind = StoreError::Kind::ReadOnly;
            reason = QStringLiteral("the file cannot be written (it is read-only)");
            break;
        case SQLITE_FULL:
            error.kind = StoreError::Kind::Other;
            reason = QStringLiteral("the disk is full");
            break;
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            error.kind = StoreError::Kind::Unreadable;
            reason = systemErrno ? QStringLiteral("the file cannot be opened (%1)")
                                       .arg(QString::fromLocal8Bit(std::strerror(systemErrno)))
                                 : QStringLiteral("the file cannot be opened");
            break;
        default:
            error.kind = StoreError::Kind::Other;
            reason = QString::fromUtf8(detail ? detail : sqlite3_errstr(code));
            break;
    }
    if (!doing.isEmpty()) reason = doing + QStringLiteral(": ") + reason;
    error.message = StoreMessage(path, reason);
    return error;
}

StoreError Connection::LastError(const QString& doing) const {
    return ErrorForCode(sqlite3_extended_errcode(db_), path_, doing, sqlite3_errmsg(db_),
                        sqlite3_system_errno(db_));
}

}  // namespace quillet
