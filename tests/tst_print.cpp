// Printing to a PDF file from the real page setup screen, read back with
// poppler: where each line lands, how lines are cut, which rows become sheets
// of which size, and that a failure leaves nothing printed.
#include "PdfSheets.h"
#include "TestSupport.h"
#include "common/Globals.h"
#include "common/Program.h"
#include "common/Statements.h"
#include "pages/FrmPage.h"
#include "pages/PrintEngine.h"
#include "platform/SpreadGrid.h"

#include <QPushButton>
#include <QRawFont>
#include <QtTest>

using PdfSheets::Sheet;

namespace {

constexpr double Tolerance = 0.05; // millimetres

struct Item {
    QString text;
    QString size = "10.5", left = "20", right = "80", top = "30", cols = "20", rows = "1";
    qint16 align = 0;
};

void closeAll() {
    // A window may take others (a drop-down) with it.
    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        windows.append(w);
    for (const QPointer<QWidget>& w : windows)
        delete w.data();
}

// The page setup screen on template 1.
struct PageScreen {
    QPointer<FrmPage> form;
    PageScreen() {
        CurrentTemplateId = "1";
        ShowPageSetup();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<FrmPage*>(w))
                form = p;
    }
    SpreadGrid* grid() const { return form->findChild<SpreadGrid*>("vaSpread"); }
    void print() const {
        QTest::mouseClick(form->findChild<QPushButton*>("CmdPrint"), Qt::LeftButton);
    }
};

// The height of a line of IPAPMincho at `points`, in millimetres, as the font
// system measures the font: ascent plus descent.
double lineHeight(double points) {
    QRawFont raw = QRawFont::fromFont(QFont(QStringLiteral("IPAPMincho")));
    raw.setPixelSize(points * PdfSheets::MmPerPoint * 100); // one pixel, 1/100 mm
    return (raw.ascent() + raw.descent()) / 100;
}

// The sheet's words by line, line k being the one whose top lies k pitches
// below `top` ("" for a line without readable text); "misplaced" for a word
// off that grid.
QStringList linesFrom(const Sheet& sheet, double top, double pitch) {
    QStringList lines;
    for (const PdfSheets::Word& w : sheet.words) {
        const double k = (w.box.top() - top) / pitch;
        const int i = qRound(k);
        if (i < 0 || qAbs(k - i) * pitch > Tolerance)
            return {"misplaced " + w.text};
        while (lines.size() <= i)
            lines.append(QString());
        lines[i] += w.text;
    }
    return lines;
}

// Width x height in whole millimetres (Qt writes page sizes in whole points).
QString sizeOf(const Sheet& sheet) {
    return QString("%1x%2").arg(qRound(sheet.size.width())).arg(qRound(sheet.size.height()));
}

} // namespace

class TestPrint : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { RegisterFontSubstitutions(); }
    void init();
    void cleanup();

    // Where the lines of one item land.
    void workedExample();
    void alignment_data();
    void alignment();
    void lineCutting_data();
    void lineCutting();
    void japaneseTextEmbedsItsFont();

    // Which rows become sheets, in which layout.
    void selectedRows_data();
    void selectedRows();
    void layout_data();
    void layout();
    void layoutLastsAcrossCommands();
    void openEditorIsCommitted();

    // A failure leaves nothing printed.
    void failureSubmitsNothing_data();
    void failureSubmitsNothing();

private:
    // Page n of template 1 has id 10 + n and page number n.
    void addPage(int direction, int size, const QList<Item>& items = {});
    QList<Sheet> printed() const { return PdfSheets::ReadSheets(out_->filePath("out.pdf")); }
    QList<Sheet> printItem(const Item& item);

    std::unique_ptr<QTemporaryDir> out_;
    std::unique_ptr<AppFolderFixture> app_;
    std::unique_ptr<MessageRecorder> recorder_;
    int pages_ = 0;
    int items_ = 0;
};

void TestPrint::init() {
    out_ = std::make_unique<QTemporaryDir>();
    app_ = std::make_unique<AppFolderFixture>();
    app_->OpenLayoutDatabase();
    app_->Exec(Statements::InsertTemplate("1"));
    recorder_ = std::make_unique<MessageRecorder>();
    pages_ = items_ = 0;
    OffsetLeft = OffsetTop = 0;
    ResetRunPrinter();
    PrintToPdfFile(out_->filePath("out.pdf"));
}

void TestPrint::cleanup() {
    closeAll();
    recorder_.reset();
    app_.reset();
    ResetRunPrinter();
    // Nothing but the document itself is left in the output folder.
    const QStringList left = QDir(out_->path()).entryList(QDir::Files | QDir::Hidden);
    QVERIFY2(left.isEmpty() || left == QStringList{"out.pdf"}, qPrintable(left.join(", ")));
}

void TestPrint::addPage(int direction, int size, const QList<Item>& items) {
    const QString id = QString::number(10 + ++pages_);
    app_->Exec(
        Statements::InsertPage(id, "1", QString::number(pages_), qint16(direction), qint16(size)));
    for (const Item& i : items)
        app_->Exec(Statements::InsertItem(QString::number(++items_), id, i.text, i.size, i.left,
                                          i.right, i.top, i.cols, i.rows, i.align));
}

QList<Sheet> TestPrint::printItem(const Item& item) {
    addPage(0, 1, {item});
    PageScreen().print();
    return recorder_->shown.isEmpty() ? printed() : QList<Sheet>();
}

void TestPrint::workedExample() {
    OffsetLeft = 3;
    OffsetTop = 4;
    Item item{"ABCDEFGHIJKL"};
    item.cols = "5";
    item.rows = "2";
    item.align = 1;
    const QList<Sheet> sheets = printItem(item);
    QCOMPARE(sheets.size(), 1);
    QCOMPARE(sheets[0].words.size(), 2);
    const PdfSheets::Word first = sheets[0].words[0], second = sheets[0].words[1];
    QCOMPARE(first.text + " " + second.text, QString("ABCDE FGHIJ"));
    QVERIFY(qAbs(first.box.top() - 26) < Tolerance);
    QVERIFY(qAbs(first.box.center().x() - 47) < Tolerance);
    QVERIFY(qAbs(second.box.center().x() - 47) < Tolerance);
    QVERIFY(qAbs(first.box.width() - second.box.width()) > 0.1);
    // One line lower: by the height of a line of the font, nothing added.
    QVERIFY(qAbs(second.box.top() - first.box.top() - lineHeight(10.5)) < Tolerance);
}

void TestPrint::alignment_data() {
    QTest::addColumn<qint16>("align");
    QTest::addColumn<double>("offsetLeft");
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("right");
    QTest::addColumn<QString>("edge"); // the edge of the printed line that is checked
    QTest::addColumn<double>("at");

    QTest::newRow("left") << qint16(0) << 3.0 << "20"
                          << "80"
                          << "left" << 17.0;
    QTest::newRow("centre") << qint16(1) << 0.0 << "20.5"
                            << "100"
                            << "centre" << 60.25;
    QTest::newRow("right") << qint16(2) << 3.0 << "20"
                           << "80"
                           << "right" << 77.0;
    QTest::newRow("right, box narrower than the line") << qint16(2) << 0.0 << "50"
                                                       << "52"
                                                       << "right" << 52.0;
    QTest::newRow("none chosen: at 0") << qint16(-1) << 3.0 << "20"
                                       << "80"
                                       << "left" << 0.0;
    QTest::newRow("unknown code: at 0") << qint16(3) << 3.0 << "20"
                                        << "80"
                                        << "left" << 0.0;
    QTest::newRow("offset past the left edge") << qint16(0) << 12.5 << "10"
                                               << "80"
                                               << "left" << -2.5;
}

void TestPrint::alignment() {
    QFETCH(qint16, align);
    QFETCH(double, offsetLeft);
    QFETCH(QString, left);
    QFETCH(QString, right);
    QFETCH(QString, edge);
    QFETCH(double, at);
    OffsetLeft = offsetLeft;
    OffsetTop = 1.5;
    Item item{"VESK帳票", "10.5", left, right, "50.5"};
    item.align = align;
    const QList<Sheet> sheets = printItem(item);
    QCOMPARE(sheets.value(0).words.size(), 1);
    const QRectF box = sheets[0].words[0].box;
    const double x = edge == "left" ? box.left() : edge == "right" ? box.right() : box.center().x();
    QVERIFY2(qAbs(x - at) < Tolerance, qPrintable(QString("%1 edge at %2").arg(edge).arg(x)));
    QVERIFY(qAbs(box.top() - 49) < Tolerance);
}

void TestPrint::lineCutting_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("cols");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("the rest dropped") << "ABCDEFGHIJKL"
                                      << "4"
                                      << "2" << QStringList{"ABCD", "EFGH"};
    QTest::newRow("later lines empty") << "ABCDEF"
                                       << "4"
                                       << "3" << QStringList{"ABCD", "EF"};
    QTest::newRow("full and half width count one each") << "ＡＢaｂ漢字"
                                                        << "3"
                                                        << "2" << QStringList{"ＡＢa", "ｂ漢字"};
    QTest::newRow("no lines") << "ABCDEF"
                              << "4"
                              << "0" << QStringList{};
    QTest::newRow("negative lines") << "ABCDEF"
                                    << "4"
                                    << "-2" << QStringList{};
    QTest::newRow("no characters per line") << "ABCDEF"
                                            << "0"
                                            << "3" << QStringList{};
    QTest::newRow("negative characters per line") << "ABCDEF"
                                                  << "-3"
                                                  << "3" << QStringList{};
    QTest::newRow("stored 2.5 characters per line cuts 2") << "ABCDEF"
                                                           << "2.5"
                                                           << "2" << QStringList{"AB", "CD"};
    // A character cut in half would push the next one a line down. 𠮷 is not
    // in the font and prints as one missing-glyph box; 𠀋 prints, but the PDF
    // does not say which character it is, so neither reads back as text.
    QTest::newRow("a surrogate pair stays whole, not in the font")
        << "𠮷野家"
        << "1"
        << "3" << QStringList{"", "野", "家"};
    QTest::newRow("a surrogate pair stays whole, in the font")
        << "𠀋野家"
        << "1"
        << "3" << QStringList{"", "野", "家"};
    QTest::newRow("a combining mark stays with its base") << QStringLiteral("か\u3099き") << "1"
                                                          << "2" << QStringList{"が", "き"};
    QTest::newRow("a variation sequence stays whole") << QStringLiteral("葛\U000E0100城") << "1"
                                                      << "2" << QStringList{"葛", "城"};
}

void TestPrint::lineCutting() {
    QFETCH(QString, text);
    QFETCH(QString, cols);
    QFETCH(QString, rows);
    QFETCH(QStringList, lines);
    Item item{text};
    item.cols = cols;
    item.rows = rows;
    const QList<Sheet> sheets = printItem(item);
    QCOMPARE(sheets.size(), 1);
    QCOMPARE(linesFrom(sheets[0], 30, lineHeight(10.5)), lines);
    for (const PdfSheets::Word& w : sheets[0].words)
        QVERIFY(qAbs(w.box.left() - 20) < Tolerance);
}

void TestPrint::japaneseTextEmbedsItsFont() {
    const QList<Sheet> sheets = printItem({QStringLiteral("東京都千代田区丸の内一丁目"), "12"});
    QCOMPARE(sheets.value(0).lines(), QStringList{QStringLiteral("東京都千代田区丸の内一丁目")});
    const QStringList fonts = PdfSheets::Fonts(out_->filePath("out.pdf"));
    QCOMPARE(fonts.size(), 1);
    QVERIFY2(fonts[0].endsWith("IPAPMincho:yes"), qPrintable(fonts.join(", ")));
}

void TestPrint::selectedRows_data() {
    QTest::addColumn<QString>("ticks");  // column 4 of rows 1..5
    QTest::addColumn<int>("unsavedRow"); // 0: every row saved
    QTest::addColumn<QStringList>("sheets");

    QTest::newRow("all ticked") << "11111" << 0 << QStringList{"P1", "P2", "P3", "P4", "P5"};
    QTest::newRow("the loop ends at the first unsaved row")
        << "11111" << 4 << QStringList{"P1", "P2", "P3"};
    QTest::newRow("unticked rows skipped") << "10100" << 0 << QStringList{"P1", "P3"};
    QTest::newRow("nothing ticked") << "00000" << 0 << QStringList{};
    QTest::newRow("the first row unsaved") << "11111" << 1 << QStringList{};
}

void TestPrint::selectedRows() {
    QFETCH(QString, ticks);
    QFETCH(int, unsavedRow);
    QFETCH(QStringList, sheets);
    for (int p = 1; p <= 5; ++p)
        addPage(0, 1, {{QString("P%1").arg(p)}});
    PageScreen page;
    for (int r = 1; r <= 5; ++r)
        page.grid()->SetCellText(FrmPage::ColPrint, r, ticks.mid(r - 1, 1));
    // The state the engine reads: a row whose slot holds no saved page.
    if (unsavedRow)
        PageIds[unsavedRow].clear();
    page.print();
    if (sheets.isEmpty()) {
        QCOMPARE(recorder_->texts(), QStringList{"印刷対象ページが選択されていません。\r"});
        QVERIFY(!QFile::exists(out_->filePath("out.pdf")));
        return;
    }
    QVERIFY(recorder_->shown.isEmpty());
    QStringList labels;
    for (const Sheet& s : printed())
        labels.append(s.lines().join('|'));
    QCOMPARE(labels, sheets);
}

void TestPrint::layout_data() {
    // Codes per page: direction, size, direction, size, ...
    QTest::addColumn<QList<int>>("saved");
    QTest::addColumn<QList<int>>("shown"); // on the screen; -2: as saved
    QTest::addColumn<QStringList>("sizes");

    const QList<int> asSaved(10, -2);
    QTest::newRow("A3 then JIS B5")
        << QList<int>{0, 0, 0, 4} << asSaved << QStringList{"297x420", "182x257"};
    QTest::newRow("every size, portrait")
        << QList<int>{0, 0, 0, 1, 0, 2, 0, 3, 0, 4} << asSaved
        << QStringList{"297x420", "210x297", "148x210", "257x364", "182x257"};
    QTest::newRow("landscape A4 and JIS B4")
        << QList<int>{1, 1, 1, 3} << asSaved << QStringList{"297x210", "364x257"};
    QTest::newRow("landscape shown, portrait saved")
        << QList<int>{0, 1} << QList<int>{1, -2} << QStringList{"297x210"};
    QTest::newRow("A5 shown, A4 saved")
        << QList<int>{0, 1} << QList<int>{-2, 2} << QStringList{"148x210"};
    QTest::newRow("unknown codes keep the page before's layout")
        << QList<int>{1, 0, 5, 5, 0, 4, -1, -1} << asSaved
        << QStringList{"420x297", "420x297", "182x257", "182x257"};
    QTest::newRow("unknown codes first: the destination's own A4 portrait")
        << QList<int>{-1, -1, 1, -1} << asSaved << QStringList{"210x297", "297x210"};
}

void TestPrint::layout() {
    QFETCH(QList<int>, saved);
    QFETCH(QList<int>, shown);
    QFETCH(QStringList, sizes);
    const int pages = int(saved.size() / 2);
    for (int p = 0; p < pages; ++p)
        addPage(saved[2 * p], saved[2 * p + 1], {{QString("P%1").arg(p + 1)}});
    PageScreen page;
    for (int p = 0; p < pages; ++p) {
        if (shown[2 * p] != -2)
            page.grid()->SetListIndex(FrmPage::ColDirection, p + 1, shown[2 * p]);
        if (shown[2 * p + 1] != -2)
            page.grid()->SetListIndex(FrmPage::ColSize, p + 1, shown[2 * p + 1]);
    }
    page.print();
    QVERIFY(recorder_->shown.isEmpty());
    const QList<Sheet> sheets = printed();
    QStringList actual;
    for (const Sheet& s : sheets) {
        actual.append(sizeOf(s));
        // Text is set from the top-left corner in every layout.
        QVERIFY(qAbs(s.words.value(0).box.left() - 20) < Tolerance);
        QVERIFY(qAbs(s.words.value(0).box.top() - 30) < Tolerance);
    }
    QCOMPARE(actual, sizes);
}

void TestPrint::layoutLastsAcrossCommands() {
    addPage(1, 0, {{"P1"}});
    addPage(-1, 5, {{"P2"}});
    PageScreen page;
    page.grid()->SetCellText(FrmPage::ColPrint, 2, "0");
    page.print();
    QCOMPARE(sizeOf(printed().value(0)), QString("420x297"));
    // The next command's only page has codes outside the tables: it keeps what
    // the last command left, A3 landscape.
    page.grid()->SetCellText(FrmPage::ColPrint, 1, "0");
    page.grid()->SetCellText(FrmPage::ColPrint, 2, "1");
    page.print();
    QVERIFY(recorder_->shown.isEmpty());
    const QList<Sheet> second = printed();
    QCOMPARE(second.value(0).lines(), QStringList{"P2"});
    QCOMPARE(sizeOf(second[0]), QString("420x297"));
}

void TestPrint::openEditorIsCommitted() {
    addPage(0, 1, {{"P1"}});
    PageScreen page;
    SpreadGrid* grid = page.grid();
    grid->setFocus();
    grid->SetActiveCell(FrmPage::ColDirection, 1);
    // "横" chosen in the drop-down; the editor has not handed it to the cell yet.
    QTest::keyClick(grid, Qt::Key_F4);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(grid->Editing());
    QCOMPARE(grid->ListIndex(FrmPage::ColDirection, 1), 0);
    PrintSelectedPages(grid);
    QCOMPARE(sizeOf(printed().value(0)), QString("297x210"));
}

void TestPrint::failureSubmitsNothing_data() {
    // The second page's item, or "" for a destination that cannot be written.
    QTest::addColumn<QString>("secondPage");
    const QString item = "insert into moji (moji_id, page_id, moji, p_size, p_left, p_right, "
                         "p_top, p_col_count, p_row_count, p_position) values (99, 12, %1)";
    QTest::newRow("font size 0") << item.arg("'x', 0, 20, 80, 30, 5, 1, 0");
    QTest::newRow("negative font size") << item.arg("'x', -3, 20, 80, 30, 5, 1, 0");
    QTest::newRow("text not set") << item.arg("null, 10, 20, 80, 30, 5, 1, 0");
    QTest::newRow("lines beyond 16 bits") << item.arg("'x', 10, 20, 80, 30, 5, 40000, 0");
    QTest::newRow("a position beyond single precision")
        << item.arg("'x', 10, 1e300, 80, 30, 5, 1, 0");
    QTest::newRow("a folder that does not exist") << "";
}

void TestPrint::failureSubmitsNothing() {
    QFETCH(QString, secondPage);
    // The file of an earlier command stays as it was.
    QFile earlier(out_->filePath("out.pdf"));
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier");
    earlier.close();
    addPage(0, 1, {{"P1"}});
    addPage(0, 1);
    addPage(0, 1, {{"P3"}});
    if (secondPage.isEmpty())
        PrintToPdfFile(out_->filePath("missing/out.pdf"));
    else
        app_->Exec(secondPage);
    PageScreen page;
    page.print();
    QCOMPARE(recorder_->texts(), QStringList{"処理中、異常が発生しました。\r"});
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QCOMPARE(earlier.readAll(), QByteArray("earlier"));
    earlier.close();

    // The printer is ready for the next command; a page without items is a
    // sheet of its own.
    app_->Exec("delete from moji where moji_id = 99");
    PrintToPdfFile(out_->filePath("out.pdf"));
    recorder_->shown.clear();
    page.print();
    QVERIFY(recorder_->shown.isEmpty());
    QStringList labels;
    for (const Sheet& s : printed())
        labels.append(s.lines().join('|'));
    QCOMPARE(labels, QStringList({"P1", "", "P3"}));
}

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
