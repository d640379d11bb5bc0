// The layout database's engine: a workspace that runs transactions, a database
// opened with a connect string, and forward-only recordsets, over SQLCipher.
#pragma once

#include <QString>
#include <QVariant>
#include <memory>
#include <stdexcept>

struct sqlite3;
struct sqlite3_stmt;

// Any refusal of the database engine, carrying the engine's own message.
class DatabaseError : public std::runtime_error {
public:
    explicit DatabaseError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// One row at a time, first to last. Fields are looked up by column name; a Null
// field reads as an invalid QVariant, kept apart from the empty text.
class Recordset {
public:
    Recordset(sqlite3* db, const QString& statement);
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    bool EOF_() const { return atEnd_; }
    void MoveNext();
    QVariant Field(const QString& name) const;
    bool IsNull(const QString& name) const { return !Field(name).isValid(); }
    void Close();

private:
    int columnIndex(const QString& name) const;
    void step();

    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
    bool atEnd_ = true;
};

class Database {
public:
    // Opens `path` with a connect string such as ";pwd=secret"; the password
    // becomes the encryption key. Exclusive holds the file for this process
    // alone until Close(): no other process can read or write it meanwhile.
    Database(const QString& path, bool exclusive, bool readOnly, const QString& connect);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    std::unique_ptr<Recordset> OpenRecordset(const QString& statement);
    void Execute(const QString& statement);
    void Close();
    bool IsOpen() const { return db_ != nullptr; }
    sqlite3* handle() const { return db_; }

    // The password carried by a connect string (";pwd=..."); empty when none.
    static QString PasswordOf(const QString& connect);

private:
    sqlite3* db_ = nullptr;
};

// Transactions of the databases opened on it.
class Workspace {
public:
    Workspace() = default;
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    Database* OpenDatabase(const QString& path, bool exclusive, bool readOnly,
                           const QString& connect);
    void BeginTrans();
    void CommitTrans();
    void Rollback();
    bool InTransaction() const { return inTransaction_; }
    void Close();

private:
    Database& database();

    std::unique_ptr<Database> database_;
    bool inTransaction_ = false;
};

// Throws DatabaseError with the engine's message when `rc` is not SQLITE_OK.
void CheckSqlite(sqlite3* db, int rc);
