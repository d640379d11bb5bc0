// The start-up sequence on a temporary application folder: backup,
// compaction, the exclusive open, the single instance, and what every
// failure leaves behind; the pages' form images in forms.vsk: kept, reduced,
// copied and deleted with the layout, the file and its copy, and a killed
// write across both files.
#include "TestSupport.h"
#include "common/AppFolder.h"
#include "common/Globals.h"
#include "common/LayoutFiles.h"
#include "common/Messages.h"
#include "common/Program.h"
#include "layout/FormStore.h"
#include "layout/LayoutStore.h"
#include "layout/PaperSizes.h"
#include "platform/Database.h"
#include "platform/Engine.h"
#include "screens/FrmSplash.h"
#include "start/StartUp.h"
#include "templates/FrmMenu.h"

#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
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
    return shell(file,
                 "select group_concat(template_id || ':' || template_name, ',') from template;");
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

// A form with a black box in its middle, on white or on nothing; a scan's
// noisy paper makes it a photograph, kept as JPEG.
QImage form(QSize size, bool noisy = false, bool transparent = false) {
    QImage image(size, transparent ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    image.fill(transparent ? Qt::transparent : Qt::white);
    auto* pixel = reinterpret_cast<QRgb*>(image.bits());
    for (qsizetype i = 0; noisy && i < qsizetype(size.width()) * size.height(); ++i)
        pixel[i] = qRgb(235 + int(QRandomGenerator::global()->bounded(20)), 232, 227);
    QPainter(&image).fillRect(QRectF(QPointF(size.width(), size.height()) / 4, QSizeF(size) / 2),
                              Qt::black);
    return image;
}

StoredForm bytesForm(const QByteArray& bytes) {
    return StoredForm{bytes, QStringLiteral("png"), 3, 4};
}

// Bytes a text reader would mangle: NULs, every byte value, invalid UTF-8.
QByteArray awkwardBytes() {
    QByteArray bytes(300000, Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i ^ i >> 8);
    return bytes;
}

// The ids of the pages with a form, their digits in a row (13 for pages 1 and 3).
qlonglong formPages(AppFolderFixture& app) {
    return app.Scalar("select group_concat(page_id, '') as n from "
                      "(select page_id from forms.page_form order by page_id)");
}

// Template 1 with pages 1 and 2, a form on page 1 only; template 2
// with page 3 and its form.
void fill(AppFolderFixture& app) {
    app.OpenLayoutDatabase();
    LayoutStore store = Layout();
    store.SaveTemplate(store.CreateTemplate(), "", {Page{"", "1", 0, 1}, Page{"", "2", 0, 1}});
    store.SaveTemplate(store.CreateTemplate(), "納品書", {Page{"", "1", 0, 1}});
    Forms().StoreForm("1", bytesForm(awkwardBytes()));
    Forms().StoreForm("3", bytesForm("3"));
    app.CloseLayoutDatabase();
}

// The child copies template 1 in a copy of this program's process, through
// a file layer that kills it when the commit's super-journal is about to go
// (both files written) or is gone (the point of no return).

sqlite3_vfs* realVfs = nullptr;
QByteArray killAt;

bool isSuperJournal(const char* name) {
    return name && QByteArray(name).contains(LayoutFiles::Data.toLatin1() + "-mj");
}

int dieInCommit(const QString& folder, const QByteArray& point) {
    static sqlite3_vfs shim;
    realVfs = sqlite3_vfs_find(nullptr);
    shim = *realVfs;
    shim.zName = "die-in-commit";
    shim.xDelete = [](sqlite3_vfs*, const char* name, int syncDir) {
        if (isSuperJournal(name) && killAt == "both written")
            std::raise(SIGKILL);
        const int rc = realVfs->xDelete(realVfs, name, syncDir);
        if (isSuperJournal(name) && killAt == "gone")
            std::raise(SIGKILL);
        return rc;
    };
    sqlite3_vfs_register(&shim, 1);

    SetAppPath(folder);
    LayoutWorkspace = &DefaultWorkspace();
    LayoutDatabase = LayoutWorkspace->OpenDatabase(QDir(folder).filePath(LayoutFiles::Data), true,
                                                   false, LayoutFiles::Connect);
    AttachForms(LayoutDatabase, folder);
    // The open's exclusive transaction commits across both files too.
    killAt = point;
    Layout().CopyTemplate("1");
    return 3; // the commit never came to the moment: no super-journal was used
}

} // namespace

class TestStartUp : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { endRun(); }
    void normalStart();
    void failedStartLeavesWhatWasThere_data();
    void failedStartLeavesWhatWasThere();
    void secondCopyEndsSilently();
    void formsReducedForTheSheet();
    void formsKeptCopiedAndDeletedWithTheLayout();
    void killedCopyIsAllOrNothing();
};

void TestStartUp::normalStart() {
    const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    AppFolderFixture app;
    fill(app);
    // Tables and columns that later features add stay through the compaction.
    app.OpenLayoutDatabase();
    app.Exec("CREATE TABLE main.extra (id INTEGER PRIMARY KEY, form BLOB)");
    app.Exec("INSERT INTO main.extra VALUES (7, x'00ff')");
    app.Exec("ALTER TABLE moji ADD COLUMN p_colour INTEGER");
    app.CloseLayoutDatabase();
    QVERIFY(QFile::setPermissions(app.file(LayoutFiles::Data), mode));
    // A missing forms.vsk is made.
    const QString forms = app.file(LayoutFiles::Forms);
    const QString formsBackup = app.file(LayoutFiles::FormsBackup);
    QVERIFY(QFile::remove(forms));
    const qint64 consistentSize = QFileInfo(app.file(LayoutFiles::Data)).size();
    // A backup readable by everyone gets the database's bits.
    WriteBytes(app.file(LayoutFiles::Backup), "older");
    QVERIFY(QFile::setPermissions(app.file(LayoutFiles::Backup), mode | QFileDevice::ReadOther));
    // A compaction left over from a start that died is replaced.
    WriteBytes(app.file(LayoutFiles::Compacted), "left over");
    // Another writer dies in the middle of a large transaction that has
    // already spilled pages into data.vsk, leaving its journal behind.
    QProcess writer;
    writer.start("sqlcipher", {"-batch", app.file(LayoutFiles::Data)});
    QVERIFY(writer.waitForStarted());
    writer.write("PRAGMA key='4817k205';\nPRAGMA cache_size=10;\nBEGIN;\n"
                 "WITH RECURSIVE n(i) AS (SELECT 10 UNION ALL SELECT i+1 FROM n WHERE i<20000) "
                 "INSERT INTO template SELECT i, printf('%0500d', i) FROM n;\n");
    QTRY_VERIFY_WITH_TIMEOUT(
        QFileInfo(app.file(LayoutFiles::Data)).size() > consistentSize + 200000, 30000);
    QVERIFY(QFileInfo(app.file(LayoutFiles::Data + "-journal")).size() > 0);
    writer.kill();
    writer.waitForFinished();
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
    // Both files are locked while the program runs.
    for (const QString& file : {forms, app.file(LayoutFiles::Data)})
        QVERIFY(shell(file, "select count(*) from sqlite_master;").contains("locked"));
    const QFileDevice::Permissions user(0x0700); // this account's, as the owner's
    QCOMPARE(QFile::permissions(app.file(LayoutFiles::Data)) & ~user, mode);
    QCOMPARE(QFile::permissions(app.file(LayoutFiles::Backup)) & ~user, mode);
    endRun();
    // The backup is the database as it was before the interrupted write
    // (rolled back pages are encrypted anew, so only their number is equal).
    QCOMPARE(QFileInfo(app.file(LayoutFiles::Backup)).size(), consistentSize);
    QCOMPARE(templatesIn(app.file(LayoutFiles::Backup)), QString("1:,2:納品書"));
    QCOMPARE(shell(app.file(LayoutFiles::Data), "select id || ':' || hex(form) from "
                                                "extra; select count(p_colour) from moji;"),
             QString("7:00FF\n0"));
    // forms.vsk was made with data.vsk's bits, keyed and empty, and not yet copied.
    QVERIFY(!QFile::exists(formsBackup));
    QCOMPARE(QFile::permissions(forms), QFile::permissions(app.file(LayoutFiles::Data)));
    QCOMPARE(shell(forms, "select count(*) from page_form;"), QString("0"));
    for (const QString& file : {forms, app.file(LayoutFiles::Data)})
        QVERIFY(
            RunSqlcipherShell(file, "select 1 from page;\n", nullptr).contains("not a database"));

    // The first start with the file copies it; the next ones, with nothing
    // changed, leave the copy alone; a form kept during a run is in the copy
    // the next start takes.
    QCOMPARE(StartUp(), StartResult::Running);
    endRun();
    QCOMPARE(QFile::permissions(formsBackup), QFile::permissions(forms));
    const QDateTime old = QDateTime::currentDateTime().addDays(-3);
    {
        QFile file(formsBackup);
        QVERIFY(file.open(QIODevice::ReadWrite) &&
                file.setFileTime(old, QFileDevice::FileModificationTime));
    }
    QCOMPARE(StartUp(), StartResult::Running);
    endRun();
    QCOMPARE(QFileInfo(formsBackup).lastModified(), old);
    QCOMPARE(StartUp(), StartResult::Running);
    Forms().StoreForm("1", bytesForm("kept"));
    endRun();
    QCOMPARE(StartUp(), StartResult::Running);
    endRun();
    QCOMPARE(ReadBytes(formsBackup), ReadBytes(forms));
    QCOMPARE(shell(formsBackup, "select image from page_form;"), QString("kept"));
    QVERIFY(recorder.shown.isEmpty());
}

void TestStartUp::failedStartLeavesWhatWasThere_data() {
    // A file found unsound: replaced by `bytes` (unless null), then `sql` runs
    // on it in the shell, keyed; with neither, removed. Or a failure after the
    // compaction, before data.vsk is replaced: the power fails, the last rename
    // fails (a folder stands where the compaction was), or data.vsk is gone,
    // which leaves the compaction the only copy.
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("failure");
    const QString data = LayoutFiles::Data, none;
    QTest::newRow("missing") << data << QByteArray() << none << none;
    QTest::newRow("empty file") << data << QByteArray("") << none << none;
    QTest::newRow("not a database") << data << QByteArray(4096, 'x') << none << none;
    QTest::newRow("empty forms.vsk") << LayoutFiles::Forms << QByteArray("") << none << none;
    QTest::newRow("a table missing")
        << data << QByteArray() << "ALTER TABLE page RENAME TO pages;" << none;
    QTest::newRow("a column missing")
        << data << QByteArray()
        << "ALTER TABLE moji RENAME TO old; CREATE TABLE moji AS SELECT moji_id, page_id, moji, "
           "p_size, p_left, p_right, p_top, p_col_count, p_row_count FROM old; DROP TABLE old;"
        << none;
    QTest::newRow("power fails") << data << QByteArray() << none << "power";
    QTest::newRow("rename refused") << data << QByteArray() << none << "rename";
    QTest::newRow("data.vsk gone") << data << QByteArray() << none << "data gone";
}

void TestStartUp::failedStartLeavesWhatWasThere() {
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, sql);
    QFETCH(QString, failure);
    AppFolderFixture app;
    fill(app);
    MessageRecorder recorder;
    QCOMPARE(StartUp(), StartResult::Running);
    endRun();
    const QString backup =
        app.file(file == LayoutFiles::Data ? LayoutFiles::Backup : LayoutFiles::FormsBackup);
    const QByteArray goodBackup = ReadBytes(backup);
    QVERIFY(!goodBackup.isEmpty());
    if (!bytes.isNull())
        WriteBytes(app.file(file), bytes);
    if (!sql.isEmpty())
        QCOMPARE(shell(app.file(file), sql), QString());
    if (bytes.isNull() && sql.isEmpty() && failure.isEmpty())
        QVERIFY(QFile::remove(app.file(file)));
    const QByteArray damaged = ReadBytes(app.file(file));
    QStringList left = entriesOf(app.path());
    SetStartUpHook([&](const char* step) {
        if (failure.isEmpty() || QByteArray(step) != "compacted")
            return;
        if (failure == "rename") {
            QVERIFY(QFile::remove(app.file(LayoutFiles::Compacted)));
            QVERIFY(QDir(app.path()).mkdir(LayoutFiles::Compacted));
            return;
        }
        if (failure == "data gone")
            QFile::remove(app.file(LayoutFiles::Data));
        throw std::runtime_error("the power went off");
    });
    QCOMPARE(StartUp(), StartResult::Failed);
    QCOMPARE(recorder.shown.size(), 1);
    QVERIFY(!VisibleScreen<FrmSplash>() && !VisibleScreen<FrmMenu>());
    // The damaged file's copy is the last good one; a failure after the
    // backup leaves the one just taken.
    QCOMPARE(ReadBytes(backup), failure.isEmpty() ? goodBackup : damaged);
    if (failure == "data gone") {
        QCOMPARE(templatesIn(app.file(LayoutFiles::Compacted)), QString("1:,2:納品書"));
        return;
    }
    QCOMPARE(ReadBytes(app.file(file)), damaged);
    // Nothing the start made is left (the folder in the way of the rename
    // was not its own), and the folder is let go: the next start may run.
    if (failure == "rename")
        left.prepend(LayoutFiles::Compacted);
    QCOMPARE(entriesOf(app.path()), left);
    QVERIFY(!folderLockedByAnother(app.path()));
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

void TestStartUp::formsReducedForTheSheet() {
    // 200 dpi at most, each side on its own: 210 mm across a landscape A5
    // (1653 pixels), 1000 pixels kept down its 148 mm (at most 1165); with no
    // sheet, A3's long side, 420 mm, both ways (3307 pixels).
    struct Case {
        QImage picture;
        QSizeF sheet;
        QSize kept;
        QString format;
    };
    for (const auto& [picture, sheet, kept, format] :
         {Case{form({2400, 1000}, true), SheetSizeMm(2, 1), {1653, 1000}, "jpeg"},
          Case{form({400, 400}, false, true), SheetSizeMm(0, 0), {400, 400}, "png"},
          Case{form({4000, 3400}), SheetSizeMm(9, 0), {3307, 3307}, "png"}}) {
        const StoredForm reduced = ReduceForm(picture, sheet);
        QCOMPARE(QSize(reduced.widthPx, reduced.heightPx), kept);
        QCOMPARE(reduced.format, format);
        // Paper stays light and the box dark, where they were in the picture.
        const QImage decoded = reduced.Decode();
        QVERIFY(qGray(decoded.pixel(kept.width() / 20, kept.height() / 20)) > 200);
        QVERIFY(qGray(decoded.pixel(kept.width() / 2, kept.height() / 2)) < 100);
    }
}

void TestStartUp::formsKeptCopiedAndDeletedWithTheLayout() {
    AppFolderFixture app;
    fill(app);
    app.OpenLayoutDatabase();
    // An id that is not a page stores nothing.
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, Forms().StoreForm("9", bytesForm("x")));
    QVERIFY_THROWS_EXCEPTION(std::exception, Forms().StoreForm("1.5", bytesForm("x")));
    // Kept byte for byte after the file was closed and opened again.
    QVERIFY(!Forms().Form("2"));
    const std::optional<StoredForm> kept = Forms().Form("1");
    QVERIFY(kept && kept->image == awkwardBytes() && kept->format == "png");
    QCOMPARE(QSize(kept->widthPx, kept->heightPx), QSize(3, 4));
    // A new picture replaces the page's form.
    Forms().RememberForm("3", form({800, 600}), SheetSizeMm(1, PaperDirections::Landscape));
    QCOMPARE(app.Scalar("select count(*) as n from forms.page_form where page_id = 3"), 1);
    QCOMPARE(Forms().Form("3")->Decode().size(), QSize(800, 600));

    // The copy's pages (4 and 5, in the order made) get the forms of theirs.
    LayoutStore store = Layout();
    QCOMPARE(store.CopyTemplate("1"), QString("3"));
    QVERIFY(Forms().Form("4")->image == kept->image);
    QCOMPARE(formPages(app), 134);

    // A save that fails after deleting a page keeps the page and its form.
    QVERIFY_THROWS_EXCEPTION(
        std::exception, store.SaveTemplate("3", "", {Page{"4", "", 0, 1}, Page{"", "x", 0, 1}}));
    QVERIFY(Forms().Form("4"));
    // Deleting a page or a template deletes its forms, and only theirs.
    store.SaveTemplate("3", "", {Page{"4", "", 0, 1}, Page{"5", "1", 0, 1}});
    Forms().StoreForm("5", bytesForm("5"));
    QCOMPARE(formPages(app), 135);
    store.DeleteTemplate("1");
    QCOMPARE(formPages(app), 35);

    // Pages deleted while the program was not running leave orphans, which
    // go at the next open (a new page may take their ids).
    app.CloseLayoutDatabase();
    QCOMPARE(shell(app.file(LayoutFiles::Data),
                   "PRAGMA foreign_keys=ON; delete from template where template_id = 2; "
                   "select group_concat(page_id) from page;"),
             QString("5"));
    app.OpenLayoutDatabase();
    QCOMPARE(formPages(app), 5);
}

void TestStartUp::killedCopyIsAllOrNothing() {
    // Killed with both files written, or past the commit's point of no return:
    // the next start, and the copy it takes, find the templates and the pages
    // with a form from before the copy, or from after it, in both files.
    const QList<std::array<QString, 3>> cases = {{"both written", "1,2", "13"},
                                                 {"gone", "1,2,3", "134"}};
    for (const auto& [point, templates, forms] : cases) {
        AppFolderFixture app;
        fill(app);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {"--die-in-commit", app.path(), point});
        QVERIFY(child.waitForFinished(60000));
        QVERIFY2(child.exitStatus() == QProcess::CrashExit,
                 child.readAllStandardError().constData());
        MessageRecorder recorder;
        QCOMPARE(StartUp(), StartResult::Running);
        QVERIFY(recorder.shown.isEmpty());
        QStringList ids;
        for (const Template& t : Layout().Templates())
            ids << t.id;
        QCOMPARE(ids.join(u','), templates);
        QCOMPARE(QString::number(formPages(app)), forms);
        endRun();
        QCOMPARE(shell(app.file(LayoutFiles::FormsBackup),
                       "select group_concat(page_id, '') from page_form;"),
                 forms);
    }
}

int main(int argc, char** argv) {
    if (argc == 4 && QByteArray(argv[1]) == "--die-in-commit")
        return dieInCommit(QString::fromLocal8Bit(argv[2]), argv[3]);
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestStartUp test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
