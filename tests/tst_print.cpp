// Printing to a PDF file from the page setup screen, read back with poppler:
// where lines land, how they are cut, which rows become sheets of which size,
// and that a failure leaves nothing printed.
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
    double size = 10.5, left = 20, right = 80, top = 30, cols = 20, rows = 1;
    qint16 align = 0;
};

// The page setup screen on template 1: its grid.
SpreadGrid* showPages() {
    CurrentTemplateId = "1";
    ShowPageSetup();
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<FrmPage*>(w))
            return w->findChild<SpreadGrid*>("vaSpread");
    return nullptr;
}

void print(SpreadGrid* grid) {
    QTest::mouseClick(grid->window()->findChild<QPushButton*>("CmdPrint"), Qt::LeftButton);
}

} // namespace

Q_DECLARE_METATYPE(Item)

class TestPrint : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { RegisterFontSubstitutions(); }
    void init();
    void cleanup();

    void lines_data();
    void lines();

    void sheets_data();
    void sheets();
    void layoutFromTheScreen();

    void failureSubmitsNothing_data();
    void failureSubmitsNothing();

private:
    // Page n of template 1 has id 10 + n and page number n.
    void addPage(int direction, int size, const QList<Item>& items = {});
    QList<Sheet> printed() const { return PdfSheets::ReadSheets(out_->filePath("out.pdf")); }
    // Each sheet as its lines joined by "|" and its size in whole millimetres;
    // "misplaced" when its text does not start at 20, 30 mm.
    QStringList printedSheets() const {
        QStringList result;
        for (const Sheet& s : printed()) {
            const QPointF at = s.words.isEmpty() ? QPointF(20, 30) : s.words[0].box.topLeft();
            const QSize size = s.size.toSize();
            result.append(s.lines().join('|') +
                          QString(" %1x%2").arg(size.width()).arg(size.height()) +
                          (QLineF(at, QPointF(20, 30)).length() < Tolerance ? "" : " misplaced"));
        }
        return result;
    }
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
    QList<QPointer<QWidget>> windows; // a window may take others with it
    for (QWidget* w : QApplication::topLevelWidgets())
        windows.append(w);
    qDeleteAll(windows);
    recorder_.reset();
    app_.reset();
    ResetRunPrinter();
    QVERIFY(QDir(out_->path()).entryList(QDir::Files | QDir::Hidden).size() <= 1); // out.pdf
}

void TestPrint::addPage(int direction, int size, const QList<Item>& items) {
    const QString id = QString::number(10 + ++pages_);
    app_->Exec(
        Statements::InsertPage(id, "1", QString::number(pages_), qint16(direction), qint16(size)));
    auto n = [](double v) { return QString::number(v); };
    for (const Item& i : items)
        app_->Exec(Statements::InsertItem(n(++items_), id, i.text, n(i.size), n(i.left), n(i.right),
                                          n(i.top), n(i.cols), n(i.rows), i.align));
}

void TestPrint::lines_data() {
    QTest::addColumn<Item>("item");
    QTest::addColumn<double>("offsetLeft");
    QTest::addColumn<double>("x");          // of each line's left, centre or right, as aligned
    QTest::addColumn<QStringList>("lines"); // "" for a line without readable text
    auto row = [](const char* name, const Item& item, double offset, double x, QStringList lines) {
        QTest::newRow(name) << item << offset << x << lines;
    };
    row("worked example", {"ABCDEFGHIJKL", 10.5, 20, 80, 30, 5, 2, 1}, 3, 47, {"ABCDE", "FGHIJ"});
    row("left", {"VESK帳票", 10.5, 20, 80, 30, 20, 1, 0}, 3, 17, {"VESK帳票"});
    row("right", {"VESK帳票", 10.5, 20, 80, 30, 20, 1, 2}, 3, 77, {"VESK帳票"});
    row("none chosen: at 0", {"VESK帳票", 10.5, 20, 80, 30, 20, 1, -1}, 3, 0, {"VESK帳票"});
    row("offset past p_left", {"VESK帳票", 10.5, 10, 80, 30, 20, 1, 0}, 12.5, -2.5, {"VESK帳票"});
    row("no lines", {"ABCDEF", 10.5, 20, 80, 30, 4, 0}, 0, 20, {});
    row("no characters per line", {"ABCDEF", 10.5, 20, 80, 30, 0, 3}, 0, 20, {});
    // 𠮷 is not in the font and 𠀋's text cannot be read back: a character cut
    // in half would push 野 a line down.
    row("Japanese", {"東京都千代田区丸の内一丁目", 12}, 0, 20, {"東京都千代田区丸の内一丁目"});
    row("surrogate pair, no glyph", {"𠮷野家", 10.5, 20, 80, 30, 1, 3}, 0, 20, {"", "野", "家"});
}

void TestPrint::lines() {
    QFETCH(Item, item);
    QFETCH(double, offsetLeft);
    QFETCH(double, x);
    QFETCH(QStringList, lines);
    OffsetLeft = offsetLeft;
    OffsetTop = 4;
    addPage(0, 1, {item});
    print(showPages());
    const QList<Sheet> sheets = printed();
    QCOMPARE(sheets.size(), 1);
    // Line k's top lies k line heights (ascent plus descent) below 26 mm.
    QRawFont font = QRawFont::fromFont(QFont("IPAPMincho"));
    font.setPixelSize(item.size * PdfSheets::MmPerPoint * 100); // one pixel, 1/100 mm
    const double pitch = (font.ascent() + font.descent()) / 100;
    QStringList actual;
    for (const PdfSheets::Word& w : sheets[0].words) {
        const double k = (w.box.top() - 26) / pitch, at = item.align == 1   ? w.box.center().x()
                                                          : item.align == 2 ? w.box.right()
                                                                            : w.box.left();
        QVERIFY2(qRound(k) >= 0 && qAbs(k - qRound(k)) * pitch < Tolerance &&
                     qAbs(at - x) < Tolerance,
                 qPrintable(QString("%1 at %2, %3").arg(w.text).arg(at).arg(w.box.top())));
        while (actual.size() <= qRound(k))
            actual.append(QString());
        actual[qRound(k)] += w.text;
    }
    QCOMPARE(actual, lines);
    // pdffonts: name, type, encoding, embedded, subset, unicode, object, id.
    const QString fonts = PdfSheets::run("pdffonts", {out_->filePath("out.pdf")});
    static const QRegularExpression embedded(
        R"(-\n(\w+\+)?IPAPMincho .* yes +\w+ +\w+ +\d+ +\d+\n$)");
    QVERIFY2(lines.isEmpty() || embedded.match(fonts).hasMatch(), qPrintable(fonts));
}

void TestPrint::sheets_data() {
    QTest::addColumn<QList<int>>("saved"); // direction, size, direction, size, ...
    QTest::addColumn<QString>("ticks");    // of rows 1, 2, ...; "": as shown
    QTest::addColumn<int>("unsavedRow");   // 0: every row saved
    QTest::addColumn<QStringList>("sheets");
    const QList<int> a4s{0, 1, 0, 1, 0, 1, 0, 1, 0, 1};
    QTest::newRow("the loop ends at the first unsaved row")
        << a4s << "11111" << 4 << QStringList{"P1 210x297", "P2 210x297", "P3 210x297"};
    QTest::newRow("unticked rows skipped")
        << a4s << "10100" << 0 << QStringList{"P1 210x297", "P3 210x297"};
    QTest::newRow("nothing ticked") << a4s << "00000" << 0 << QStringList{};
    QTest::newRow("A3 then JIS B5, B4 landscape")
        << QList<int>{0, 0, 0, 4, 1, 3} << "" << 0
        << QStringList{"P1 297x420", "P2 182x257", "P3 364x257"};
    QTest::newRow("unknown codes keep the page before's layout")
        << QList<int>{1, 0, 5, 5, 0, 4, -1, -1} << "" << 0
        << QStringList{"P1 420x297", "P2 420x297", "P3 182x257", "P4 182x257"};
}

void TestPrint::sheets() {
    QFETCH(QList<int>, saved);
    QFETCH(QString, ticks);
    QFETCH(int, unsavedRow);
    QFETCH(QStringList, sheets);
    for (int p = 0; p < saved.size() / 2; ++p)
        addPage(saved[2 * p], saved[2 * p + 1], {{QString("P%1").arg(p + 1)}});
    SpreadGrid* grid = showPages();
    for (int r = 1; r <= ticks.size(); ++r)
        grid->SetCellText(FrmPage::ColPrint, r, ticks.mid(r - 1, 1));
    if (unsavedRow) // what the engine reads: a row whose slot holds no saved page
        PageIds[unsavedRow].clear();
    print(grid);
    if (sheets.isEmpty()) {
        QCOMPARE(recorder_->texts(), QStringList{"印刷対象ページが選択されていません。\r"});
        QVERIFY(!QFile::exists(out_->filePath("out.pdf")));
        return;
    }
    QCOMPARE(printedSheets(), sheets);
}

void TestPrint::layoutFromTheScreen() {
    addPage(1, 0, {{"P1"}});
    addPage(-1, 5, {{"P2"}});
    addPage(0, 1, {{"P3"}});
    SpreadGrid* grid = showPages();
    auto printRow = [&](int row) {
        for (int r = 1; r <= 3; ++r)
            grid->SetCellText(FrmPage::ColPrint, r, r == row ? "1" : "0");
        print(grid);
    };
    printRow(1);
    QCOMPARE(printedSheets(), QStringList{"P1 420x297"});
    printRow(2); // unknown codes: the last command's A3 landscape stays
    QCOMPARE(printedSheets(), QStringList{"P2 420x297"});
    printRow(3);
    QCOMPARE(printedSheets(), QStringList{"P3 210x297"});
    // A5 shown, A4 saved; "横" chosen in the drop-down, not yet handed to the
    // cell; "縦" saved.
    grid->SetListIndex(FrmPage::ColSize, 3, 2);
    grid->setFocus();
    grid->SetActiveCell(FrmPage::ColDirection, 3);
    QTest::keyClick(grid, Qt::Key_F4);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(grid->Editing() && grid->ListIndex(FrmPage::ColDirection, 3) == 0);
    PrintSelectedPages(grid);
    QCOMPARE(printedSheets(), QStringList{"P3 210x148"});
}

void TestPrint::failureSubmitsNothing_data() {
    // The second page's item (moji, p_size, p_left, p_row_count), or "" for a
    // destination that cannot be written.
    QTest::addColumn<QString>("secondPage");
    QTest::newRow("font size 0") << "'x', 0, 20, 1";
    QTest::newRow("a folder that does not exist") << "";
}

void TestPrint::failureSubmitsNothing() {
    QFETCH(QString, secondPage);
    QFile earlier(out_->filePath("out.pdf")); // an earlier command's, left as it was
    QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier") == 7);
    earlier.close();
    addPage(0, 1, {{"P1"}});
    addPage(0, 1);
    addPage(0, 1, {{"P3"}});
    if (secondPage.isEmpty())
        PrintToPdfFile(out_->filePath("missing/out.pdf"));
    else
        app_->Exec(
            "insert into moji (moji_id, page_id, moji, p_size, p_left, p_row_count, p_right, "
            "p_top, p_col_count, p_position) values (99, 12, " +
            secondPage + ", 80, 30, 5, 0)");
    SpreadGrid* grid = showPages();
    print(grid);
    QCOMPARE(recorder_->texts(), QStringList{"処理中、異常が発生しました。\r"});
    QCOMPARE(PdfSheets::run("cat", {earlier.fileName()}), QString("earlier"));
    // The printer is ready for the next command; a page without items is a sheet.
    app_->Exec("delete from moji where moji_id = 99");
    PrintToPdfFile(out_->filePath("out.pdf"));
    print(grid);
    QCOMPARE(printedSheets(), QStringList({"P1 210x297", " 210x297", "P3 210x297"}));
}

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
