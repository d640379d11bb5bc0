#include "start/StartUp.h"

#include "common/AppFolder.h"
#include "common/Globals.h"
#include "common/LayoutFiles.h"
#include "common/Messages.h"
#include "common/Program.h"
#include "common/Statements.h"
#include "platform/Database.h"
#include "platform/Engine.h"
#include "platform/SafeFile.h"
#include "screens/FrmSplash.h"
#include "templates/FrmMenu.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <stdexcept>

namespace {

std::function<void(const char*)>& startUpHook() {
    static std::function<void(const char*)> hook;
    return hook;
}

void reach(const char* step) {
    if (startUpHook())
        startUpHook()(step);
}

// The backup is first written under this name and moved over databak.vsk
// only once the compaction has read the whole database.
const QString BackupInProgress = QStringLiteral("databak.vsk.new");
const QString CompactedJournal = LayoutFiles::Compacted + QStringLiteral("-journal");

void require(bool ok, const QString& what) {
    if (!ok)
        throw std::runtime_error(what.toStdString());
}

// The tables of the layout database and the columns the program reads and
// writes. Later features add tables and columns of their own; those may be
// there too.
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

QStringList namesIn(Database& db, const QString& statement) {
    QStringList names;
    for (auto rs = db.OpenRecordset(statement); !rs->EOF_(); rs->MoveNext())
        names.append(rs->Field(QStringLiteral("name")).toString().toLower());
    return names;
}

// Fails unless `file` holds the three tables with their columns. The engine
// opens an empty file, or a keyed database without tables, as a database, and
// compacts it into one without tables; such a file must never replace the
// backup or data.vsk.
void requireLayoutDatabase(const QString& file) {
    Database db(file, false, true, LayoutFiles::Connect);
    const QStringList tables =
        namesIn(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
    for (const LayoutTable& table : LayoutTables) {
        const QString name = QString::fromLatin1(table.name);
        require(tables.contains(name), file + " has no table " + name);
        const QStringList columns = namesIn(db, "PRAGMA table_info(" + name + ")");
        for (const QString& column : table.columns)
            require(columns.contains(column), file + " has no column " + name + "." + column);
    }
    db.Close();
}

// Removes what a failed start created. The compaction is removed only while
// data.vsk is there: data.vsk is replaced in one rename, so a data.vsk that is
// there is complete; without it the compaction may be the only copy left.
void removeLeftovers(bool compactionStarted) {
    QFile::remove(BackupInProgress);
    if (compactionStarted && QFileInfo(LayoutFiles::Data).isFile()) {
        QFile::remove(CompactedJournal);
        QFile::remove(LayoutFiles::Compacted);
    }
}

void backUpAndCompact(bool& compactionStarted) {
    reach("backup");
    const QString journal = LayoutFiles::Data + QStringLiteral("-journal");
    QFile::remove(BackupInProgress);
    require(QFile::exists(LayoutFiles::Data), QStringLiteral("data.vsk is missing"));

    // A run that died in the middle of a write left its journal: opening the
    // database once rolls it back into data.vsk before anything is copied.
    if (QFile::exists(journal)) {
        Database recover(LayoutFiles::Data, false, false, LayoutFiles::Connect);
        recover.Close();
    }

    // The backup and the compaction get data.vsk's permission bits, so that
    // neither is readable by more accounts than the database itself.
    CopyFileDurably(LayoutFiles::Data, BackupInProgress);

    // A compaction left by an earlier start goes, with its journal: the engine
    // would roll that journal back into the new compaction.
    for (const QString& stale : {CompactedJournal, LayoutFiles::Compacted}) {
        if (QFile::exists(stale))
            require(QFile::remove(stale), stale + " stays");
    }

    {
        // The database is never created by opening it, so the compaction
        // target starts as an empty file, which reads as an empty database.
        compactionStarted = true;
        CreateFileLike(LayoutFiles::Compacted, LayoutFiles::Data);
        Database source(LayoutFiles::Data, false, false, LayoutFiles::Connect);
        // The export copies rows table by table; the keys are checked in use.
        source.Execute(QStringLiteral("PRAGMA foreign_keys = OFF"));
        const QString key = Database::PasswordOf(LayoutFiles::Connect);
        source.Execute("ATTACH DATABASE '" + Statements::QuoteDoubled(LayoutFiles::Compacted) +
                       "' AS better KEY '" + Statements::QuoteDoubled(key) + "'");
        source.Execute(QStringLiteral("SELECT sqlcipher_export('better')"));
        source.Execute(QStringLiteral("DETACH DATABASE better"));
        source.Close();
    }
    requireLayoutDatabase(LayoutFiles::Compacted);

    // The whole database was read and its copy is sound: the copy taken
    // before it is a good backup.
    ReplaceFile(BackupInProgress, LayoutFiles::Backup);
    reach("compacted");

    SyncFile(LayoutFiles::Compacted);
    if (QFile::exists(journal))
        require(QFile::remove(journal), QStringLiteral("data.vsk-journal stays"));
    ReplaceFile(LayoutFiles::Compacted, LayoutFiles::Data);
    SyncFolder(QStringLiteral("."));
}

} // namespace

void BackUpAndCompact() {
    bool compactionStarted = false;
    try {
        backUpAndCompact(compactionStarted);
    } catch (...) {
        removeLeftovers(compactionStarted);
        throw;
    }
}

void SetStartUpHook(std::function<void(const char*)> hook) {
    startUpHook() = std::move(hook);
}

StartResult StartUp() {
    QPointer<FrmSplash> splash;
    try {
        if (!AcquireSingleInstance(AppPath()))
            return StartResult::SecondCopy;

        splash = new FrmSplash;
        splash->Load();
        splash->show();
        splash->repaint();
        // Let the window system map and paint the splash before the work blocks.
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);

        require(QDir::setCurrent(AppPath()), QStringLiteral("no application folder"));
        BackUpAndCompact();

        LayoutWorkspace = &DefaultWorkspace();
        LayoutDatabase = LayoutWorkspace->OpenDatabase(QDir(AppPath()).filePath(LayoutFiles::Data),
                                                       true, false, LayoutFiles::Connect);

        auto* menu = new FrmMenu;
        menu->Load();
        delete splash.data();
        menu->show();
        return StartResult::Running;
    } catch (...) {
        ShowMessage(QString(), QString(), Msg::GeneralFailure);
        delete splash.data();
        if (LayoutWorkspace)
            LayoutWorkspace->Close();
        LayoutDatabase = nullptr;
        ReleaseSingleInstance();
        return StartResult::Failed;
    }
}
