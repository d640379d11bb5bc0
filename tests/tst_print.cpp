// Printing to a PDF file from the page setup screen, read back with poppler:
// where lines land, how they are cut, which rows become sheets of which size,
// and that a failure leaves nothing printed.
#include "PdfSheets.h"
#include "TestSupport.h"
#include "common/Globals.h"
#include "common/Statements.h"
#include "pages/FrmPage.h"
#include "print/PrintEngine.h"
#include "platform/SpreadGrid.h"

#include <QPushButton>
#include <QRawFont>
#include <QtTest>

namespace {

struct Item {
    QString text;
    double size = 10.5, left = 20, right = 80, top = 30, cols = 20, rows = 1;
    qint16 align = 0;
};

// The page setup screen on template 1: its grid.
SpreadGrid* showPages() {
    CurrentTemplateId = "1";
    ShowPageSetup();
    return VisibleScreen<FrmPage>()->findChild<SpreadGrid*>("vaSpread");
}

// The height of a printed line (ascent plus descent of the mincho font) in
// millimetres.
double linePitch(double points) {
    QRawFont font = QRawFont::fromFont(QFont("IPAPMincho"));
    font.setPixelSize(points * PdfSheets::MmPerPoint * 100); // one pixel, 1/100 mm
    return (font.ascent() + font.descent()) / 100;
}

void print(SpreadGrid* grid) {
    QTest::mouseClick(grid->window()->findChild<QPushButton*>("CmdPrint"), Qt::LeftButton);
}

} // namespace

Q_DECLARE_METATYPE(Item)

class TestPrint : public QObject {
    Q_OBJECT
    // Each sheet as its lines joined by "|" and its size in whole millimetres.
    QStringList printedSheets() const {
        QStringList result;
        for (const PdfSheets::Sheet& s : PdfSheets::ReadSheets(out_->filePath("out.pdf")))
            result.append(
                s.lines().join('|') +
                QString(" %1x%2").arg(s.size.toSize().width()).arg(s.size.toSize().height()));
        return result;
    }
    std::unique_ptr<QTemporaryDir> out_;
    std::unique_ptr<AppFolderFixture> app_;
    std::unique_ptr<MessageRecorder> recorder_;
    int pages_ = 0, items_ = 0;
    // Page n of template 1 has id 10 + n and page number n.
    void addPage(int direction, int size, const QList<Item>& items = {}) {
        const QString id = QString::number(10 + ++pages_);
        app_->Exec(Statements::InsertPage(id, "1", QString::number(pages_), qint16(direction),
                                          qint16(size)));
        auto n = [](double v) { return QString::number(v); };
        for (const Item& i : items)
            app_->Exec(Statements::InsertItem(n(++items_), id, i.text, n(i.size), n(i.left),
                                              n(i.right), n(i.top), n(i.cols), n(i.rows), i.align));
    }

private slots:

    void init() {
        out_ = std::make_unique<QTemporaryDir>();
        app_ = std::make_unique<OpenAppFolder>();
        app_->Exec(Statements::InsertTemplate("1"));
        recorder_ = std::make_unique<MessageRecorder>();
        pages_ = items_ = 0;
        OffsetLeft = OffsetTop = 0;
        ResetRunPrinter();
        PrintToPdfFile(out_->filePath("out.pdf"));
    }

    void cleanup() {
        for (QWidget* w : QApplication::topLevelWidgets())
            w->deleteLater();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        recorder_.reset();
        app_.reset();
    }

    void lines_data() {
        QTest::addColumn<Item>("item");
        QTest::addColumn<double>("offsetLeft");
        QTest::addColumn<double>("x");          // of each line's left, centre or right, as aligned
        QTest::addColumn<QStringList>("lines"); // as read back, "" for an empty line
        auto row = [](const char* name, const Item& item, double offset, double x,
                      QStringList lines) { QTest::newRow(name) << item << offset << x << lines; };
        row("worked example", {"ABCDEFGHIJKL", 10.5, 20, 80, 30, 5, 2, 1}, 3, 47,
            {"ABCDE", "FGHIJ"});
        row("right", {"VESK帳票", 10.5, 20, 80, 30, 20, 1, 2}, 3, 77, {"VESK帳票"});
        row("left, offset past p_left", {"VESK帳票", 10.5, 10, 80, 30, 20, 1, 0}, 12.5, -2.5,
            {"VESK帳票"});
        row("no lines", {"ABCDEF", 10.5, 20, 80, 30, 4, 0}, 0, 20, {});
        row("no characters per line", {"ABCDEF", 10.5, 20, 80, 30, 0, 3}, 0, 20, {});
        row("Japanese", {"東京都千代田区丸の内一丁目", 12}, 0, 20, {"東京都千代田区丸の内一丁目"});
        // No alignment chosen (stored -1) or a code outside the list: every
        // line as if left aligned, in the box, not at the paper's edge.
        row("no alignment chosen", {"ABCDEFGHIJ", 10.5, 20, 80, 30, 5, 2, -1}, 3, 17,
            {"ABCDE", "FGHIJ"});
        row("alignment code outside the list", {"VESK帳票", 10.5, 35.5, 80, 30, 20, 1, 3}, -2.5, 38,
            {"VESK帳票"});
    }

    void lines() {
        QFETCH(Item, item);
        QFETCH(double, offsetLeft);
        QFETCH(double, x);
        QFETCH(QStringList, lines);
        OffsetLeft = offsetLeft;
        OffsetTop = 4;
        addPage(0, 1, {item});
        print(showPages());
        const auto sheets = PdfSheets::ReadSheets(out_->filePath("out.pdf"));
        QCOMPARE(sheets.size(), 1);
        // Line k's top lies k line heights below 26 mm.
        const double pitch = linePitch(item.size);
        QStringList actual;
        for (const PdfSheets::Word& w : sheets[0].words) {
            const double k = (w.box.top() - 26) / pitch, at = item.align == 1   ? w.box.center().x()
                                                              : item.align == 2 ? w.box.right()
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
        const Item item{text, 10.5, 20, 80, 30, 1, 3};
        addPage(0, 1, {item});
        print(showPages());
        const auto sheets = PdfSheets::ReadSheets(out_->filePath("out.pdf"));
        QCOMPARE(sheets.size(), 1);
        const double pitch = linePitch(item.size);
        QStringList actual(item.rows);
        for (const PdfSheets::Word& w : sheets[0].words) {
            const int k = qRound((w.box.top() - item.top) / pitch);
            QVERIFY(k >= 0 && k < item.rows);
            actual[k] += w.text;
        }
        QCOMPARE(actual.mid(1), lines);
        const QRectF ink = PdfSheets::ReadInk(out_->filePath("out.pdf")).value(0).box;
        QVERIFY(qAbs(ink.top() - item.top) < pitch / 2);
    }

    // Every font of the sheets is embedded, whichever fonts are installed
    // (one for the characters the mincho font lacks included), and the
    // mincho font is the one asked for.
    void fontsEmbedded() {
        addPage(0, 1, {{"VESK帳票𠮷"}});
        print(showPages());
        // pdffonts: a heading, a rule, then name, type, encoding, embedded,
        // subset, unicode, object, id.
        const QStringList rows = PdfSheets::run("pdffonts", {out_->filePath("out.pdf")})
                                     .split('\n', Qt::SkipEmptyParts)
                                     .mid(2);
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

    void sheets_data() {
        QTest::addColumn<QString>("ticks");  // of rows 1 to 5
        QTest::addColumn<int>("unsavedRow"); // 0: every row saved
        QTest::addColumn<QStringList>("sheets");
        QTest::newRow("the loop ends at the first unsaved row")
            << "11111" << 4 << QStringList{"P1 210x297", "P2 210x297", "P3 210x297"};
        QTest::newRow("unticked rows skipped")
            << "10100" << 0 << QStringList{"P1 210x297", "P3 210x297"};
        QTest::newRow("nothing ticked") << "00000" << 0 << QStringList{};
    }

    void sheets() {
        QFETCH(QString, ticks);
        QFETCH(int, unsavedRow);
        QFETCH(QStringList, sheets);
        for (int p = 1; p <= 5; ++p)
            addPage(0, 1, {{QString("P%1").arg(p)}});
        SpreadGrid* grid = showPages();
        for (int r = 1; r <= 5; ++r)
            grid->SetCellText(FrmPage::ColPrint, r, ticks.mid(r - 1, 1));
        if (unsavedRow) // what the engine reads: a row whose slot holds no saved page
            PageIds[unsavedRow].clear();
        print(grid);
        QCOMPARE(recorder_->texts(), sheets.isEmpty()
                                         ? QStringList{"印刷対象ページが選択されていません。\r"}
                                         : QStringList{});
        QCOMPARE(QFile::exists(out_->filePath("out.pdf")), !sheets.isEmpty());
        if (!sheets.isEmpty())
            QCOMPARE(printedSheets(), sheets);
    }

    void layoutFromTheScreen() {
        addPage(1, 0, {{"P1"}});
        addPage(-1, 5, {{"P2"}});
        addPage(0, 4, {{"P3"}});
        SpreadGrid* grid = showPages();
        auto printRow = [&](int row) {
            for (int r = 1; r <= 3; ++r)
                grid->SetCellText(FrmPage::ColPrint, r, r == row ? "1" : "0");
            print(grid);
            return printedSheets();
        };
        QCOMPARE(printRow(1), QStringList{"P1 420x297"});
        // unknown codes: the last command's A3 landscape stays
        QCOMPARE(printRow(2), QStringList{"P2 420x297"});
        QCOMPARE(printRow(3), QStringList{"P3 182x257"});
        // A5 shown, B5 saved; "横" chosen in the drop-down, not yet handed to the
        // cell; "縦" saved.
        grid->SetListIndex(FrmPage::ColSize, 3, 2);
        grid->setFocus();
        grid->SetActiveCell(FrmPage::ColDirection, 3);
        QTest::keyClick(grid, Qt::Key_F4);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(grid->Editing() && grid->ListIndex(FrmPage::ColDirection, 3) == 0);
        PrintSheets(VisibleScreen<FrmPage>()->SheetsToPrint());
        QCOMPARE(printedSheets(), QStringList{"P3 210x148"});
    }

    void failureSubmitsNothing() {
        addPage(0, 1, {{"P1"}});
        addPage(0, 1, {{"P2", 0}}); // font size 0 fails
        addPage(0, 1, {{"P3"}});
        print(showPages());
        QCOMPARE(recorder_->texts(), QStringList{"処理中、異常が発生しました。\r"});
        QVERIFY(!QFile::exists(out_->filePath("out.pdf")));
    }
};

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
