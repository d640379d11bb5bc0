#include "platform/Statement.h"

#include "platform/Database.h"

#include <sqlite3.h>

Statement::Statement(Database& database, const QString& sql) : db_(database.handle()) {
    if (!db_)
        throw DatabaseError(QStringLiteral("The database is closed"));
    const QByteArray text = sql.toUtf8();
    CheckSqlite(db_, sqlite3_prepare_v2(db_, text.constData(), int(text.size()), &stmt_, nullptr));
    if (!stmt_)
        throw DatabaseError(QStringLiteral("The statement is empty"));
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

void Statement::Bind(int index, qint64 value) {
    CheckSqlite(db_, sqlite3_bind_int64(stmt_, index, value));
}

void Statement::Bind(int index, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    CheckSqlite(db_,
                sqlite3_bind_text64(stmt_, index, utf8.constData(), sqlite3_uint64(utf8.size()),
                                    SQLITE_TRANSIENT, SQLITE_UTF8));
}

void Statement::BindBlob(int index, const QByteArray& bytes) {
    // A null pointer would bind Null: an empty array still has its buffer.
    CheckSqlite(db_, sqlite3_bind_blob64(stmt_, index, bytes.constData(),
                                         sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT));
}

bool Statement::Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    CheckSqlite(db_, rc);
    return false;
}

int Statement::Execute() {
    while (Step()) {
    }
    return sqlite3_changes(db_);
}

bool Statement::IsNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

qint64 Statement::Integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

QString Statement::Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(stmt_, column));
}

QByteArray Statement::Blob(int column) const {
    // The pointer first, then its size, as the engine asks: an empty BLOB
    // comes as a null pointer and reads as an empty array.
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    return QByteArray(bytes, sqlite3_column_bytes(stmt_, column));
}
