// Merge lists (CSV and tab-separated) read, fields filled, a value's line break printed.
#include "PdfSheets.h"
#include "TestSupport.h"
#include "common/Globals.h"
#include "merge/MergeFields.h"
#include "merge/MergeList.h"
#include "print/PrintEngine.h"

#include <QRawFont>
#include <QStringEncoder>
#include <QtTest>

namespace {
QByteArray cp932(const QString& text) {
    return QStringEncoder("windows-31j").encode(text);
}
// The header and records as "a|b / c|d" (a line break as "⏎"), or the fault.
QString parsed(const QByteArray& bytes, MergeEncoding encoding = MergeEncoding::Auto) {
    try {
        const MergeList list = ParseMergeList(bytes, ',', encoding);
        QStringList records{list.columns.join('|')};
        for (const QStringList& r : list.records)
            records.append(r.join('|'));
        return (list.encoding == MergeEncoding::ShiftJis ? "SJIS " : "UTF8 ") +
               records.join(" / ").replace('\n', QStringLiteral("⏎"));
    } catch (const MergeError& e) {
        return QString::fromStdString(e.what());
    }
}

TextItem item(const QString& text, double left = 20, double right = 80, double top = 30,
              qint16 cols = 20, qint16 rows = 1, qint16 align = 0) {
    return TextItem{text, 10.5, left, right, top, cols, rows, align};
}

double linePitch(double points) { // mm
    QRawFont font = QRawFont::fromFont(QFont("IPAPMincho"));
    font.setPixelSize(points * PdfSheets::MmPerPoint * 100); // one pixel, 1/100 mm
    return (font.ascent() + font.descent()) / 100;
}
} // namespace

class TestMerge : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    // Fields of both widths; unknown fields of a plan once each, in order;
    // only items that took a value break lines; items without fields unchanged.
    void fields() {
        const QStringList columns{"氏名", "コード", "品名", "住所", "コード"};
        const QStringList record{"山田", "A-1", "\"特上\" {{氏名}}", "東京都\r\n千代田区", "B-2"};
        const QList<std::pair<QString, QString>> cases{
            {"様 {{氏名}} 殿", "様 山田 殿"},
            {"｛｛氏名｝｝様{{ 氏名　}}", "山田様山田"},
            {"{{氏名｝｝｛｛氏名}}{{}}{{ }}", "{{氏名｝｝｛｛氏名}}{{}}{{ }}"},
            {"{{部署}}{{{氏名}}}{{部署}}", "{{部署}}{山田}{{部署}}"},
            {"{{コード}}/{{品名}}/{{住所}}", "A-1/\"特上\" {{氏名}}/東京都\n千代田区"}};
        for (const auto& [text, merged] : cases)
            QCOMPARE(MergeText(text, columns, record), merged);
        const MergeList list{{"氏名", "住所"}, {{"佐藤", "東京都\n千代田区"}}};
        const SheetPlan plan{Sheet{0, 1, {item("{{氏名}} {{支店}}"), item("{{}}｛｛氏名}}")}},
                             Sheet{0, 1, {item("{{住所}}{{課}}｛｛支店｝｝"), item("{{課}}")}}};
        QCOMPARE(UnknownFields(plan, list.columns), (QStringList{"支店", "課"}));
        QStringList texts;
        for (const Sheet& sheet : MergeRecord(plan, list, 0))
            for (const TextItem& i : sheet.items)
                texts.append(i.moji + (i.breakLines ? " ⏎" : ""));
        QCOMPARE(texts, (QStringList{"佐藤 {{支店}} ⏎", "{{}}｛｛氏名}}",
                                     "東京都\n千代田区{{課}}｛｛支店｝｝ ⏎", "{{課}}"}));
    }

    void lineBreakPrinted() {
        const QList<std::tuple<QByteArray, qint16, qint16, qint16, QStringList>> cases{
            {"住所\r\n\"東京都\r\n千代田区丸\"\r\n", 4, 4, 0, {"〒東京都", "千代田区", "丸"}},
            {"住所\n\"AB\nDEFGHIJKLMNOP\"\n", 5, 3, 2, {"〒AB", "DEFGH", "IJKLM"}},
            {"住所\n\"A\r\rB\"\n", 5, 3, 1, {"〒A", "", "B"}}};
        OffsetLeft = OffsetTop = 0;
        for (const auto& [csv, cols, rows, align, lines] : cases) {
            ResetRunPrinter();
            const QString pdf = dir_.filePath(QString::number(align) + ".pdf");
            PrintToPdfFile(pdf);
            const TextItem box = item("〒{{住所}}", 30, 90, 40, cols, rows, align);
            const MergeList list = ParseMergeList(csv, ',', MergeEncoding::Auto);
            PrintSheets(MergeRecord({Sheet{0, 1, {box}}}, list, 0));
            const double pitch = linePitch(box.pSize);
            const double x = QList{box.pLeft, (box.pLeft + box.pRight) / 2, box.pRight}[align];
            QStringList actual;
            for (const PdfSheets::Word& w : PdfSheets::ReadSheets(pdf).value(0).words) {
                const double k = (w.box.top() - box.pTop) / pitch;
                const double at = QList{w.box.left(), w.box.center().x(), w.box.right()}[align];
                QVERIFY2(qRound(k) >= 0 && qAbs(k - qRound(k)) * pitch < 0.05 &&
                             qAbs(at - x) < 0.05,
                         qPrintable(w.text));
                actual.resize(qMax(actual.size(), qRound(k) + 1));
                actual[qRound(k)] += w.text;
            }
            QCOMPARE(actual, lines); // "" for an empty line
        }
    }

    // Encodings, RFC 4180, each fault with the line its record starts on ("…": the start), the
    // limit of records; tabs for .tsv and .txt in any case, commas for anything else.
    void parseAndRead() {
        const MergeEncoding a = MergeEncoding::Auto;
        // 表 is 0x95 0x5C in CP932: a backslash as second byte, here before a quote.
        const QByteArray cp = cp932("氏名,会社\r\n髙橋,㈱表\r\n\"表\",\"①\r\n表\"\r\n");
        QVERIFY(cp.contains("\"\x95\x5c\","));
        const QList<std::tuple<QByteArray, MergeEncoding, QString>> cases{
            {"名前,値\n髙橋,①㈱", a, "UTF8 名前|値 / 髙橋|①㈱"},
            {"\xEF\xBB\xBF名前\n表\n", a, "UTF8 名前 / 表"},
            {cp, a, "SJIS 氏名|会社 / 髙橋|㈱表 / 表|①⏎表"},
            {"a,b,c\n\"x,y\",\"say \"\"hi\"\"\",\"\"", a, "UTF8 a|b|c / x,y|say \"hi\"|"},
            {"a,b\r\n\"1\n2\",\"3\r\n4\r5\"\r6,7\n", a, "UTF8 a|b / 1⏎2|3⏎4⏎5 / 6|7"},
            {"\r\na,b,c\n\n1,,\r\n2\n,\n\n", a, "UTF8 a|b|c / 1|| / 2|| / ||"},
            {" a ,\"b \"\n 1 ,\" 2\"", a, "UTF8 a|b /  1 | 2"},
            {"\xEF\xBB\xBF\r\n\n", a, "ファイルが空です。"},
            {"\n, ,\"\"\n1,2,3\n", a, "2 行目: 見出しの行に列名がありません。"},
            {"a,b\r\n\r\n", a, "見出しの行のほかにレコードがありません。"},
            {"a,b\n\"1\n\",2\n\n1,2,\n", a, "5 行目: 項目が 3 個あり、見出しの列数 2 より多く…"},
            {"a\n1\n\"2\n3\n", a, "3 行目: 引用符 (\") が閉じられないまま…"},
            {"a,b\n1,2\n3,4\"\n", a, "3 行目: 引用符 (\") の使い方が正しくありません。"},
            // 0x81 0x7F is no CP932 character: its record starts on line 3.
            {cp932("名前,値\n髙橋,1\n\"表\n") + "\x81\x7F\",2\n", a, "3 行目: 文字コード…"},
            {cp932("name\nab\n①\n"), MergeEncoding::Utf8, "3 行目: 文字コード UTF-8 として…"},
            {"a,b\n1,\x95\n", MergeEncoding::ShiftJis, "2 行目: 文字コード Shift_JIS として…"}};
        for (const auto& [bytes, encoding, read] : cases)
            QCOMPARE(parsed(bytes, encoding).left(read.indexOf(u'…')),
                     read.left(read.indexOf(u'…')));
        QByteArray bytes("番号,名前\n");
        for (int i = 1; i <= MergeList::MaxRecords; ++i)
            bytes += QByteArray::number(i) + ",名前\n";
        QVERIFY(parsed(bytes).endsWith(" / 10000|名前"));
        QVERIFY(parsed(bytes + "10001,x\n").startsWith("10002 行目: レコードが 10000 件を超えて"));
        const QList<std::pair<QString, QString>> firstColumn{
            {"l.CSV", "a\tb"}, {"l.Tsv", "a"}, {"l.TXT", "a"}, {"l.dat", "a\tb"}};
        for (const auto& [name, first] : firstColumn) {
            WriteBytes(dir_.filePath(name), "a\tb,c\n1\n");
            QCOMPARE(ReadMergeList(dir_.filePath(name), MergeEncoding::Auto).columns[0], first);
        }
    }
};

QTEST_MAIN(TestMerge)
#include "tst_merge.moc"
