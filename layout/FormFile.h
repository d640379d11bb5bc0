// forms.vsk as a file, apart from the run's open database: making a new one,
// the steps start-up takes on it before the open, and the check that a file
// is a form database. It is keyed like data.vsk and holds one table,
// page_form: one form image per page.
#pragma once

#include <QString>

class Database;

class FormFile {
public:
    // The file at `path`, keyed with the layout database's password.
    explicit FormFile(QString path);

    // Makes the file, which must not exist, as a form database without
    // forms, with the permission bits of `model`. It is built under a
    // temporary name and moved into place, so the file is there complete or
    // not at all: an empty or tableless form file is never one this program
    // left behind.
    void Create(const QString& model) const;
    // Opens the file once and closes it again: the engine rolls a journal
    // left by a run that died in the middle of a write back into the file.
    void RollBackInterruptedWrite() const;
    // Throws unless the file holds the form table with its columns.
    void RequireFormTable() const;
    // True when `copy` holds the file as it is now: the same size and the
    // same first page. Every write transaction on the file rewrites its first
    // page (the engine counts the file's changes there, at least once for
    // each hold of the lock), and each write of a page encrypts it with a new
    // random initialisation vector, so a first page that reads the same was
    // not written since the copy. Reads only the start of both files.
    bool UnchangedSince(const QString& copy) const;

private:
    QString path_;
};

// Throws unless the database attached as `schema` holds the form table with
// its columns.
void RequireFormTable(Database& database, const QString& schema);
