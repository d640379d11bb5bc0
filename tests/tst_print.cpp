// Printing plans of sheets to a PDF file, read back with poppler: where lines
// land and how they are cut, which paper each sheet gets, that a failure
// leaves nothing printed, and that a picture drawn by the sheet renderer
// carries the same ink as the PDF; the calibration sheet. One test presses
// "印刷" on the page setup screen: which rows become sheets, with their lists
// as shown.
#include "PdfSheets.h"
#include "TestSupport.h"
#include "common/Globals.h"
#include "common/Navigation.h"
#include "layout/PaperSizes.h"
#include "pages/FrmPage.h"
#include "platform/SpreadGrid.h"
#include "platform/SystemPrinter.h"
#include "print/CalibrationSheet.h"
#include "print/PrintEngine.h"
#include "print/SheetRenderer.h"

#include <QPainter>
#include <QPushButton>
#include <QRawFont>
#include <QtTest>
#include <cmath>

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

// A white picture of an A4 sheet at `dpi`.
QImage a4Picture(int dpi) {
    const int dotsPerMetre = qRound(dpi / 0.0254);
    QImage image(qRound(210 / 25.4 * dpi), qRound(297 / 25.4 * dpi), QImage::Format_Grayscale8);
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    image.fill(Qt::white);
    return image;
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
        row("Japanese", item("東京都千代田区丸の内一丁目", 12), 0, 20,
            {"東京都千代田区丸の内一丁目"});
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
            const double k = (w.box.top() - 26) / pitch, at = item.pPosition == 1
                                                                  ? w.box.center().x()
                                                              : item.pPosition == 2 ? w.box.right()
                                                                                    : w.box.left();
            QVERIFY(qRound(k) >= 0 && qAbs(k - qRound(k)) * pitch < 0.05 && qAbs(at - x) < 0.05);
            actual.resize(qMax(actual.size(), qRound(k) + 1));
            actual[qRound(k)] += w.text;
        }
        QCOMPARE(actual, lines);
    }

    // A character as the user sees it stays whole on the first line: a pair or
    // a sequence cut in two would push the later characters a line down. Which
    // font draws what the mincho font lacks, and whether the first line's text
    // reads back, depends on the fonts installed: the first line is checked by
    // its ink, the others by their text.
    void graphemeCut_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("surrogate pair, not in the font") << "𠮷野家" << QStringList{"野", "家"};
        QTest::newRow("surrogate pair in the font") << "𠀋野家" << QStringList{"野", "家"};
        QTest::newRow("variation sequence") << "葛\U000E0100城市" << QStringList{"城", "市"};
        QTest::newRow("combining mark") << "か\u309Aきく" << QStringList{"き", "く"};
    }

    void graphemeCut() {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        const TextItem cut = item(text, 10.5, 20, 80, 30, 1, 3);
        PrintSheets({Sheet{0, 1, {cut}}});
        const auto sheets = PdfSheets::ReadSheets(pdf());
        QCOMPARE(sheets.size(), 1);
        const double pitch = linePitch(cut.pSize);
        QStringList actual(cut.pRowCount);
        for (const PdfSheets::Word& w : sheets[0].words) {
            const int k = qRound((w.box.top() - cut.pTop) / pitch);
            QVERIFY(k >= 0 && k < cut.pRowCount);
            actual[k] += w.text;
        }
        QCOMPARE(actual.mid(1), lines);
        const QRectF ink = PdfSheets::ReadInk(pdf()).value(0).box;
        QVERIFY(qAbs(ink.top() - cut.pTop) < pitch / 2);
    }

    // Every font of the sheets is embedded, whichever fonts are installed
    // (one for the characters the mincho font lacks included), and the
    // mincho font is the one asked for.
    void fontsEmbedded() {
        PrintSheets({Sheet{0, 1, {item("VESK帳票𠮷")}}});
        // pdffonts: a heading, a rule, then name, type, encoding, embedded,
        // subset, unicode, object, id.
        const QStringList rows =
            PdfSheets::run("pdffonts", {pdf()}).split('\n', Qt::SkipEmptyParts).mid(2);
        QVERIFY(!rows.isEmpty());
        static const QRegularExpression row(
            R"(^(\w+\+)?(\S+) .* (yes|no) +(yes|no) +(yes|no) +\d+ +\d+$)");
        QStringList fonts;
        for (const QString& r : rows) {
            const auto m = row.match(r);
            QVERIFY2(m.hasMatch() && m.captured(3) == "yes", qPrintable(r));
            fonts.append(m.captured(2));
        }
        QVERIFY2(fonts.contains("IPAPMincho"), qPrintable(fonts.join(' ')));
    }

    // Each sheet is on the paper and direction of its codes; a code outside
    // the lists leaves the sheet before's in force, also from one command to
    // the next, until the run's printer is reset (a PDF file's own paper is
    // A4 portrait). A sheet without items is a blank sheet.
    void paperOfEachSheet_data() {
        QTest::addColumn<QString>("before"); // a command printed first: "direction,size ..."
        QTest::addColumn<bool>("reset");     // the run's printer reset after it
        QTest::addColumn<QString>("plan");
        QTest::addColumn<QStringList>("sheets");
        QTest::newRow("every size in both directions")
            << "" << false << "0,0 1,1 0,2 1,3 0,4 1,0 0,1 1,2 0,3 1,4"
            << QStringList{"P1 297x420", "P2 297x210", "P3 148x210", "P4 364x257", "P5 182x257",
                           "P6 420x297", "P7 210x297", "P8 210x148", "P9 257x364", "P10 257x182"};
        QTest::newRow("codes outside the lists keep the sheet before's")
            << "" << false << "1,0 -1,5 0,-1 5,4 2,-1"
            << QStringList{"P1 420x297", "P2 420x297", "P3 297x420", "P4 182x257", "P5 182x257"};
        QTest::newRow("unknown codes first: the PDF's own paper")
            << "" << false << "-1,-1 1,-1" << QStringList{"P1 210x297", "P2 297x210"};
        QTest::newRow("kept from the command before")
            << "1,3" << false << "-1,-1" << QStringList{"P1 364x257"};
        QTest::newRow("forgotten when the printer is reset")
            << "1,3" << true << "-1,-1" << QStringList{"P1 210x297"};
        QTest::newRow("a sheet without items")
            << "" << false << "0,2 1,0,blank 0,4"
            << QStringList{"P1 148x210", " 420x297", "P3 182x257"};
    }

    void paperOfEachSheet() {
        QFETCH(QString, before);
        QFETCH(bool, reset);
        QFETCH(QString, plan);
        QFETCH(QStringList, sheets);
        // "direction,size" per sheet, ",blank" for a sheet without items.
        auto planOf = [](const QString& codes) {
            SheetPlan sheets;
            for (const QString& s : codes.split(' ', Qt::SkipEmptyParts)) {
                const QStringList c = s.split(',');
                Sheet sheet{qint16(c[0].toInt()), qint16(c[1].toInt()), {}};
                if (c.size() < 3)
                    sheet.items.append(item(QString("P%1").arg(sheets.size() + 1)));
                sheets.append(sheet);
            }
            return sheets;
        };
        if (!before.isEmpty()) {
            PrintSheets(planOf(before));
            if (reset)
                ResetRunPrinter();
            PrintToPdfFile(pdf());
        }
        PrintSheets(planOf(plan));
        QCOMPARE(printedSheets(), sheets);
    }

    // CUPS knows each paper size by the name of its size in millimetres.
    void mediaNames() {
        for (const PaperSize& paper : PaperSizes::All())
            QVERIFY(MediaName(QPageSize(paper.pageSizeId))
                        .endsWith(QString("_%1x%2mm").arg(paper.widthMm).arg(paper.heightMm)));
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
        QTest::newRow("left, two lines, 300 dpi")
            << item("東京都千代田区丸の内", 12, 20, 100, 40, 5, 2, 0) << 300 << QPointF();
        QTest::newRow("centred, 150 dpi")
            << item("VESK帳票 ABC", 10.5, 20, 120, 60, 20, 1, 1) << 150 << QPointF();
        QTest::newRow("right, two lines, 300 dpi")
            << item("御中　山田太郎様", 14, 30, 150.5, 80, 4, 2, 2) << 300 << QPointF();
        QTest::newRow("hardware margins, 300 dpi")
            << item("御中　山田太郎様", 14, 30, 150.5, 80, 4, 2, 2) << 300 << QPointF(5, 9);
    }

    void pictureAsThePdf() {
        QFETCH(TextItem, item);
        QFETCH(int, dpi);
        QFETCH(QPointF, origin);
        OffsetLeft = 3;
        OffsetTop = -4;
        const Sheet sheet{0, 1, {item}};
        PrintSheets({sheet});
        const QRectF printed = PdfSheets::ReadInk(pdf()).value(0).box;
        QVERIFY(!printed.isEmpty());

        QImage picture = a4Picture(dpi);
        if (origin.isNull()) {
            PaintSheet(picture, sheet, QPointF(OffsetLeft, OffsetTop));
        } else {
            QPainter painter(&picture);
            SheetRenderer(painter, origin, QPointF(OffsetLeft, OffsetTop)).Draw(sheet);
        }
        const QRectF ink = PdfSheets::InkBox(picture, dpi).translated(-origin);
        // Within two pixels of the picture: the two rasterizers round the
        // glyphs' edges each their own way.
        auto apart = [](QPointF d) { return qMax(qAbs(d.x()), qAbs(d.y())); };
        QVERIFY2(
            apart(ink.topLeft() - printed.topLeft()) < 2 * 25.4 / dpi &&
                apart(ink.bottomRight() - printed.bottomRight()) < 2 * 25.4 / dpi,
            qPrintable(QDebug::toString(ink) + " drawn, printed " + QDebug::toString(printed)));
    }

    // The calibration sheet: one A4 portrait sheet whatever was printed
    // before, its crosses and edge lines at their millimetres less the
    // offsets it is given (the registered ones play no part), labelled, with
    // every word inside the edge lines, moved by the offsets as they are.
    void calibrationSheet_data() {
        QTest::addColumn<QPointF>("offsets");
        QTest::addColumn<QString>("said"); // the offsets as the sheet says them
        QTest::newRow("none") << QPointF(0, 0) << "左の誤差0mm、上の誤差0mm";
        QTest::newRow("right and up") << QPointF(1.5, -2) << "左の誤差1.5mm、上の誤差-2mm";
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
        auto near = [](QPointF at, QPointF want) {
            return qAbs(at.x() - want.x()) < 0.1 && qAbs(at.y() - want.y()) < 0.1;
        };
        for (const QPointF& cross : CalibrationSheet::Crosses) {
            const QPointF at = PdfSheets::CrossCentre(picture, 300, cross - offsets);
            QVERIFY2(near(at, cross - offsets), qPrintable(QDebug::toString(at)));
        }
        // The lines 10 mm inside the edges, found across their middles.
        const QRectF frame = QRectF(10, 10, 190, 277).translated(-offsets);
        auto across = [&](QPointF middle, Qt::Orientation line) {
            return PdfSheets::LineAcross(picture, 300, QRectF(middle - QPointF(4, 4), QSizeF(8, 8)),
                                         line);
        };
        const double y = frame.center().y() - 30, x = frame.center().x() - 40;
        QVERIFY(qAbs(across(QPointF(frame.left(), y), Qt::Vertical) - frame.left()) < 0.1);
        QVERIFY(qAbs(across(QPointF(frame.right(), y), Qt::Vertical) - frame.right()) < 0.1);
        QVERIFY(qAbs(across(QPointF(x, frame.top()), Qt::Horizontal) - frame.top()) < 0.1);
        QVERIFY(qAbs(across(QPointF(x, frame.bottom()), Qt::Horizontal) - frame.bottom()) < 0.1);

        const QStringList lines = sheets[0].lines();
        for (const char* label : {"左20mm/上20mm", "左105mm/上148.5mm", "左190mm/上277mm"})
            QVERIFY2(lines.contains(QString::fromUtf8(label)), label);
        QVERIFY2(lines.contains("この用紙を印刷した誤差：" + said), qPrintable(lines.join('\n')));
        for (const PdfSheets::Word& w : sheets[0].words)
            QVERIFY2(frame.contains(w.box), qPrintable(w.text));

        // Every word stands where it stands on a sheet printed without
        // offsets, moved by them; across, as far as the words before it on
        // its line read the same.
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
            QVERIFY2(qAbs(moved.y()) < 0.05 && (!sameSoFar || qAbs(moved.x()) < 0.05),
                     qPrintable(words[i].text + " off by " + QDebug::toString(moved)));
        }
    }

    // A sheet that cannot be drawn prints nothing: a file printed before stays.
    void calibrationFailurePrintsNothing() {
        WriteBytes(pdf(), "printed before");
        QVERIFY_THROWS_EXCEPTION(std::exception, PrintCalibrationSheet(QPointF(1e39, 0)));
        QCOMPARE(ReadBytes(pdf()), QByteArray("printed before"));
    }

    // "印刷" on the page setup screen: every saved row, when ticked, with the lists as the screen
    // shows them; nothing ticked, or a failure, is said and prints nothing.
    void printButton() {
        app_ = std::make_unique<OpenAppFolder>();
        AppFolderFixture& app = *app_;
        app.AddTemplate("1");
        const QList<QPair<int, int>> layouts{{1, 0}, {0, 1}, {0, 4}};
        for (int p = 1; p <= 3; ++p) {
            const QString id = QString::number(10 + p);
            app.AddPage(id, "1", QString::number(p), qint16(layouts[p - 1].first),
                        qint16(layouts[p - 1].second));
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

        app.AddItem("6", "13", "bad", "0", "20", "80", "50", "20", "1", 0);
        grid->SetCellText(FrmPage::ColPrint, 3, "1");
        recorder_->shown.clear();
        print();
        QCOMPARE(recorder_->texts(), QStringList{"処理中、異常が発生しました。\r"});
        QVERIFY(!QFile::exists(pdf()));
    }
};

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
