// Printing plans of sheets to a PDF file, read back with poppler: where lines
// land and how they are cut, which paper each sheet gets, that a failure
// leaves nothing printed, an empty plan prints nothing; the calibration sheet.
#include "PdfSheets.h"
#include "TestSupport.h"
#include "common/Globals.h"
#include "print/CalibrationSheet.h"
#include "print/PrintEngine.h"

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
        recorder_.reset();
        QCOMPARE(QDir(out_->path()).entryList(QDir::Hidden | QDir::Files).filter("vesk-print"),
                 QStringList()); // no drawing left behind
    }

    // Each line's top lies a line height below the one before, its left,
    // centre or right (as aligned) at x. A character as the user sees it stays
    // whole: a pair or a sequence cut in two would push the later characters a
    // line down. A first line marked "*" may not read back (it depends on the
    // fonts installed).
    void lines_data() {
        QTest::addColumn<TextItem>("item");
        QTest::addColumn<double>("offsetLeft");
        QTest::addColumn<double>("x");
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
        // No alignment chosen (stored -1) or a code outside the list: as if
        // left aligned, in the box, not at the paper's edge.
        row("no alignment chosen", item("ABCDEFGHIJ", 10.5, 20, 80, 30, 5, 2, -1), 3, 17,
            {"ABCDE", "FGHIJ"});
        row("alignment code outside the list", item("VESK帳票", 10.5, 35.5, 80, 30, 20, 1, 3), -2.5,
            38, {"VESK帳票"});
        for (const char* text : {"𠮷野家", "𠀋野家", "葛\U000E0100野家", "か\u309A野家"})
            row(text, item(text, 10.5, 20, 80, 30, 1, 3), 0, 20, {"*", "野", "家"});
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
        if (lines.value(0) == "*") {
            QVERIFY(qAbs(PdfSheets::ReadInk(pdf()).value(0).box.top() - 26) < pitch / 2);
            actual.resize(qMax(actual.size(), 1));
            actual[0] = "*";
        }
        QCOMPARE(actual, lines);
    }

    // Each sheet is on the paper and direction of its codes; a code outside
    // the lists leaves the sheet before's in force (first: a PDF file's own
    // paper, A4 portrait). A sheet without items is a blank sheet; no sheet
    // at all is said and prints nothing.
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
        QTest::newRow("nothing") << "" << QStringList();
    }

    void paperOfEachSheet() {
        QFETCH(QString, plan);
        QFETCH(QStringList, sheets);
        SheetPlan printed;
        for (const QString& s : plan.split(' ', Qt::SkipEmptyParts)) {
            const QStringList c = s.split(',');
            printed.append({qint16(c[0].toInt()), qint16(c[1].toInt()), {}});
            if (c.size() < 3)
                printed.last().items.append(item(QString("P%1").arg(printed.size())));
        }
        PrintSheets(printed);
        QCOMPARE(recorder_->texts(), printed.isEmpty()
                                         ? QStringList{"印刷対象ページが選択されていません。\r"}
                                         : QStringList());
        QCOMPARE(QFile::exists(pdf()) ? printedSheets() : QStringList(), sheets);
    }

    // A sheet that cannot be drawn fails the whole command: a PDF file printed
    // before stays as it was, and no drawing is left behind (see cleanup).
    void failurePrintsNothing_data() {
        QTest::addColumn<TextItem>("bad");
        QTest::newRow("font size 0") << item("P2", 0);
        QTest::newRow("font size past 2160 points") << item("P2", 2160.5);
        QTest::newRow("position past single precision") << item("P2", 10.5, 1e39);
    }

    void failurePrintsNothing() {
        QFETCH(TextItem, bad);
        WriteBytes(pdf(), "printed before");
        const SheetPlan plan{{0, 1, {item("P1")}}, {0, 1, {item("x"), bad}}, {0, 1, {item("P3")}}};
        QVERIFY_THROWS_EXCEPTION(std::exception, PrintSheets(plan));
        QCOMPARE(ReadBytes(pdf()), QByteArray("printed before"));
    }

    // The calibration sheet (its crosses are checked through the print
    // queue): one A4 portrait sheet whatever was printed before, its edge
    // lines 10 mm inside the edges and its text moved by the offsets it is
    // given (the registered ones play no part), saying them.
    void calibrationSheet() {
        const QPointF offsets(-3.25, 2.75);
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
        QVERIFY2(
            sheets[0].lines().contains("この用紙を印刷した誤差：左の誤差-3.25mm、上の誤差2.75mm"),
            qPrintable(sheets[0].lines().join('\n')));
        // The heading's first word stands at 25 mm, 34 mm without offsets.
        const auto vesk = std::find_if(sheets[0].words.cbegin(), sheets[0].words.cend(),
                                       [](const PdfSheets::Word& w) { return w.text == "VESK"; });
        QVERIFY(vesk != sheets[0].words.cend());
        const QPointF heading = vesk->box.topLeft() + offsets;
        QVERIFY2(qAbs(heading.x() - 25) < 0.05 && qAbs(heading.y() - 34) < 0.05,
                 qPrintable(QDebug::toString(heading)));
    }
};

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
