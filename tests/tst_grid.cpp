#include "platform/SpreadGrid.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <memory>

// Columns of every kind, shaped like the screens' grids.
enum Column {
    kText = 1, // text, at most 3 characters
    kSize,     // decimal, 2 digits . 1 digit, 1.0 to 20.0
    kEdge,     // decimal, 4 digits . 1 digit, 1.0 to 1000.0
    kPage,     // whole number, 1 to 30
    kAlign,    // list of three items
    kPrint,    // check box
    kDetail,   // button
    kFree,     // text without limit
    kColumns = kFree
};

namespace {

const QStringList kAlignItems = {QStringLiteral("左詰め"), QStringLiteral("中央揃え"),
                                 QStringLiteral("右詰め")};

std::unique_ptr<SpreadGrid> MakeGrid(int rows = 5) {
    auto grid = std::make_unique<SpreadGrid>();
    grid->SetMaxCols(kColumns);
    grid->SetMaxRows(rows);
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
    if (!QTest::qWaitForWindowActive(grid.get()))
        qWarning("the grid's window did not become active");
    grid->setFocus();
    return grid;
}

// Keys go where the user's keys would go: the window's focus widget, or the
// open drop-down.
void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(static_cast<QWidget*>(nullptr), key, modifiers);
}

void Type(const QString& keys) {
    QTest::keyClicks(static_cast<QWidget*>(nullptr), keys);
}

// Text committed by the input method, as a Japanese input method sends it.
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

QString AccessibleName(SpreadGrid* grid, int col, int row) {
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid);
    QAccessibleInterface* cell = table->tableInterface()->cellAt(row - 1, col - 1);
    return cell ? cell->text(QAccessible::Name) : QStringLiteral("<no cell>");
}

} // namespace

class TestGrid : public QObject {
    Q_OBJECT

private slots:
    void typingIsLimited_data();
    void typingIsLimited();
    void textLimitCountsCharacters_data();
    void textLimitCountsCharacters();
    void keysMoveTheCursor_data();
    void keysMoveTheCursor();
    void editingKeys();
    void tabLeavesTheGridAtItsEdges();
    void listChosenByKeyboard_data();
    void listChosenByKeyboard();
    void checkAndButtonCells();
    void leaveCellCancelKeepsCursor();
    void leaveCellHandlerMayShowModalBox();
    void handlersMayRefillOrDeleteTheGrid();
    void programValuesShownWhole();
    void inputMethodOnlyForText_data();
    void inputMethodOnlyForText();
    void accessibleTexts();
    void rowsGrowAndActiveCellAddressing();
};

// ---- what can be typed ----

void TestGrid::typingIsLimited_data() {
    QTest::addColumn<int>("col");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("after");
    auto row = [](const char* name, int col, const char* before, const char* keys,
                  const char* after) {
        QTest::newRow(name) << col << QString(before) << QString(keys) << QString(after);
    };
    row("whole: in range", kPage, "", "30", "30");
    row("whole: above range", kPage, "", "31", "3");
    row("whole: zero", kPage, "", "0", "");
    row("whole: minus", kPage, "", "-5", "5");
    row("whole: letters", kPage, "", "a7b", "7");
    row("whole: point", kPage, "", "2.5", "25");
    row("size: in range", kSize, "", "10.5", "10.5");
    row("size: three digits", kSize, "", "123", "12");
    row("size: two decimals", kSize, "", "1.23", "1.2");
    row("size: above range", kSize, "", "25", "2");
    row("size: just above", kSize, "", "20.5", "20");
    row("size: below range", kSize, "", "0.5", "5");
    row("size: letters", kSize, "", "abc", "");
    row("size: leading point", kSize, "", ".5", "5");
    row("edge: four digits", kEdge, "", "1000", "1000");
    row("edge: above range", kEdge, "", "1001", "100");
    row("edge: decimal above", kEdge, "", "1000.5", "1000");
    row("typing replaces", kPage, "17", "4", "4");
    row("nothing accepted keeps", kPage, "17", "x", "17");
}

void TestGrid::typingIsLimited() {
    QFETCH(int, col);
    QFETCH(QString, before);
    QFETCH(QString, keys);
    QFETCH(QString, after);
    auto grid = MakeGrid();
    grid->SetCellText(col, 2, before);
    grid->SetActiveCell(col, 2);
    Type(keys);
    Key(Qt::Key_Return);
    QCOMPARE(grid->CellText(col, 2), after);
    QCOMPARE(grid->CellEdited(col, 2), after != before);
    QCOMPARE(grid->item(1, col - 1)->text(), after);
}

void TestGrid::textLimitCountsCharacters_data() {
    QTest::addColumn<QStringList>("strokes");
    QTest::addColumn<QString>("after");

    const QString pair = QString::fromUcs4(U"\U00020BB7"); // 𠮷, a surrogate pair
    const QString variation = QString::fromUcs4(U"葛\U000E0100");
    const QString combined = QStringLiteral("e\u0301");
    QTest::newRow("plain") << QStringList{"a", "b", "c", "d"} << "abc";
    QTest::newRow("surrogate pair counts one")
        << QStringList{"a", "b", pair, "c"} << QStringLiteral("ab") + pair;
    QTest::newRow("variation sequence counts one")
        << QStringList{variation, variation, "x", "y"} << variation + variation + "x";
    QTest::newRow("combining mark counts one")
        << QStringList{combined, combined, combined, "z"} << combined + combined + combined;
    QTest::newRow("a commit over the limit is refused whole") << QStringList{"a", "bcd"} << "a";
}

void TestGrid::textLimitCountsCharacters() {
    QFETCH(QStringList, strokes);
    QFETCH(QString, after);
    auto grid = MakeGrid();
    grid->SetActiveCell(kText, 1);
    for (const QString& stroke : strokes)
        Compose(stroke);
    Key(Qt::Key_Return);
    QCOMPARE(grid->CellText(kText, 1), after);
}

// ---- the cursor and the keys ----

void TestGrid::keysMoveTheCursor_data() {
    QTest::addColumn<QPoint>("from"); // (col, row)
    QTest::addColumn<bool>("typeFirst");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QPoint>("to");
    auto row = [](const char* name, QPoint from, bool typeFirst, Qt::Key key,
                  Qt::KeyboardModifiers modifiers, QPoint to) {
        QTest::newRow(name) << from << typeFirst << int(key) << int(modifiers) << to;
    };
    const Qt::KeyboardModifiers none = Qt::NoModifier;
    row("enter moves down", {1, 1}, false, Qt::Key_Return, none, {1, 2});
    row("shift enter moves up", {1, 2}, false, Qt::Key_Return, Qt::ShiftModifier, {1, 1});
    row("enter on last row stays", {1, 5}, false, Qt::Key_Enter, none, {1, 5});
    row("tab moves right", {2, 3}, false, Qt::Key_Tab, none, {3, 3});
    row("tab wraps to next row", {8, 3}, false, Qt::Key_Tab, none, {1, 4});
    row("shift tab moves left", {3, 3}, false, Qt::Key_Tab, Qt::ShiftModifier, {2, 3});
    row("shift tab wraps to previous row", {1, 3}, false, Qt::Key_Tab, Qt::ShiftModifier, {8, 2});
    row("arrow down", {4, 2}, false, Qt::Key_Down, none, {4, 3});
    row("arrow up at top stays", {4, 1}, false, Qt::Key_Up, none, {4, 1});
    row("ctrl end", {1, 1}, false, Qt::Key_End, Qt::ControlModifier, {8, 5});
    row("typed: enter commits and moves down", {1, 1}, true, Qt::Key_Return, none, {1, 2});
    row("typed: tab commits and moves right", {8, 2}, true, Qt::Key_Tab, none, {1, 3});
    row("typed: arrow left commits and moves", {8, 2}, true, Qt::Key_Left, none, {7, 2});
    row("typed: arrow up commits and moves", {1, 3}, true, Qt::Key_Up, none, {1, 2});
}

void TestGrid::keysMoveTheCursor() {
    QFETCH(QPoint, from);
    QFETCH(bool, typeFirst);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QPoint, to);
    auto grid = MakeGrid();
    grid->SetActiveCell(from.x(), from.y());
    if (typeFirst) {
        Type(QStringLiteral("q"));
        QVERIFY(grid->Editing());
    }
    Key(Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(Cursor(*grid), to);
    QVERIFY(!grid->Editing());
    QCOMPARE(grid->hasFocus(), true);
    if (typeFirst)
        QCOMPARE(grid->CellText(from.x(), from.y()), QStringLiteral("q"));
}

void TestGrid::editingKeys() {
    auto grid = MakeGrid();
    grid->SetCellText(kFree, 1, QStringLiteral("xy"));
    grid->SetActiveCell(kFree, 1);

    // F2 edits the content with the caret at its end; arrows then move the caret.
    Key(Qt::Key_F2);
    Type(QStringLiteral("z"));
    Key(Qt::Key_Left);
    Type(QStringLiteral("w"));
    QCOMPARE(Cursor(*grid), QPoint(kFree, 1));
    Key(Qt::Key_Return);
    QCOMPARE(grid->CellText(kFree, 1), QStringLiteral("xywz"));
    QCOMPARE(Cursor(*grid), QPoint(kFree, 2));

    // Esc drops the edit; Delete clears, as a user edit.
    Key(Qt::Key_Up);
    Type(QStringLiteral("abc"));
    Key(Qt::Key_Escape);
    QCOMPARE(grid->CellText(kFree, 1), QStringLiteral("xywz"));
    grid->ClearEditedFlags();
    Key(Qt::Key_Delete);
    QCOMPARE(grid->CellText(kFree, 1), QString());
    QVERIFY(grid->CellEdited(kFree, 1));

    // CommitEditor takes what is typed without moving.
    Type(QStringLiteral("new"));
    QCOMPARE(grid->CellText(kFree, 1), QString());
    grid->CommitEditor();
    QVERIFY(!grid->Editing());
    QCOMPARE(grid->CellText(kFree, 1), QStringLiteral("new"));
    QCOMPARE(Cursor(*grid), QPoint(kFree, 1));
}

void TestGrid::tabLeavesTheGridAtItsEdges() {
    QWidget window;
    auto* before = new QLineEdit(&window);
    SpreadGrid* grid = MakeGrid().release();
    grid->setParent(&window);
    auto* after = new QLineEdit(&window);
    QWidget::setTabOrder(before, grid);
    QWidget::setTabOrder(grid, after);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    grid->setFocus();
    grid->SetActiveCell(kFree, 5);
    Key(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), after);
    QCOMPARE(Cursor(*grid), QPoint(kFree, 5));

    // From an open editor too, committing it first.
    grid->setFocus();
    grid->SetActiveCell(kText, 1);
    Type(QStringLiteral("ab"));
    Key(Qt::Key_Tab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), before);
    QCOMPARE(grid->CellText(kText, 1), QStringLiteral("ab"));
    QCOMPARE(Cursor(*grid), QPoint(kText, 1));
}

void TestGrid::listChosenByKeyboard_data() {
    QTest::addColumn<int>("openKey");
    QTest::addColumn<int>("openModifiers");
    QTest::addColumn<int>("downs");
    QTest::addColumn<bool>("choose");
    QTest::addColumn<int>("index");

    // The drop-down opens on the chosen item, or on the first when none is.
    QTest::newRow("F4, first") << int(Qt::Key_F4) << 0 << 0 << true << 0;
    QTest::newRow("alt down, second")
        << int(Qt::Key_Down) << int(Qt::AltModifier) << 1 << true << 1;
    QTest::newRow("space, third") << int(Qt::Key_Space) << 0 << 2 << true << 2;
    QTest::newRow("F2, past the end") << int(Qt::Key_F2) << 0 << 5 << true << 2;
    QTest::newRow("dismissed, none") << int(Qt::Key_F4) << 0 << 2 << false << -1;
}

void TestGrid::listChosenByKeyboard() {
    QFETCH(int, openKey);
    QFETCH(int, openModifiers);
    QFETCH(int, downs);
    QFETCH(bool, choose);
    QFETCH(int, index);
    auto grid = MakeGrid();
    grid->SetActiveCell(kAlign, 3);
    QCOMPARE(grid->TypeComboBoxCurSel(), -1);

    Key(Qt::Key(openKey), Qt::KeyboardModifiers(openModifiers));
    QVERIFY(QApplication::activePopupWidget());
    for (int i = 0; i < downs; ++i)
        Key(Qt::Key_Down);
    Key(choose ? Qt::Key_Return : Qt::Key_Escape);
    QTRY_VERIFY(!grid->Editing());
    QCOMPARE(grid->TypeComboBoxCurSel(), index);
    QCOMPARE(grid->ListIndex(kAlign, 3), index);
    QCOMPARE(grid->Text(), index < 0 ? QString() : kAlignItems.at(index));
    QCOMPARE(grid->CellEdited(kAlign, 3), index >= 0);
    QCOMPARE(Cursor(*grid), QPoint(kAlign, 3));

    // Delete empties the choice.
    Key(Qt::Key_Delete);
    QCOMPARE(grid->TypeComboBoxCurSel(), -1);
    QCOMPARE(grid->Text(), QString());
}

void TestGrid::checkAndButtonCells() {
    auto grid = MakeGrid();
    QSignalSpy clicked(grid.get(), &SpreadGrid::ButtonClicked);
    QCOMPARE(grid->CellText(kPrint, 2), QStringLiteral("0"));

    grid->SetActiveCell(kPrint, 2);
    Key(Qt::Key_Space);
    QCOMPARE(grid->CellText(kPrint, 2), QStringLiteral("1"));
    QVERIFY(grid->CellEdited(kPrint, 2));
    Click(grid.get(), kPrint, 2);
    QCOMPARE(grid->CellText(kPrint, 2), QStringLiteral("0"));
    // A click on another row's box moves there and toggles it.
    Click(grid.get(), kPrint, 4);
    QCOMPARE(grid->CellText(kPrint, 4), QStringLiteral("1"));
    QCOMPARE(Cursor(*grid), QPoint(kPrint, 4));
    grid->SetCellText(kPrint, 5, QStringLiteral("1"));
    QCOMPARE(grid->CellText(kPrint, 5), QStringLiteral("1"));
    QVERIFY(!grid->CellEdited(kPrint, 5));

    grid->SetActiveCell(kDetail, 3);
    Key(Qt::Key_Space);
    Click(grid.get(), kDetail, 5);
    QCOMPARE(Cursor(*grid), QPoint(kDetail, 5));
    QCOMPARE(grid->CellText(kDetail, 5), QStringLiteral("詳細設定"));

    const QList<QList<QVariant>> expected = {
        {int(kPrint), 2}, {int(kPrint), 2}, {int(kPrint), 4}, {int(kDetail), 3}, {int(kDetail), 5}};
    QCOMPARE(static_cast<QList<QList<QVariant>>>(clicked), expected);
    // Typing on them does nothing.
    Type(QStringLiteral("1"));
    QVERIFY(!grid->Editing());
    QCOMPARE(clicked.size(), 5);
}

// ---- LeaveCell ----

void TestGrid::leaveCellCancelKeepsCursor() {
    auto grid = MakeGrid();
    QList<QList<int>> asked;
    bool refuse = true;
    connect(grid.get(), &SpreadGrid::LeaveCell, this,
            [&](int col, int row, int newCol, int newRow, bool* cancel) {
                asked.append({col, row, newCol, newRow});
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
    Key(Qt::Key_Tab);
    QCOMPARE(Cursor(*grid), QPoint(kPage, 2));

    // By mouse, answered after the click; a refused click does nothing else.
    asked.clear();
    Click(grid.get(), kDetail, 4);
    QCOMPARE(Cursor(*grid), QPoint(kPage, 2));
    QTRY_COMPARE(asked.size(), 1);
    QCOMPARE(asked.first(), (QList<int>{kPage, 2, kDetail, 4}));
    QCoreApplication::processEvents();
    QCOMPARE(Cursor(*grid), QPoint(kPage, 2));
    QCOMPARE(clicked.size(), 0);

    // Allowed, the move happens and the click counts.
    refuse = false;
    Click(grid.get(), kDetail, 4);
    QTRY_COMPARE(Cursor(*grid), QPoint(kDetail, 4));
    QCOMPARE(clicked.size(), 1);
    Key(Qt::Key_Down);
    QCOMPARE(Cursor(*grid), QPoint(kDetail, 5));
    QCOMPARE(asked.last(), (QList<int>{kDetail, 4, kDetail, 5}));
}

void TestGrid::leaveCellHandlerMayShowModalBox() {
    auto grid = MakeGrid();
    int boxes = 0;
    int seen = 0;
    connect(grid.get(), &SpreadGrid::LeaveCell, this, [&](int, int, int, int, bool* cancel) {
        QDialog box(grid.get());
        box.setModal(true);
        QTimer::singleShot(0, &box, [&] {
            seen += box.isVisible() ? 1 : 0;
            box.accept();
        });
        box.exec();
        ++boxes;
        *cancel = true;
    });
    grid->SetActiveCell(kText, 1);
    Type(QStringLiteral("ab"));
    Key(Qt::Key_Tab);
    QCOMPARE(boxes, 1);
    QCOMPARE(Cursor(*grid), QPoint(kText, 1));
    QCOMPARE(grid->CellText(kText, 1), QStringLiteral("ab"));

    Click(grid.get(), kPrint, 3);
    QTRY_COMPARE(boxes, 2);
    QCOMPARE(seen, 2);
    QCOMPARE(Cursor(*grid), QPoint(kText, 1));
    QCOMPARE(grid->CellText(kPrint, 3), QStringLiteral("0"));
    // The grid still takes keys afterwards.
    grid->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(grid.get()));
    grid->setFocus();
    Type(QStringLiteral("c"));
    grid->CommitEditor();
    QCOMPARE(grid->CellText(kText, 1), QStringLiteral("c"));
}

void TestGrid::handlersMayRefillOrDeleteTheGrid() {
    {
        // A handler shrinking the grid under the move's target.
        auto grid = MakeGrid();
        connect(grid.get(), &SpreadGrid::LeaveCell, this,
                [&](int, int, int, int, bool*) { grid->SetMaxRows(2); });
        grid->SetActiveCell(kFree, 2);
        Key(Qt::Key_Down);
        QCOMPARE(grid->MaxRows(), 2);
        QCOMPARE(Cursor(*grid), QPoint(kFree, 2));
    }
    {
        QPointer<SpreadGrid> grid(MakeGrid().release());
        connect(grid.data(), &SpreadGrid::LeaveCell, this,
                [&](int, int, int, int, bool*) { delete grid.data(); });
        grid->SetActiveCell(kFree, 1);
        Type(QStringLiteral("x"));
        Key(Qt::Key_Return);
        QVERIFY(grid.isNull());
    }
    {
        QPointer<SpreadGrid> grid(MakeGrid().release());
        connect(grid.data(), &SpreadGrid::ButtonClicked, this,
                [&](int, int) { delete grid.data(); });
        Click(grid.data(), kDetail, 2);
        QVERIFY(grid.isNull());
    }
    {
        QPointer<SpreadGrid> grid(MakeGrid().release());
        connect(grid.data(), &SpreadGrid::LeaveCell, this,
                [&](int, int, int, int, bool*) { grid->deleteLater(); });
        Click(grid.data(), kDetail, 2);
        QTRY_VERIFY(grid.isNull());
    }
}

// ---- values written by the program ----

void TestGrid::programValuesShownWhole() {
    auto grid = MakeGrid();
    const QString stored = QStringLiteral("3.03030303030303");
    grid->SetCellText(kSize, 1, stored);
    grid->SetCellText(kPage, 1, QStringLiteral("36"));
    grid->SetCellText(kText, 1, QStringLiteral("abcdef"));
    grid->SetListIndex(kAlign, 1, 5);
    grid->SetCellText(kFree, 1, QStringLiteral("kept"));
    QCOMPARE(grid->CellText(kSize, 1), stored);
    QCOMPARE(grid->item(0, kSize - 1)->text(), stored);
    QCOMPARE(grid->CellText(kPage, 1), QStringLiteral("36"));
    QCOMPARE(grid->CellText(kText, 1), QStringLiteral("abcdef"));
    QCOMPARE(grid->ListIndex(kAlign, 1), 5);
    QCOMPARE(grid->CellText(kAlign, 1), QString());
    for (int col = 1; col <= kColumns; ++col)
        QVERIFY2(!grid->CellEdited(col, 1), qPrintable(QString::number(col)));

    // Edited as it is: shortening is allowed, a commit that is still outside
    // the limits keeps the stored value.
    grid->SetActiveCell(kSize, 1);
    Key(Qt::Key_F2);
    Key(Qt::Key_Backspace);
    Type(QStringLiteral("x"));
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    QCOMPARE(editor->text(), stored.chopped(1));
    Key(Qt::Key_Return);
    QCOMPARE(grid->CellText(kSize, 1), stored);
    QVERIFY(!grid->CellEdited(kSize, 1));
    grid->SetActiveCell(kSize, 1);
    Key(Qt::Key_F2);
    for (int i = 0; i < 14; ++i)
        Key(Qt::Key_Backspace);
    Type(QStringLiteral("5"));
    Key(Qt::Key_Return);
    QCOMPARE(grid->CellText(kSize, 1), QStringLiteral("3.5"));
    QVERIFY(grid->CellEdited(kSize, 1));

    grid->SetActiveCell(kText, 1);
    Key(Qt::Key_F2);
    Key(Qt::Key_Backspace);
    Type(QStringLiteral("gh"));
    Key(Qt::Key_Return);
    // Back to its stored length at most.
    QCOMPARE(grid->CellText(kText, 1), QStringLiteral("abcdeg"));

    // A list edited without choosing keeps its stored index.
    grid->SetActiveCell(kAlign, 1);
    Key(Qt::Key_F4);
    Key(Qt::Key_Escape);
    QTRY_VERIFY(!grid->Editing());
    QCOMPARE(grid->ListIndex(kAlign, 1), 5);
    QVERIFY(!grid->CellEdited(kAlign, 1));

    QVERIFY(!grid->CellEdited(kPage, 1));
    grid->ClearEditedFlags();
    QVERIFY(!grid->CellEdited(kSize, 1));
    // A program write over a user edit makes the cell the program's again.
    grid->SetActiveCell(kPage, 2);
    Type(QStringLiteral("9"));
    Key(Qt::Key_Return);
    QVERIFY(grid->CellEdited(kPage, 2));
    grid->SetCellText(kPage, 2, QStringLiteral("9"));
    QVERIFY(!grid->CellEdited(kPage, 2));

    grid->ClearRange(kText, 1, kAlign, 2);
    QCOMPARE(grid->CellText(kSize, 1), QString());
    QCOMPARE(grid->ListIndex(kAlign, 1), -1);
    QCOMPARE(grid->CellText(kFree, 1), QStringLiteral("kept"));
}

void TestGrid::inputMethodOnlyForText_data() {
    QTest::addColumn<int>("col");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("text") << int(kText) << true;
    QTest::newRow("decimal") << int(kSize) << false;
    QTest::newRow("whole number") << int(kPage) << false;
    QTest::newRow("list") << int(kAlign) << false;
}

void TestGrid::inputMethodOnlyForText() {
    QFETCH(int, col);
    QFETCH(bool, enabled);
    auto grid = MakeGrid();
    grid->SetActiveCell(col, 2);
    QCOMPARE(grid->testAttribute(Qt::WA_InputMethodEnabled), enabled);
    if (col == kAlign)
        Key(Qt::Key_F4);
    else
        Type(QStringLiteral("1"));
    QVERIFY(grid->Editing());
    QWidget* editor = grid->viewport()->findChild<QWidget*>();
    QVERIFY(editor);
    QCOMPARE(editor->testAttribute(Qt::WA_InputMethodEnabled), enabled);
    grid->CommitEditor();
}

void TestGrid::accessibleTexts() {
    auto grid = MakeGrid();
    grid->SetCellText(kText, 1, QStringLiteral("御中"));
    grid->SetListIndex(kAlign, 1, 1);
    grid->SetCellText(kPrint, 1, QStringLiteral("1"));

    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid.get());
    QCOMPARE(table->role(), QAccessible::Table);
    QCOMPARE(AccessibleName(grid.get(), kText, 1), QStringLiteral("御中"));
    QCOMPARE(AccessibleName(grid.get(), kAlign, 1), QStringLiteral("中央揃え"));
    QCOMPARE(AccessibleName(grid.get(), kAlign, 2), QString());
    QCOMPARE(AccessibleName(grid.get(), kDetail, 1), QStringLiteral("詳細設定"));
    QCOMPARE(AccessibleName(grid.get(), kPrint, 1), QStringLiteral("チェックあり"));
    QCOMPARE(AccessibleName(grid.get(), kPrint, 2), QStringLiteral("チェックなし"));
    QAccessibleInterface* box = table->tableInterface()->cellAt(0, kPrint - 1);
    QVERIFY(box->state().checkable);
    QVERIFY(box->state().checked);
    QVERIFY(!table->tableInterface()->cellAt(1, kPrint - 1)->state().checked);
    // The user's choice is read as well.
    grid->SetActiveCell(kPrint, 1);
    Key(Qt::Key_Space);
    QCOMPARE(AccessibleName(grid.get(), kPrint, 1), QStringLiteral("チェックなし"));
}

void TestGrid::rowsGrowAndActiveCellAddressing() {
    auto grid = MakeGrid(40);
    grid->SetColumnHeader(kText, QStringLiteral("文字"));
    // As a fill loop uses it: row 0 first, then one row down per record.
    grid->SetRow(0);
    QCOMPARE(grid->Row(), 0);
    grid->SetCol(kText);
    QCOMPARE(grid->Text(), QStringLiteral("文字"));
    for (int i = 0; i < 42; ++i) {
        grid->SetRow(grid->Row() + 1);
        if (grid->Row() > grid->MaxRows())
            grid->SetMaxRows(grid->Row());
        grid->SetCol(kText);
        grid->SetText(QString::number(i));
        grid->SetCol(kAlign);
        grid->SetTypeComboBoxCurSel(i % 3);
    }
    QCOMPARE(grid->MaxRows(), 42);
    QCOMPARE(Cursor(*grid), QPoint(kAlign, 42));
    QCOMPARE(grid->currentRow(), 41);
    QCOMPARE(grid->CellText(kText, 42), QStringLiteral("41"));
    QCOMPARE(grid->ListIndex(kAlign, 41), 40 % 3);
    QCOMPARE(grid->CellText(0, 42), QStringLiteral("42"));
    // The grown rows are of their columns' kinds.
    grid->SetActiveCell(kPage, 42);
    Type(QStringLiteral("99"));
    Key(Qt::Key_Return);
    QCOMPARE(grid->CellText(kPage, 42), QStringLiteral("9"));

    grid->SetMaxRows(30);
    QCOMPARE(grid->CellText(kText, 41), QString());
    grid->SetCellText(kText, 41, QStringLiteral("lost"));
    grid->SetMaxRows(41);
    QCOMPARE(grid->CellText(kText, 41), QString());
    QCOMPARE(grid->ListIndex(kAlign, 41), -1);
    QCOMPARE(grid->CellText(kText, 30), QStringLiteral("29"));
}

QTEST_MAIN(TestGrid)
#include "tst_grid.moc"
