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

void require(bool ok, const QString& what) {
    if (!ok)
        throw std::runtime_error(what.toStdString());
}

} // namespace

void BackUpAndCompact() {
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

    CopyFileDurably(LayoutFiles::Data, BackupInProgress);

    if (QFile::exists(LayoutFiles::Compacted))
        require(QFile::remove(LayoutFiles::Compacted), QStringLiteral("better.vsk stays"));

    {
        // The database is never created by opening it, so the compaction
        // target starts as an empty file, which reads as an empty database.
        QFile target(LayoutFiles::Compacted);
        require(target.open(QIODevice::NewOnly), QStringLiteral("cannot create better.vsk"));
        target.close();
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

    // The whole database was read: the copy taken before it is a good backup.
    ReplaceFile(BackupInProgress, LayoutFiles::Backup);
    reach("compacted");

    SyncFile(LayoutFiles::Compacted);
    if (QFile::exists(journal))
        require(QFile::remove(journal), QStringLiteral("data.vsk-journal stays"));
    ReplaceFile(LayoutFiles::Compacted, LayoutFiles::Data);
    SyncFolder(QStringLiteral("."));
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
