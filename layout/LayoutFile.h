// The layout database as a file, apart from the run's open database: the steps
// start-up takes on data.vsk before the program opens it, and the check that a
// file is a layout database at all.
#pragma once

#include <QString>

class LayoutFile {
public:
    // The file at `path`, keyed with the layout database's password.
    explicit LayoutFile(QString path);

    // Opens the file once and closes it again: the engine rolls a journal left
    // by a run that died in the middle of a write back into the file.
    void RollBackInterruptedWrite() const;
    // Copies the whole database into `target`, an existing empty file, under
    // the same key. The copy holds the rows without the free pages.
    void CompactInto(const QString& target) const;
    // Throws unless the file holds the template, page and text item tables
    // with the columns the program reads and writes. Later features add
    // tables and columns of their own; those may be there too. The engine
    // opens an empty file, or a keyed database without tables, as a database.
    void RequireLayoutTables() const;

private:
    QString path_;
};
