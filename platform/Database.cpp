#include "platform/Database.h"

#include <sqlite3.h>

void CheckSqlite(sqlite3* db, int rc) {
    if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE)
        return;
    const char* msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    throw DatabaseError(QString::fromUtf8(msg ? msg : sqlite3_errstr(rc)));
}

// --- Recordset --------------------------------------------------------------

Recordset::Recordset(sqlite3* db, const QString& statement) : db_(db) {
    const QByteArray sql = statement.toUtf8();
    CheckSqlite(db_, sqlite3_prepare_v2(db_, sql.constData(), int(sql.size()), &stmt_, nullptr));
    if (!stmt_)
        throw DatabaseError(QStringLiteral("The statement is empty"));
    step();
}

Recordset::~Recordset() {
    Close();
}

void Recordset::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        atEnd_ = false;
        return;
    }
    atEnd_ = true;
    if (rc != SQLITE_DONE) {
        const QString msg = QString::fromUtf8(sqlite3_errmsg(db_));
        Close();
        throw DatabaseError(msg);
    }
}

void Recordset::MoveNext() {
    if (atEnd_ || !stmt_)
        throw DatabaseError(QStringLiteral("No current record"));
    step();
}

int Recordset::columnIndex(const QString& name) const {
    if (!stmt_)
        throw DatabaseError(QStringLiteral("The recordset is closed"));
    const int n = sqlite3_column_count(stmt_);
    for (int i = 0; i < n; ++i) {
        if (name.compare(QString::fromUtf8(sqlite3_column_name(stmt_, i)), Qt::CaseInsensitive) ==
            0)
            return i;
    }
    throw DatabaseError(QStringLiteral("Item not found in this collection: %1").arg(name));
}

QVariant Recordset::Field(const QString& name) const {
    const int i = columnIndex(name);
    if (atEnd_)
        throw DatabaseError(QStringLiteral("No current record"));
    switch (sqlite3_column_type(stmt_, i)) {
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(stmt_, i)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(stmt_, i));
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(stmt_, i)));
    }
    }
}

void Recordset::Close() {
    if (stmt_) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }
    atEnd_ = true;
}

// --- Database -----------------------------------------------------------------

QString Database::PasswordOf(const QString& connect) {
    for (const QString& part : connect.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype eq = part.indexOf(u'=');
        if (eq > 0 && part.left(eq).trimmed().compare(u"pwd", Qt::CaseInsensitive) == 0)
            return part.mid(eq + 1);
    }
    return QString();
}

Database::Database(const QString& path, bool exclusive, bool readOnly, const QString& connect) {
    const QByteArray file = path.toUtf8();
    // The file must exist: the program never creates its database by opening it.
    const int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    const int rc = sqlite3_open_v2(file.constData(), &db_, flags, nullptr);
    try {
        CheckSqlite(db_, rc);
        const QByteArray key = PasswordOf(connect).toUtf8();
        if (!key.isEmpty())
            CheckSqlite(db_, sqlite3_key(db_, key.constData(), int(key.size())));
        // Reading the schema proves the key: a wrong one reads as "file is
        // encrypted or is not a database".
        Execute(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        Execute(QStringLiteral("PRAGMA foreign_keys = ON"));
        if (exclusive) {
            // The pragma alone takes only a shared lock on the first read, which
            // lets other processes read; the exclusive transaction takes the
            // write lock at once and exclusive mode keeps it until close.
            Execute(QStringLiteral("PRAGMA locking_mode = EXCLUSIVE"));
            Execute(QStringLiteral("BEGIN EXCLUSIVE"));
            Execute(QStringLiteral("COMMIT"));
        }
    } catch (...) {
        Close();
        throw;
    }
}

Database::~Database() {
    Close();
}

std::unique_ptr<Recordset> Database::OpenRecordset(const QString& statement) {
    if (!db_)
        throw DatabaseError(QStringLiteral("The database is closed"));
    return std::make_unique<Recordset>(db_, statement);
}

void Database::Execute(const QString& statement) {
    if (!db_)
        throw DatabaseError(QStringLiteral("The database is closed"));
    const QByteArray sql = statement.toUtf8();
    char* err = nullptr;
    const int rc = sqlite3_exec(db_, sql.constData(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        const QString msg = QString::fromUtf8(err ? err : sqlite3_errstr(rc));
        sqlite3_free(err);
        throw DatabaseError(msg);
    }
}

void Database::Close() {
    if (db_) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

// --- Workspace ----------------------------------------------------------------

Database* Workspace::OpenDatabase(const QString& path, bool exclusive, bool readOnly,
                                  const QString& connect) {
    database_ = std::make_unique<Database>(path, exclusive, readOnly, connect);
    inTransaction_ = false;
    return database_.get();
}

Database& Workspace::database() {
    if (!database_ || !database_->IsOpen())
        throw DatabaseError(QStringLiteral("No database is open on the workspace"));
    return *database_;
}

void Workspace::BeginTrans() {
    database().Execute(QStringLiteral("BEGIN"));
    inTransaction_ = true;
}

void Workspace::CommitTrans() {
    database().Execute(QStringLiteral("COMMIT"));
    inTransaction_ = false;
}

void Workspace::Rollback() {
    inTransaction_ = false;
    database().Execute(QStringLiteral("ROLLBACK"));
}

void Workspace::Close() {
    if (database_)
        database_->Close();
    database_.reset();
    inTransaction_ = false;
}
