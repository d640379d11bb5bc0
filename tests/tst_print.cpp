// Plans of sheets printed to a PDF file, read back with poppler.
#include "PdfSheets.h"
#include "TestSupport.h"
#include "common/Globals.h"
#include "print/PrintEngine.h"

#include <QRawFont>
#include <QtTest>

class TestPrint : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> out_;
    MessageRecorder recorder_;

    QString pdf() const { return out_->filePath("out.pdf"); }
    static TextItem item(const QString& text, double size = 10.5, double left = 20,
                         qint16 cols = 20, qint16 rows = 1, qint16 align = 0) {
        return TextItem{text, size, left, 80, 30, cols, rows, align};
    }

private slots:
    void init() {
        out_ = std::make_unique<QTemporaryDir>();
        recorder_.shown.clear();
        ResetRunPrinter();
        PrintToPdfFile(pdf());
    }

    void cleanup() {
        QCOMPARE(QDir(out_->path()).entryList(QDir::Hidden | QDir::Files).filter("vesk-print"),
                 QStringList()); // no drawing left behind
    }

    // Each line a line height below the last, at x; a first line "*" is checked by its ink.
    void lines() {
        using Row = std::tuple<TextItem, double, QStringList>; // lines as read back
        QList<Row> rows{
            {item("ABCDEFGHIJKL", 10.5, 20, 5, 2, 1), 37.5, {"ABCDE", "FGHIJ"}},
            {item("VESK帳票", 10.5, 20, 20, 1, 2), 67.5, {"VESK帳票"}},
            {item("VESK帳票", 10.5, 10, 20, 1, 0), -2.5, {"VESK帳票"}},        // past the edge
            {item("ABCDEFGHIJ", 10.5, 20, 5, 2, -1), 7.5, {"ABCDE", "FGHIJ"}}, // none chosen: left
            {item("VESK帳票", 10.5, 35.5, 20, 1, 3), 23, {"VESK帳票"}}}; // an unknown code: left
        for (auto [cols, lines] : {std::pair(4, 0), {0, 3}, {-2, 3}})    // nothing printed
            rows.append({item("ABCDEF", 10.5, 20, cols, lines), 0, {}});
        for (const char* text : {"𠮷野家", "𠀋野家", "葛\U000E0100野家", "か\u309A野家"})
            rows.append({item(text, 10.5, 20, 1, 3), 7.5, {"*", "野", "家"}});
        OffsetLeft = 12.5;
        OffsetTop = 4;
        SheetPlan plan;
        for (const Row& r : rows)
            plan.append({0, 1, {std::get<0>(r)}});
        PrintSheets(plan);
        const auto sheets = PdfSheets::ReadSheets(pdf());
        const auto ink = PdfSheets::ReadInk(pdf());
        QCOMPARE(sheets.size(), rows.size());
        QRawFont font = QRawFont::fromFont(QFont("IPAPMincho")); // a line: ascent plus descent
        font.setPixelSize(10.5 * PdfSheets::MmPerPoint * 100);   // one pixel, 1/100 mm
        const double pitch = (font.ascent() + font.descent()) / 100;
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const auto& [item, x, lines] = rows[i];
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

    // "direction,size" per sheet (",blank": no items) and the sheets read back: a code outside
    // the lists keeps the paper before (first: the PDF's own, A4 portrait); no sheet is said.
    void paperOfEachSheet() {
        const QList<std::pair<QString, QStringList>> cases{
            {"0,0 1,1 0,2 1,3 0,4 1,0 0,1 1,2 0,3 1,4",
             {"P1 297x420", "P2 297x210", "P3 148x210", "P4 364x257", "P5 182x257", "P6 420x297",
              "P7 210x297", "P8 210x148", "P9 257x364", "P10 257x182"}},
            {"1,0 -1,5 0,-1 5,4 2,-1",
             {"P1 420x297", "P2 420x297", "P3 297x420", "P4 182x257", "P5 182x257"}},
            {"-1,-1 1,-1", {"P1 210x297", "P2 297x210"}},
            {"0,2 1,0,blank 0,4", {"P1 148x210", " 420x297", "P3 182x257"}},
            {"", {}}};
        for (const auto& [plan, sheets] : cases) {
            cleanup();
            init();
            SheetPlan printed;
            for (const QString& s : plan.split(' ', Qt::SkipEmptyParts)) {
                const QStringList c = s.split(',');
                printed.append({qint16(c[0].toInt()), qint16(c[1].toInt()), {}});
                if (c.size() < 3)
                    printed.last().items.append(item(QString("P%1").arg(printed.size())));
            }
            PrintSheets(printed);
            QStringList actual;
            for (const PdfSheets::Sheet& s :
                 QFile::exists(pdf()) ? PdfSheets::ReadSheets(pdf()) : QList<PdfSheets::Sheet>())
                actual.append(
                    s.lines().join('|') +
                    QString(" %1x%2").arg(s.size.toSize().width()).arg(s.size.toSize().height()));
            QCOMPARE(actual, sheets);
            QCOMPARE(recorder_.shown.size(), int(plan.isEmpty())); // said when nothing is printed
        }
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
