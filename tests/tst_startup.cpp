// The start-up sequence on a temporary application folder: backup,
// compaction, the exclusive open, the single instance, and what every
// failure leaves behind.
#include "TestSupport.h"
#include "common/AppFolder.h"
#include "common/Globals.h"
#include "common/LayoutFiles.h"
#include "common/Messages.h"
#include "common/Program.h"
#include "layout/LayoutStore.h"
#include "platform/Database.h"
#include "platform/Engine.h"
#include "screens/FrmSplash.h"
#include "start/StartUp.h"
#include "templates/FrmMenu.h"

#include <QProcess>
#include <QtTest>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// Puts two templates into the folder's data.vsk.
void fill(AppFolderFixture& app) {
    app.OpenLayoutDatabase();
    LayoutStore store = Layout();
    store.SaveTemplate(store.CreateTemplate(), QStringLiteral("見積書"), {});
    store.CreateTemplate();
    app.CloseLayoutDatabase();
}

// What a keyed reader outside the program finds in `file`.
QString templatesIn(const QString& file) {
    return RunSqlcipherShell(file,
                             "PRAGMA key='4817k205';\nselect group_concat(template_id || ':' || "
                             "template_name, ',') from template;\n",
                             nullptr)
        .trimmed();
}

// Ends what an in-process start left running.
void endRun() {
    if (LayoutWorkspace)
        LayoutWorkspace->Close();
    LayoutWorkspace = nullptr;
    LayoutDatabase = nullptr;
    ReleaseSingleInstance();
    CloseAllScreens();
    SetStartUpHook({});
}

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

bool folderLockedByAnother(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return locked;
}

} // namespace

class TestStartUp : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { endRun(); }
    void normalStart();
    void missingDatabase();
    void failureBeforeReplacementKeepsACompleteDatabase_data();
    void failureBeforeReplacementKeepsACompleteDatabase();
    void unsoundDatabaseKeepsTheLastGoodBackup_data();
    void unsoundDatabaseKeepsTheLastGoodBackup();
    void secondCopyEndsSilently();
    void interruptedWriteIsRolledBackBeforeTheBackup();
};

void TestStartUp::normalStart() {
    const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    AppFolderFixture app;
    fill(app);
    // Tables and columns that later features add stay through the compaction.
    app.OpenLayoutDatabase();
    app.Exec("CREATE TABLE page_form (page_id INTEGER PRIMARY KEY, form BLOB)");
    app.Exec("INSERT INTO page_form VALUES (7, x'00ff')");
    app.Exec("ALTER TABLE moji ADD COLUMN p_colour INTEGER");
    app.CloseLayoutDatabase();
    QVERIFY(QFile::setPermissions(app.file(LayoutFiles::Data), mode));
    const QByteArray before = ReadBytes(app.file(LayoutFiles::Data));
    // A backup readable by everyone gets the database's bits.
    WriteBytes(app.file(LayoutFiles::Backup), "older");
    QVERIFY(QFile::setPermissions(app.file(LayoutFiles::Backup), mode | QFileDevice::ReadOther));
    // A compaction left over from a start that died is replaced.
    WriteBytes(app.file(LayoutFiles::Compacted), "left over");
    QDir::setCurrent(QDir::tempPath()); // started from elsewhere, as from a shortcut
    MessageRecorder recorder;
    bool splashOnView = false;
    SetStartUpHook([&](const char* step) {
        splashOnView = splashOnView || (QByteArray(step) == "backup" && VisibleScreen<FrmSplash>());
    });

    QCOMPARE(StartUp(), StartResult::Running);
    QVERIFY(splashOnView);
    QVERIFY(recorder.shown.isEmpty());
    QVERIFY(!VisibleScreen<FrmSplash>() && VisibleScreen<FrmMenu>());
    QCOMPARE(QDir::currentPath(), QDir(app.path()).canonicalPath());

    QCOMPARE(ReadBytes(app.file(LayoutFiles::Backup)), before);
    const QFileDevice::Permissions user(0x0700); // this account's, as the owner's
    QCOMPARE(QFile::permissions(app.file(LayoutFiles::Data)) & ~user, mode);
    QCOMPARE(QFile::permissions(app.file(LayoutFiles::Backup)) & ~user, mode);
    endRun();
    QCOMPARE(RunSqlcipherShell(app.file(LayoutFiles::Data),
                               "PRAGMA key='4817k205';\nselect page_id || ':' || hex(form) from "
                               "page_form;\nselect count(p_colour) from moji;\n",
                               nullptr)
                 .split(u'\n', Qt::SkipEmptyParts),
             (QStringList{"7:00FF", "0"}));
}

void TestStartUp::missingDatabase() {
    AppFolderFixture app(false, true);
    MessageRecorder recorder;
    QCOMPARE(StartUp(), StartResult::Failed);
    QCOMPARE(recorder.shown.size(), 1);
    QVERIFY(!VisibleScreen<FrmSplash>() && !VisibleScreen<FrmMenu>());
    // The failed start let go of the folder: the next one may run.
    QVERIFY(!folderLockedByAnother(app.path()));
}

void TestStartUp::failureBeforeReplacementKeepsACompleteDatabase_data() {
    // After the compaction, before data.vsk is replaced: the power fails, the
    // last rename fails (a folder stands where the compaction was), or
    // data.vsk is gone, which leaves the compaction the only copy.
    QTest::addColumn<int>("failure");
    QTest::newRow("power fails") << 0;
    QTest::newRow("rename refused") << 1;
    QTest::newRow("data.vsk gone") << 2;
}

void TestStartUp::failureBeforeReplacementKeepsACompleteDatabase() {
    QFETCH(int, failure);
    AppFolderFixture app;
    fill(app);
    const QByteArray before = ReadBytes(app.file(LayoutFiles::Data));
    MessageRecorder recorder;
    SetStartUpHook([&](const char* step) {
        if (QByteArray(step) != "compacted")
            return;
        if (failure == 1) {
            QVERIFY(QFile::remove(app.file(LayoutFiles::Compacted)));
            QVERIFY(QDir(app.path()).mkdir(LayoutFiles::Compacted));
            return;
        }
        if (failure == 2)
            QFile::remove(app.file(LayoutFiles::Data));
        throw std::runtime_error("the power went off");
    });
    QCOMPARE(StartUp(), StartResult::Failed);
    QCOMPARE(recorder.shown.size(), 1);
    QCOMPARE(ReadBytes(app.file(LayoutFiles::Backup)), before);
    if (failure == 2) {
        QCOMPARE(templatesIn(app.file(LayoutFiles::Compacted)), QString("1:見積書,2:"));
        return;
    }
    QCOMPARE(ReadBytes(app.file(LayoutFiles::Data)), before);
    // What the start created is gone; the folder in its way was not its own.
    QStringList left{LayoutFiles::Data, LayoutFiles::Backup, LayoutFiles::Forms, "vesk.ini"};
    if (failure == 1)
        left.insert(0, LayoutFiles::Compacted);
    QCOMPARE(entriesOf(app.path()), left);
}

void TestStartUp::unsoundDatabaseKeepsTheLastGoodBackup_data() {
    // data.vsk is first replaced by `bytes` (unless null), then `sql` runs on it
    // in the shell, keyed.
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("sql");
    QTest::newRow("empty file") << QByteArray("") << QString();
    QTest::newRow("not a database") << QByteArray(4096, 'x') << QString();
    QTest::newRow("a table missing") << QByteArray() << "ALTER TABLE page RENAME TO pages;";
    QTest::newRow("a column missing")
        << QByteArray()
        << "ALTER TABLE moji RENAME TO old; CREATE TABLE moji AS SELECT moji_id, page_id, moji, "
           "p_size, p_left, p_right, p_top, p_col_count, p_row_count FROM old; DROP TABLE old;";
}

void TestStartUp::unsoundDatabaseKeepsTheLastGoodBackup() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, sql);
    AppFolderFixture app;
    fill(app);
    MessageRecorder recorder;
    QCOMPARE(StartUp(), StartResult::Running);
    endRun();
    const QByteArray goodBackup = ReadBytes(app.file(LayoutFiles::Backup));
    QVERIFY(!goodBackup.isEmpty());

    if (!bytes.isNull())
        WriteBytes(app.file(LayoutFiles::Data), bytes);
    if (!sql.isEmpty())
        QCOMPARE(RunSqlcipherShell(app.file(LayoutFiles::Data), "PRAGMA key='4817k205';\n" + sql,
                                   nullptr)
                     .trimmed(),
                 QString());
    const QByteArray damaged = ReadBytes(app.file(LayoutFiles::Data));
    QCOMPARE(StartUp(), StartResult::Failed);
    QCOMPARE(recorder.shown.size(), 1);
    QVERIFY(!VisibleScreen<FrmMenu>());
    QCOMPARE(ReadBytes(app.file(LayoutFiles::Backup)), goodBackup);
    QCOMPARE(ReadBytes(app.file(LayoutFiles::Data)), damaged);
    // Nothing the start made is left: no compaction, journal or new backup.
    QCOMPARE(entriesOf(app.path()),
             QStringList({LayoutFiles::Data, LayoutFiles::Backup, LayoutFiles::Forms,
                          LayoutFiles::FormsBackup, "vesk.ini"}));
}

void TestStartUp::secondCopyEndsSilently() {
    AppFolderFixture app;
    fill(app);
    const QString program = CopyProgramInto(app.path());
    QTemporaryDir elsewhere;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    auto start = [&](QProcess& p) {
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(elsewhere.path());
        p.start(program, {});
        QVERIFY(p.waitForStarted());
    };

    // The first copy, started from another folder, works on its own folder.
    QProcess first;
    start(first);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(app.file(LayoutFiles::Backup)) &&
                                 folderLockedByAnother(app.path()) &&
                                 !QFile::exists(app.file(LayoutFiles::Compacted)),
                             20000);
    QVERIFY(QDir(elsewhere.path()).isEmpty());
    const QByteArray data = ReadBytes(app.file(LayoutFiles::Data));
    const QByteArray backup = ReadBytes(app.file(LayoutFiles::Backup));

    // A second copy ends at once, with no message (one would wait for an
    // answer forever) and no file touched.
    QProcess second;
    start(second);
    QVERIFY(second.waitForFinished(10000));
    QVERIFY(second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0);
    QCOMPARE(ReadBytes(app.file(LayoutFiles::Data)), data);
    QCOMPARE(ReadBytes(app.file(LayoutFiles::Backup)), backup);
    QCOMPARE(first.state(), QProcess::Running);

    // After the first copy dies, the lock is gone with it.
    first.kill();
    QVERIFY(first.waitForFinished(10000));
    QVERIFY(!folderLockedByAnother(app.path()));
}

void TestStartUp::interruptedWriteIsRolledBackBeforeTheBackup() {
    AppFolderFixture app;
    fill(app);
    // Another writer dies in the middle of a large transaction that has
    // already spilled pages into data.vsk, leaving its journal behind.
    const qint64 consistentSize = QFileInfo(app.file(LayoutFiles::Data)).size();
    QProcess writer;
    writer.start("sqlcipher", {"-batch", app.file(LayoutFiles::Data)});
    QVERIFY(writer.waitForStarted());
    writer.write("PRAGMA key='4817k205';\nPRAGMA cache_size=10;\nBEGIN;\n"
                 "WITH RECURSIVE n(i) AS (SELECT 10 UNION ALL SELECT i+1 FROM n WHERE i<20000) "
                 "INSERT INTO template SELECT i, printf('%0500d', i) FROM n;\n");
    const QString journal = app.file(LayoutFiles::Data + "-journal");
    const qint64 size = QFileInfo(app.file(LayoutFiles::Data)).size();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(app.file(LayoutFiles::Data)).size() > size + 200000, 30000);
    QVERIFY(QFileInfo(journal).size() > 0);
    writer.kill();
    writer.waitForFinished();

    MessageRecorder recorder;
    QCOMPARE(StartUp(), StartResult::Running);
    endRun();
    QVERIFY(recorder.shown.isEmpty());
    // The backup is the database as it was before the interrupted write
    // (rolled back pages are encrypted anew, so only their number is equal).
    QCOMPARE(QFileInfo(app.file(LayoutFiles::Backup)).size(), consistentSize);
    QCOMPARE(templatesIn(app.file(LayoutFiles::Backup)), QString("1:見積書,2:"));
}

QTEST_MAIN(TestStartUp)
#include "tst_startup.moc"
