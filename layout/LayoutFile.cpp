#include "layout/LayoutFile.h"

#include "common/LayoutFiles.h"
#include "platform/Database.h"

#include <QStringList>
#include <stdexcept>
#include <utility>

namespace {

// The tables of the layout database and the columns the program reads and
// writes.
struct LayoutTable {
    const char* name;
    QStringList columns;
};
const LayoutTable LayoutTables[] = {
    {"template", {"template_id", "template_name"}},
    {"page", {"page_id", "template_id", "page_no", "paper_direction", "paper_size"}},
    {"moji",
     {"moji_id", "page_id", "moji", "p_size", "p_left", "p_right", "p_top", "p_col_count",
      "p_row_count", "p_position"}},
};

QString quoted(const QString& text) {
    QString doubled = text;
    doubled.replace(u'\'', QStringLiteral("''"));
    return u'\'' + doubled + u'\'';
}

// The lower-case `name` column of every row of `statement`.
QStringList namesIn(Database& db, const QString& statement) {
    QStringList names;
    for (auto rs = db.OpenRecordset(statement); !rs->EOF_(); rs->MoveNext())
        names.append(rs->Field(QStringLiteral("name")).toString().toLower());
    return names;
}

void require(bool ok, const QString& what) {
    if (!ok)
        throw std::runtime_error(what.toStdString());
}

} // namespace

LayoutFile::LayoutFile(QString path) : path_(std::move(path)) {}

void LayoutFile::RollBackInterruptedWrite() const {
    Database db(path_, false, false, LayoutFiles::Connect);
    db.Close();
}

void LayoutFile::CompactInto(const QString& target) const {
    Database source(path_, false, false, LayoutFiles::Connect);
    // The export copies rows table by table; the keys are checked in use.
    source.Execute(QStringLiteral("PRAGMA foreign_keys = OFF"));
    const QString key = Database::PasswordOf(LayoutFiles::Connect);
    source.Execute("ATTACH DATABASE " + quoted(target) + " AS better KEY " + quoted(key));
    source.Execute(QStringLiteral("SELECT sqlcipher_export('better')"));
    source.Execute(QStringLiteral("DETACH DATABASE better"));
    source.Close();
}

void LayoutFile::RequireLayoutTables() const {
    Database db(path_, false, true, LayoutFiles::Connect);
    const QStringList tables =
        namesIn(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
    for (const LayoutTable& table : LayoutTables) {
        const QString name = QString::fromLatin1(table.name);
        require(tables.contains(name), path_ + " has no table " + name);
        const QStringList columns = namesIn(db, "PRAGMA table_info(" + name + ")");
        for (const QString& column : table.columns)
            require(columns.contains(column), path_ + " has no column " + name + "." + column);
    }
    db.Close();
}
