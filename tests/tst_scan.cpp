// Image placement: scans stretched over the picture area, drags turned into
// millimetres on the page's sheet, the detail dialog adding the item.
#include "TestSupport.h"
#include "common/Globals.h"
#include "common/Numbers.h"
#include "items/FrmMoji.h"
#include "items/FrmScanDlg.h"
#include "items/FrmScanTate.h"
#include "layout/FormStore.h"
#include "platform/SpreadGrid.h"

#include <QtTest>
#include <QtWidgets>

const QString Failed = "処理中、異常が発生しました。\r";
using Selection = std::array<double, 3>; // left, top, right

void click(QWidget* form, const char* button) {
    QTest::mouseClick(form->findChild<QPushButton*>(button), Qt::LeftButton);
}

// Runs `step` from the event loop on the modal screen T once it is active.
template <class T> void whenModal(std::function<void(T*)> step, int tries = 500) {
    QTimer::singleShot(10, [step, tries] {
        auto* form = qobject_cast<T*>(QApplication::activeModalWidget());
        form && form->isActiveWindow() ? step(form)
        : tries > 0                    ? whenModal<T>(step, tries - 1)
                                       : void();
    });
}

// A press at `from` and a release at `to` (pixels of the picture area) through
// the window; `inDialog` (by default a cancel) runs in the detail dialog.
// Returns the edges the dialog proposes.
Selection drag(ScanScreen* scan, QPoint from, QPoint to, Qt::MouseButton button = Qt::LeftButton,
               std::function<void(FrmScanDlg*)> inDialog = {}) {
    Selection s{};
    whenModal<FrmScanDlg>([&](FrmScanDlg* d) {
        const char* boxes[] = {"TxtLeft", "TxtTop", "TxtRight"};
        for (int i = 0; i < 3; ++i)
            s[i] = TextToDouble(d->findChild<QLineEdit*>(boxes[i])->text());
        inDialog ? inDialog(d) : click(d, "CmdCancel");
    });
    QWidget* area = scan->findChild<QWidget*>("ImageArea");
    QTest::mousePress(scan->windowHandle(), button, {}, area->mapTo(scan, from));
    QTest::mouseMove(scan->windowHandle(), area->mapTo(scan, to));
    QTest::mouseRelease(scan->windowHandle(), button, {}, area->mapTo(scan, to));
    return s;
}

// The portrait screen of page 12 with paper size code `paperSize`; a window
// goes to the screen its place lies on.
ScanScreen* openScan(QScreen* screen = QGuiApplication::primaryScreen(), qint16 paperSize = -1) {
    ScanScreen* scan = new FrmScanTate("12", paperSize);
    scan->move(screen->geometry().topLeft());
    scan->show();
    if (!QTest::qWaitForWindowActive(scan))
        qWarning("the placement screen is not active");
    QTest::qWait(10); // the activation, queued after the first showing
    return scan;
}

// A picture whose quarters are red, green, blue and yellow from the top left,
// turned by `shift`; GIF through ImageMagick, as Qt writes none.
const QColor Quarters[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
QString writePicture(const QString& path, QSize size, int shift = 0) {
    QImage image(size, QImage::Format_RGB32);
    for (int i = 0; i < 4; ++i)
        QPainter(&image).fillRect((i % 2) * size.width() / 2, (i / 2) * size.height() / 2,
                                  size.width(), size.height(), Quarters[(i + shift) % 4]);
    return image.save(path + ".png"), QProcess::execute("convert", {path + ".png", path}), path;
}
// True when the area's four corner pixels show the four quarters.
bool showsQuarters(ScanScreen* scan, int shift = 0) {
    const QImage shot = scan->findChild<QWidget*>("ImageArea")->grab().toImage();
    for (int i = 0; i < 4; ++i) // each channel on the same side of half
        if ((shot.pixel((i % 2) * (shot.width() - 1), (i / 2) * (shot.height() - 1)) & 0x808080) !=
            (Quarters[(i + shift) % 4].rgb() & 0x808080))
            return false;
    return true;
}
QString storedItems(AppFolderFixture& app) {
    const char* sql = "select group_concat(moji||'|'||p_size||'|'||p_left||'|'||p_right||'|'||"
                      "p_top||'|'||p_col_count||'|'||p_row_count||'|'||p_position, ', ') as s "
                      "from (select * from moji order by moji_id)";
    return app.Rows(sql, {"s"}).value(0).value(0).toString();
}

// True when a box edge (blue) shows within two pixels of `at`, millimetres
// on the A4 sheet the grab `shot` of the picture area spans.
bool boxEdgeAt(const QImage& shot, QPointF at) {
    const QPoint p(qRound(at.x() * shot.width() / 210), qRound(at.y() * shot.height() / 297));
    for (int d = 0; d < 25; ++d) {
        const QColor c = shot.pixelColor(p + QPoint(d % 5 - 2, d / 5 - 2));
        if (c.blue() > 150 && c.red() < 120 && c.green() < 150)
            return true;
    }
    return false;
}

class TestScan : public QObject {
    Q_OBJECT
public:
    // A second offscreen screen, at twice the pixel ratio.
    static void initMain() {
        static QTemporaryFile config(QDir::tempPath() + "/tst_scan_XXXXXX.json");
        if (qgetenv("QT_QPA_PLATFORM") != "offscreen" || !config.open())
            return;
        config.write(R"({"screens": [{"name": "one", "width": 1280, "height": 1024},
            {"name": "two", "x": 1280, "width": 1280, "height": 1024, "dpr": 2}]})");
        config.flush();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
    }

    std::optional<AppFolderFixture> app_;
    std::optional<MessageRecorder> recorder_;
    QTemporaryDir dir_;
private slots:
    void init() {
        app_.emplace();
        app_->OpenLayoutDatabase();
        app_->AddTemplate("1");
        app_->AddPage("12", "1", "1", 0, 1);
        std::tie(DefaultFontSize, DefaultColCount, DefaultRowCount, DefaultAlign) =
            std::tuple(10.5, 20, 1, 0);
        recorder_.emplace(); // a message the test does not take back fails it
    }

    void cleanup() {
        const QStringList unexpected = recorder_->texts();
        qDeleteAll(QApplication::topLevelWidgets());
        recorder_.reset();
        SetFileOpenResponder({});
        QVERIFY2(unexpected.isEmpty(), qPrintable("unexpected message: " + unexpected.join('|')));
    }

    // The same drag gives the same millimetres at pixel ratios 1 and 2; one
    // leftward and out of the area is passed on as it comes.
    void mouseToMillimetres() {
        const QList<QScreen*> screens = QGuiApplication::screens();
        QVERIFY(screens.size() >= 2 && screens[1]->devicePixelRatio() == 2);
        Selection atRatioOne{};
        for (int screen = 0; screen < 2; ++screen) {
            ScanScreen* scan = openScan(screens[screen], 1);
            QVERIFY(drag(scan, {10, 10}, {-10, 10})[2] < 0);
            const Selection got = drag(scan, {57, 81}, {219, 120});
            QCOMPARE(got, screen ? atRatioOne : (atRatioOne = got));
            delete scan;
        }
    }

    // The area stands for the page's sheet in the item grid's direction (no
    // sheet: 33 twips to the mm); a drag with any button gives the mm within a pixel.
    void dragOnEverySheet_data() {
        QTest::addColumn<qint16>("size");
        QTest::addColumn<qint16>("direction");
        QTest::addColumn<QSizeF>("sheet");
        const char* names[] = {"A3", "A4", "A5", "B4", "B5"};
        const QSizeF sheets[] = {{297, 420}, {210, 297}, {148, 210}, {257, 364}, {182, 257}};
        for (qint16 size = 0; size < 5; ++size)
            for (qint16 direction : {0, 1})
                QTest::addRow("%s %s", names[size], direction ? "landscape" : "portrait")
                    << size << direction << (direction ? sheets[size].transposed() : sheets[size]);
        for (qint16 size : {-1, 5})
            QTest::addRow("code %d", size) << size << qint16(0) << QSizeF(7000 / 33.0, 9900 / 33.0);
    }
    void dragOnEverySheet() {
        QFETCH(qint16, size);
        QFETCH(qint16, direction);
        QFETCH(QSizeF, sheet);
        const Selection edges = {sheet.width() * 0.137, sheet.height() * 0.213,
                                 sheet.width() * 0.893};
        Selection got{};
        QSizeF mm; // of one pixel, across and down
        whenModal<ScanScreen>([&](ScanScreen* scan) {
            const QSize area = scan->findChild<QWidget*>("ImageArea")->size();
            mm = QSizeF(sheet.width() / area.width(), sheet.height() / area.height());
            const QPoint from(qFloor(edges[0] / mm.width()), qFloor(edges[1] / mm.height()));
            const QPoint to(qFloor(edges[2] / mm.width()), from.y() + 20);
            got = drag(scan, from, to, direction ? Qt::RightButton : Qt::LeftButton);
            click(scan, "CmdBack");
        });
        auto* moji = new FrmMoji("12", direction, size);
        moji->show();
        QVERIFY(QTest::qWaitForWindowActive(moji));
        click(moji, "CmdImage");
        QVERIFY2(qAbs(got[0] - edges[0]) <= mm.width() && qAbs(got[1] - edges[1]) <= mm.height() &&
                     qAbs(got[2] - edges[2]) <= mm.width(),
                 qPrintable(QString("got %1 %2 %3").arg(got[0]).arg(got[1]).arg(got[2])));
    }

    // Pictures of any proportions and of the formats scanners write stretch
    // over the whole area, and the last one is kept as the page's form at most
    // at 200 dpi; the one filter lists those formats and no other.
    void picturesFillTheArea() {
        ScanScreen* scan = openScan(QGuiApplication::primaryScreen(), 1);
        const QString fake = dir_.filePath("text.jpg"); // a text file renamed
        QVERIFY(QFile::copy(app_->file("vesk.ini"), fake));
        QList<std::optional<QString>> answers = {
            std::nullopt,
            writePicture(dir_.filePath("wide.bmp"), {300, 100}, 0),
            writePicture(dir_.filePath("square.gif"), {250, 250}, 2),
            writePicture(dir_.filePath("scan.tif"), {80, 120}, 3),
            writePicture(dir_.filePath("a4.jpg"), {4960, 7016}, 1),
            fake,
            std::nullopt};
        QString filter;
        SetFileOpenResponder([&](const FileOpenRequest& request) {
            filter = request.filter;
            return answers.takeFirst();
        });
        // A cancel before any file has the message (the initial name is no picture);
        // the text file has it and keeps the picture; a cancel after is silent.
        for (int i = 0; i < 7; ++i) {
            click(scan, "CmdOK");
            QCOMPARE(recorder_->texts(), QStringList(i < 5 ? 1 : 2, Failed));
            QVERIFY(i == 0 || showsQuarters(scan, QList{0, 0, 2, 3, 1, 1, 1}[i]));
        }
        recorder_->shown.clear();
        const std::optional<StoredForm> form = Forms().Form("12");
        QVERIFY(form && form->widthPx <= qCeil(210 / 25.4 * 200) &&
                form->heightPx <= qCeil(297 / 25.4 * 200) && form->widthPx > 1000);
        QCOMPARE(filter.section(" (", 0, 0), "画像ファイル");
        const QStringList pictures = {"a.bmp", "b.jpg", "c.jpeg", "d.gif",
                                      "e.png", "f.tif", "g.tiff"};
        QDir(dir_.path()).mkdir("scans");
        for (const QString& name : pictures + QStringList{"i.pdf", "j.txt", "k.pln"})
            WriteBytes(dir_.filePath("scans/" + name), "x");
        const QStringList listed =
            QDir(dir_.filePath("scans"))
                .entryList(filter.section('(', 1).remove(')').split(' '), QDir::Files);
        QCOMPARE(listed, pictures);
        delete scan;
        placedItemsOverTheRememberedForm();
    }

private:
    // The screen opened again from the grid shows the remembered form with
    // each grid row with valid numbers in its box, rows being typed left out.
    // An item the dialog stores shows at once and lands in the grid below its
    // last row begun; the next save stores every row with its exact values.
    void placedItemsOverTheRememberedForm() {
        app_->Exec("insert into moji select 1, 12, 'a', 10.5, 20, 90, 30, 20, 3, 0 union all "
                   "select 2, 12, 'b', 9.5, 3.0303030303030303, 50.5, 7.5, 5, 2, 2");
        auto* moji = new FrmMoji("12", 0, 1);
        moji->show();
        QVERIFY(QTest::qWaitForWindowActive(moji));
        auto* grid = moji->findChild<SpreadGrid*>("vaSpread");
        // Row 1 changed; row 6 begun without its text; row 3 being typed, its
        // size no number yet, in the bottom right quarter.
        grid->SetCellText(FrmMoji::ColText, 1, "a changed");
        grid->SetCellText(FrmMoji::ColSize, 6, "8.5");
        const QStringList typing = {"typing", "1x", "120", "180", "200", "10", "2"};
        for (int c = 0; c < typing.size(); ++c)
            grid->SetCellText(FrmMoji::ColText + c, 3, typing[c]);
        QFont font("ＭＳ Ｐ明朝");
        font.setPointSizeF(10.5);
        font.setHintingPreference(QFont::PreferNoHinting);
        QStringList seen;
        QString right, top;
        whenModal<ScanScreen>([&](ScanScreen* scan) {
            auto* area = scan->findChild<QWidget*>("ImageArea");
            const double bottom =
                30 + 3 * QFontMetricsF(font, area).height() * 25.4 / area->logicalDpiY();
            seen << QString::number(showsQuarters(scan, 1));
            QImage shot = area->grab().toImage();
            for (QPointF at : {QPointF(20, 35), QPointF(90, 35), QPointF(55, 30),
                               QPointF(55, bottom), QPointF(55, bottom + 2), QPointF(150, 200)})
                seen << QString::number(boxEdgeAt(shot, at));
            // A left edge typed finer than the grid shows it.
            drag(scan, {60, 150}, {210, 180}, Qt::LeftButton, [&](FrmScanDlg* d) {
                d->findChild<QLineEdit*>("TxtLeft")->setText("3.0303030303030303");
                right = d->findChild<QLineEdit*>("TxtRight")->text();
                top = d->findChild<QLineEdit*>("TxtTop")->text();
                click(d, "CmdOK");
            });
            seen << QString::number(
                boxEdgeAt(area->grab().toImage(), {3.03, TextToDouble(top) + 1}));
            click(scan, "CmdBack");
        });
        click(moji, "CmdImage");
        QCOMPARE(seen.join(' '), QString("1 1 1 1 1 0 0 1"));
        QCOMPARE(
            QStringList({grid->CellText(FrmMoji::ColText, 3), grid->CellText(FrmMoji::ColSize, 6),
                         grid->CellText(FrmMoji::ColText, 7)}),
            QStringList({"typing", "8.5", "新規項目"}));
        grid->SetCellText(FrmMoji::ColText, 3, "");
        click(moji, "CmdOK");
        QTRY_VERIFY(VisibleScreen<FrmMoji>() == nullptr);
        QCOMPARE(storedItems(*app_), QString("a changed|10.5|20.0|90.0|30.0|20|3|0, "
                                             "b|9.5|3.03030303030303|50.5|7.5|5|2|2, "
                                             "新規項目|10.5|3.03030303030303|%1|%2|20|1|0")
                                         .arg(right, top));
        QCOMPARE(app_->Scalar("select count(*) as n from moji where p_left = 100 / 33.0"), 2);
    }
};

QTEST_MAIN(TestScan)
#include "tst_scan.moc"
