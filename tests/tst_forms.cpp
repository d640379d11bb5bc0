// The pages' form images in forms.vsk: kept, reduced, copied and deleted
// with the layout, the file and its copy, and a killed write across both files.
#include "TestSupport.h"
#include "common/AppFolder.h"
#include "common/Globals.h"
#include "common/LayoutFiles.h"
#include "common/Program.h"
#include "layout/FormStore.h"
#include "layout/LayoutStore.h"
#include "layout/PaperSizes.h"
#include "platform/Database.h"
#include "platform/Engine.h"
#include "start/StartUp.h"

#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>
#include <csignal>
#include <sqlite3.h>

namespace {

Page newRow(const QString& no) {
    return Page{QString(), no, 0, 1};
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
QByteArray awkwardBytes(int size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i ^ i >> 8);
    return bytes;
}

// What a keyed reader outside the program finds in `file`.
QString shell(const QString& file, const QString& sql) {
    return RunSqlcipherShell(file, "PRAGMA key='4817k205';\n" + sql + "\n", nullptr).trimmed();
}

// Ends what an in-process start left running.
void endRun() {
    if (LayoutWorkspace)
        LayoutWorkspace->Close();
    LayoutWorkspace = nullptr;
    LayoutDatabase = nullptr;
    ReleaseSingleInstance();
    CloseAllScreens();
}

// The ids of the pages with a form, their digits in a row (13 for pages 1 and 3).
qlonglong formPages(AppFolderFixture& app) {
    return app.Scalar("select group_concat(page_id, '') as n from "
                      "(select page_id from forms.page_form order by page_id)");
}

// Template 1 with pages 1 and 2, a form on page 1 only; template 2
// with page 3 and its form.
void fillTwoTemplates() {
    LayoutStore store = Layout();
    store.SaveTemplate(store.CreateTemplate(), "", {newRow("1"), newRow("2")});
    store.SaveTemplate(store.CreateTemplate(), "納品書", {newRow("1")});
    Forms().StoreForm("1", bytesForm(awkwardBytes(300000)));
    Forms().StoreForm("3", bytesForm("3"));
}

// --- The child that dies in the middle of a commit ------------------------
// It changes the layout in a copy of this program's process, through a file
// layer that kills the process at one moment of the engine's commit across
// both files: when its super-journal is about to go (both files written),
// or when it is gone (the commit's point of no return).

sqlite3_vfs* realVfs = nullptr;
QByteArray killAt;

bool isSuperJournal(const char* name) {
    return name && QByteArray(name).contains(LayoutFiles::Data.toLatin1() + "-mj");
}

int dieInCommit(const QString& folder, const QByteArray& operation, const QByteArray& point) {
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
    if (operation == "copy")
        Layout().CopyTemplate("1");
    else
        Layout().DeleteTemplate("1");
    return 3; // the commit never came to the moment: no super-journal was used
}

} // namespace

class TestForms : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { endRun(); }
    void reducedForTheSheet_data();
    void reducedForTheSheet();
    void keptCopiedAndDeletedWithTheLayout();
    void madeWhenMissingAndCopiedOnlyAfterAChange();
    void killedWriteIsAllOrNothing_data();
    void killedWriteIsAllOrNothing();
};

void TestForms::reducedForTheSheet_data() {
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<int>("sizeCode");
    QTest::addColumn<int>("direction");
    QTest::addColumn<QSize>("kept");
    QTest::addColumn<QString>("format");
    // 200 dpi at most, each side on its own: 210 mm across a landscape A5
    // (1653 pixels), 1000 pixels kept down its 148 mm (at most 1165).
    QTest::newRow("A5 landscape scan")
        << form({2400, 1000}, true) << 2 << 1 << QSize(1653, 1000) << "jpeg";
    QTest::newRow("transparent on paper")
        << form({400, 400}, false, true) << 0 << 0 << QSize(400, 400) << "png";
    // No sheet: A3's long side, 420 mm, both ways (3307 pixels).
    QTest::newRow("size outside the table")
        << form({4000, 3400}) << 9 << 0 << QSize(3307, 3307) << "png";
}

void TestForms::reducedForTheSheet() {
    QFETCH(QImage, picture);
    QFETCH(int, sizeCode);
    QFETCH(int, direction);
    QFETCH(QSize, kept);
    QFETCH(QString, format);
    const StoredForm reduced = ReduceForm(picture, SheetSizeMm(sizeCode, direction));
    QCOMPARE(QSize(reduced.widthPx, reduced.heightPx), kept);
    QCOMPARE(reduced.format, format);
    const QImage decoded = reduced.Decode();
    QCOMPARE(decoded.size(), kept);
    // Paper stays light and the box dark, where they were in the picture.
    QVERIFY(qGray(decoded.pixel(kept.width() / 20, kept.height() / 20)) > 200);
    QVERIFY(qGray(decoded.pixel(kept.width() / 2, kept.height() / 2)) < 100);
}

void TestForms::keptCopiedAndDeletedWithTheLayout() {
    AppFolderFixture app;
    app.OpenLayoutDatabase();
    fillTwoTemplates();
    // An id that is not a page stores nothing.
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, Forms().StoreForm("9", bytesForm("x")));
    QVERIFY_THROWS_EXCEPTION(std::exception, Forms().StoreForm("1.5", bytesForm("x")));
    // Kept byte for byte after the file was closed and opened again.
    app.CloseLayoutDatabase();
    app.OpenLayoutDatabase();
    QVERIFY(!Forms().Form("2"));
    const std::optional<StoredForm> kept = Forms().Form("1");
    QVERIFY(kept && kept->image == awkwardBytes(300000) && kept->format == "png");
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
    QVERIFY_THROWS_EXCEPTION(std::exception,
                             store.SaveTemplate("3", "", {Page{"4", "", 0, 1}, newRow("x")}));
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

void TestForms::madeWhenMissingAndCopiedOnlyAfterAChange() {
    AppFolderFixture app;
    app.OpenLayoutDatabase();
    Layout().SaveTemplate(Layout().CreateTemplate(), "", {newRow("1")});
    app.CloseLayoutDatabase();
    const QString forms = app.file(LayoutFiles::Forms);
    const QString backup = app.file(LayoutFiles::FormsBackup);
    QVERIFY(QFile::remove(forms));
    QVERIFY(QFile::setPermissions(app.file(LayoutFiles::Data), QFileDevice::ReadOwner |
                                                                   QFileDevice::WriteOwner |
                                                                   QFileDevice::ReadGroup));
    MessageRecorder recorder;

    // Made at the open, with data.vsk's bits, keyed, and both files locked
    // while the program runs.
    QCOMPARE(StartUp(), StartResult::Running);
    QVERIFY(!QFile::exists(backup));
    for (const QString& file : {forms, app.file(LayoutFiles::Data)})
        QVERIFY(shell(file, "select count(*) from sqlite_master;").contains("locked"));
    endRun();
    QCOMPARE(QFile::permissions(forms), QFile::permissions(app.file(LayoutFiles::Data)));
    QCOMPARE(shell(forms, "select count(*) from page_form;"), QString("0"));
    QVERIFY(
        RunSqlcipherShell(forms, "select 1 from page_form;\n", nullptr).contains("not a database"));

    // The first start with the file copies it; the next ones, with nothing
    // changed, leave the copy alone.
    QCOMPARE(StartUp(), StartResult::Running);
    endRun();
    QCOMPARE(QFile::permissions(backup), QFile::permissions(forms));
    const QDateTime old = QDateTime::currentDateTime().addDays(-3);
    {
        QFile file(backup);
        QVERIFY(file.open(QIODevice::ReadWrite) &&
                file.setFileTime(old, QFileDevice::FileModificationTime));
    }
    QCOMPARE(StartUp(), StartResult::Running);
    endRun();
    QCOMPARE(QFileInfo(backup).lastModified(), old);

    // A form kept during a run is in the copy the next start takes.
    QCOMPARE(StartUp(), StartResult::Running);
    Forms().StoreForm("1", bytesForm("kept"));
    endRun();
    QCOMPARE(StartUp(), StartResult::Running);
    endRun();
    QCOMPARE(ReadBytes(backup), ReadBytes(forms));
    QCOMPARE(shell(backup, "select image from page_form;"), QString("kept"));
    QVERIFY(recorder.shown.isEmpty());

    // A damaged forms.vsk stops the start and never replaces the copy.
    const QByteArray goodCopy = ReadBytes(backup);
    WriteBytes(forms, "");
    QCOMPARE(StartUp(), StartResult::Failed);
    QCOMPARE(recorder.shown.size(), 1);
    QCOMPARE(ReadBytes(backup), goodCopy);
    QCOMPARE(ReadBytes(forms), QByteArray());
}

void TestForms::killedWriteIsAllOrNothing_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("point");
    // What the next start finds: the templates, the pages with a form.
    QTest::addColumn<QString>("templates");
    QTest::addColumn<qlonglong>("forms");
    const QString copy("copy"), written("both written"), gone("gone");
    QTest::newRow("copy, both files written") << copy << written << "1,2" << 13ll;
    QTest::newRow("copy, super-journal gone") << copy << gone << "1,2,3" << 134ll;
    QTest::newRow("delete, super-journal gone") << QString("delete") << gone << "2" << 3ll;
}

void TestForms::killedWriteIsAllOrNothing() {
    QFETCH(QString, operation);
    QFETCH(QString, point);
    QFETCH(QString, templates);
    QFETCH(qlonglong, forms);
    AppFolderFixture app;
    app.OpenLayoutDatabase();
    fillTwoTemplates();
    app.CloseLayoutDatabase();

    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {"--die-in-commit", app.path(), operation, point});
    QVERIFY(child.waitForFinished(60000));
    QVERIFY2(child.exitStatus() == QProcess::CrashExit, child.readAllStandardError().constData());

    // The next start undoes the write in both files, or keeps it in both.
    MessageRecorder recorder;
    QCOMPARE(StartUp(), StartResult::Running);
    QVERIFY(recorder.shown.isEmpty());
    QStringList ids;
    for (const Template& t : Layout().Templates())
        ids << t.id;
    QCOMPARE(ids.join(u','), templates);
    QCOMPARE(formPages(app), forms);
    endRun();
    // The copy taken at that start is the same outcome.
    QCOMPARE(shell(app.file(LayoutFiles::FormsBackup),
                   "select group_concat(page_id, '') from page_form;"),
             QString::number(forms));
}

int main(int argc, char** argv) {
    if (argc == 5 && QByteArray(argv[1]) == "--die-in-commit")
        return dieInCommit(QString::fromLocal8Bit(argv[2]), argv[3], argv[4]);
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestForms test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_forms.moc"
