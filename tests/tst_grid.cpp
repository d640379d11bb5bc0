#include "platform/SpreadGrid.h"

#include <QApplication>
#include <QDialog>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <memory>

// One column of every kind: text of at most 3 characters, decimals 1.0-20.0 (2.1 digits) and
// 1.0-1000.0 (4.1 digits), whole numbers 1-30, a list, a check box, a button, free text.
enum Column { kText = 1, kSize, kEdge, kPage, kAlign, kPrint, kDetail, kFree, kColumns = kFree };

namespace {

const QStringList kAlignItems = {QStringLiteral("左詰め"), QStringLiteral("中央揃え"),
                                 QStringLiteral("右詰め")};

std::unique_ptr<SpreadGrid> MakeGrid() {
    auto grid = std::make_unique<SpreadGrid>();
    grid->SetMaxCols(kColumns);
    grid->SetMaxRows(5);
    grid->SetColumnType(kText, SpreadGrid::TextCell(3));
    grid->SetColumnType(kSize, SpreadGrid::DecimalCell(2, 1, 1.0, 20.0));
    grid->SetColumnType(kEdge, SpreadGrid::DecimalCell(4, 1, 1.0, 1000.0));
    grid->SetColumnType(kPage, SpreadGrid::IntegerCell(1, 30));
    grid->SetColumnType(kAlign, SpreadGrid::ListCell(kAlignItems));
    grid->SetColumnType(kPrint, SpreadGrid::CheckCell());
    grid->SetColumnType(kDetail, SpreadGrid::ButtonCell(QStringLiteral("詳細設定")));
    for (int col = 1; col <= kColumns; ++col)
        grid->SetColumnWidthChars(col, 10);
    grid->resize(1000, 400);
    grid->show();
    grid->activateWindow();
    (void)QTest::qWaitForWindowActive(grid.get());
    grid->setFocus();
    return grid;
}

// Keys go where the user's would: the focus widget, or the open drop-down.
void Key(QKeyCombination key) {
    QTest::keyClick(static_cast<QWidget*>(nullptr), key.key(), key.keyboardModifiers());
}

void Type(const QString& keys) {
    QTest::keyClicks(static_cast<QWidget*>(nullptr), keys);
}

// Text committed by the input method.
void Compose(const QString& text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(QApplication::focusWidget(), &event);
}

void Click(SpreadGrid* grid, int col, int row) {
    const QRect rect = grid->visualRect(grid->model()->index(row - 1, col - 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

QPoint Cursor(const SpreadGrid& grid) {
    return QPoint(grid.Col(), grid.Row());
}

} // namespace

class TestGrid : public QObject {
    Q_OBJECT

private slots:
    void typingIsLimited_data();
    void typingIsLimited();
    void keysMoveTheCursor();
    void listChosenByKeyboard_data();
    void listChosenByKeyboard();
    void checkButtonAndListCells();
    void leaveCellCancelKeepsCursor();
    void programValuesShownWhole();
};

void TestGrid::typingIsLimited_data() {
    QTest::addColumn<int>("col");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QStringList>("strokes"); // keys, or input method commits in text cells
    QTest::addColumn<QString>("after");
    auto row = [](const char* name, int col, const QString& before, const QStringList& strokes,
                  const QString& after) {
        QTest::newRow(name) << col << before << strokes << after;
    };
    row("whole: in range", kPage, "", {"30"}, "30");
    row("whole: above range", kPage, "", {"31"}, "3");
    row("whole: zero", kPage, "", {"0"}, "");
    row("whole: minus and letters", kPage, "", {"-a7b"}, "7");
    row("size: in range", kSize, "", {"10.5"}, "10.5");
    row("size: three digits", kSize, "", {"123"}, "12");
    row("size: two decimals", kSize, "", {"1.23"}, "1.2");
    row("size: letters and below range", kSize, "", {"a0.5"}, "5");
    row("edge: above range", kEdge, "", {"1001"}, "100");
    row("typing replaces", kPage, "17", {"4"}, "4");
    row("nothing accepted keeps", kPage, "17", {"x"}, "17");
    // Text length counts grapheme clusters.
    const QString pair = QString::fromUcs4(U"\U00020BB7");
    const QString mark = QStringLiteral("e\u0301");
    row("text: surrogate pair", kText, "", {"a", "b", pair, "c"}, "ab" + pair);
    row("text: combining mark", kText, "", {mark, mark, mark, "z"}, mark.repeated(3));
    row("text: a commit over the limit is refused whole", kText, "", {"a", "bcd"}, "a");
}

void TestGrid::typingIsLimited() {
    QFETCH(int, col);
    QFETCH(QString, before);
    QFETCH(QStringList, strokes);
    QFETCH(QString, after);
    auto grid = MakeGrid();
    grid->SetCellText(col, 2, before);
    grid->SetActiveCell(col, 2);
    // The input method is on for text cells only, on the grid and in its editors.
    QCOMPARE(grid->testAttribute(Qt::WA_InputMethodEnabled), col == kText);
    for (const QString& stroke : strokes) {
        if (col == kText)
            Compose(stroke);
        else
            Type(stroke);
    }
    if (grid->Editing())
        QCOMPARE(QApplication::focusWidget()->testAttribute(Qt::WA_InputMethodEnabled),
                 col == kText);
    Key(Qt::Key_Return);
    QCOMPARE(grid->CellText(col, 2), after);
    QCOMPARE(grid->CellEdited(col, 2), after != before);
    QCOMPARE(grid->item(1, col - 1)->text(), after);
}

void TestGrid::keysMoveTheCursor() {
    auto grid = MakeGrid();
    grid->SetActiveCell(1, 5);
    Key(Qt::Key_Enter); // the last row: stays
    QCOMPARE(Cursor(*grid), QPoint(1, 5));
    grid->SetActiveCell(8, 2);
    Type(QStringLiteral("q")); // typing starts editing; Tab commits and wraps
    QVERIFY(grid->Editing());
    Key(Qt::Key_Tab);
    QCOMPARE(Cursor(*grid), QPoint(1, 3));
    QCOMPARE(grid->CellText(8, 2), QStringLiteral("q"));
    Key(Qt::ShiftModifier | Qt::Key_Tab);
    Key(Qt::ShiftModifier | Qt::Key_Return);
    QCOMPARE(Cursor(*grid), QPoint(8, 1));
    QVERIFY(!grid->Editing() && grid->hasFocus());
}

void TestGrid::listChosenByKeyboard_data() {
    QTest::addColumn<int>("openKey");
    QTest::addColumn<int>("downs");
    QTest::addColumn<int>("index");
    QTest::newRow("F4, first") << int(Qt::Key_F4) << 0 << 0;
    QTest::newRow("space, past the end") << int(Qt::Key_Space) << 5 << 2;
    QTest::newRow("dismissed, none") << int(Qt::Key_F4) << 2 << -1;
}

void TestGrid::listChosenByKeyboard() {
    QFETCH(int, openKey);
    QFETCH(int, downs);
    QFETCH(int, index);
    auto grid = MakeGrid();
    grid->SetActiveCell(kAlign, 3);
    QCOMPARE(grid->TypeComboBoxCurSel(), -1);
    Key(QKeyCombination::fromCombined(openKey));
    QVERIFY(QApplication::activePopupWidget());
    QVERIFY(!grid->viewport()->findChild<QWidget*>()->testAttribute(Qt::WA_InputMethodEnabled));
    for (int i = 0; i < downs; ++i)
        Key(Qt::Key_Down);
    Key(index >= 0 ? Qt::Key_Return : Qt::Key_Escape);
    QTRY_VERIFY(!grid->Editing());
    QCOMPARE(grid->TypeComboBoxCurSel(), index);
    QCOMPARE(grid->Text(), index < 0 ? QString() : kAlignItems.at(index));
    QCOMPARE(grid->CellEdited(kAlign, 3), index >= 0);
    QCOMPARE(Cursor(*grid), QPoint(kAlign, 3));
}

void TestGrid::checkButtonAndListCells() {
    auto grid = MakeGrid();
    QSignalSpy clicked(grid.get(), &SpreadGrid::ButtonClicked);
    grid->SetActiveCell(kPrint, 2);
    Key(Qt::Key_Space);
    QCOMPARE(grid->CellText(kPrint, 2), QStringLiteral("1"));
    QVERIFY(grid->CellEdited(kPrint, 2));
    Click(grid.get(), kPrint, 2);
    QCOMPARE(grid->CellText(kPrint, 2), QStringLiteral("0"));
    Click(grid.get(), kPrint, 4); // another row's box: moves there and toggles it
    QCOMPARE(grid->CellText(kPrint, 4), QStringLiteral("1"));
    grid->SetActiveCell(kDetail, 3);
    Key(Qt::Key_Space);
    Click(grid.get(), kDetail, 5);
    Type(QStringLiteral("1")); // typing on a button does nothing
    QVERIFY(!grid->Editing());
    const QList<QList<QVariant>> expected = {
        {int(kPrint), 2}, {int(kPrint), 2}, {int(kPrint), 4}, {int(kDetail), 3}, {int(kDetail), 5}};
    QCOMPARE(static_cast<QList<QList<QVariant>>>(clicked), expected);
}

void TestGrid::leaveCellCancelKeepsCursor() {
    auto grid = MakeGrid();
    QList<QList<int>> asked;
    bool refuse = true;
    int boxes = -1; // from 0 on, the handler shows a modal box first
    connect(grid.get(), &SpreadGrid::LeaveCell, this,
            [&](int col, int row, int newCol, int newRow, bool* cancel) {
                asked.append({col, row, newCol, newRow});
                if (boxes >= 0) {
                    QDialog box(grid.get());
                    QTimer::singleShot(0, &box, &QDialog::accept);
                    boxes += box.exec();
                }
                *cancel = refuse;
            });
    QSignalSpy clicked(grid.get(), &SpreadGrid::ButtonClicked);
    grid->SetActiveCell(kPage, 2);
    QVERIFY(asked.isEmpty()); // the program's moves are not asked about

    // By keyboard, answered at once; what was typed stays committed.
    Type(QStringLiteral("7"));
    Key(Qt::Key_Return);
    QCOMPARE(asked, (QList<QList<int>>{{kPage, 2, kPage, 3}}));
    QCOMPARE(Cursor(*grid), QPoint(kPage, 2));
    QCOMPARE(grid->CellText(kPage, 2), QStringLiteral("7"));
    // By mouse, answered after the click; a refused click does nothing else.
    Click(grid.get(), kDetail, 4);
    QTRY_COMPARE(asked.size(), 2);
    QCOMPARE(asked.last(), (QList<int>{kPage, 2, kDetail, 4}));
    QCoreApplication::processEvents();
    QCOMPARE(Cursor(*grid), QPoint(kPage, 2));
    QCOMPARE(clicked.size(), 0);

    // The handler may show a modal box, after a key or a click.
    boxes = 0;
    Type(QStringLiteral("8"));
    Key(Qt::Key_Tab);
    QCOMPARE(boxes, 1);
    Click(grid.get(), kPrint, 3);
    QTRY_COMPARE(boxes, 2);
    QCOMPARE(Cursor(*grid), QPoint(kPage, 2));
    QCOMPARE(grid->CellText(kPage, 2), QStringLiteral("8"));
    QCOMPARE(grid->CellText(kPrint, 3), QStringLiteral("0"));

    // Allowed, the move happens and the click counts; the grid still takes keys.
    boxes = -1;
    refuse = false;
    grid->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(grid.get()));
    Click(grid.get(), kDetail, 4);
    QTRY_COMPARE(Cursor(*grid), QPoint(kDetail, 4));
    QCOMPARE(clicked.size(), 1);
    Key(Qt::Key_Down);
    QCOMPARE(Cursor(*grid), QPoint(kDetail, 5));
}

void TestGrid::programValuesShownWhole() {
    auto grid = MakeGrid();
    const QString stored = QStringLiteral("3.03030303030303");
    grid->SetCellText(kSize, 1, stored);
    grid->SetCellText(kPage, 1, QStringLiteral("36"));
    grid->SetCellText(kText, 1, QStringLiteral("abcdef"));
    grid->SetListIndex(kAlign, 1, 5);
    grid->SetCellText(kPrint, 1, QStringLiteral("1"));
    QCOMPARE(QStringList({grid->item(0, kSize - 1)->text(), grid->CellText(kPage, 1),
                          grid->CellText(kText, 1), QString::number(grid->ListIndex(kAlign, 1)),
                          grid->CellText(kPrint, 1)}),
             QStringList({stored, "36", "abcdef", "5", "1"}));
    for (int col = 1; col <= kColumns; ++col)
        QVERIFY(!grid->CellEdited(col, 1));

    // Edited, a commit still outside the limits keeps the stored value; one inside is the user's.
    grid->SetActiveCell(kSize, 1);
    Key(Qt::Key_F2);
    Key(Qt::Key_Backspace);
    QCOMPARE(qobject_cast<QLineEdit*>(QApplication::focusWidget())->text(), stored.chopped(1));
    Key(Qt::Key_Return);
    QCOMPARE(grid->CellText(kSize, 1), stored);
    QVERIFY(!grid->CellEdited(kSize, 1));
    grid->SetActiveCell(kPage, 1);
    Type(QStringLiteral("9"));
    Key(Qt::Key_Return);
    QCOMPARE(grid->CellText(kPage, 1), QStringLiteral("9"));
    QVERIFY(grid->CellEdited(kPage, 1));
    // A program write over a user edit makes the cell the program's again.
    grid->SetCellText(kPage, 1, QStringLiteral("9"));
    QVERIFY(!grid->CellEdited(kPage, 1));
}

QTEST_MAIN(TestGrid)
#include "tst_grid.moc"
