// Image placement: scans over the picture area, drags in the sheet's millimetres, items added.
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

// A drag on the picture area; `inDialog` (else a cancel) runs in the detail
// dialog, whose proposed edges it returns.
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

template <class T> T* shown(T* form) {
    form->show();
    (void)QTest::qWaitForWindowActive(form);
    QTest::qWait(10); // the activation, queued after the first showing
    return form;
}

// A picture in `dir` of four coloured quarters turned by `shift` (any format, via ImageMagick).
const QColor Quarters[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
QString writePicture(const QTemporaryDir& dir, const QString& name, QSize size, int shift) {
    const QString path = dir.filePath(name);
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
// True when a box edge (blue) shows within two pixels of `at`, millimetres on the A4 sheet.
bool boxEdgeAt(ScanScreen* scan, QPointF at) {
    const QImage shot = scan->findChild<QWidget*>("ImageArea")->grab().toImage();
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
        qDeleteAll(QApplication::topLevelWidgets());
        SetFileOpenResponder({});
        QCOMPARE(recorder_->texts(), QStringList());
    }
    // The area stands for the page's sheet in the item grid's direction (no sheet: 33 twips to
    // the mm); a drag with any button gives the mm within a pixel, landscape at pixel ratio 2.
    void dragOnEverySheet_data() {
        QTest::addColumn<qint16>("size");
        QTest::addColumn<qint16>("direction"); // also the screen: the second at pixel ratio 2
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
        const Selection edges = {sheet.width() * 0.14, sheet.height() * 0.21, sheet.width() * 0.89};
        Selection got{};
        QSizeF mm; // of one pixel, across and down
        double ratio = 0, leftward = 0;
        whenModal<ScanScreen>([&](ScanScreen* scan) {
            scan->move(QGuiApplication::screens()[direction]->geometry().topLeft());
            QTest::qWait(20);
            ratio = scan->screen()->devicePixelRatio();
            const QSize area = scan->findChild<QWidget*>("ImageArea")->size();
            mm = QSizeF(sheet.width() / area.width(), sheet.height() / area.height());
            const QPoint from(qFloor(edges[0] / mm.width()), qFloor(edges[1] / mm.height()));
            const QPoint to(qFloor(edges[2] / mm.width()), from.y() + 20);
            leftward = drag(scan, {10, 10}, {-10, 10})[2]; // passed on as it comes
            got = drag(scan, from, to, direction ? Qt::RightButton : Qt::LeftButton);
            click(scan, "CmdBack");
        });
        click(shown(new FrmMoji("12", direction, size)), "CmdImage");
        QCOMPARE(ratio, direction + 1.0);
        QVERIFY(leftward < 0);
        QVERIFY(qAbs(got[0] - edges[0]) <= mm.width() && qAbs(got[1] - edges[1]) <= mm.height() &&
                qAbs(got[2] - edges[2]) <= mm.width());
    }
    // Pictures of any proportions and scanners' formats fill the area; the last is kept as the
    // page's form at most at 200 dpi. The one filter lists those formats and no other.
    void picturesFillTheArea() {
        ScanScreen* scan = shown(new FrmScanTate("12", 1));
        WriteBytes(dir_.filePath("text.jpg"), "a text file renamed");
        QList<std::optional<QString>> answers;
        answers << std::nullopt << writePicture(dir_, "wide.bmp", {300, 100}, 0)
                << writePicture(dir_, "square.gif", {250, 250}, 2)
                << writePicture(dir_, "scan.tif", {80, 120}, 3)
                << writePicture(dir_, "a4.jpg", {4960, 7016}, 1) << dir_.filePath("text.jpg")
                << std::nullopt;
        QString filter;
        SetFileOpenResponder([&](const FileOpenRequest& request) {
            filter = request.filter;
            return answers.takeFirst();
        });
        // A cancel before any file has the message (the initial name is no picture);
        // the text file has it and keeps the picture; a cancel after is silent.
        for (int i = 0; i < 7; ++i) {
            click(scan, "CmdOK");
            QCOMPARE(recorder_->texts(),
                     QStringList(i < 5 ? 1 : 2, "処理中、異常が発生しました。\r"));
            QVERIFY(i == 0 || showsQuarters(scan, QList{0, 0, 2, 3, 1, 1, 1}[i]));
        }
        recorder_->shown.clear();
        const std::optional<StoredForm> form = Forms().Form("12");
        QVERIFY(form && form->widthPx <= qCeil(210 / 25.4 * 200) &&
                form->heightPx <= qCeil(297 / 25.4 * 200) && form->widthPx > 1000);
        QCOMPARE(filter, "画像ファイル (*.bmp *.jpg *.jpeg *.gif *.png *.tif *.tiff)");
        delete scan;
        // Opened again from the grid: the remembered form, a box per row with valid numbers; an
        // item the dialog stores shows at once and lands in the grid below its last row begun.
        app_->Exec("insert into moji select 1, 12, 'a', 10.5, 20, 90, 30, 20, 3, 0 union all "
                   "select 2, 12, 'b', 9.5, 3.0303030303030303, 50.5, 7.5, 5, 2, 2");
        auto* moji = shown(new FrmMoji("12", 0, 1));
        auto* grid = moji->findChild<SpreadGrid*>("vaSpread");
        // Row 1 changed; row 6 begun without its text; row 3 being typed, its
        // size no number yet, in the bottom right quarter.
        grid->SetCellText(FrmMoji::ColText, 1, "a changed");
        grid->SetCellText(FrmMoji::ColSize, 6, "8.5");
        const QStringList typing = {"typing", "1x", "120", "180", "200", "10", "2"};
        for (int c = 0; c < typing.size(); ++c)
            grid->SetCellText(FrmMoji::ColText + c, 3, typing[c]);
        QStringList seen;
        Selection placed{};
        whenModal<ScanScreen>([&](ScanScreen* scan) {
            seen << QString::number(showsQuarters(scan, 1));
            for (QPointF at : QList<QPointF>{{20, 35}, {90, 35}, {55, 30}, {150, 200}})
                seen << QString::number(boxEdgeAt(scan, at));
            // A left edge typed finer than the grid shows it.
            placed = drag(scan, {60, 150}, {210, 180}, Qt::LeftButton, [&](FrmScanDlg* d) {
                d->findChild<QLineEdit*>("TxtLeft")->setText("3.0303030303030303");
                click(d, "CmdOK");
            });
            seen << QString::number(boxEdgeAt(scan, {3.03, placed[1] + 1}));
            click(scan, "CmdBack");
        });
        click(moji, "CmdImage");
        QCOMPARE(seen.join(' '), QString("1 1 1 1 0 1"));
        QCOMPARE(grid->CellText(FrmMoji::ColText, 7), "新規項目");
        QCOMPARE(grid->CellText(FrmMoji::ColText, 3) + grid->CellText(FrmMoji::ColSize, 6),
                 "typing8.5");
        grid->SetCellText(FrmMoji::ColText, 3, "");
        click(moji, "CmdOK"); // stores every row with its exact values
        QTRY_VERIFY(VisibleScreen<FrmMoji>() == nullptr);
        const char* sql = "select group_concat(moji||'|'||p_size||'|'||p_left||'|'||p_right||'|'||"
                          "p_top||'|'||p_col_count||'|'||p_row_count||'|'||p_position, ', ') as s "
                          "from (select * from moji order by moji_id)";
        QCOMPARE(app_->Rows(sql, {"s"}).value(0).value(0).toString(),
                 QString("a changed|10.5|20.0|90.0|30.0|20|3|0, "
                         "b|9.5|3.03030303030303|50.5|7.5|5|2|2, "
                         "新規項目|10.5|3.03030303030303|%1|%2|20|1|0")
                     .arg(DoubleToText(placed[2]), DoubleToText(placed[1])));
        QCOMPARE(app_->Scalar("select count(*) as n from moji where p_left = 100 / 33.0"), 2);
    }
};

QTEST_MAIN(TestScan)
#include "tst_scan.moc"
