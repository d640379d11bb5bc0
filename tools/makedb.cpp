// Writes the delivered empty layout database: the three tables of the layout
// and the table of merge files remembered per template, encrypted with the
// database password. The file is kept only when start-up would take it as a
// layout database.
#include "common/LayoutFiles.h"
#include "layout/LayoutFile.h"
#include "platform/Database.h"

#include <QFile>
#include <cstdio>
#include <exception>
#include <sqlite3.h>

static const char* const Schema = R"SQL(
CREATE TABLE template (
    template_id   INTEGER PRIMARY KEY CHECK (template_id BETWEEN 1 AND 32767),
    template_name TEXT NOT NULL DEFAULT ''
);
CREATE TABLE page (
    page_id         INTEGER PRIMARY KEY CHECK (page_id BETWEEN 1 AND 32767),
    template_id     INTEGER NOT NULL REFERENCES template (template_id) ON DELETE CASCADE,
    page_no         INTEGER,
    paper_direction INTEGER,
    paper_size      INTEGER
);
CREATE INDEX page_template ON page (template_id);
CREATE TABLE moji (
    moji_id     INTEGER PRIMARY KEY CHECK (moji_id BETWEEN 1 AND 32767),
    page_id     INTEGER NOT NULL REFERENCES page (page_id) ON DELETE CASCADE,
    moji        TEXT,
    p_size      REAL,
    p_left      REAL,
    p_right     REAL,
    p_top       REAL,
    p_col_count INTEGER,
    p_row_count INTEGER,
    p_position  INTEGER
);
CREATE INDEX moji_page ON moji (page_id);
CREATE TABLE template_merge (
    template_id INTEGER PRIMARY KEY REFERENCES template ON DELETE CASCADE,
    path        TEXT,
    encoding    TEXT
);
)SQL";

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: makedb <new data.vsk>\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    if (QFile::exists(path)) {
        std::fprintf(stderr, "makedb: %s exists; it is never overwritten\n", argv[1]);
        return 1;
    }
    sqlite3* db = nullptr;
    const QByteArray file = path.toUtf8();
    const QByteArray key = Database::PasswordOf(LayoutFiles::Connect).toUtf8();
    int rc =
        sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_key(db, key.constData(), int(key.size()));
    char* err = nullptr;
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, Schema, nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::fprintf(stderr, "makedb: %s\n", err ? err : sqlite3_errmsg(db));
        sqlite3_free(err);
        sqlite3_close(db);
        QFile::remove(path);
        return 1;
    }
    sqlite3_close(db);
    try {
        LayoutFile(path).RequireLayoutTables();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "makedb: %s\n", e.what());
        QFile::remove(path);
        return 1;
    }
    return 0;
}
