// Image placement driven as a user does: scans stretched over the picture
// area, drags turned into millimetres on the page's sheet, and the detail
// dialog adding the item to the grid underneath.
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
    return app
        .Rows("select group_concat(moji||'|'||p_size||'|'||p_left||'|'||p_right||'|'||p_top||'|'||"
              "p_col_count||'|'||p_row_count||'|'||p_position, ', ') as s from (select * from moji "
              "order by moji_id)",
              {"s"})
        .value(0)
        .value(0)
        .toString();
}

// True when an item's box edge (blue, on any of the test pictures' colours
// and black text) shows within two device pixels of `at`, millimetres on the
// A4 sheet the grab `shot` of the picture area spans.
bool boxEdgeAt(const QImage& shot, QPointF at) {
    const QPoint p(qRound(at.x() * shot.width() / 210), qRound(at.y() * shot.height() / 297));
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
            const QColor c = shot.pixelColor(p + QPoint(dx, dy));
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
        app_->Exec("insert into template (template_id) select 1");
        app_->Exec("insert into page (page_id, template_id, page_no, paper_direction, paper_size) "
                   "select 12, 1, 1, 0, 1");
        std::tie(DefaultFontSize, DefaultColCount, DefaultRowCount, DefaultAlign) =
            std::tuple(10.5, 20, 1, 0);
        // Every box answers at once; one the test does not take back fails it.
        recorder_.emplace();
    }

    void cleanup() {
        const QStringList unexpected = recorder_->texts();
        qDeleteAll(QApplication::topLevelWidgets());
        recorder_.reset();
        SetFileOpenResponder({});
        QVERIFY2(unexpected.isEmpty(), qPrintable("unexpected message: " + unexpected.join('|')));
    }

    // The same drag gives the same millimetres at pixel ratios 1 and 2 (the
    // offscreen platform's two screens); one leftward and out of the area is
    // passed on as it comes.
    void mouseToMillimetres() {
        const QList<QScreen*> screens = QGuiApplication::screens();
        QVERIFY2(screens.size() >= 2 &&
                     screens[0]->devicePixelRatio() != screens[1]->devicePixelRatio(),
                 "needs two screens at different pixel ratios (the offscreen platform has them)");
        Selection atRatioOne{};
        for (int screen = 0; screen < 2; ++screen) {
            ScanScreen* scan = openScan(screens[screen], 1);
            QVERIFY(drag(scan, {10, 10}, {-10, 10})[2] < 0);
            const Selection got = drag(scan, {57, 81}, {219, 120});
            QCOMPARE(got, screen ? atRatioOne : (atRatioOne = got));
            delete scan;
        }
    }

    // The picture area stands for the page's sheet in the direction the item
    // grid was opened with (a size code without a sheet: 33 twips to the
    // millimetre): a drag with any button on the pixels holding known
    // millimetres gives them, each within that pixel.
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
        QTest::newRow("no sheet") << qint16(-1) << qint16(0) << QSizeF(7000 / 33.0, 9900 / 33.0);
        QTest::newRow("beyond the list")
            << qint16(5) << qint16(0) << QSizeF(7000 / 33.0, 9900 / 33.0);
    }
    void dragOnEverySheet() {
        QFETCH(qint16, size);
        QFETCH(qint16, direction);
        QFETCH(QSizeF, sheet);
        // Edges at known millimetres, on none of the screen's pixel edges.
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

    // Pictures of any proportions and of the formats scanners and cameras
    // write stretch over the whole area; the real file dialog offers one
    // filter, "画像ファイル", listing those pictures and nothing else.
    void picturesFillTheArea() {
        ScanScreen* scan = openScan();
        const QString fake = dir_.filePath("text.jpg"); // a text file renamed
        QVERIFY(QFile::copy(app_->file("vesk.ini"), fake));
        QList<std::optional<QString>> answers = {
            std::nullopt, writePicture(dir_.filePath("wide.bmp"), {300, 100}, 0),
            writePicture(dir_.filePath("square.gif"), {250, 250}, 2), fake, std::nullopt};
        SetFileOpenResponder(
            [answers](const FileOpenRequest&) mutable { return answers.takeFirst(); });
        // A cancel before any file has the message (the initial name is no picture);
        // the text file has it and keeps the picture; a cancel after is silent.
        for (int i = 0; i < 5; ++i) {
            click(scan, "CmdOK");
            QCOMPARE(recorder_->texts(), QStringList(i < 3 ? 1 : 2, Failed));
            QVERIFY(i == 0 || showsQuarters(scan, i == 1 ? 0 : 2));
        }
        recorder_->shown.clear();
        SetFileOpenResponder({});

        // Upper case too, as cameras and older scanners write it.
        const QStringList pictures = {"a.bmp", "b.jpg", "c.jpeg", "d.gif",
                                      "e.png", "f.tif", "g.tiff", "h.TIF"};
        const QString folder = dir_.filePath("scans");
        QDir(dir_.path()).mkdir("scans");
        for (const QString& name : pictures + QStringList{"i.pdf", "j.txt", "k.pln"})
            WriteBytes(folder + "/" + name, "x");
        QFile::remove(writePicture(folder + "/scan.tif", {80, 120}, 1) + ".png");
        QStringList listed, filters;
        whenModal<QFileDialog>([&](QFileDialog* dialog) {
            auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
            for (int i = 0; i < types->count(); ++i)
                filters << types->itemText(i);
            auto* model = dialog->findChild<QFileSystemModel*>();
            QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
            dialog->setDirectory(folder);
            if (!QTest::qWaitFor([&] { return loaded.contains({folder}); }))
                listed << "(the folder did not load)";
            const QModelIndex root = model->index(folder);
            for (int r = 0; r < model->rowCount(root); ++r)
                listed.append(model->index(r, 0, root).data().toString());
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText("scan.tif");
            QMetaObject::invokeMethod(dialog, "accept");
        });
        click(scan, "CmdOK");
        listed.sort(Qt::CaseInsensitive);
        QCOMPARE(listed, pictures + QStringList{"scan.tif"});
        QCOMPARE(filters, QStringList{"画像ファイル"});
        QVERIFY(showsQuarters(scan, 1));
    }

    // 画像取込 keeps the picture as the page's form at once, at most 200 dpi
    // of its A4 sheet; the screen opened again from the grid shows it, with
    // every grid row with valid numbers drawn over it in its box (left to
    // right, its lines of its font down from its top), rows being typed left
    // out. An item the detail dialog stores shows at once and lands in the
    // grid below its last row begun; the rows typed stay as typed, and the
    // next save stores every row, the new item once, with its exact values.
    void placedItemsOverTheRememberedForm() {
        ScanScreen* scan = openScan(QGuiApplication::primaryScreen(), 1);
        SetFileOpenResponder([&](const FileOpenRequest&) {
            return writePicture(dir_.filePath("a4.jpg"), {4960, 7016}, 1);
        });
        click(scan, "CmdOK");
        const std::optional<StoredForm> form = Forms().Form("12");
        QVERIFY(form);
        QVERIFY2(form->widthPx <= qCeil(210 / 25.4 * 200) &&
                     form->heightPx <= qCeil(297 / 25.4 * 200) && form->widthPx > 1000,
                 qPrintable(QString("%1 x %2").arg(form->widthPx).arg(form->heightPx)));
        delete scan;

        app_->Exec("insert into moji select 1, 12, 'a', 10.5, 20, 90, 30, 20, 3, 0 union all "
                   "select 2, 12, 'b', 9.5, 3.0303030303030303, 50.5, 7.5, 5, 2, 2");
        auto* moji = new FrmMoji("12", 0, 1);
        moji->show();
        QVERIFY(QTest::qWaitForWindowActive(moji));
        auto* grid = moji->findChild<SpreadGrid*>("vaSpread");
        // Row 1 changed; row 6 begun without its text; row 3 being typed, its
        // size no number yet, in the bottom right quarter.
        for (auto [col, row, text] : {std::tuple(FrmMoji::ColText, 1, "a changed"),
                                      std::tuple(FrmMoji::ColSize, 6, "8.5")}) {
            grid->setFocus();
            grid->SetActiveCell(col, row);
            PressKey(Qt::Key_Delete);
            TypeText(text);
            PressKey(Qt::Key_Return);
        }
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
            const double lineMm = QFontMetricsF(font, area).height() * 25.4 / area->logicalDpiY();
            const double bottom = 30 + 3 * lineMm;
            seen << QString::number(showsQuarters(scan, 1));
            QImage shot = area->grab().toImage();
            for (QPointF at :
                 {QPointF(20, 35), QPointF(90, 35), QPointF(55, 30), QPointF(55, bottom),
                  QPointF(55, bottom + 2), QPointF(150, 200), QPointF(120, 203)})
                seen << QString::number(boxEdgeAt(shot, at));
            // A left edge typed finer than the grid shows it.
            drag(scan, {60, 150}, {210, 180}, Qt::LeftButton, [&](FrmScanDlg* d) {
                d->findChild<QLineEdit*>("TxtLeft")->setText("3.0303030303030303");
                right = d->findChild<QLineEdit*>("TxtRight")->text();
                top = d->findChild<QLineEdit*>("TxtTop")->text();
                click(d, "CmdOK");
            });
            shot = area->grab().toImage();
            seen << QString::number(boxEdgeAt(shot, {3.03, TextToDouble(top) + 1}));
            click(scan, "CmdBack");
        });
        click(moji, "CmdImage");
        QCOMPARE(seen.join(' '), QString("1 1 1 1 1 0 0 0 1"));
        const QString a = "|10.5|20.0|90.0|30.0|20|3|0",
                      b = "b|9.5|3.03030303030303|50.5|7.5|5|2|2";
        const QString added =
            QString("新規項目|10.5|3.03030303030303|%1|%2|20|1|0").arg(right, top);
        QCOMPARE(storedItems(*app_), "a" + a + ", " + b + ", " + added);
        // The rows as typed; the new one after the last row begun.
        QCOMPARE(
            QStringList({grid->CellText(FrmMoji::ColText, 1), grid->CellText(FrmMoji::ColText, 3),
                         grid->CellText(FrmMoji::ColSize, 6), grid->CellText(FrmMoji::ColText, 7),
                         grid->CellText(FrmMoji::ColLeft, 7)}),
            QStringList({"a changed", "typing", "8.5", "新規項目", "3.03030303030303"}));

        // The save: the rows as shown (those without a text dropped), the
        // exact stored values where untouched.
        grid->SetCellText(FrmMoji::ColText, 3, "");
        click(moji, "CmdOK");
        QTRY_VERIFY(VisibleScreen<FrmMoji>() == nullptr);
        QCOMPARE(storedItems(*app_), QStringList({"a changed" + a, b, added}).join(", "));
        QCOMPARE(app_->Scalar("select count(*) as n from moji where p_left = 100 / 33.0"), 2);
    }
};

QTEST_MAIN(TestScan)
#include "tst_scan.moc"
