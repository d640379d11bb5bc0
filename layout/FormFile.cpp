#include "layout/FormFile.h"

#include "common/LayoutFiles.h"
#include "platform/Database.h"
#include "platform/SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <stdexcept>
#include <utility>

namespace {

const char* const CreateFormTable =
    "CREATE TABLE page_form (page_id INTEGER PRIMARY KEY, image BLOB NOT NULL, "
    "format TEXT NOT NULL, width_px INTEGER, height_px INTEGER)";
const QStringList FormColumns = {"page_id", "image", "format", "width_px", "height_px"};

// The start of a file compared to tell whether it was written: the first
// page whatever the page size the file was made with (1024 or 4096 bytes).
constexpr qint64 FirstPageBytes = 4096;

} // namespace

FormFile::FormFile(QString path) : path_(std::move(path)) {}

void FormFile::Create(const QString& model) const {
    const QString building = path_ + QStringLiteral(".new");
    const QString journal = building + QStringLiteral("-journal");
    QFile::remove(journal);
    QFile::remove(building);
    try {
        // The engine takes an empty file as an empty database.
        CreateFileLike(building, model);
        Database db(building, false, false, LayoutFiles::Connect);
        db.Execute(QString::fromLatin1(CreateFormTable));
        db.Close();
        SyncFile(building);
        ReplaceFile(building, path_);
        SyncFolder(QFileInfo(path_).absolutePath());
    } catch (...) {
        QFile::remove(journal);
        QFile::remove(building);
        throw;
    }
}

void FormFile::RollBackInterruptedWrite() const {
    Database db(path_, false, false, LayoutFiles::Connect);
    db.Close();
}

void FormFile::RequireFormTable() const {
    Database db(path_, false, true, LayoutFiles::Connect);
    ::RequireFormTable(db, QStringLiteral("main"));
    db.Close();
}

bool FormFile::UnchangedSince(const QString& copy) const {
    QFile file(path_), backup(copy);
    if (!file.open(QIODevice::ReadOnly) || !backup.open(QIODevice::ReadOnly))
        return false;
    return file.size() == backup.size() && file.read(FirstPageBytes) == backup.read(FirstPageBytes);
}

void RequireFormTable(Database& database, const QString& schema) {
    QStringList columns;
    for (auto rs = database.OpenRecordset("PRAGMA " + schema + ".table_info(page_form)");
         !rs->EOF_(); rs->MoveNext())
        columns.append(rs->Field(QStringLiteral("name")).toString().toLower());
    for (const QString& column : FormColumns) {
        if (!columns.contains(column))
            throw std::runtime_error((schema + " has no column page_form." + column).toStdString());
    }
}
