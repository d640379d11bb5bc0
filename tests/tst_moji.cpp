// The text item grid driven as a user does: typing items, saving them all at
// once, and what survives a refused save, an unchanged save and leaving.
#include "PdfSheets.h"
#include "TestSupport.h"
#include "common/Globals.h"
#include "common/Statements.h"
#include "items/AlignCodes.h"
#include "items/FrmMoji.h"
#include "pages/FrmPage.h"
#include "pages/PrintEngine.h"
#include "platform/Database.h"
#include "platform/SpreadGrid.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

namespace {

constexpr int kPage = 12;
constexpr int kOtherPage = 13;

// Keys go where the user's keys go: to the focus widget (the grid, its open
// editor) or to an open drop-down.
void press(Qt::Key key) {
    QTest::keyClick(static_cast<QWidget*>(nullptr), key);
}
// One key event per character, carrying its text as a keyboard or an input
// method delivers it (QTest cannot send text beyond Latin-1).
void typeKeys(const QString& text) {
    for (QChar c : text) {
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(QApplication::focusWidget(), &key);
    }
}

void closeAll() {
    for (QWidget* w : QApplication::topLevelWidgets())
        delete w;
}

// One stored item without its id, as the columns hold it.
using Item = QVariantList;
Item item(const QString& text, QVariant size = 10.5, QVariant left = 20, QVariant right = 80,
          QVariant top = 30, QVariant cols = 8, QVariant rows = 1, QVariant align = 0) {
    return {text, size, left, right, top, cols, rows, align};
}

struct Stored {
    QList<qlonglong> ids;
    QList<Item> items;
};

Stored stored(int page) {
    Stored s;
    auto rs = LayoutDatabase->OpenRecordset(Statements::SelectItemsOrdered(QString::number(page)));
    while (!rs->EOF_()) {
        s.ids.append(rs->Field("moji_id").toLongLong());
        Item i;
        for (const char* f : {"moji", "p_size", "p_left", "p_right", "p_top", "p_col_count",
                              "p_row_count", "p_position"})
            i.append(rs->Field(f));
        s.items.append(i);
        rs->MoveNext();
    }
    return s;
}

void insert(int id, int page, const Item& i) {
    auto lit = [](const QVariant& v) {
        return v.typeId() == QMetaType::Double
                   ? QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest)
                   : v.toString();
    };
    LayoutDatabase->Execute(Statements::InsertItem(
        QString::number(id), QString::number(page), i[0].toString(), lit(i[1]), lit(i[2]),
        lit(i[3]), lit(i[4]), lit(i[5]), lit(i[6]), qint16(i[7].toInt())));
}

// A template with two pages; page 13's items must never be touched.
struct Data {
    AppFolderFixture app;
    Data() {
        app.OpenLayoutDatabase();
        app.Exec(Statements::InsertTemplate("1"));
        app.Exec(Statements::InsertPage(QString::number(kPage), "1", "1", 0, 1));
        app.Exec(Statements::InsertPage(QString::number(kOtherPage), "1", "2", 1, 1));
        insert(50, kOtherPage, item("other"));
    }
};

struct MojiScreen {
    QPointer<FrmMoji> form;
    explicit MojiScreen(int page = kPage, qint16 direction = 0) {
        CurrentPageId = QString::number(page);
        CurrentPaperDirection = direction;
        form = new FrmMoji;
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form));
        QTest::qWait(10); // the activation, queued after the first showing
    }
    SpreadGrid* grid() const { return form->findChild<SpreadGrid*>("vaSpread"); }
    QPushButton* button(const char* name) const { return form->findChild<QPushButton*>(name); }
    void click(const char* name) const { QTest::mouseClick(button(name), Qt::LeftButton); }
    // Replaces a cell's content by typing, committed with Enter.
    void typeCell(int col, int row, const QString& text) const {
        grid()->setFocus();
        grid()->SetActiveCell(col, row);
        press(Qt::Key_Delete);
        typeKeys(text);
        press(Qt::Key_Return);
    }
    void typeRow(int row, const QStringList& cells) const {
        for (int c = 0; c < cells.size(); ++c)
            typeCell(FrmMoji::ColText + c, row, cells[c]);
    }
    // Chooses an alignment item from the drop-down (-1: none, cleared).
    void chooseAlign(int row, int index) const {
        grid()->setFocus();
        grid()->SetActiveCell(FrmMoji::ColAlign, row);
        press(Qt::Key_Delete);
        if (index < 0)
            return;
        press(Qt::Key_F4);
        for (int i = 0; i < index; ++i)
            press(Qt::Key_Down);
        press(Qt::Key_Return);
        QTRY_VERIFY(!grid()->Editing());
    }
    QStringList row(int r) const {
        QStringList cells;
        for (int c = FrmMoji::ColText; c <= FrmMoji::ColAlign; ++c)
            cells.append(grid()->CellText(c, r));
        return cells;
    }
};

const QStringList kFilled = {"請求書", "10.5", "20", "95.5", "30", "8", "1"};

} // namespace

class TestMoji : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        closeAll();
        QVERIFY(!FrmMoji::OpenInstance());
    }
    void emptyPageOpensBlankAndAllBlankSaveDeletes();
    void saveKeepsFilledRowsInGridOrder();
    void alignmentRoundTrips_data();
    void alignmentRoundTrips();
    void blankNumberFailsTheWholeSave_data();
    void blankNumberFailsTheWholeSave();
    void unchangedSaveKeepsEveryStoredValue();
    void typedJapaneseWithQuotesRoundTrips();
    void imageButtonWithoutDirectionDoesNothing_data();
    void imageButtonWithoutDirectionDoesNothing();
    void escapeKeepsAndBackDrops();
    void opensModallyFromThePageScreen();
    void printedWhereTyped();
};

void TestMoji::emptyPageOpensBlankAndAllBlankSaveDeletes() {
    Data data;
    {
        MojiScreen moji;
        QCOMPARE(moji.form->windowTitle(), QString("文字設定"));
        QCOMPARE(moji.grid()->MaxRows(), 40);
        QCOMPARE(moji.grid()->MaxCols(), 8);
        QCOMPARE(QApplication::focusWidget(), moji.grid());
        // Headers show whole, full-width characters included.
        QStringList headers;
        for (int c = 1; c <= 8; ++c) {
            headers.append(moji.grid()->CellText(c, 0));
            QVERIFY(moji.grid()->columnWidth(c - 1) >=
                    moji.grid()->horizontalHeader()->sectionSizeHint(c - 1));
        }
        QCOMPARE(headers, QStringList({"文字", "大きさ", "左端", "右端", "上端", "１行の文字数",
                                       "行数", "文字の場所"}));
        for (int r = 1; r <= 40; ++r) {
            QCOMPARE(moji.row(r), QStringList(8, QString()));
            QCOMPARE(moji.grid()->ListIndex(FrmMoji::ColAlign, r), -1);
        }
        QCOMPARE(moji.grid()->TypeAt(FrmMoji::ColAlign, 1).items, AlignCodes::Items);
    }
    closeAll();

    // Stored items whose texts the user empties: the save deletes them all.
    insert(1, kPage, item("a"));
    insert(2, kPage, item("b"));
    MojiScreen moji;
    MessageRecorder recorder;
    moji.typeCell(FrmMoji::ColText, 1, "");
    moji.typeCell(FrmMoji::ColText, 2, "");
    moji.click("CmdOK");
    QVERIFY(recorder.shown.isEmpty());
    QTRY_VERIFY(moji.form.isNull());
    QCOMPARE(stored(kPage).items, QList<Item>());
    QCOMPARE(stored(kOtherPage).items, QList<Item>{item("other")});
}

void TestMoji::saveKeepsFilledRowsInGridOrder() {
    Data data;
    insert(7, kPage, item("old"));
    MojiScreen moji;
    MessageRecorder recorder;
    moji.typeCell(FrmMoji::ColText, 1, ""); // the stored item goes
    moji.typeRow(2, {"御中", "12", "15.5", "60", "40.5", "10", "2"});
    moji.typeRow(5, {"   ", "9", "1", "2", "3", "4", "5"});
    moji.typeRow(7, {"", "9", "1", "2", "3", "4", "5"}); // numbers without a text
    moji.typeRow(9, {"様", "20", "1000", "1000", "1000", "150", "30"});
    moji.click("CmdOK");
    QVERIFY(recorder.shown.isEmpty());
    QTRY_VERIFY(moji.form.isNull());

    const Stored s = stored(kPage);
    // Consecutive ids in grid order, above the highest id left in the table.
    QCOMPARE(s.ids, QList<qlonglong>({51, 52, 53}));
    QCOMPARE(s.items, QList<Item>({item("御中", 12, 15.5, 60, 40.5, 10, 2, -1),
                                   item("   ", 9, 1, 2, 3, 4, 5, -1),
                                   item("様", 20, 1000, 1000, 1000, 150, 30, -1)}));

    MojiScreen again;
    QCOMPARE(again.row(1), QStringList({"御中", "12", "15.5", "60", "40.5", "10", "2", ""}));
    QCOMPARE(again.row(2).first(), QString("   "));
    QCOMPARE(again.row(3).first(), QString("様"));
    QCOMPARE(again.row(4), QStringList(8, QString()));
}

void TestMoji::alignmentRoundTrips_data() {
    QTest::addColumn<int>("index");
    QTest::newRow("none") << -1;
    for (int i = 0; i < AlignCodes::Items.size(); ++i)
        QTest::newRow(qPrintable(AlignCodes::Items[i])) << i;
}

void TestMoji::alignmentRoundTrips() {
    QFETCH(int, index);
    Data data;
    MojiScreen moji;
    moji.typeRow(1, kFilled);
    moji.chooseAlign(1, index);
    moji.click("CmdOK");
    QTRY_VERIFY(moji.form.isNull());
    QCOMPARE(stored(kPage).items.value(0).value(7).toInt(), index);

    MojiScreen again;
    QCOMPARE(again.grid()->ListIndex(FrmMoji::ColAlign, 1), index);
    QCOMPARE(again.grid()->CellText(FrmMoji::ColAlign, 1), AlignCodes::Items.value(index));
}

void TestMoji::blankNumberFailsTheWholeSave_data() {
    QTest::addColumn<int>("blank");
    for (int c = FrmMoji::ColSize; c <= FrmMoji::ColRowCount; ++c)
        QTest::newRow(qPrintable(QString("column %1").arg(c))) << c;
}

void TestMoji::blankNumberFailsTheWholeSave() {
    QFETCH(int, blank);
    Data data;
    insert(3, kPage, item("a"));
    insert(4, kPage, item("b", 12, 5, 6, 7, 3, 2, 2));
    const Stored before = stored(kPage);
    MojiScreen moji;
    MessageRecorder recorder;
    moji.typeCell(FrmMoji::ColText, 1, "changed");
    QStringList third = kFilled;
    third[blank - 1].clear();
    moji.typeRow(3, third);
    moji.click("CmdOK");

    QCOMPARE(recorder.texts(), QStringList{"データ修正に失敗しました。\r"});
    QVERIFY(!LayoutWorkspace->InTransaction());
    QCOMPARE(stored(kPage).ids, before.ids);
    QCOMPARE(stored(kPage).items, before.items);
    QVERIFY(moji.form && moji.form->isVisible());
    QCOMPARE(moji.grid()->CellText(FrmMoji::ColText, 1), QString("changed"));
    QCOMPARE(moji.row(3).mid(0, 7), third);
}

void TestMoji::unchangedSaveKeepsEveryStoredValue() {
    Data data;
    // What image placement can store: more than 40 items, values beyond the
    // cells' precision and ranges, a text longer than 999 characters, and a
    // code that no list item has.
    QList<Item> items;
    for (int i = 1; i <= 45; ++i)
        items.append(item(QString("項目%1").arg(i), 9, i, i + 50, 2 * i, 5, 1, i % 3));
    items[0] = item("左", 36, 3.03030303030303, 0.1 + 0.2, 0.5, 200, 31, 5);
    items[1] = item(QString(1500, QChar(u'字')), 10.25, 2000, 1e-5, 20, 0, 1, 1);
    for (int i = 0; i < items.size(); ++i)
        insert(100 + i, kPage, items[i]);

    MojiScreen moji;
    QCOMPARE(moji.grid()->MaxRows(), 45);
    QCOMPARE(moji.row(1),
             QStringList({"左", "36", "3.03030303030303", "0.3", "0.5", "200", "31", ""}));
    QCOMPARE(moji.grid()->ListIndex(FrmMoji::ColAlign, 1), 5);
    QVERIFY(moji.grid()->columnWidth(FrmMoji::ColLeft - 1) >
            moji.grid()->fontMetrics().horizontalAdvance("3.03030303030303"));
    QCOMPARE(moji.grid()->CellText(FrmMoji::ColText, 2).size(), 1500);
    QCOMPARE(moji.row(45).first(), QString("項目45"));
    MessageRecorder recorder;
    moji.click("CmdOK");
    QVERIFY(recorder.shown.isEmpty());
    QTRY_VERIFY(moji.form.isNull());
    Stored s = stored(kPage);
    QCOMPARE(s.items, items);
    QCOMPARE(s.ids.first(), qlonglong(51));
    QCOMPARE(s.ids.last(), qlonglong(95));

    // A cell the user edits takes its limits and saves what it shows: 25
    // points is refused at its second digit; the right edge is retyped.
    MojiScreen again;
    again.typeCell(FrmMoji::ColSize, 1, "25");
    QCOMPARE(again.grid()->CellText(FrmMoji::ColSize, 1), QString("2"));
    again.typeCell(FrmMoji::ColRight, 1, "7");
    again.click("CmdOK");
    QTRY_VERIFY(again.form.isNull());
    s = stored(kPage);
    items[0][1] = 2;
    items[0][3] = 7;
    QCOMPARE(s.items, items);
}

void TestMoji::typedJapaneseWithQuotesRoundTrips() {
    Data data;
    const QList<Item> items = {item("'御中'"), item("O'Brien様", 9.5, 1, 2, 3, 4, 5, 2),
                               item("株式会社", 11, 100.5, 180, 12.5, 20, 3, 1)};
    for (int i = 0; i < items.size(); ++i)
        insert(10 + i, kPage, items[i]);
    MojiScreen moji;
    QCOMPARE(moji.row(1).first(), QString("'御中'"));
    QCOMPARE(moji.row(2).first(), QString("O'Brien様"));
    moji.typeRow(4, {"「見積」''", "10", "20", "30", "40", "5", "1"});
    moji.click("CmdOK");
    QTRY_VERIFY(moji.form.isNull());
    const Stored s = stored(kPage);
    QCOMPARE(s.ids, QList<qlonglong>({51, 52, 53, 54}));
    QCOMPARE(s.items, items + QList<Item>{item("「見積」''", 10, 20, 30, 40, 5, 1, -1)});

    MojiScreen again;
    QCOMPARE(again.row(4).first(), QString("「見積」''"));
}

void TestMoji::imageButtonWithoutDirectionDoesNothing_data() {
    QTest::addColumn<int>("direction");
    QTest::newRow("none chosen") << -1;
    QTest::newRow("beyond the list") << 2;
}

void TestMoji::imageButtonWithoutDirectionDoesNothing() {
    QFETCH(int, direction);
    Data data;
    insert(1, kPage, item("a"));
    MojiScreen moji(kPage, qint16(direction));
    MessageRecorder recorder;
    moji.typeRow(2, kFilled);
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    moji.click("CmdImage");
    QTest::qWait(20);
    QVERIFY(recorder.shown.isEmpty());
    QCOMPARE(QApplication::topLevelWidgets(), windows);
    QCOMPARE(QApplication::activeWindow(), moji.form.data());
    QCOMPARE(moji.row(2).mid(0, 7), kFilled);
    QCOMPARE(stored(kPage).items, QList<Item>{item("a")});
}

void TestMoji::escapeKeepsAndBackDrops() {
    Data data;
    insert(1, kPage, item("a"));
    MojiScreen moji;
    MessageRecorder recorder;
    moji.typeRow(2, kFilled);
    // Esc on the grid, then Esc in an open editor: that edit alone is dropped.
    press(Qt::Key_Escape);
    moji.grid()->SetActiveCell(FrmMoji::ColText, 3);
    typeKeys("x");
    QVERIFY(moji.grid()->Editing());
    press(Qt::Key_Escape);
    press(Qt::Key_Escape);
    QTest::qWait(20);
    QVERIFY(moji.form && moji.form->isVisible());
    QCOMPARE(moji.row(2).mid(0, 7), kFilled);
    QCOMPARE(moji.grid()->CellText(FrmMoji::ColText, 3), QString());

    // Back and the close box leave without saving or asking.
    moji.click("CmdBack");
    QTRY_VERIFY(moji.form.isNull());
    MojiScreen closed;
    closed.typeRow(1, kFilled);
    closed.form->close();
    QTRY_VERIFY(closed.form.isNull());
    QVERIFY(recorder.shown.isEmpty());
    QCOMPARE(stored(kPage).items, QList<Item>{item("a")});
}

void TestMoji::opensModallyFromThePageScreen() {
    Data data;
    insert(1, kPage, item("御中"));
    CurrentTemplateId = "1";
    ShowPageSetup();
    QPointer<FrmPage> page;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<FrmPage*>(w))
            page = p;
    QVERIFY(QTest::qWaitForWindowActive(page));
    auto* pageGrid = page->findChild<SpreadGrid*>("vaSpread");
    page->findChild<QLineEdit*>("TxtTemplate")->setText("unsaved name");
    pageGrid->SetListIndex(FrmPage::ColDirection, 1, 1); // shown, not saved

    bool checked = false;
    // Runs while the item grid is open; the grid is left with 戻る either way.
    auto inspect = [&] {
        FrmMoji* moji = FrmMoji::OpenInstance();
        QVERIFY(moji);
        QTRY_VERIFY(moji->isActiveWindow());
        QTest::qWait(10);
        QVERIFY(moji->isModal());
        QCOMPARE(CurrentPageId, QString::number(kPage));
        QCOMPARE(CurrentPaperDirection, qint16(1));
        auto* grid = moji->findChild<SpreadGrid*>("vaSpread");
        QCOMPARE(grid->CellText(FrmMoji::ColText, 1), QString("御中"));

        // The screen covers the display; the buttons stand in one row below
        // the grid, 165 twips apart, in the order image, save, back.
        auto layoutHolds = [&] {
            const QRect display = moji->screen()->geometry();
            QRect buttons[3];
            int i = 0;
            for (const char* name : {"CmdImage", "CmdOK", "CmdBack"})
                buttons[i++] = moji->findChild<QPushButton*>(name)->geometry();
            return moji->frameGeometry() == display && grid->x() == grid->y() && grid->x() > 0 &&
                   grid->geometry().right() < moji->width() &&
                   buttons[0].top() > grid->geometry().bottom() &&
                   buttons[0].top() == buttons[2].top() &&
                   buttons[1].left() - buttons[0].right() - 1 == 11 &&
                   buttons[2].left() - buttons[1].right() - 1 == 11 &&
                   buttons[2].bottom() < moji->height();
        };
        QVERIFY(layoutHolds());
        // A screen stacked on it closes: the layout is applied again.
        moji->setMinimumSize(0, 0);
        moji->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        moji->setGeometry(40, 40, 300, 200);
        grid->setGeometry(0, 0, 10, 10);
        auto* stacked = new Form;
        QTimer::singleShot(0, stacked, [stacked] { stacked->close(); });
        moji->ExecModal(stacked);
        QVERIFY(layoutHolds());
        checked = true;
    };
    QTimer::singleShot(0, [&] {
        inspect();
        if (FrmMoji* moji = FrmMoji::OpenInstance())
            QTest::mouseClick(moji->findChild<QPushButton*>("CmdBack"), Qt::LeftButton);
    });
    pageGrid->setFocus();
    pageGrid->SetActiveCell(FrmPage::ColDetail, 1);
    press(Qt::Key_Space); // returns when the item grid has closed
    QVERIFY(checked);
    QVERIFY(!FrmMoji::OpenInstance());
    // The page screen goes on as it was: nothing reloaded.
    QVERIFY(page && page->isVisible());
    QCOMPARE(page->findChild<QLineEdit*>("TxtTemplate")->text(), QString("unsaved name"));
    QCOMPARE(pageGrid->ListIndex(FrmPage::ColDirection, 1), 1);
}

void TestMoji::printedWhereTyped() {
    Data data;
    {
        MojiScreen m;
        m.typeRow(1, {"ABCDE", "10.5", "20", "80", "30", "5", "1"});
        m.chooseAlign(1, 0);
        m.typeRow(2, {"XYZ", "12", "40", "100.5", "55.5", "3", "1"});
        m.chooseAlign(2, 2);
        m.click("CmdOK");
        QTRY_VERIFY(m.form.isNull() || !m.form->isVisible());
    }
    OffsetLeft = OffsetTop = 0;
    QTemporaryDir dir;
    const QString pdf = dir.filePath("sheet.pdf");
    PrintToPdfFile(pdf);
    CurrentTemplateId = "1";
    ShowPageSetup();
    FrmPage* page = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<FrmPage*>(w))
            page = p;
    QVERIFY(page);
    QTest::qWait(10);
    page->findChild<SpreadGrid*>("vaSpread")->SetCellText(FrmPage::ColPrint, 2, "0");
    QTest::mouseClick(page->findChild<QPushButton*>("CmdPrint"), Qt::LeftButton);
    const QList<PdfSheets::Sheet> sheets = PdfSheets::ReadSheets(pdf);
    ResetRunPrinter();
    QCOMPARE(sheets.size(), 1);
    QCOMPARE(sheets[0].words.size(), 2);
    // Left-aligned from its left edge, right-aligned to its right edge, each
    // line's top at the item's top.
    const QRectF abc = sheets[0].words[0].box, xyz = sheets[0].words[1].box;
    QCOMPARE(sheets[0].words[0].text, QString("ABCDE"));
    QVERIFY2(qAbs(abc.left() - 20) < 0.05 && qAbs(abc.top() - 30) < 0.05,
             qPrintable(QString("%1 %2").arg(abc.left()).arg(abc.top())));
    QVERIFY2(qAbs(xyz.right() - 100.5) < 0.05 && qAbs(xyz.top() - 55.5) < 0.05,
             qPrintable(QString("%1 %2").arg(xyz.right()).arg(xyz.top())));
}

QTEST_MAIN(TestMoji)
#include "tst_moji.moc"
