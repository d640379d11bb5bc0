// Image placement driven as a user does: scans stretched over the picture
// area, drags turned into millimetres, the detail dialog storing the item into
// the grid underneath, and the item printed where it was dragged.
#include "PdfSheets.h"
#include "TestSupport.h"
#include "common/Globals.h"
#include "common/Numbers.h"
#include "common/Statements.h"
#include "items/FrmMoji.h"
#include "items/FrmScanDlg.h"
#include "items/FrmScanTate.h"
#include "items/FrmScanYoko.h"
#include "pages/FrmPage.h"
#include "pages/PrintEngine.h"
#include "platform/Database.h"
#include "platform/FileOpenDialog.h"
#include "platform/SpreadGrid.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QtTest>

namespace {

constexpr double TateWidthMm = 7000 / 33.0; // 212.12
const QString Failed = "処理中、異常が発生しました。\r";
using Selection = std::array<double, 3>; // left, top, right

void click(QWidget* form, const char* button) {
    QTest::mouseClick(form->findChild<QPushButton*>(button), Qt::LeftButton);
}
QLineEdit* box(QWidget* form, const QString& name) {
    return form->findChild<QLineEdit*>(name);
}

// Runs `step` from the event loop on the modal screen T once it is active.
template <class T> void whenModal(std::function<void(T*)> step, int tries = 500) {
    QTimer::singleShot(10, [step, tries] {
        auto* form = qobject_cast<T*>(QApplication::activeModalWidget());
        if (form && form->isActiveWindow())
            step(form);
        else if (tries > 0)
            whenModal<T>(step, tries - 1);
        else
            QTest::qFail("the modal screen did not open", __FILE__, __LINE__);
    });
}

// A press at `from` and a release at `to` (pixels of the picture area) through
// the window, as the mouse gives them; `inDialog` (by default a cancel) runs in
// the detail dialog. Returns the selection the dialog opened with.
Selection drag(ScanScreen* scan, QPoint from, QPoint to, Qt::MouseButton button = Qt::LeftButton,
               std::function<void(FrmScanDlg*)> inDialog = {}) {
    Selection s{};
    whenModal<FrmScanDlg>([&](FrmScanDlg* d) {
        s = {SelectionLeft, SelectionTop, SelectionRight};
        inDialog ? inDialog(d) : click(d, "CmdCancel");
    });
    QWidget* area = scan->findChild<QWidget*>("ImageArea");
    QTest::mousePress(scan->windowHandle(), button, {}, area->mapTo(scan, from));
    QTest::mouseMove(scan->windowHandle(), area->mapTo(scan, to));
    QTest::mouseRelease(scan->windowHandle(), button, {}, area->mapTo(scan, to));
    return s;
}

ScanScreen* openScan(bool landscape, QScreen* screen = nullptr) {
    ScanScreen* scan = landscape ? static_cast<ScanScreen*>(new FrmScanYoko) : new FrmScanTate;
    if (screen) // a window goes to the screen its place lies on
        scan->move(screen->geometry().topLeft());
    scan->show();
    if (!QTest::qWaitForWindowActive(scan))
        return nullptr;
    QTest::qWait(10); // the activation, queued after the first showing
    return scan;
}

// A picture whose quarters are red, green, blue and yellow from the top left,
// in the format its suffix names; GIF through ImageMagick, as Qt writes none.
const QColor Quarters[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
QString writePicture(const QString& path, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    for (int i = 0; i < 4; ++i)
        QPainter(&image).fillRect((i % 2) * size.width() / 2, (i / 2) * size.height() / 2,
                                  size.width(), size.height(), Quarters[i]);
    if (!path.endsWith(".gif"))
        return image.save(path) ? path : QString();
    const QString convert = QStandardPaths::findExecutable("convert");
    if (convert.isEmpty() || !image.save(path + ".png"))
        return QString();
    return QProcess::execute(convert, {path + ".png", path}) == 0 ? path : QString();
}
// True when the area's four corner pixels show the four quarters.
bool showsQuarters(ScanScreen* scan) {
    const QImage shot = scan->findChild<QWidget*>("ImageArea")->grab().toImage();
    for (int i = 0; i < 4; ++i) {
        const QColor c =
            shot.pixelColor((i % 2) * (shot.width() - 1), (i / 2) * (shot.height() - 1));
        const QColor q = Quarters[i];
        if (qAbs(c.red() - q.red()) + qAbs(c.green() - q.green()) + qAbs(c.blue() - q.blue()) > 60)
            return false;
    }
    return true;
}

// Answers the file open dialog from `answers` (nullopt: a cancel), keeping the requests.
void chooseFiles(QList<std::optional<QString>> answers,
                 QList<FileOpenRequest>* requests = nullptr) {
    SetFileOpenResponder([answers, requests](const FileOpenRequest& r) mutable {
        if (requests)
            requests->append(r);
        return answers.takeFirst();
    });
}

// The stored items in id order, each as its columns' texts joined by "|".
QStringList storedItems() {
    QStringList items;
    auto rs = LayoutDatabase->OpenRecordset(
        "select moji || '|' || p_size || '|' || p_left || '|' || p_right || '|' || p_top || '|' || "
        "p_col_count || '|' || p_row_count || '|' || p_position as item from moji order by "
        "moji_id");
    for (; !rs->EOF_(); rs->MoveNext())
        items << rs->Field("item").toString();
    return items;
}

} // namespace

class TestScan : public QObject {
    Q_OBJECT
public:
    // A second offscreen screen, at twice the pixel ratio.
    static void initMain() {
        static QTemporaryFile config(QDir::tempPath() + "/tst_scan_XXXXXX.json");
        if (qgetenv("QT_QPA_PLATFORM") != "offscreen" || !config.open())
            return;
        config.write(R"({"screens": [
            {"name": "one", "x": 0, "y": 0, "width": 1280, "height": 1024, "dpr": 1},
            {"name": "two", "x": 1280, "y": 0, "width": 1280, "height": 1024, "dpr": 2}]})");
        config.flush();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
    }

private slots:
    void init();
    void cleanup();
    void mouseToMillimetres_data();
    void mouseToMillimetres();
    void picturesFillTheArea_data();
    void picturesFillTheArea();
    void failedAndCancelledPictures();
    void okStoresIntoTheGrid_data();
    void okStoresIntoTheGrid();
    void badNumberKeepsTheDialog_data();
    void badNumberKeepsTheDialog();
    void printsWhereDragged();

private:
    std::optional<AppFolderFixture> app_;
    std::optional<MessageRecorder> recorder_;
    std::optional<QTemporaryDir> dir_;
};

void TestScan::init() {
    app_.emplace();
    app_->OpenLayoutDatabase();
    app_->Exec(Statements::InsertTemplate("1"));
    app_->Exec(Statements::InsertPage("12", "1", "1", 0, 1));
    CurrentPageId = "12";
    DefaultFontSize = 10.5;
    DefaultColCount = 20;
    DefaultRowCount = 1;
    DefaultAlign = 0;
    recorder_.emplace();
    dir_.emplace();
}

void TestScan::cleanup() {
    for (QWidget* w : QApplication::topLevelWidgets())
        delete w;
    SetFileOpenResponder({});
    recorder_.reset();
    app_.reset();
}

void TestScan::mouseToMillimetres_data() {
    QTest::addColumn<bool>("landscape");
    QTest::addColumn<int>("screen");
    QTest::newRow("portrait") << false << 0;
    QTest::newRow("landscape") << true << 0;
    QTest::newRow("portrait, pixel ratio 2") << false << 1;
    QTest::newRow("landscape, pixel ratio 2") << true << 1;
}

void TestScan::mouseToMillimetres() {
    QFETCH(bool, landscape);
    QFETCH(int, screen);
    if (screen >= QGuiApplication::screens().size())
        QSKIP("only the offscreen platform gives a second screen");
    ScanScreen* scan = openScan(landscape, QGuiApplication::screens()[screen]);
    QVERIFY(scan);
    QCOMPARE(scan->devicePixelRatio(), qreal(screen + 1));
    const QSize px = scan->findChild<QWidget*>("ImageArea")->size();
    const QSizeF mm = landscape ? QSizeF(300, TateWidthMm) : QSizeF(TateWidthMm, 300);
    const QPoint last(px.width() - 1, px.height() - 1);

    // The handlers take twips: 330, 660 and 1650 are 10, 20 and 50 mm; the
    // rectangle stays on view while the dialog is open.
    QStringList shown;
    whenModal<FrmScanDlg>([&](FrmScanDlg* d) {
        for (const char* name : {"TxtLeft", "TxtTop", "TxtRight"})
            shown << box(d, name)->text();
        shown << QString::number(scan->LineSetVisible());
        click(d, "CmdCancel");
    });
    scan->ImageArea_MouseDown(Qt::LeftButton, {}, 330, 660);
    scan->ImageArea_MouseUp(Qt::LeftButton, {}, 1650, 0);
    QCOMPARE(shown, QStringList({"10", "20", "50", "1"}));
    QVERIFY(!scan->LineSetVisible());

    // The last pixel column and row are the area's far edges, within half a pixel.
    const Selection corner = drag(scan, last, last);
    QVERIFY2(qAbs(corner[0] - mm.width()) <= mm.width() / px.width() / 2 &&
                 qAbs(corner[1] - mm.height()) <= mm.height() / px.height() / 2,
             qPrintable(QString("%1 %2").arg(corner[0]).arg(corner[1])));
    QCOMPARE(corner[2], corner[0]);
    // Out of the area: passed on as they come.
    QVERIFY(drag(scan, {10, 10}, {-10, 10})[2] < 0);
    QVERIFY(drag(scan, {10, 10}, last + QPoint(10, 10))[2] > mm.width());
    // Any button; the same at either pixel ratio.
    const Selection byLeft = drag(scan, {57, 81}, {219, 120});
    QCOMPARE(drag(scan, {57, 81}, {219, 120}, Qt::RightButton), byLeft);
    QCOMPARE(drag(scan, {57, 81}, {219, 120}, Qt::MiddleButton), byLeft);
    static QHash<bool, Selection> atRatioOne;
    if (screen == 0)
        atRatioOne[landscape] = byLeft;
    else
        QCOMPARE(byLeft, atRatioOne.value(landscape));
}

void TestScan::picturesFillTheArea_data() {
    QTest::addColumn<bool>("landscape");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::newRow("BMP, wide") << false << "form.bmp" << QSize(300, 100);
    QTest::newRow("JPEG, tall") << true << "form.jpg" << QSize(100, 400);
    QTest::newRow("GIF, square") << false << "form.gif" << QSize(250, 250);
    QTest::newRow("JPEG, A4 at 600 dpi") << false << "scan.jpg" << QSize(4960, 7016);
    QTest::newRow("BMP, A4 at 600 dpi") << true << "scan.bmp" << QSize(4960, 7016);
}

void TestScan::picturesFillTheArea() {
    QFETCH(bool, landscape);
    QFETCH(QString, name);
    QFETCH(QSize, size);
    const QString path = writePicture(dir_->filePath(name), size);
    if (path.isEmpty())
        QSKIP("this picture cannot be written here (GIF needs ImageMagick's convert)");
    ScanScreen* scan = openScan(landscape);
    QVERIFY(scan);
    chooseFiles({path});
    click(scan, "CmdOK");
    QCOMPARE(recorder_->texts(), QStringList());
    QVERIFY(showsQuarters(scan));
}

void TestScan::failedAndCancelledPictures() {
    ScanScreen* scan = openScan(false);
    QVERIFY(scan);
    const QString good = writePicture(dir_->filePath("good.bmp"), {40, 60});
    const QString fake = dir_->filePath("text.jpg");
    QFile file(fake);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not a picture") > 0);
    file.close();
    // A picture saved without an extension: the name as typed gets ".pln".
    QVERIFY(QFile::copy(good, dir_->filePath("noext")));
    QList<FileOpenRequest> asked;
    chooseFiles({std::nullopt, good, fake, std::nullopt, dir_->filePath("noext")}, &asked);
    click(scan, "CmdOK"); // cancelled before any file: the initial name is no picture
    QCOMPARE(recorder_->texts(), QStringList{Failed});
    click(scan, "CmdOK");
    QVERIFY(showsQuarters(scan));
    for (int i = 0; i < 3; ++i)
        click(scan, "CmdOK"); // no picture; a cancel, silent; a name without extension
    QCOMPARE(recorder_->texts(), QStringList({Failed, Failed, Failed}));
    QCOMPARE(asked[3].fileName, fake); // the last chosen file stands
    QVERIFY(showsQuarters(scan));
}

void TestScan::okStoresIntoTheGrid_data() {
    QTest::addColumn<int>("direction");
    QTest::addColumn<QString>("screen");
    QTest::addColumn<int>("align");
    QTest::addColumn<int>("stored");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("portrait") << 0 << "FrmScanTate" << 2 << 2 << QStringList();
    QTest::newRow("landscape, no alignment") << 1 << "FrmScanYoko" << -1 << -1 << QStringList();
    QTest::newRow("alignment beyond the list")
        << 0 << "FrmScanTate" << 3 << -1 << QStringList{Failed};
}

void TestScan::okStoresIntoTheGrid() {
    QFETCH(int, direction);
    QFETCH(QString, screen);
    QFETCH(int, align);
    QFETCH(int, stored);
    QFETCH(QStringList, messages);
    app_->Exec(Statements::InsertItem("1", "12", "a", "10.5", "1.5", "2.5", "3.5", "4", "1", 0));
    CurrentPaperDirection = qint16(direction);
    DefaultAlign = qint16(align);
    auto* moji = new FrmMoji;
    moji->show();
    QVERIFY(QTest::qWaitForWindowActive(moji));
    auto* grid = moji->findChild<SpreadGrid*>("vaSpread");
    grid->SetCellText(FrmMoji::ColText, 1, "unsaved");
    grid->SetCellText(FrmMoji::ColText, 3, "below");
    QStringList seen;
    whenModal<ScanScreen>([&](ScanScreen* scan) {
        seen << scan->metaObject()->className();
        drag(scan, {200, 30}, {100, 300}, Qt::LeftButton, [&](FrmScanDlg* d) {
            seen << QString::number(d->focusWidget() == d->findChild<QPushButton*>("CmdOK"))
                 << QString::number(d->findChild<QComboBox*>("CmbAlign")->currentIndex());
            click(d, "CmdOK");
        });
        seen << QString::number(scan->LineSetVisible());
        click(scan, "CmdBack");
    });
    click(moji, "CmdImage");
    QCOMPARE(seen, QStringList({screen, "1", QString::number(stored), "0"}));
    QCOMPARE(recorder_->texts(), messages);
    // Stored as the dialog showed the values, a leftward drag unswapped.
    const QString item = QString("新規項目|10.5|%1|%2|%3|20|1|%4")
                             .arg(DoubleToText(SelectionLeft), DoubleToText(SelectionRight),
                                  DoubleToText(SelectionTop), QString::number(stored));
    QCOMPARE(storedItems(), QStringList({"a|10.5|1.5|2.5|3.5|4|1|0", item}));
    QVERIFY(SelectionRight < SelectionLeft);
    // The grid: stored rows again, the new one last, the rows below as they were.
    QCOMPARE(QStringList({grid->CellText(1, 1), grid->CellText(1, 2), grid->CellText(1, 3)}),
             QStringList({"a", "新規項目", "below"}));
}

void TestScan::badNumberKeepsTheDialog_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("typed");
    QTest::newRow("emptied") << "TxtLeft" << QString();
    QTest::newRow("not a number") << "TxtFont" << QString("10.5pt");
    QTest::newRow("two numbers") << "TxtRow" << QString("1 ,2");
}

void TestScan::badNumberKeepsTheDialog() {
    QFETCH(QString, name);
    QFETCH(QString, typed);
    ScanScreen* scan = openScan(false);
    QVERIFY(scan);
    QStringList kept;
    drag(scan, {50, 50}, {150, 80}, Qt::LeftButton, [&](FrmScanDlg* d) {
        box(d, "TxtMoji")->setText("O'Brien");
        const QString before = box(d, name)->text();
        box(d, name)->setText(typed);
        click(d, "CmdOK");
        kept << QString::number(d->isVisible()) << box(d, name)->text()
             << QString::number(storedItems().size());
        box(d, name)->setText(before); // corrected, then OK again
        click(d, "CmdOK");
    });
    QCOMPARE(kept, QStringList({"1", typed, "0"}));
    QCOMPARE(recorder_->texts(), QStringList{Failed});
    QVERIFY(storedItems().value(0).startsWith("O'Brien|"));
    // Cancel stores nothing; the next drag opens afresh.
    QStringList fresh;
    drag(scan, {90, 90}, {200, 120}, Qt::LeftButton, [&](FrmScanDlg* d) {
        fresh << box(d, "TxtMoji")->text() << box(d, "TxtLeft")->text();
        click(d, "CmdCancel");
    });
    QCOMPARE(fresh, QStringList({"新規項目", DoubleToText(SelectionLeft)}));
    QCOMPARE(storedItems().size(), 1);
}

void TestScan::printsWhereDragged() {
    // A scanned A4 invoice (150 dpi) with a box at 50 mm, 40 mm.
    QImage form(1240, 1754, QImage::Format_RGB32);
    form.fill(Qt::white);
    const double dots = 150 / 25.4;
    QPainter(&form).drawRect(QRectF(50 * dots, 40 * dots, 80 * dots, 20 * dots));
    QVERIFY(form.save(dir_->filePath("invoice.jpg")));
    ScanScreen* scan = openScan(false);
    QVERIFY(scan);
    chooseFiles({dir_->filePath("invoice.jpg")});
    click(scan, "CmdOK");
    // The user points at the box's corner as the area shows it.
    const QSize px = scan->findChild<QWidget*>("ImageArea")->size();
    const QPoint corner(qRound(50 / 210.0 * px.width()), qRound(40 / 297.0 * px.height()));
    drag(scan, corner, corner + QPoint(150, 30), Qt::LeftButton,
         [](FrmScanDlg* d) { click(d, "CmdOK"); });
    delete scan;

    ResetRunPrinter();
    PrintToPdfFile(dir_->filePath("out.pdf"));
    OffsetLeft = OffsetTop = 0;
    CurrentTemplateId = "1";
    ShowPageSetup();
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<FrmPage*>(w))
            click(w, "CmdPrint");
    ResetRunPrinter();
    QCOMPARE(recorder_->texts(), QStringList());
    const QList<PdfSheets::Sheet> sheets = PdfSheets::ReadSheets(dir_->filePath("out.pdf"));
    QCOMPARE(sheets.size(), 1);
    QCOMPARE(sheets[0].lines(), QStringList{"新規項目"});
    // Within the pixel pointed at, by the area's scale, and 0.05 mm.
    const QPointF at = sheets[0].words[0].box.topLeft();
    auto inPixel = [](double mm, int pixel, double pixelMm) {
        return mm > pixel * pixelMm - 0.05 && mm < (pixel + 1) * pixelMm + 0.05;
    };
    QVERIFY2(inPixel(at.x(), corner.x(), TateWidthMm / px.width()) &&
                 inPixel(at.y(), corner.y(), 300.0 / px.height()),
             qPrintable(QString("%1, %2 mm").arg(at.x()).arg(at.y())));
}

QTEST_MAIN(TestScan)
#include "tst_scan.moc"
