// A prepared statement with bound parameters: values go in and come out as
// they are, a BLOB byte for byte, never through the text of a statement.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class Database;
struct sqlite3;
struct sqlite3_stmt;

class Statement {
public:
    // Prepares `sql` on the open `database`; parameters are numbered from 1.
    Statement(Database& database, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void Bind(int index, qint64 value);
    void Bind(int index, const QString& text);
    // A BLOB, empty or not; never Null.
    void BindBlob(int index, const QByteArray& bytes);

    // Runs the statement to its next row: true while there is one, false
    // when it is done. Throws DatabaseError on a refusal.
    bool Step();
    // Runs a statement that returns no rows; returns the rows it changed.
    int Execute();

    // Columns of the current row, numbered from 0.
    bool IsNull(int column) const;
    qint64 Integer(int column) const;
    QString Text(int column) const;
    QByteArray Blob(int column) const;

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};
