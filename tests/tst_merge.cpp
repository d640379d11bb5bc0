// Merge lists and fields: reading CSV and tab-separated lists in UTF-8 and
// CP932 (quotes, line breaks, short and long records, the record limit, the
// faults and the line they name), filling fields of item texts, and printing
// a merged value that holds a line break.
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
    QStringEncoder encoder("windows-31j");
    const QByteArray bytes = encoder.encode(text);
    if (!encoder.isValid() || encoder.hasError())
        throw std::runtime_error("not encodable in CP932");
    return bytes;
}

// What `bytes` read as: the header and each record as "a|b" joined by " / "
// (a line break inside a value shown as "⏎"), or the cause of the fault.
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

// The height of a printed line of the mincho font in millimetres.
double linePitch(double points) {
    QRawFont font = QRawFont::fromFont(QFont("IPAPMincho"));
    font.setPixelSize(points * PdfSheets::MmPerPoint * 100); // one pixel, 1/100 mm
    return (font.ascent() + font.descent()) / 100;
}

} // namespace

Q_DECLARE_METATYPE(MergeEncoding)

class TestMerge : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    // Fields of both widths, blanks around names, unknown and duplicated
    // columns, values holding quotes, braces and line breaks; unknown fields
    // of a plan once each in order; only items that took a value break lines,
    // and a template without fields comes out as it went in.
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
        QCOMPARE(FieldNames("{{部署}}{{{氏名}}}{{部署}}{{}}"), (QStringList{"部署", "氏名"}));

        MergeList list;
        list.columns = QStringList{"氏名", "住所"};
        list.records = {{"山田", "東京都\n千代田区"}, {"佐藤", ""}};
        const SheetPlan plan{Sheet{0, 1, {item("{{氏名}} {{支店}}"), item("{{}}｛｛氏名}}")}},
                             Sheet{0, 1, {item("{{住所}}{{課}}｛｛支店｝｝"), item("{{課}}")}}};
        QCOMPARE(UnknownFields(plan, list.columns), (QStringList{"支店", "課"}));
        const SheetPlan merged = MergeRecord(plan, list, 1);
        QStringList texts;
        for (const Sheet& sheet : merged)
            for (const TextItem& i : sheet.items)
                texts.append(i.moji + (i.breakLines ? " ⏎" : ""));
        QCOMPARE(texts, (QStringList{"佐藤 {{支店}} ⏎", "{{}}｛｛氏名}}", "{{課}}｛｛支店｝｝ ⏎",
                                     "{{課}}"}));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, MergeRecord(plan, list, 2));
    }

    // A value's line break ends the printed line: the next line starts at
    // the box's edge one line lower, cut afresh by characters per line, and
    // nothing goes past the item's lines.
    void lineBreakPrinted_data() {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<qint16>("cols");
        QTest::addColumn<qint16>("rows");
        QTest::addColumn<qint16>("align");
        QTest::addColumn<QStringList>("lines"); // "" for an empty line
        QTest::newRow("CR LF in quotes, left")
            << QByteArray("住所\r\n\"東京都\r\n千代田区丸の内\"\r\n") << qint16(4) << qint16(4)
            << qint16(0) << QStringList{"東京都", "千代田区", "丸の内"};
        QTest::newRow("cut afresh, the rest dropped, right")
            << QByteArray("住所\n\"AB\nDEFGHIJKLMNOP\"\n") << qint16(5) << qint16(3) << qint16(2)
            << QStringList{"AB", "DEFGH", "IJKLM"};
        QTest::newRow("an empty line kept, centred")
            << QByteArray("住所\n\"A\r\rB\"\n") << qint16(5) << qint16(3) << qint16(1)
            << QStringList{"A", "", "B"};
    }

    void lineBreakPrinted() {
        QFETCH(QByteArray, csv);
        QFETCH(qint16, cols);
        QFETCH(qint16, rows);
        QFETCH(qint16, align);
        QFETCH(QStringList, lines);
        MessageRecorder recorder;
        OffsetLeft = OffsetTop = 0;
        ResetRunPrinter();
        const QString pdf = dir_.filePath("merged.pdf");
        PrintToPdfFile(pdf);
        const MergeList list = ParseMergeList(csv, ',', MergeEncoding::Auto);
        const TextItem box = item("〒{{住所}}", 30, 90, 40, cols, rows, align);
        PrintSheets(MergeRecord({Sheet{0, 1, {box}}}, list, 0));
        const double pitch = linePitch(box.pSize);
        const double x = QList<double>{box.pLeft, (box.pLeft + box.pRight) / 2, box.pRight}[align];
        QStringList actual;
        for (const PdfSheets::Word& w : PdfSheets::ReadSheets(pdf).value(0).words) {
            const double k = (w.box.top() - box.pTop) / pitch;
            const double at = QList{w.box.left(), w.box.center().x(), w.box.right()}[align];
            QVERIFY2(qRound(k) >= 0 && qAbs(k - qRound(k)) * pitch < 0.05 && qAbs(at - x) < 0.05,
                     qPrintable(w.text));
            actual.resize(qMax(actual.size(), qRound(k) + 1));
            actual[qRound(k)] += w.text;
        }
        lines[0].prepend("〒");
        QCOMPARE(actual, lines);
    }

    // Encodings, RFC 4180 quoting and line ends, and each fault with its
    // cause and the physical line where its record starts.
    void parse_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<MergeEncoding>("encoding");
        QTest::addColumn<QString>("read");
        const MergeEncoding a = MergeEncoding::Auto, utf8 = MergeEncoding::Utf8,
                            sjis = MergeEncoding::ShiftJis;
        // 表 is 0x95 0x5C in CP932: a backslash as second byte, here before a quote.
        const QByteArray cp = cp932("氏名,会社\r\n髙橋,㈱表\r\n\"表\",\"①\r\n表\"\r\n");
        QVERIFY(cp.contains("\"\x95\x5c\","));
        const QString cpRead = "SJIS 氏名|会社 / 髙橋|㈱表 / 表|①⏎表";
        // E8 A1 A8 is 表 in UTF-8, and a kanji and a katakana in CP932.
        const QString asCp932 = QStringDecoder("windows-31j").decode("\xE8\xA1\xA8");
        QVERIFY(asCp932.size() == 2);
        auto row = [](const char* name, const QByteArray& bytes, MergeEncoding e,
                      const QString& read) { QTest::newRow(name) << bytes << e << read; };
        row("UTF-8", "名前,値\n髙橋,①㈱", a, "UTF8 名前|値 / 髙橋|①㈱");
        row("UTF-8 with BOM", "\xEF\xBB\xBF名前\n表\n", a, "UTF8 名前 / 表");
        row("UTF-8 with BOM, chosen", "\xEF\xBB\xBF名前\n表\n", utf8, "UTF8 名前 / 表");
        row("CP932", cp, a, cpRead);
        row("CP932, chosen", cp, sjis, cpRead);
        row("UTF-8 read as Shift_JIS", "a\n\xE8\xA1\xA8\n", sjis, "SJIS a / " + asCp932);
        row("quotes, doubled quotes", "a,b,c\n\"x,y\",\"say \"\"hi\"\"\",\"\"", a,
            "UTF8 a|b|c / x,y|say \"hi\"|");
        row("line breaks in quotes: LF, CR LF, CR", "a,b\n\"1\n2\",\"3\r\n4\r5\"\n", a,
            "UTF8 a|b / 1⏎2|3⏎4⏎5");
        row("CR LF and CR line ends", "a,b\r\n1,2\r3,4\r\n", a, "UTF8 a|b / 1|2 / 3|4");
        row("trailing empty fields, short records", "a,b,c\n1,,\n2\n,\n", a,
            "UTF8 a|b|c / 1|| / 2|| / ||");
        row("blank lines", "\n\r\na,b\n\n1,2\r\n\r\n\n", a, "UTF8 a|b / 1|2");
        row("blanks kept in values, not in names", " a ,\"b \"\n 1 ,\" 2\"", a,
            "UTF8 a|b /  1 | 2");
        row("empty", "", a, "ファイルが空です。");
        row("only a BOM and blank lines", "\xEF\xBB\xBF\r\n\n", a, "ファイルが空です。");
        row("names only", "a,b\r\n\r\n", a, "見出しの行のほかにレコードがありません。");
        row("header without names", "\n, ,\"\"\n1,2,3\n", a,
            "2 行目: 見出しの行に列名がありません。");
        row("more fields than the header", "a,b\n\"1\n\",2\n\n1,2,\n", a,
            "5 行目: 項目が 3 個あり、見出しの列数 2 より多くなっています。");
        row("quote left open", "a\n1\n\"2\n3\n", a,
            "3 行目: 引用符 (\") が閉じられないままファイルが終わっています。");
        row("quote in an unquoted value", "a,b\n1,2\n3,4\"\n", a,
            "3 行目: 引用符 (\") の使い方が正しくありません。");
        row("text after a closing quote", "a,b\n\"1\r\n\"x,2\n", a,
            "3 行目: 引用符 (\") の使い方が正しくありません。");
        // 0x81 0x7F is no CP932 character: its record starts on line 3.
        row("neither UTF-8 nor CP932", cp932("名前,値\n髙橋,1\n\"表\n") + "\x81\x7F\",2\n", a,
            "3 行目: 文字コード Shift_JIS として読めない文字があります。");
        row("CP932 read as UTF-8", cp932("name\nab\n①\n"), utf8,
            "3 行目: 文字コード UTF-8 として読めない文字があります。");
        row("a character cut at a value's end", "a,b\n1,\x95\n", sjis,
            "2 行目: 文字コード Shift_JIS として読めない文字があります。");
    }

    void parse() {
        QFETCH(QByteArray, bytes);
        QFETCH(MergeEncoding, encoding);
        QFETCH(QString, read);
        QCOMPARE(parsed(bytes, encoding), read);
    }

    void recordLimit() {
        QByteArray bytes("番号,名前\n");
        for (int i = 1; i <= MergeList::MaxRecords; ++i)
            bytes += QByteArray::number(i) + ",名前\n";
        QVERIFY(parsed(bytes).endsWith(" / 10000|名前"));
        QCOMPARE(parsed(bytes + "10001,x\n"),
                 QString("10002 行目: レコードが 10000 件を超えています。読み込めるのは 10000 "
                         "件までです。"));
    }

    // Tabs for .tsv and .txt, whatever the case, commas for anything else.
    void readFile() {
        const QString text = "a\tb,c\n1\n";
        for (const QString& name : QStringList{"l.CSV", "l.tsv", "l.Txt", "l.dat"}) {
            const QString path = dir_.filePath(name);
            WriteBytes(path, text.toUtf8());
            const bool tabs = name.endsWith("tsv") || name.endsWith("Txt");
            QCOMPARE(ReadMergeList(path, MergeEncoding::Auto).columns,
                     tabs ? QStringList({"a", "b,c"}) : QStringList({"a\tb", "c"}));
        }
        QVERIFY_THROWS_EXCEPTION(MergeError,
                                 ReadMergeList(dir_.filePath("none.csv"), MergeEncoding::Auto));
    }
};

QTEST_MAIN(TestMerge)
#include "tst_merge.moc"
