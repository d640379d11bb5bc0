#include "start/StartUp.h"

#include "common/AppFolder.h"
#include "common/Globals.h"
#include "common/LayoutFiles.h"
#include "common/Messages.h"
#include "common/Program.h"
#include "layout/FormFile.h"
#include "layout/FormStore.h"
#include "layout/LayoutFile.h"
#include "layout/LayoutStore.h"
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
// Likewise the copy of forms.vsk, moved over formsbak.vsk once complete.
const QString FormsBackupInProgress = QStringLiteral("formsbak.vsk.new");

void require(bool ok, const QString& what) {
    if (!ok)
        throw std::runtime_error(what.toStdString());
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
    if (QFile::exists(journal))
        LayoutFile(LayoutFiles::Data).RollBackInterruptedWrite();

    // The backup and the compaction get data.vsk's permission bits, so that
    // neither is readable by more accounts than the database itself.
    CopyFileDurably(LayoutFiles::Data, BackupInProgress);

    // A compaction left by an earlier start goes, with its journal: the engine
    // would roll that journal back into the new compaction.
    for (const QString& stale : {CompactedJournal, LayoutFiles::Compacted}) {
        if (QFile::exists(stale))
            require(QFile::remove(stale), stale + " stays");
    }

    // The database is never created by opening it, so the compaction target
    // starts as an empty file, which reads as an empty database.
    compactionStarted = true;
    CreateFileLike(LayoutFiles::Compacted, LayoutFiles::Data);
    LayoutFile(LayoutFiles::Data).CompactInto(LayoutFiles::Compacted);
    // An empty or tableless data.vsk compacts into a file without tables,
    // which must never replace the backup or data.vsk.
    LayoutFile(LayoutFiles::Compacted).RequireLayoutTables();

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

// A transaction that wrote both data.vsk and forms.vsk names a super-journal
// (data.vsk-mj...) in both journals; the engine deletes it once no journal
// names it. One left by a run that died while it was being written is named
// by none: once both journals are rolled back, it goes.
void removeStraySuperJournals() {
    const QStringList stray =
        QDir(QStringLiteral("."))
            .entryList({LayoutFiles::Data + QStringLiteral("-mj*")}, QDir::Files | QDir::Hidden);
    for (const QString& name : stray)
        require(QFile::remove(name), name + " stays");
}

void backUpForms() {
    QFile::remove(FormsBackupInProgress);
    // A missing forms.vsk is made anew at the open.
    if (!QFile::exists(LayoutFiles::Forms))
        return;
    const FormFile forms(LayoutFiles::Forms);
    const QString journal = LayoutFiles::Forms + QStringLiteral("-journal");
    if (QFile::exists(journal)) {
        forms.RollBackInterruptedWrite();
        // A journal that the engine leaves after opening the file held
        // nothing to undo (its header was never completed).
        if (QFile::exists(journal))
            require(QFile::remove(journal), QStringLiteral("forms.vsk-journal stays"));
    }
    removeStraySuperJournals();
    if (forms.UnchangedSince(LayoutFiles::FormsBackup))
        return;

    CopyFileDurably(LayoutFiles::Forms, FormsBackupInProgress);
    // An empty or damaged forms.vsk must never replace the last good copy.
    FormFile(FormsBackupInProgress).RequireFormTable();
    ReplaceFile(FormsBackupInProgress, LayoutFiles::FormsBackup);
    SyncFolder(QStringLiteral("."));
}

} // namespace

void BackUpForms() {
    try {
        backUpForms();
    } catch (...) {
        QFile::remove(FormsBackupInProgress);
        throw;
    }
}

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
        BackUpForms();

        LayoutWorkspace = &DefaultWorkspace();
        LayoutDatabase = LayoutWorkspace->OpenDatabase(QDir(AppPath()).filePath(LayoutFiles::Data),
                                                       true, false, LayoutFiles::Connect);
        // A data.vsk from before merge files were remembered gets their table.
        AddMergeTable(LayoutDatabase);
        AttachForms(LayoutDatabase, AppPath());

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
