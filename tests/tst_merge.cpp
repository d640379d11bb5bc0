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

#include <QImage>
#include <QPainter>
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

// Records as "a|b|c" lines, a line break inside a value shown as "⏎".
QStringList shown(const QList<QStringList>& records) {
    QStringList result;
    for (QStringList r : records)
        result.append(r.join('|').replace('\n', QStringLiteral("⏎")));
    return result;
}

QString failure(const QByteArray& bytes, char delimiter = ',',
                MergeEncoding encoding = MergeEncoding::Auto) {
    try {
        ParseMergeList(bytes, delimiter, encoding);
    } catch (const MergeError& e) {
        return QString::fromStdString(e.what());
    }
    return QStringLiteral("(read)");
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

QImage picture(const Sheet& sheet) {
    QImage image(800, 1130, QImage::Format_ARGB32);
    image.fill(Qt::white);
    PaintSheet(image, sheet);
    return image;
}

} // namespace

Q_DECLARE_METATYPE(MergeEncoding)

class TestMerge : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void fields_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("merged");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("half-width") << "様 {{氏名}} 殿"
                                    << "様 山田 殿" << QStringList{"氏名"};
        QTest::newRow("full-width") << "｛｛氏名｝｝様"
                                    << "山田様" << QStringList{"氏名"};
        QTest::newRow("blanks around the name") << "{{ 氏名　}}"
                                                << "山田" << QStringList{"氏名"};
        QTest::newRow("mixed widths are no field") << "{{氏名｝｝｛｛氏名}}"
                                                   << "{{氏名｝｝｛｛氏名}}" << QStringList{};
        QTest::newRow("empty and blank names") << "{{}}{{ }}"
                                               << "{{}}{{ }}" << QStringList{};
        QTest::newRow("unknown column, twice")
            << "{{部署}}{{氏名}}{{部署}}"
            << "{{部署}}山田{{部署}}" << QStringList{"部署", "氏名"};
        QTest::newRow("a brace more outside") << "{{{氏名}}}"
                                              << "{山田}" << QStringList{"氏名"};
        QTest::newRow("duplicated column: the first") << "{{コード}}"
                                                      << "A-1" << QStringList{"コード"};
        QTest::newRow("a value with quotes and braces")
            << "{{品名}}/{{住所}}"
            << "\"特上\" {{氏名}}/東京都⏎千代田区" << QStringList{"品名", "住所"};
    }

    void fields() {
        QFETCH(QString, text);
        QFETCH(QString, merged);
        QFETCH(QStringList, names);
        const QStringList columns{"氏名", "コード", "品名", "住所", "コード"};
        const QStringList record{"山田", "A-1", "\"特上\" {{氏名}}", "東京都\r\n千代田区", "B-2"};
        QCOMPARE(MergeText(text, columns, record).replace('\n', QStringLiteral("⏎")), merged);
        QCOMPARE(FieldNames(text), names);
    }

    // Unknown fields of a whole plan, once each, in order; the record's
    // values go into every sheet, and only items that took a value break
    // their lines.
    void mergeRecord() {
        MergeList list;
        list.columns = QStringList{"氏名", "住所"};
        list.records = {{"山田", "東京都\n千代田区"}, {"佐藤", ""}};
        const SheetPlan plan{Sheet{0, 1, {item("{{氏名}} {{支店}}"), item("固定")}},
                             Sheet{0, 1, {item("{{住所}}{{課}}｛｛支店｝｝")}}};
        QCOMPARE(UnknownFields(plan, list.columns), (QStringList{"支店", "課"}));
        QCOMPARE(UnknownFields(plan, {"氏名", "住所", "支店", "課"}), QStringList());
        const SheetPlan merged = MergeRecord(plan, list, 1);
        QCOMPARE(merged.size(), 2);
        QCOMPARE(merged[0].items[0].moji, QString("佐藤 {{支店}}"));
        QCOMPARE(merged[1].items[0].moji, QString("{{課}}｛｛支店｝｝"));
        QCOMPARE((QList<bool>{merged[0].items[0].breakLines, merged[0].items[1].breakLines,
                              merged[1].items[0].breakLines}),
                 (QList<bool>{true, false, true}));
        QCOMPARE(MergeRecord(plan, list, 0)[1].items[0].moji,
                 QString("東京都\n千代田区{{課}}｛｛支店｝｝"));
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

    // A template without fields prints as it did before: same texts, same
    // ink, no line broken at a character that only looks like a field.
    void withoutFieldsUnchanged() {
        MergeList list;
        list.columns = QStringList{"氏名"};
        list.records = {{"山田\n太郎"}};
        const SheetPlan plan{Sheet{0,
                                   1,
                                   {item("請求書 {{}} ｛｛氏名}}", 20, 80, 30, 6, 3),
                                    item("{{無い列}}ABCDEFG", 20, 80, 60, 4, 2, 2)}}};
        const SheetPlan merged = MergeRecord(plan, list, 0);
        for (qsizetype i = 0; i < plan[0].items.size(); ++i) {
            QCOMPARE(merged[0].items[i].moji, plan[0].items[i].moji);
            QVERIFY(!merged[0].items[i].breakLines);
        }
        QCOMPARE(picture(merged[0]), picture(plan[0]));
    }

    // Which encoding the bytes are read in, and what they read as.
    void encodings_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<MergeEncoding>("chosen");
        QTest::addColumn<MergeEncoding>("read");
        QTest::addColumn<QStringList>("records"); // the header first
        const QString cp932Text = "氏名,会社,番号\r\n髙橋,㈱表,①\r\n\"表\",\"表計算\r\n表\",表\r\n";
        const QByteArray sjis = cp932(cp932Text);
        // 表 is 0x95 0x5C: its second byte is a backslash, here before a quote.
        QVERIFY(sjis.contains("\"\x95\x5c\","));
        const QStringList cp932Read{"氏名|会社|番号", "髙橋|㈱表|①", "表|表計算⏎表|表"};
        QTest::newRow("UTF-8") << QByteArray("名前,値\n髙橋,①㈱\n") << MergeEncoding::Auto
                               << MergeEncoding::Utf8 << QStringList{"名前|値", "髙橋|①㈱"};
        QTest::newRow("UTF-8 with BOM")
            << QByteArray("\xEF\xBB\xBF名前,値\n表,x\n") << MergeEncoding::Auto
            << MergeEncoding::Utf8 << QStringList{"名前|値", "表|x"};
        QTest::newRow("UTF-8 with BOM, chosen")
            << QByteArray("\xEF\xBB\xBF名前\n表\n") << MergeEncoding::Utf8 << MergeEncoding::Utf8
            << QStringList{"名前", "表"};
        QTest::newRow("CP932") << sjis << MergeEncoding::Auto << MergeEncoding::ShiftJis
                               << cp932Read;
        QTest::newRow("CP932, chosen")
            << sjis << MergeEncoding::ShiftJis << MergeEncoding::ShiftJis << cp932Read;
        // Valid in both: the user's choice decides. E8 A1 A8 is 表 in UTF-8,
        // a kanji and a half-width katakana in CP932.
        const QString asCp932 = QStringDecoder("windows-31j").decode("\xE8\xA1\xA8");
        QVERIFY(asCp932.size() == 2 && asCp932 != "表");
        QTest::newRow("ASCII and UTF-8, read as Shift_JIS")
            << QByteArray("a\n\xE8\xA1\xA8\n") << MergeEncoding::ShiftJis << MergeEncoding::ShiftJis
            << QStringList{"a", asCp932};
        QTest::newRow("ASCII only") << QByteArray("a,b\n1,2") << MergeEncoding::Auto
                                    << MergeEncoding::Utf8 << QStringList{"a|b", "1|2"};
    }

    void encodings() {
        QFETCH(QByteArray, bytes);
        QFETCH(MergeEncoding, chosen);
        QFETCH(MergeEncoding, read);
        QFETCH(QStringList, records);
        const MergeList list = ParseMergeList(bytes, ',', chosen);
        QCOMPARE(list.encoding, read);
        QCOMPARE(shown(QList<QStringList>{list.columns} + list.records), records);
    }

    // Quoting and line ends as RFC 4180 writes them, and as spreadsheet
    // programs write them beside it.
    void records_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<char>("delimiter");
        QTest::addColumn<QStringList>("records"); // the header first
        QTest::newRow("quoted fields, doubled quotes")
            << QByteArray("a,b,c\n\"x,y\",\"say \"\"hi\"\"\",\"\"\n") << ','
            << QStringList{"a|b|c", "x,y|say \"hi\"|"};
        QTest::newRow("line breaks inside quotes: LF, CR LF, CR")
            << QByteArray("a,b\n\"1\n2\",\"3\r\n4\r5\"\n") << ','
            << QStringList{"a|b", "1⏎2|3⏎4⏎5"};
        QTest::newRow("CR LF line ends, none at the end")
            << QByteArray("a,b\r\n1,2\r\n3,4") << ',' << QStringList{"a|b", "1|2", "3|4"};
        QTest::newRow("CR line ends")
            << QByteArray("a,b\r1,2\r") << ',' << QStringList{"a|b", "1|2"};
        QTest::newRow("trailing empty fields and a short record")
            << QByteArray("a,b,c\n1,,\n2\n,\n") << ',' << QStringList{"a|b|c", "1||", "2||", "||"};
        QTest::newRow("blank lines skipped") << QByteArray("\n\r\na,b\n\n1,2\r\n\r\n\n3,4\n\n")
                                             << ',' << QStringList{"a|b", "1|2", "3|4"};
        QTest::newRow("blanks kept in values, not in names")
            << QByteArray(" a ,\"b \"\n 1 ,\" 2\"\n") << ',' << QStringList{"a|b", " 1 | 2"};
        QTest::newRow("tabs") << QByteArray("a\tb\n1,5\t\"x\ty\"\n") << '\t'
                              << QStringList{"a|b", "1,5|x\ty"};
        QTest::newRow("header only") << QByteArray("a,b\n") << ',' << QStringList{"a|b"};
    }

    void records() {
        QFETCH(QByteArray, bytes);
        QFETCH(char, delimiter);
        QFETCH(QStringList, records);
        const MergeList list = ParseMergeList(bytes, delimiter, MergeEncoding::Auto);
        QCOMPARE(shown(QList<QStringList>{list.columns} + list.records), records);
    }

    // Each fault is refused with its cause, naming the physical line where
    // its record starts.
    void faults_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<MergeEncoding>("encoding");
        QTest::addColumn<QString>("cause");
        const MergeEncoding a = MergeEncoding::Auto;
        QTest::newRow("empty") << QByteArray() << a << "ファイルが空です。";
        QTest::newRow("only a BOM and blank lines")
            << QByteArray("\xEF\xBB\xBF\r\n\n") << a << "ファイルが空です。";
        QTest::newRow("header without names")
            << QByteArray("\n, ,\"\"\n1,2,3\n") << a << "2 行目: 見出しの行に列名がありません。";
        QTest::newRow("more fields than the header")
            << QByteArray("a,b\n\"1\n\",2\n\n1,2,\n") << a
            << "5 行目: 項目が 3 個あり、見出しの列数 2 より多くなっています。";
        QTest::newRow("quote left open")
            << QByteArray("a\n1\n\"2\n3\n") << a
            << "3 行目: 引用符 (\") が閉じられないままファイルが終わっています。";
        QTest::newRow("quote inside an unquoted value")
            << QByteArray("a,b\n1,2\n3,4\"\n") << a
            << "3 行目: 引用符 (\") の使い方が正しくありません。";
        QTest::newRow("text after a closing quote")
            << QByteArray("a,b\n\"1\r\n\"x,2\n") << a
            << "3 行目: 引用符 (\") の使い方が正しくありません。";
        // Neither UTF-8 nor CP932: 0x81 0x7F is no CP932 character. The
        // record starts on line 3; the bytes are on line 4.
        QTest::newRow("neither UTF-8 nor CP932")
            << cp932("名前,値\n髙橋,1\n\"表\n") + "\x81\x7F\",2\n"
            << a << "3 行目: 文字コード Shift_JIS として読めない文字があります。";
        QTest::newRow("CP932 read as UTF-8")
            << cp932("name\nab\n①\n") << MergeEncoding::Utf8
            << "3 行目: 文字コード UTF-8 として読めない文字があります。";
        QTest::newRow("an incomplete character at a value's end")
            << QByteArray("a,b\n1,\x95\n") << MergeEncoding::ShiftJis
            << "2 行目: 文字コード Shift_JIS として読めない文字があります。";
    }

    void faults() {
        QFETCH(QByteArray, bytes);
        QFETCH(MergeEncoding, encoding);
        QFETCH(QString, cause);
        QCOMPARE(failure(bytes, ',', encoding), cause);
    }

    void recordLimit() {
        QByteArray bytes("番号,名前\n");
        for (int i = 1; i <= MergeList::MaxRecords; ++i)
            bytes += QByteArray::number(i) + ",名前" + QByteArray::number(i) + "\n";
        const MergeList list = ParseMergeList(bytes, ',', MergeEncoding::Auto);
        QCOMPARE(list.records.size(), 10000);
        QCOMPARE(list.records.last(), (QStringList{"10000", "名前10000"}));
        QCOMPARE(failure(bytes + "10001,x\n"),
                 QString("10002 行目: レコードが 10000 件を超えています。読み込めるのは 10000 "
                         "件までです。"));
    }

    // The separator follows the file's suffix, whatever its case.
    void readFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("columns");
        const QStringList commas{"a\tb", "c"}, tabs{"a", "b,c"};
        QTest::newRow(".csv") << "list.csv" << commas;
        QTest::newRow(".CSV") << "LIST.CSV" << commas;
        QTest::newRow(".tsv") << "list.tsv" << tabs;
        QTest::newRow(".Txt") << "list.Txt" << tabs;
        QTest::newRow("other") << "list.dat" << commas;
    }

    void readFile() {
        QFETCH(QString, name);
        QFETCH(QStringList, columns);
        const QString path = dir_.filePath(name);
        WriteBytes(path, "a\tb,c\n1\t2,3\n");
        QCOMPARE(ReadMergeList(path, MergeEncoding::Auto).columns, columns);
        QFile::remove(path);
        try {
            ReadMergeList(path, MergeEncoding::Auto);
            QFAIL("a missing file was read");
        } catch (const MergeError& e) {
            QVERIFY(QString::fromStdString(e.what()).startsWith("ファイル " + path +
                                                                " を読み込めません"));
        }
    }

    void encodingKeys() {
        for (MergeEncoding e : {MergeEncoding::Auto, MergeEncoding::Utf8, MergeEncoding::ShiftJis})
            QCOMPARE(EncodingFromKey(EncodingKey(e)), e);
        QCOMPARE(
            (QStringList{EncodingKey(MergeEncoding::Utf8), EncodingKey(MergeEncoding::ShiftJis)}),
            (QStringList{"utf-8", "shift_jis"}));
        QCOMPARE(EncodingFromKey("sjis"), MergeEncoding::Auto);
    }
};

QTEST_MAIN(TestMerge)
#include "tst_merge.moc"
