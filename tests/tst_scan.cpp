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
#include "pages/FrmPage.h"
#include "print/PrintEngine.h"
#include "platform/Database.h"
#include "platform/SpreadGrid.h"

#include <QtTest>
#include <QtWidgets>

constexpr double TateWidthMm = 7000 / 33.0; // 212.12
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
// Returns the selection the dialog opened with.
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

// A window goes to the screen its place lies on.
ScanScreen* openScan(QScreen* screen = QGuiApplication::primaryScreen()) {
    ScanScreen* scan = new FrmScanTate;
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
QString storedItems() {
    return LayoutDatabase
        ->OpenRecordset(
            "select group_concat(moji||'|'||p_size||'|'||p_left||'|'||p_right||'|'||p_top||'|'||"
            "p_col_count||'|'||p_row_count||'|'||p_position, ', ') as s from (select * from moji "
            "order by moji_id)")
        ->Field("s")
        .toString();
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
        app_->Exec(Statements::InsertTemplate("1"));
        app_->Exec(Statements::InsertPage("12", "1", "1", 0, 1));
        CurrentPageId = "12";
        std::tie(DefaultFontSize, DefaultColCount, DefaultRowCount, DefaultAlign) =
            std::tuple(10.5, 20, 1, 0);
        recorder_.emplace();
    }

    void cleanup() { qDeleteAll(QApplication::topLevelWidgets()); }

    // On each screen: at pixel ratios 1 and 2 under the offscreen platform.
    void mouseToMillimetres() {
        Selection atRatioOne{};
        for (int screen = 0; screen < QGuiApplication::screens().size(); ++screen) {
            ScanScreen* scan = openScan(QGuiApplication::screens()[screen]);
            const QSize px = scan->findChild<QWidget*>("ImageArea")->size();
            const QPoint last(px.width() - 1, px.height() - 1);
            // The handlers take twips: 330, 660 and 1650 are 10, 20 and 50 mm.
            whenModal<FrmScanDlg>([](FrmScanDlg* d) { click(d, "CmdCancel"); });
            scan->ImageArea_MouseDown(Qt::LeftButton, {}, 330, 660);
            scan->ImageArea_MouseUp(Qt::LeftButton, {}, 1650, 0);
            QCOMPARE(Selection({SelectionLeft, SelectionTop, SelectionRight}),
                     Selection({10, 20, 50}));
            // The last pixel column and row are the far edges, within half a pixel.
            const Selection corner = drag(scan, last, last);
            QVERIFY(qAbs(corner[0] - TateWidthMm) <= TateWidthMm / px.width() / 2);
            QCOMPARE(corner[2], corner[0]);
            // Leftward and out of the area: passed on as they come.
            QVERIFY(drag(scan, {10, 10}, {-10, 10})[2] < 0);
            // Any button; the same at either pixel ratio.
            const Selection byLeft = drag(scan, {57, 81}, {219, 120});
            QCOMPARE(drag(scan, {57, 81}, {219, 120}, Qt::RightButton), byLeft);
            QCOMPARE(byLeft, screen ? atRatioOne : (atRatioOne = byLeft));
        }
    }

    void picturesFillTheArea() {
        ScanScreen* scan = openScan();
        const QString fake = dir_.filePath("text.jpg"); // a text file renamed
        QVERIFY(QFile::copy(app_->file("vesk.ini"), fake));
        // Proportions other than the area's, and A4 at 600 dpi, each turned
        // differently so that each is seen; then no picture, and a cancel.
        QList<std::optional<QString>> answers = {
            std::nullopt,
            writePicture(dir_.filePath("wide.bmp"), {300, 100}, 0),
            writePicture(dir_.filePath("a4.jpg"), {4960, 7016}, 1),
            writePicture(dir_.filePath("square.gif"), {250, 250}, 2),
            fake,
            std::nullopt};
        SetFileOpenResponder(
            [answers](const FileOpenRequest&) mutable { return answers.takeFirst(); });
        // A cancel before any file has the message (the initial name is no picture);
        // the text file has it and keeps the picture; a cancel after is silent.
        for (int i = 0; i < 6; ++i) {
            click(scan, "CmdOK");
            QCOMPARE(recorder_->texts(), QStringList(i < 4 ? 1 : 2, Failed));
            QVERIFY(i == 0 || showsQuarters(scan, qMin(i - 1, 2)));
        }
    }

    void detailDialogStoresIntoTheGrid() {
        app_->Exec(
            Statements::InsertItem("1", "12", "a", "10.5", "1.5", "2.5", "3.5", "4", "1", 0));
        auto* moji = new FrmMoji;
        moji->show();
        QVERIFY(QTest::qWaitForWindowActive(moji));
        auto* grid = moji->findChild<SpreadGrid*>("vaSpread");
        grid->SetCellText(FrmMoji::ColText, 3, "below");
        QStringList seen;
        QSize px;
        QPoint corner;
        // Direction 1 opens the landscape screen, 0 the portrait one.
        for (qint16 direction : {1, 0}) {
            CurrentPaperDirection = direction;
            whenModal<ScanScreen>([&](ScanScreen* scan) {
                seen << scan->metaObject()->className();
                if (direction)
                    return click(scan, "CmdBack");
                px = scan->findChild<QWidget*>("ImageArea")->size();
                corner = QPoint(qRound(50 / 210.0 * px.width()), qRound(40 / 297.0 * px.height()));
                // An emptied number box: the message, nothing stored, the dialog stays.
                drag(scan, {50, 50}, {150, 80}, Qt::LeftButton, [&](FrmScanDlg* d) {
                    d->findChild<QLineEdit*>("TxtLeft")->clear();
                    click(d, "CmdOK");
                    seen << QString::number(d->isVisible()) << storedItems();
                    click(d, "CmdCancel");
                });
                // After a cancel the next drag opens afresh; OK at once stores it.
                drag(scan, corner, corner + QPoint(150, 30), Qt::LeftButton,
                     [](FrmScanDlg* d) { click(d, "CmdOK"); });
                click(scan, "CmdBack");
            });
            click(moji, "CmdImage");
        }
        const QString stored = "a|10.5|1.5|2.5|3.5|4|1|0";
        QCOMPARE(seen, QStringList({"FrmScanYoko", "FrmScanTate", "1", stored}));
        QCOMPARE(recorder_->texts(), QStringList{Failed});
        // OK at once stores "新規項目" with the dragged values and the defaults.
        QCOMPARE(storedItems(),
                 stored + QString(", 新規項目|10.5|%1|%2|%3|20|1|0")
                              .arg(DoubleToText(SelectionLeft), DoubleToText(SelectionRight),
                                   DoubleToText(SelectionTop)));
        // The grid: stored rows again, the new one last, the rows below as they were.
        QCOMPARE(QStringList({grid->CellText(1, 1), grid->CellText(1, 2), grid->CellText(1, 3)}),
                 QStringList({"a", "新規項目", "below"}));
        // Printed where the user pointed, within the pixel and 0.05 mm.
        PrintToPdfFile(dir_.filePath("out.pdf"));
        CurrentTemplateId = "1";
        ShowPageSetup();
        click(VisibleScreen<FrmPage>(), "CmdPrint");
        const QList<PdfSheets::Sheet> sheets = PdfSheets::ReadSheets(dir_.filePath("out.pdf"));
        QCOMPARE(sheets.value(0).lines(), QStringList({"a", "新規項目"}));
        const QPointF at = sheets[0].words[1].box.topLeft();
        const double mmX = TateWidthMm / px.width(), mmY = 300.0 / px.height();
        QVERIFY(qAbs(at.x() - (corner.x() + 0.5) * mmX) < mmX / 2 + 0.05 &&
                qAbs(at.y() - (corner.y() + 0.5) * mmY) < mmY / 2 + 0.05);
    }
};

QTEST_MAIN(TestScan)
#include "tst_scan.moc"
