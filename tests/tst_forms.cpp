// The pages' form images in forms.vsk, without screens: kept byte for byte,
// reduced for their sheet, copied and deleted with their pages and
// templates, orphans removed at the open, the file made when missing, its
// copy taken only after a change, and a write killed half-way undone in both
// files at once.
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
#include <sys/stat.h>

namespace {

Page newRow(const QString& no) {
    return Page{QString(), no, 0, 1};
}

// A scanned form: noisy tinted paper, ruled boxes; JPEG keeps it smaller.
QImage scan(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    auto* pixel = reinterpret_cast<QRgb*>(image.bits());
    for (qsizetype i = 0; i < qsizetype(size.width()) * size.height(); ++i) {
        const int v = 235 + int(QRandomGenerator::global()->bounded(20));
        pixel[i] = qRgb(v, v - 3, v - 8);
    }
    QPainter painter(&image);
    painter.setPen(QPen(Qt::black, size.width() / 400.0));
    for (int row = 1; row < 10; ++row)
        painter.drawRect(QRectF(size.width() * 0.1, size.height() * row / 11.0, size.width() * 0.8,
                                size.height() / 22.0));
    return image;
}

// A drawn form of few colours: a black box on white, or on nothing.
QImage lineArt(QSize size, bool transparent = false) {
    QImage image(size, transparent ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    image.fill(transparent ? Qt::transparent : Qt::white);
    QPainter painter(&image);
    painter.fillRect(
        QRectF(size.width() * 0.25, size.height() * 0.25, size.width() * 0.5, size.height() * 0.5),
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
        bytes[i] = char(i < 512 ? i : i * 7919 >> 5);
    return bytes;
}

// What a keyed reader outside the program finds in `file`.
QString shell(const QString& file, const QString& sql) {
    return RunSqlcipherShell(file, "PRAGMA key='4817k205';\n" + sql + "\n", nullptr).trimmed();
}

int modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
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

// Template 1 "請求書" with pages 1 and 2, a form on page 1 only; template 2
// with page 3 and its form.
void fillTwoTemplates(AppFolderFixture& app) {
    LayoutStore store = Layout();
    store.SaveTemplate(store.CreateTemplate(), "請求書", {newRow("1"), newRow("2")});
    store.SaveTemplate(store.CreateTemplate(), "納品書", {newRow("1")});
    Forms().StoreForm("1", bytesForm(awkwardBytes(300000)));
    Forms().StoreForm("3", bytesForm("3"));
    QCOMPARE(formPages(app), 13);
}

// --- The child that dies in the middle of a commit ------------------------
// It changes the layout in a copy of this program's process, through a file
// layer that kills the process at one moment of the engine's commit across
// both files: when the super-journal is made (before either file is
// written), when it is about to go (both files written), or when it is gone
// (the commit's point of no return).

sqlite3_vfs* realVfs = nullptr;
QByteArray killAt;

#ifdef SQLITE_OPEN_SUPER_JOURNAL
constexpr int SuperJournalFlag = SQLITE_OPEN_SUPER_JOURNAL;
#else
constexpr int SuperJournalFlag = SQLITE_OPEN_MASTER_JOURNAL;
#endif

bool isSuperJournal(const char* name) {
    return name && QByteArray(name).contains(LayoutFiles::Data.toLatin1() + "-mj");
}

int dieInCommit(const QString& folder, const QByteArray& operation, const QByteArray& point) {
    static sqlite3_vfs shim;
    realVfs = sqlite3_vfs_find(nullptr);
    shim = *realVfs;
    shim.zName = "die-in-commit";
    shim.xOpen = [](sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* out) {
        const int rc = realVfs->xOpen(realVfs, name, file, flags, out);
        if ((flags & SuperJournalFlag) && killAt == "made")
            std::raise(SIGKILL);
        return rc;
    };
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
    void keptByteForByteAndReplaced();
    void reducedForTheSheet_data();
    void reducedForTheSheet();
    void copiedAndDeletedWithTheLayout();
    void madeWhenMissingAndCopiedOnlyAfterAChange();
    void killedWriteIsAllOrNothing_data();
    void killedWriteIsAllOrNothing();
};

void TestForms::keptByteForByteAndReplaced() {
    AppFolderFixture app;
    app.OpenLayoutDatabase();
    LayoutStore store = Layout();
    store.SaveTemplate(store.CreateTemplate(), "", {newRow("1"), newRow("2")});
    FormStore forms = Forms();
    QVERIFY(!forms.Form("1"));

    const QByteArray bytes = awkwardBytes(1 << 20);
    forms.StoreForm("1", StoredForm{bytes, "jpeg", 1653, 2338});
    // No page, no form: an id that is not a page stores nothing.
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, forms.StoreForm("9", bytesForm("x")));
    QVERIFY_THROWS_EXCEPTION(std::exception, forms.StoreForm("1.5", bytesForm("x")));

    // Read back after the file was closed and opened again.
    app.CloseLayoutDatabase();
    QCOMPARE(shell(app.file(LayoutFiles::Forms),
                   "select page_id || ':' || length(image) || ':' || substr(hex(image), 1, 8) "
                   "from page_form;"),
             QString("1:1048576:00010203"));
    app.OpenLayoutDatabase();
    const std::optional<StoredForm> kept = Forms().Form("1");
    QVERIFY(kept);
    QVERIFY(kept->image == bytes);
    QCOMPARE(kept->format, QString("jpeg"));
    QCOMPARE(QSize(kept->widthPx, kept->heightPx), QSize(1653, 2338));

    // A new picture replaces the page's form.
    Forms().RememberForm("1", lineArt({800, 600}), SheetSizeMm(1, PaperDirections::Landscape));
    QCOMPARE(app.Scalar("select count(*) as n from forms.page_form where page_id = 1"), 1);
    const StoredForm replaced = *Forms().Form("1");
    QCOMPARE(replaced.format, QString("png"));
    QCOMPARE(replaced.Decode().size(), QSize(800, 600));
}

void TestForms::reducedForTheSheet_data() {
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<int>("sizeCode");
    QTest::addColumn<int>("direction");
    QTest::addColumn<QSize>("kept");
    QTest::addColumn<QString>("format");
    // Where the picture has ink, as a share of its width and height: the top
    // edge of a scan's first box, the middle of a drawn one.
    QTest::addColumn<QPointF>("ink");
    const QPointF boxEdge(0.5, 1 / 11.0), middle(0.5, 0.5);
    // 210 x 297 mm at 200 dpi: 1653.5 x 2338.6 pixels, never more.
    QTest::newRow("A4 scan at 300 dpi")
        << scan({2480, 3508}) << 1 << 0 << QSize(1653, 2338) << "jpeg" << boxEdge;
    // Each side on its own: 210 mm across a landscape A5 (1653 pixels), and
    // 1000 pixels kept down its 148 mm (at most 1165).
    QTest::newRow("A5 landscape") << scan({2400, 1000}) << 2 << 1 << QSize(1653, 1000) << "jpeg"
                                  << boxEdge;
    QTest::newRow("small line art kept")
        << lineArt({600, 800}) << 4 << 0 << QSize(600, 800) << "png" << middle;
    QTest::newRow("transparent on paper")
        << lineArt({400, 400}, true) << 0 << 0 << QSize(400, 400) << "png" << middle;
    // No sheet: A3's long side, 420 mm, both ways (3307 pixels).
    QTest::newRow("size outside the table")
        << lineArt({4000, 3400}) << 9 << 0 << QSize(3307, 3307) << "png" << middle;
}

void TestForms::reducedForTheSheet() {
    QFETCH(QImage, picture);
    QFETCH(int, sizeCode);
    QFETCH(int, direction);
    QFETCH(QSize, kept);
    QFETCH(QString, format);
    QFETCH(QPointF, ink);
    const StoredForm form = ReduceForm(picture, SheetSizeMm(sizeCode, direction));
    QCOMPARE(QSize(form.widthPx, form.heightPx), kept);
    QCOMPARE(form.format, format);
    const QImage decoded = form.Decode();
    QCOMPARE(decoded.size(), kept);
    // Paper stays light and the box dark, where they were in the picture.
    const QPoint paper(kept.width() / 20, kept.height() / 20);
    QVERIFY2(qGray(decoded.pixel(paper)) > 200, qPrintable(QString::number(decoded.pixel(paper))));
    QVERIFY(qGray(decoded.pixel(int(kept.width() * ink.x()), int(kept.height() * ink.y()))) < 100);
}

void TestForms::copiedAndDeletedWithTheLayout() {
    AppFolderFixture app;
    app.OpenLayoutDatabase();
    fillTwoTemplates(app);
    LayoutStore store = Layout();
    const QByteArray first = Forms().Form("1")->image;

    // The copy's pages (4 and 5, in the order made) get the forms of theirs.
    QCOMPARE(store.CopyTemplate("1"), QString("3"));
    QVERIFY(Forms().Form("4") && Forms().Form("4")->image == first);
    QVERIFY(!Forms().Form("5"));

    // A save that fails after deleting a page keeps the page and its form.
    QVERIFY_THROWS_EXCEPTION(std::exception,
                             store.SaveTemplate("3", "", {Page{"4", "", 0, 1}, newRow("x")}));
    QVERIFY(Forms().Form("4"));
    // Deleting a page deletes its form; the original's stays.
    store.SaveTemplate("3", "", {Page{"4", "", 0, 1}, Page{"5", "1", 0, 1}});
    QVERIFY(!Forms().Form("4") && Forms().Form("1"));

    // Deleting a template deletes its pages' forms, and only theirs.
    Forms().StoreForm("5", bytesForm("5"));
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
    QVERIFY(QFile::remove(app.file(LayoutFiles::Forms)));
    QVERIFY(::chmod(QFile::encodeName(app.file(LayoutFiles::Data)).constData(), 0640) == 0);
    const QString forms = app.file(LayoutFiles::Forms);
    const QString backup = app.file(LayoutFiles::FormsBackup);
    MessageRecorder recorder;

    // Made at the open, with data.vsk's bits, locked while the program runs.
    QCOMPARE(StartUp(), StartResult::Running);
    QCOMPARE(modeOf(forms), 0640);
    QVERIFY(!QFile::exists(backup));
    // Making forms.vsk beside the open data.vsk kept data.vsk's lock.
    for (const QString& file : {forms, app.file(LayoutFiles::Data)}) {
        const QString held = shell(file, "select count(*) from sqlite_master;");
        QVERIFY2(held.contains("locked"), qPrintable(held));
    }
    endRun();
    QCOMPARE(shell(forms, "select sql from sqlite_master;"),
             QString("CREATE TABLE page_form (page_id INTEGER PRIMARY KEY, image BLOB NOT NULL, "
                     "format TEXT NOT NULL, width_px INTEGER, height_px INTEGER)"));
    QVERIFY(
        RunSqlcipherShell(forms, "select 1 from page_form;\n", nullptr).contains("not a database"));

    // The first start with the file copies it; the next ones, with nothing
    // changed, leave the copy alone.
    QByteArray before = ReadBytes(forms);
    QCOMPARE(StartUp(), StartResult::Running);
    endRun();
    QCOMPARE(ReadBytes(backup), before);
    QCOMPARE(modeOf(backup), 0640);
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
    before = ReadBytes(forms);
    QCOMPARE(StartUp(), StartResult::Running);
    endRun();
    QCOMPARE(ReadBytes(backup), before);
    QCOMPARE(shell(backup, "select image from page_form;"), QString("kept"));
    QVERIFY(recorder.shown.isEmpty());

    // A damaged forms.vsk stops the start and never replaces the copy.
    const QByteArray goodCopy = ReadBytes(backup);
    WriteBytes(forms, "");
    QCOMPARE(StartUp(), StartResult::Failed);
    QCOMPARE(recorder.texts(), QStringList{"処理中、異常が発生しました。\r"});
    QCOMPARE(ReadBytes(backup), goodCopy);
    QCOMPARE(ReadBytes(forms), QByteArray());
    QCOMPARE(QDir(app.path()).entryList({"*.new*", "*-journal"}, QDir::Files), QStringList());
}

void TestForms::killedWriteIsAllOrNothing_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("point");
    // What the next start finds: the templates, the pages with a form.
    QTest::addColumn<QString>("templates");
    QTest::addColumn<qlonglong>("forms");
    QTest::newRow("copy, super-journal made") << "copy"
                                              << "made"
                                              << "1,2" << 13ll;
    QTest::newRow("copy, both files written") << "copy"
                                              << "both written"
                                              << "1,2" << 13ll;
    QTest::newRow("copy, super-journal gone") << "copy"
                                              << "gone"
                                              << "1,2,3" << 134ll;
    QTest::newRow("delete, both files written") << "delete"
                                                << "both written"
                                                << "1,2" << 13ll;
    QTest::newRow("delete, super-journal gone") << "delete"
                                                << "gone"
                                                << "2" << 3ll;
}

void TestForms::killedWriteIsAllOrNothing() {
    QFETCH(QString, operation);
    QFETCH(QString, point);
    QFETCH(QString, templates);
    QFETCH(qlonglong, forms);
    AppFolderFixture app;
    app.OpenLayoutDatabase();
    fillTwoTemplates(app);
    app.CloseLayoutDatabase();
    const qint64 formsSize = QFileInfo(app.file(LayoutFiles::Forms)).size();

    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {"--die-in-commit", app.path(), operation, point});
    QVERIFY(child.waitForFinished(60000));
    QVERIFY2(child.exitStatus() == QProcess::CrashExit, child.readAllStandardError().constData());
    // The copy had already written its forms into forms.vsk when it died.
    if (operation == "copy" && point != "made")
        QVERIFY(QFileInfo(app.file(LayoutFiles::Forms)).size() > formsSize);

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
    // The copy taken at that start is the same outcome; nothing is left over.
    QCOMPARE(shell(app.file(LayoutFiles::FormsBackup),
                   "select group_concat(page_id, '') from page_form;"),
             QString::number(forms));
    QCOMPARE(QDir(app.path()).entryList({"*-journal", "*-mj*"}, QDir::Files), QStringList());
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
