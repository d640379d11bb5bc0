// Printing plans of sheets to a PDF file, read back with poppler: where lines
// land and how they are cut, which paper each sheet gets, that a failure
// leaves nothing printed, that a picture drawn by the sheet renderer carries
// the same ink; the calibration sheet; "印刷" on the page setup screen.
#include "PdfSheets.h"
#include "TestSupport.h"
#include "common/Globals.h"
#include "common/Navigation.h"
#include "pages/FrmPage.h"
#include "platform/SpreadGrid.h"
#include "print/CalibrationSheet.h"
#include "print/PrintEngine.h"
#include "print/SheetRenderer.h"

#include <QPainter>
#include <QPushButton>
#include <QRawFont>
#include <QtTest>

namespace {

TextItem item(const QString& text, double size = 10.5, double left = 20, double right = 80,
              double top = 30, qint16 cols = 20, qint16 rows = 1, qint16 align = 0) {
    return TextItem{text, size, left, right, top, cols, rows, align};
}

// The height of a printed line (ascent plus descent of the mincho font) in
// millimetres.
double linePitch(double points) {
    QRawFont font = QRawFont::fromFont(QFont("IPAPMincho"));
    font.setPixelSize(points * PdfSheets::MmPerPoint * 100); // one pixel, 1/100 mm
    return (font.ascent() + font.descent()) / 100;
}

} // namespace

Q_DECLARE_METATYPE(TextItem)

class TestPrint : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> out_;
    std::unique_ptr<MessageRecorder> recorder_;
    std::unique_ptr<AppFolderFixture> app_; // for the one test through the screen

    QString pdf() const { return out_->filePath("out.pdf"); }
    // Each sheet as its lines joined by "|" and its size in whole millimetres.
    QStringList printedSheets() const {
        QStringList result;
        for (const PdfSheets::Sheet& s : PdfSheets::ReadSheets(pdf()))
            result.append(
                s.lines().join('|') +
                QString(" %1x%2").arg(s.size.toSize().width()).arg(s.size.toSize().height()));
        return result;
    }

private slots:
    void init() {
        out_ = std::make_unique<QTemporaryDir>();
        recorder_ = std::make_unique<MessageRecorder>();
        OffsetLeft = OffsetTop = 0;
        ResetRunPrinter();
        PrintToPdfFile(pdf());
    }

    void cleanup() {
        // Deleted as the event loop deletes them: an open drop-down goes with its grid.
        for (QWidget* w : QApplication::topLevelWidgets())
            w->deleteLater();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        app_.reset();
        recorder_.reset();
        QCOMPARE(QDir(out_->path()).entryList(QDir::Hidden | QDir::Files).filter("vesk-print"),
                 QStringList()); // no drawing left behind
    }

    void lines_data() {
        QTest::addColumn<TextItem>("item");
        QTest::addColumn<double>("offsetLeft");
        QTest::addColumn<double>("x");          // of each line's left, centre or right, as aligned
        QTest::addColumn<QStringList>("lines"); // as read back, "" for an empty line
        auto row = [](const char* name, const TextItem& item, double offset, double x,
                      QStringList lines) { QTest::newRow(name) << item << offset << x << lines; };
        row("centred, two lines of five, the rest dropped",
            item("ABCDEFGHIJKL", 10.5, 20, 80, 30, 5, 2, 1), 3, 47, {"ABCDE", "FGHIJ"});
        row("right", item("VESK帳票", 10.5, 20, 80, 30, 20, 1, 2), 3, 77, {"VESK帳票"});
        row("left, offset past p_left", item("VESK帳票", 10.5, 10, 80, 30, 20, 1, 0), 12.5, -2.5,
            {"VESK帳票"});
        row("no lines", item("ABCDEF", 10.5, 20, 80, 30, 4, 0), 0, 20, {});
        row("no characters per line", item("ABCDEF", 10.5, 20, 80, 30, 0, 3), 0, 20, {});
        row("negative characters per line", item("ABCDEF", 10.5, 20, 80, 30, -2, 3), 0, 20, {});
        // No alignment chosen (stored -1) or a code outside the list: every
        // line as if left aligned, in the box, not at the paper's edge.
        row("no alignment chosen", item("ABCDEFGHIJ", 10.5, 20, 80, 30, 5, 2, -1), 3, 17,
            {"ABCDE", "FGHIJ"});
        row("alignment code outside the list", item("VESK帳票", 10.5, 35.5, 80, 30, 20, 1, 3), -2.5,
            38, {"VESK帳票"});
    }

    void lines() {
        QFETCH(TextItem, item);
        QFETCH(double, offsetLeft);
        QFETCH(double, x);
        QFETCH(QStringList, lines);
        OffsetLeft = offsetLeft;
        OffsetTop = 4;
        PrintSheets({Sheet{0, 1, {item}}});
        const auto sheets = PdfSheets::ReadSheets(pdf());
        QCOMPARE(sheets.size(), 1);
        // Line k's top lies k line heights below 26 mm.
        const double pitch = linePitch(item.pSize);
        QStringList actual;
        for (const PdfSheets::Word& w : sheets[0].words) {
            const double k = (w.box.top() - 26) / pitch;
            const double at = QList{w.box.left(), w.box.center().x(), w.box.right()}.value(
                item.pPosition, w.box.left());
            QVERIFY(qRound(k) >= 0 && qAbs(k - qRound(k)) * pitch < 0.05 && qAbs(at - x) < 0.05);
            actual.resize(qMax(actual.size(), qRound(k) + 1));
            actual[qRound(k)] += w.text;
        }
        QCOMPARE(actual, lines);
    }

    // A character as the user sees it stays whole on the first line: a pair or
    // a sequence cut in two would push the later characters a line down. The
    // first line may not read back (it depends on the fonts installed): it is
    // checked by its ink, the others by their text.
    void graphemeCut_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("surrogate pair, not in the font") << "𠮷野家";
        QTest::newRow("surrogate pair in the font") << "𠀋野家";
        QTest::newRow("variation sequence") << "葛\U000E0100野家";
        QTest::newRow("combining mark") << "か\u309A野家";
    }

    void graphemeCut() {
        QFETCH(QString, text);
        const TextItem cut = item(text, 10.5, 20, 80, 30, 1, 3);
        PrintSheets({Sheet{0, 1, {cut}}});
        const double pitch = linePitch(cut.pSize);
        QStringList actual(3);
        for (const PdfSheets::Word& w : PdfSheets::ReadSheets(pdf()).value(0).words) {
            const int k = qRound((w.box.top() - cut.pTop) / pitch);
            QVERIFY(k >= 0 && k < 3);
            actual[k] += w.text;
        }
        QCOMPARE(actual.mid(1), (QStringList{"野", "家"}));
        QVERIFY(qAbs(PdfSheets::ReadInk(pdf()).value(0).box.top() - cut.pTop) < pitch / 2);
    }

    // Each sheet is on the paper and direction of its codes; a code outside
    // the lists leaves the sheet before's in force, also from one command to
    // the next (a PDF file's own paper is A4 portrait) until the run's
    // printer is reset. A sheet without items is a blank sheet.
    void paperOfEachSheet_data() {
        QTest::addColumn<QString>("plan"); // "direction,size" per sheet, ",blank" without items
        QTest::addColumn<QStringList>("sheets");
        QTest::newRow("every size in both directions")
            << "0,0 1,1 0,2 1,3 0,4 1,0 0,1 1,2 0,3 1,4"
            << QStringList{"P1 297x420", "P2 297x210", "P3 148x210", "P4 364x257", "P5 182x257",
                           "P6 420x297", "P7 210x297", "P8 210x148", "P9 257x364", "P10 257x182"};
        QTest::newRow("codes outside the lists keep the sheet before's")
            << "1,0 -1,5 0,-1 5,4 2,-1"
            << QStringList{"P1 420x297", "P2 420x297", "P3 297x420", "P4 182x257", "P5 182x257"};
        QTest::newRow("unknown codes first: the PDF's own paper")
            << "-1,-1 1,-1" << QStringList{"P1 210x297", "P2 297x210"};
        QTest::newRow("a sheet without items")
            << "0,2 1,0,blank 0,4" << QStringList{"P1 148x210", " 420x297", "P3 182x257"};
        QTest::newRow("forgotten when the printer is reset")
            << "reset -1,-1" << QStringList{"P1 210x297"};
    }

    void paperOfEachSheet() {
        QFETCH(QString, plan);
        QFETCH(QStringList, sheets);
        SheetPlan printed;
        for (const QString& s : plan.split(' ')) {
            const QStringList c = s.split(',');
            if (s == "reset") {
                PrintSheets({Sheet{1, 3, {}}});
                ResetRunPrinter();
                PrintToPdfFile(pdf());
                continue;
            }
            printed.append({qint16(c[0].toInt()), qint16(c[1].toInt()), {}});
            if (c.size() < 3)
                printed.last().items.append(item(QString("P%1").arg(printed.size())));
        }
        PrintSheets(printed);
        QCOMPARE(printedSheets(), sheets);
    }

    // A sheet that cannot be drawn fails the whole command: a PDF file printed
    // before stays as it was, and no drawing is left behind (see cleanup).
    void failurePrintsNothing_data() {
        QTest::addColumn<TextItem>("bad");
        QTest::addColumn<bool>("folder"); // a folder where the PDF file goes
        QTest::newRow("font size 0") << item("P2", 0) << false;
        QTest::newRow("font size past 2160 points") << item("P2", 2160.5) << false;
        QTest::newRow("position past single precision") << item("P2", 10.5, 1e39) << false;
        QTest::newRow("a folder where the file goes") << item("P2") << true;
    }

    void failurePrintsNothing() {
        QFETCH(TextItem, bad);
        QFETCH(bool, folder);
        if (folder)
            QVERIFY(QDir(out_->path()).mkdir("out.pdf"));
        else
            WriteBytes(pdf(), "printed before");
        const SheetPlan plan{{0, 1, {item("P1")}}, {0, 1, {item("x"), bad}}, {0, 1, {item("P3")}}};
        QVERIFY_THROWS_EXCEPTION(std::exception, PrintSheets(plan));
        if (folder)
            QVERIFY(QFileInfo(pdf()).isDir());
        else
            QCOMPARE(ReadBytes(pdf()), QByteArray("printed before"));
    }

    // The renderer measures and places text by the resolution of whatever it
    // draws on: a picture carries the ink of the PDF at the same millimetres,
    // moved by the origin it is given (a printer's hardware margins).
    void pictureAsThePdf_data() {
        QTest::addColumn<TextItem>("item");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<QPointF>("origin");
        QTest::newRow("centred, 150 dpi")
            << item("VESK帳票 ABC", 10.5, 20, 120, 60, 20, 1, 1) << 150 << QPointF();
        QTest::newRow("right, two lines, hardware margins, 300 dpi")
            << item("御中　山田太郎様", 14, 30, 150.5, 80, 4, 2, 2) << 300 << QPointF(5, 9);
    }

    void pictureAsThePdf() {
        QFETCH(TextItem, item);
        QFETCH(int, dpi);
        QFETCH(QPointF, origin);
        OffsetLeft = 3;
        OffsetTop = -4;
        PrintSheets({Sheet{0, 1, {item}}});
        const QRectF printed = PdfSheets::ReadInk(pdf()).value(0).box;
        QVERIFY(!printed.isEmpty());
        QImage picture(qRound(210 / 25.4 * dpi), qRound(297 / 25.4 * dpi),
                       QImage::Format_Grayscale8);
        picture.setDotsPerMeterX(qRound(dpi / 0.0254));
        picture.setDotsPerMeterY(qRound(dpi / 0.0254));
        picture.fill(Qt::white);
        {
            QPainter painter(&picture);
            SheetRenderer(painter, origin, QPointF(OffsetLeft, OffsetTop))
                .Draw(Sheet{0, 1, {item}});
        }
        const QRectF ink = PdfSheets::InkBox(picture, dpi).translated(-origin);
        // Within two pixels: the two rasterizers round the glyphs' edges each their own way.
        QVERIFY2(
            qAbs(ink.left() - printed.left()) < 2 * 25.4 / dpi &&
                qAbs(ink.top() - printed.top()) < 2 * 25.4 / dpi &&
                qAbs(ink.right() - printed.right()) < 2 * 25.4 / dpi &&
                qAbs(ink.bottom() - printed.bottom()) < 2 * 25.4 / dpi,
            qPrintable(QDebug::toString(ink) + " drawn, printed " + QDebug::toString(printed)));
    }

    // The calibration sheet (its crosses are checked with the offsets screen):
    // one A4 portrait sheet whatever was printed before, its edge lines 10 mm
    // inside the edges less the offsets it is given (the registered ones play
    // no part), saying them, every word inside the lines and where it stands
    // without offsets, moved by them.
    void calibrationSheet_data() {
        QTest::addColumn<QPointF>("offsets");
        QTest::addColumn<QString>("said");
        QTest::newRow("none") << QPointF(0, 0) << "左の誤差0mm、上の誤差0mm";
        QTest::newRow("left and down") << QPointF(-3.25, 2.75) << "左の誤差-3.25mm、上の誤差2.75mm";
    }

    void calibrationSheet() {
        QFETCH(QPointF, offsets);
        QFETCH(QString, said);
        OffsetLeft = 7;
        OffsetTop = -5;
        PrintSheets({Sheet{1, 0, {item("A3 landscape before")}}});
        PrintCalibrationSheet(offsets);
        const QList<PdfSheets::Sheet> sheets = PdfSheets::ReadSheets(pdf());
        QCOMPARE(sheets.size(), 1);
        QCOMPARE(sheets[0].size.toSize(), QSize(210, 297));
        const QImage picture = PdfSheets::Pictures(pdf()).value(0);
        const QRectF frame = QRectF(10, 10, 190, 277).translated(-offsets);
        const double y = frame.center().y() - 30, x = frame.center().x() - 40;
        for (auto [at, line, want] :
             {std::tuple(QPointF(frame.left(), y), Qt::Vertical, frame.left()),
              {QPointF(frame.right(), y), Qt::Vertical, frame.right()},
              {QPointF(x, frame.top()), Qt::Horizontal, frame.top()},
              {QPointF(x, frame.bottom()), Qt::Horizontal, frame.bottom()}})
            QVERIFY(qAbs(PdfSheets::LineAcross(picture, 300,
                                               QRectF(at - QPointF(4, 4), QSizeF(8, 8)), line) -
                         want) < 0.1);
        QVERIFY2(sheets[0].lines().contains("この用紙を印刷した誤差：" + said),
                 qPrintable(sheets[0].lines().join('\n')));

        // Across, only as far as the words before it on its line read the same.
        PrintToPdfFile(out_->filePath("reference.pdf"));
        PrintCalibrationSheet(QPointF());
        const QList<PdfSheets::Word>
            words = sheets[0].words,
            reference = PdfSheets::ReadSheets(out_->filePath("reference.pdf")).value(0).words;
        QCOMPARE(words.size(), reference.size());
        bool sameSoFar = true;
        for (qsizetype i = 0; i < words.size(); ++i) {
            const QPointF moved = words[i].box.topLeft() + offsets - reference[i].box.topLeft();
            if (i == 0 || qAbs(reference[i].box.top() - reference[i - 1].box.top()) > 0.1)
                sameSoFar = true;
            sameSoFar = sameSoFar && words[i].text == reference[i].text;
            QVERIFY2(frame.contains(words[i].box) && qAbs(moved.y()) < 0.05 &&
                         (!sameSoFar || qAbs(moved.x()) < 0.05),
                     qPrintable(words[i].text + " off by " + QDebug::toString(moved)));
        }
    }

    // "印刷" on the page setup screen: every saved row, when ticked, with the
    // lists as the screen shows them; nothing ticked is said and prints nothing.
    void printButton() {
        app_ = std::make_unique<OpenAppFolder>();
        AppFolderFixture& app = *app_;
        app.AddTemplate("1");
        const int layouts[][2]{{1, 0}, {0, 1}, {0, 4}};
        for (int p = 1; p <= 3; ++p) {
            const QString id = QString::number(10 + p);
            app.AddPage(id, "1", QString::number(p), layouts[p - 1][0], layouts[p - 1][1]);
            app.AddItem(QString::number(p), id, QString("P%1").arg(p), "10.5", "20", "80", "30",
                        "20", "1", 0);
        }
        CurrentTemplateId = "1";
        ShowPageSetup();
        SpreadGrid* grid = VisibleScreen<FrmPage>()->findChild<SpreadGrid*>("vaSpread");
        auto print = [&] {
            QTest::mouseClick(grid->window()->findChild<QPushButton*>("CmdPrint"), Qt::LeftButton);
        };
        grid->SetCellText(FrmPage::ColPrint, 2, "0");
        // Rows 4 and 5 are typed, ticked and not saved: they have no page to print.
        grid->SetCellText(FrmPage::ColPageNo, 4, "4");
        grid->SetCellText(FrmPage::ColPageNo, 5, "5");
        // Row 3: A5 shown, B5 saved; "横" chosen in the drop-down, not yet
        // handed to the cell; "縦" saved.
        grid->SetListIndex(FrmPage::ColSize, 3, 2);
        grid->setFocus();
        grid->SetActiveCell(FrmPage::ColDirection, 3);
        QTest::keyClick(grid, Qt::Key_F4);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(grid->Editing() && grid->ListIndex(FrmPage::ColDirection, 3) == 0);
        print();
        QCOMPARE(recorder_->texts(), QStringList());
        QCOMPARE(printedSheets(), (QStringList{"P1 420x297", "P3 210x148"}));

        QFile::remove(pdf());
        for (int r = 1; r <= 5; ++r)
            grid->SetCellText(FrmPage::ColPrint, r, "0");
        print();
        QCOMPARE(recorder_->texts(), QStringList{"印刷対象ページが選択されていません。\r"});
        QVERIFY(!QFile::exists(pdf()));
    }
};

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
