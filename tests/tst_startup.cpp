// The start-up sequence on a temporary application folder: backup,
// compaction, the exclusive open, the single instance, and what every
// failure leaves behind.
#include "TestSupport.h"
#include "common/AppFolder.h"
#include "common/Globals.h"
#include "common/LayoutFiles.h"
#include "common/Messages.h"
#include "common/Program.h"
#include "common/Statements.h"
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
    app.Exec(Statements::InsertTemplate("1"));
    app.Exec(Statements::UpdateTemplateName("見積書", "1"));
    app.Exec(Statements::InsertTemplate("2"));
    app.CloseLayoutDatabase();
}

// What a keyed reader outside the program finds in `file`.
QString templatesIn(const QString& file) {
    int code = 0;
    return RunSqlcipherShell(file,
                             "PRAGMA key='4817k205';\nselect group_concat(template_id || ':' || "
                             "template_name, ',') from template;\n",
                             &code)
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
    void failureBeforeReplacementKeepsACompleteDatabase();
    void damagedDatabaseKeepsTheLastGoodBackup();
    void secondCopyEndsSilently();
    void interruptedWriteIsRolledBackBeforeTheBackup();
};

void TestStartUp::normalStart() {
    AppFolderFixture app;
    fill(app);
    const QByteArray before = ReadBytes(app.file(LayoutFiles::Data));
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
    QCOMPARE(QDir(app.path()).entryList({"*.new", "better*"}, QDir::Files), QStringList());

    endRun();
    QCOMPARE(templatesIn(app.file(LayoutFiles::Data)), QString("1:見積書,2:"));
    int code = 0;
    const QString unkeyed =
        RunSqlcipherShell(app.file(LayoutFiles::Data), "select count(*) from template;\n", &code);
    QVERIFY2(unkeyed.contains("not a database"), qPrintable(unkeyed));
}

void TestStartUp::missingDatabase() {
    AppFolderFixture app(false, true);
    MessageRecorder recorder;
    QCOMPARE(StartUp(), StartResult::Failed);
    QCOMPARE(recorder.texts(), QStringList{"処理中、異常が発生しました。\r"});
    QVERIFY(!QFile::exists(app.file(LayoutFiles::Backup)));
    QVERIFY(!VisibleScreen<FrmSplash>() && !VisibleScreen<FrmMenu>());
    // The failed start let go of the folder: the next one may run.
    QVERIFY(!folderLockedByAnother(app.path()));
}

void TestStartUp::failureBeforeReplacementKeepsACompleteDatabase() {
    AppFolderFixture app;
    fill(app);
    const QByteArray before = ReadBytes(app.file(LayoutFiles::Data));
    MessageRecorder recorder;
    SetStartUpHook([](const char* step) {
        if (QByteArray(step) == "compacted")
            throw std::runtime_error("the power went off");
    });
    QCOMPARE(StartUp(), StartResult::Failed);
    QCOMPARE(recorder.texts(), QStringList{"処理中、異常が発生しました。\r"});
    QCOMPARE(ReadBytes(app.file(LayoutFiles::Data)), before);
    QCOMPARE(ReadBytes(app.file(LayoutFiles::Backup)), before);
    QCOMPARE(templatesIn(app.file(LayoutFiles::Data)), QString("1:見積書,2:"));

    // The next start removes what was left half-way and succeeds.
    SetStartUpHook({});
    QCOMPARE(StartUp(), StartResult::Running);
    QCOMPARE(recorder.shown.size(), 1);
    endRun();
    QVERIFY(!QFile::exists(app.file(LayoutFiles::Compacted)));
    QCOMPARE(templatesIn(app.file(LayoutFiles::Data)), QString("1:見積書,2:"));
}

void TestStartUp::damagedDatabaseKeepsTheLastGoodBackup() {
    AppFolderFixture app;
    fill(app);
    MessageRecorder recorder;
    QCOMPARE(StartUp(), StartResult::Running);
    endRun();
    const QByteArray goodBackup = ReadBytes(app.file(LayoutFiles::Backup));
    QVERIFY(!goodBackup.isEmpty());

    WriteBytes(app.file(LayoutFiles::Data), QByteArray(4096, 'x'));
    QCOMPARE(StartUp(), StartResult::Failed);
    QCOMPARE(recorder.texts(), QStringList{"処理中、異常が発生しました。\r"});
    QCOMPARE(ReadBytes(app.file(LayoutFiles::Backup)), goodBackup);
    QCOMPARE(ReadBytes(app.file(LayoutFiles::Data)), QByteArray(4096, 'x'));
    QCOMPARE(templatesIn(app.file(LayoutFiles::Backup)), QString("1:見積書,2:"));
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
    QTest::qWait(300);
    QVERIFY(QDir(elsewhere.path()).isEmpty());
    const QByteArray data = ReadBytes(app.file(LayoutFiles::Data));
    const QByteArray backup = ReadBytes(app.file(LayoutFiles::Backup));

    // A second copy ends at once, with no message (one would wait for an
    // answer forever) and no file touched.
    QProcess second;
    start(second);
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(ReadBytes(app.file(LayoutFiles::Data)), data);
    QCOMPARE(ReadBytes(app.file(LayoutFiles::Backup)), backup);
    QCOMPARE(first.state(), QProcess::Running);

    // After the first copy dies, the lock is gone with it.
    first.kill();
    QVERIFY(first.waitForFinished(10000));
    QVERIFY(!folderLockedByAnother(app.path()));
    QProcess third;
    start(third);
    QTRY_VERIFY_WITH_TIMEOUT(folderLockedByAnother(app.path()), 20000);
    QVERIFY(!third.waitForFinished(1000));
    third.kill();
    third.waitForFinished(10000);
    QCOMPARE(templatesIn(app.file(LayoutFiles::Data)), QString("1:見積書,2:"));
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
    QCOMPARE(writer.state(), QProcess::Running);
    QVERIFY(QFile::exists(journal) && QFileInfo(journal).size() > 0);
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
    QCOMPARE(templatesIn(app.file(LayoutFiles::Data)), QString("1:見積書,2:"));
}

QTEST_MAIN(TestStartUp)
#include "tst_startup.moc"
