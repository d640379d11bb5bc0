// Plans of sheets printed to a PDF file, read back with poppler.
#include "PdfSheets.h"
#include "TestSupport.h"
#include "common/Globals.h"
#include "print/PrintEngine.h"

#include <QRawFont>
#include <QtTest>

namespace {

TextItem item(const QString& text, double size = 10.5, double left = 20, double right = 80,
              double top = 30, qint16 cols = 20, qint16 rows = 1, qint16 align = 0) {
    return TextItem{text, size, left, right, top, cols, rows, align};
}

// The height of a printed line (mincho ascent plus descent) in millimetres.
double linePitch(double points) {
    QRawFont font = QRawFont::fromFont(QFont("IPAPMincho"));
    font.setPixelSize(points * PdfSheets::MmPerPoint * 100); // one pixel, 1/100 mm
    return (font.ascent() + font.descent()) / 100;
}

} // namespace

class TestPrint : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> out_;
    std::unique_ptr<MessageRecorder> recorder_;

    QString pdf() const { return out_->filePath("out.pdf"); }

private slots:
    void init() {
        out_ = std::make_unique<QTemporaryDir>();
        recorder_ = std::make_unique<MessageRecorder>();
        ResetRunPrinter();
        PrintToPdfFile(pdf());
    }

    void cleanup() {
        recorder_.reset();
        QCOMPARE(QDir(out_->path()).entryList(QDir::Hidden | QDir::Files).filter("vesk-print"),
                 QStringList()); // no drawing left behind
    }

    // Each line a line height below the one before, aligned at x; a character
    // cut in two would push the later ones a line down. A first line "*" may
    // not read back (it depends on the fonts installed).
    void lines() {
        using Row = std::tuple<TextItem, double, QStringList>; // lines as read back
        QList<Row> rows{
            {item("ABCDEFGHIJKL", 10.5, 20, 80, 30, 5, 2, 1), 37.5, {"ABCDE", "FGHIJ"}},
            {item("VESK帳票", 10.5, 20, 80, 30, 20, 1, 2), 67.5, {"VESK帳票"}},
            {item("VESK帳票", 10.5, 10, 80, 30, 20, 1, 0), -2.5, {"VESK帳票"}}, // past the edge
            {item("ABCDEF", 10.5, 20, 80, 30, 4, 0), 0, {}},
            {item("ABCDEF", 10.5, 20, 80, 30, 0, 3), 0, {}},
            {item("ABCDEF", 10.5, 20, 80, 30, -2, 3), 0, {}},
            // No alignment chosen (-1) or a code outside the list: left, in the box.
            {item("ABCDEFGHIJ", 10.5, 20, 80, 30, 5, 2, -1), 7.5, {"ABCDE", "FGHIJ"}},
            {item("VESK帳票", 10.5, 35.5, 80, 30, 20, 1, 3), 23, {"VESK帳票"}}};
        for (const char* text : {"𠮷野家", "𠀋野家", "葛\U000E0100野家", "か\u309A野家"})
            rows.append({item(text, 10.5, 20, 80, 30, 1, 3), 7.5, {"*", "野", "家"}});
        OffsetLeft = 12.5;
        OffsetTop = 4;
        SheetPlan plan;
        for (const Row& r : rows)
            plan.append({0, 1, {std::get<0>(r)}});
        PrintSheets(plan);
        const auto sheets = PdfSheets::ReadSheets(pdf());
        const auto ink = PdfSheets::ReadInk(pdf());
        QCOMPARE(sheets.size(), rows.size());
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const auto& [item, x, lines] = rows[i];
            const double pitch = linePitch(item.pSize);
            QStringList actual;
            for (const PdfSheets::Word& w : sheets[i].words) {
                const double k = (w.box.top() - 26) / pitch;
                const double at = QList{w.box.left(), w.box.center().x(), w.box.right()}.value(
                    item.pPosition, w.box.left());
                QVERIFY(qRound(k) >= 0 && qAbs(k - qRound(k)) * pitch < 0.05 &&
                        qAbs(at - x) < 0.05);
                actual.resize(qMax(actual.size(), qRound(k) + 1));
                actual[qRound(k)] += w.text;
            }
            if (lines.value(0) == "*" && !actual.isEmpty()) // its ink only
                actual[0] = qAbs(ink[i].box.top() - 26) < pitch / 2 ? "*" : "no ink";
            QCOMPARE(actual, lines);
        }
    }

    // A code outside the lists keeps the paper before (first: the PDF's own,
    // A4 portrait); a sheet without items is blank; no sheet is said.
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
        QStringList actual;
        for (const PdfSheets::Sheet& s :
             QFile::exists(pdf()) ? PdfSheets::ReadSheets(pdf()) : QList<PdfSheets::Sheet>())
            actual.append(
                s.lines().join('|') +
                QString(" %1x%2").arg(s.size.toSize().width()).arg(s.size.toSize().height()));
        QCOMPARE(actual, sheets);
    }

    // A sheet that cannot be drawn fails the whole command: the file printed
    // before stays as it was.
    void failurePrintsNothing() {
        for (const TextItem& bad : {item("P2", 0), item("P2", 2160.5), item("P2", 10.5, 1e39)}) {
            WriteBytes(pdf(), "printed before");
            const SheetPlan plan{
                {0, 1, {item("P1")}}, {0, 1, {item("x"), bad}}, {0, 1, {item("P3")}}};
            QVERIFY_THROWS_EXCEPTION(std::exception, PrintSheets(plan));
            QCOMPARE(ReadBytes(pdf()), QByteArray("printed before"));
        }
    }
};

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
