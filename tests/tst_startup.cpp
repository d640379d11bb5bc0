// Start-up on a temporary application folder, forms.vsk's images, a write killed across both files.
#include "TestSupport.h"
#include "common/AppFolder.h"
#include "common/Globals.h"
#include "common/LayoutFiles.h"
#include "common/Program.h"
#include "layout/FormStore.h"
#include "layout/LayoutStore.h"
#include "platform/Database.h"
#include "start/StartUp.h"

#include <QProcess>
#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// What a keyed reader outside the program finds in `file`.
QString shell(const QString& file, const QString& sql) {
    return RunSqlcipherShell(file, "PRAGMA key='4817k205';\n" + sql + "\n", nullptr).trimmed();
}

QString templatesIn(const QString& file) {
    return shell(file, "select group_concat(template_id||':'||template_name, ',') from template;");
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

// Bytes a text reader would mangle: NULs, line ends, quotes, invalid UTF-8.
const QByteArray awkward = QByteArray::fromHex("00ff80c00a0d2722").repeated(40000);

// The ids of the pages with a form, their digits in a row (13 for pages 1 and 3).
qlonglong formPages(AppFolderFixture& app) {
    return app.Scalar("select group_concat(page_id, '') as n from "
                      "(select page_id from forms.page_form order by page_id)");
}

// Template 1 with pages 1 and 2, a form on page 1 only; template 2 with page 3 and its form.
void fill(AppFolderFixture& app) {
    app.OpenLayoutDatabase();
    LayoutStore store = Layout();
    store.SaveTemplate(store.CreateTemplate(), "", {Page{"", "1", 0, 1}, Page{"", "2", 0, 1}});
    store.SaveTemplate(store.CreateTemplate(), "納品書", {Page{"", "1", 0, 1}});
    Forms().StoreForm("1", {awkward, "png", 3, 4});
    Forms().StoreForm("3", {"3", "png", 3, 4});
    app.CloseLayoutDatabase();
}

// A child that starts the program on `folder` and copies template 1, killed when the commit's
// super-journal is about to go (both files written) or is gone (the point of no return).
int dieInCommit(const QString& folder, const QByteArray& point) {
    static sqlite3_vfs shim, *realVfs = sqlite3_vfs_find(nullptr);
    static QByteArray killAt;
    shim = *realVfs;
    shim.zName = "die-in-commit";
    shim.xDelete = [](sqlite3_vfs*, const char* name, int syncDir) {
        const bool super = name && QByteArray(name).contains(LayoutFiles::Data.toLatin1() + "-mj");
        if (super && killAt == "both written")
            std::raise(SIGKILL);
        const int rc = realVfs->xDelete(realVfs, name, syncDir);
        if (super && killAt == "gone")
            std::raise(SIGKILL);
        return rc;
    };
    sqlite3_vfs_register(&shim, 1);
    SetAppPath(folder);
    StartUp();
    killAt = point;
    Layout().CopyTemplate("1");
    return 3; // the commit never came to the moment: no super-journal was used
}

} // namespace

class TestStartUp : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { endRun(); }

    void normalStart() {
        const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
        AppFolderFixture app;
        fill(app);
        const QString data = app.file(LayoutFiles::Data), forms = app.file(LayoutFiles::Forms);
        const QString backup = app.file(LayoutFiles::Backup);
        // Tables and columns that later features add stay through the compaction.
        shell(data, "CREATE TABLE extra (id INTEGER PRIMARY KEY, form BLOB); INSERT INTO extra "
                    "VALUES (7, x'00ff'); ALTER TABLE moji ADD COLUMN p_colour INTEGER;");
        QVERIFY(QFile::setPermissions(data, mode));
        QVERIFY(QFile::remove(forms)); // a missing forms.vsk is made
        // A backup readable by everyone gets data.vsk's bits; a left-over compaction is replaced.
        WriteBytes(backup, "older");
        QVERIFY(QFile::setPermissions(backup, mode | QFileDevice::ReadOther));
        WriteBytes(app.file(LayoutFiles::Compacted), "left over");
        // Another writer dies in a transaction that has spilled pages into data.vsk.
        shell(data,
              "PRAGMA cache_size=10;\nBEGIN;\nWITH RECURSIVE n(i) AS (SELECT 10 UNION ALL SELECT "
              "i+1 FROM n WHERE i<20000) INSERT INTO template SELECT i, printf('%0500d', i) "
              "FROM n;\n.shell kill -9 $PPID");
        QVERIFY(QFileInfo(data).size() > 200000); // spilled

        QCOMPARE(StartUp(), StartResult::Running); // and no message
        for (const QString& file : {forms, data})  // locked while the program runs
            QVERIFY(shell(file, "select count(*) from sqlite_master;").contains("locked"));
        // A second copy, started from elsewhere, ends at once, touching nothing.
        const QByteArray running = ReadBytes(data), backedUp = ReadBytes(backup);
        QTemporaryDir elsewhere;
        QProcess second;
        second.setWorkingDirectory(elsewhere.path());
        second.start(CopyProgramInto(app.path()), {});
        QVERIFY(second.waitForFinished(10000) && second.exitStatus() == QProcess::NormalExit &&
                second.exitCode() == 0);
        QVERIFY(ReadBytes(data) == running && ReadBytes(backup) == backedUp &&
                QDir(elsewhere.path()).isEmpty());
        endRun();
        QCOMPARE(templatesIn(backup), QString("1:,2:納品書")); // as before the interrupted write
        QCOMPARE(shell(data, "select id || ':' || hex(form) from extra; "
                             "select count(p_colour) from moji;"),
                 QString("7:00FF\n0"));
        for (const QString& file : {forms, data}) // keyed
            QVERIFY(!ReadBytes(file).startsWith("SQLite format 3"));

        // The next start copies forms.vsk; every file has data.vsk's bits (the user's 0700 aside).
        QCOMPARE(StartUp(), StartResult::Running);
        endRun();
        for (const QString& file : {data, backup, forms, app.file(LayoutFiles::FormsBackup)})
            QCOMPARE(QFile::permissions(file) & ~QFileDevice::Permissions(0x0700), mode);
    }

    void failedStartLeavesWhatWasThere_data() {
        // A file removed (null), replaced by the bytes or changed by the statements after "sql:";
        // or, after the compaction, the power fails, the last rename fails or data.vsk is gone.
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("damage");
        QTest::addColumn<QString>("failure");
        const QString data = LayoutFiles::Data, none;
        QTest::newRow("missing") << data << QByteArray() << none;
        QTest::newRow("empty file") << data << QByteArray("") << none;
        QTest::newRow("not a database") << data << QByteArray(4096, 'x') << none;
        QTest::newRow("empty forms.vsk") << LayoutFiles::Forms << QByteArray("") << none;
        const QByteArray noPosition = "sql:ALTER TABLE moji RENAME TO old; CREATE TABLE moji AS "
                                      "SELECT moji_id, page_id, moji, p_size, p_left, p_right, "
                                      "p_top, p_col_count, p_row_count FROM old;";
        QTest::newRow("a column missing") << data << noPosition << none;
        QTest::newRow("power fails") << data << QByteArray("unchanged") << "power";
        QTest::newRow("rename refused") << data << QByteArray("unchanged") << "rename";
        QTest::newRow("data.vsk gone") << data << QByteArray("unchanged") << "data gone";
    }

    void failedStartLeavesWhatWasThere() {
        QFETCH(QString, file);
        QFETCH(QByteArray, damage);
        QFETCH(QString, failure);
        AppFolderFixture app;
        fill(app);
        MessageRecorder recorder;
        QCOMPARE(StartUp(), StartResult::Running);
        endRun();
        const QString path = app.file(file), compacted = app.file(LayoutFiles::Compacted);
        const QString backup =
            app.file(file == LayoutFiles::Data ? LayoutFiles::Backup : LayoutFiles::FormsBackup);
        const QByteArray goodBackup = ReadBytes(backup);
        if (damage.isNull())
            QVERIFY(QFile::remove(path));
        else if (damage.startsWith("sql:"))
            QCOMPARE(shell(path, damage.mid(4)), QString());
        else if (failure.isEmpty())
            WriteBytes(path, damage);
        const QByteArray damaged = ReadBytes(path);
        // Nothing the start made is left after it (a folder in the way is not its own).
        const auto entries = [&] {
            return QDir(app.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        };
        QStringList left = entries();
        if (failure == "rename")
            left.prepend(LayoutFiles::Compacted);
        SetStartUpHook([&](const char* step) {
            if (failure.isEmpty() || QByteArray(step) != "compacted")
                return;
            if (failure == "rename") // a folder in the way of the last rename
                return void(QFile::remove(compacted) && QDir().mkdir(compacted));
            if (failure == "data gone")
                QFile::remove(app.file(LayoutFiles::Data));
            throw std::runtime_error("the power went off");
        });
        QCOMPARE(StartUp(), StartResult::Failed);
        QCOMPARE(recorder.shown.size(), 1);
        // The damaged file's copy is the last good one, or the one a failure after it took.
        QCOMPARE(ReadBytes(backup), failure.isEmpty() ? goodBackup : damaged);
        if (failure == "data gone") {
            QCOMPARE(templatesIn(compacted), QString("1:,2:納品書"));
            return;
        }
        QCOMPARE(ReadBytes(path), damaged);
        QCOMPARE(entries(), left);
        const int fd = ::open(QFile::encodeName(app.path()).constData(), O_RDONLY | O_DIRECTORY);
        QVERIFY(::flock(fd, LOCK_EX | LOCK_NB) == 0); // let go: the next start may run
        ::close(fd);
    }

    void formsKeptCopiedAndDeleted() {
        AppFolderFixture app;
        fill(app);
        app.OpenLayoutDatabase();
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, Forms().StoreForm("9", {"x", "png", 3, 4}));
        // Kept byte for byte after the file was closed and opened again.
        const std::optional<StoredForm> kept = Forms().Form("1");
        QVERIFY(kept && kept->image == awkward && kept->format == "png" && kept->heightPx == 4);
        // The copy's pages (4 and 5, in the order made) get the forms of theirs.
        LayoutStore store = Layout();
        QCOMPARE(store.CopyTemplate("1"), QString("3"));
        QVERIFY(Forms().Form("4")->image == kept->image);
        QCOMPARE(formPages(app), 134);
        // A save that fails after deleting a page keeps the page and its form.
        const QList<Page> refused{Page{"4", "", 0, 1}, Page{"", "x", 0, 1}}; // page 5 deleted first
        QVERIFY_THROWS_EXCEPTION(std::exception, store.SaveTemplate("3", "", refused));
        QVERIFY(Forms().Form("4"));
        // Deleting a template deletes its forms, and only theirs.
        store.SaveTemplate("3", "", {Page{"4", "", 0, 1}, Page{"5", "1", 0, 1}});
        Forms().StoreForm("5", {"5", "png", 3, 4});
        store.DeleteTemplate("1");
        QCOMPARE(formPages(app), 35);
    }

    // A program killed with both files written, or past the commit's point of no return: the next
    // start and its copies find the templates and forms from before the copy, or after, in both.
    void killedCopyIsAllOrNothing() {
        const QList<std::array<QString, 3>> cases = {{"both written", "1:,2:納品書", "13"},
                                                     {"gone", "1:,2:納品書,3:", "134"}};
        for (const auto& [point, templates, forms] : cases) {
            AppFolderFixture app;
            fill(app);
            QProcess child;
            child.start(qApp->applicationFilePath(), {"--die-in-commit", app.path(), point});
            QVERIFY2(child.waitForFinished(60000) && child.exitStatus() == QProcess::CrashExit,
                     child.readAllStandardError().constData());
            QCOMPARE(StartUp(), StartResult::Running); // the killed program's lock went with it
            endRun();
            for (const QString& file : {LayoutFiles::Data, LayoutFiles::Backup})
                QCOMPARE(templatesIn(app.file(file)), templates);
            for (const QString& file : {LayoutFiles::Forms, LayoutFiles::FormsBackup})
                QCOMPARE(shell(app.file(file), "select group_concat(page_id, '') from page_form;"),
                         forms);
        }
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--die-in-commit")
        return dieInCommit(QString::fromLocal8Bit(argv[2]), argv[3]);
    TestStartUp test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
