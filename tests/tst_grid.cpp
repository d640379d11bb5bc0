#include "platform/SpreadGrid.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

// One column of every kind: text of at most 3 characters, decimals 1.0-20.0 (2.1 digits),
// whole numbers 1-30, a list, a check box, a button, free text.
enum Column { kText = 1, kSize, kPage, kAlign, kPrint, kDetail, kFree, kColumns = kFree };

namespace {

const QStringList kAlignItems = {QStringLiteral("左詰め"), QStringLiteral("中央揃え"),
                                 QStringLiteral("右詰め")};

std::unique_ptr<SpreadGrid> MakeGrid() {
    auto grid = std::make_unique<SpreadGrid>();
    grid->SetMaxCols(kColumns);
    grid->SetMaxRows(5);
    grid->SetColumnType(kText, SpreadGrid::TextCell(3));
    grid->SetColumnType(kSize, SpreadGrid::DecimalCell(2, 1, 1.0, 20.0));
    grid->SetColumnType(kPage, SpreadGrid::IntegerCell(1, 30));
    grid->SetColumnType(kAlign, SpreadGrid::ListCell(kAlignItems));
    grid->SetColumnType(kPrint, SpreadGrid::CheckCell());
    grid->SetColumnType(kDetail, SpreadGrid::ButtonCell(QStringLiteral("詳細設定")));
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

QPoint Cursor(const SpreadGrid& grid) {
    return QPoint(grid.Col(), grid.Row());
}

} // namespace

class TestGrid : public QObject {
    Q_OBJECT

private slots:
    void typingIsLimited_data();
    void typingIsLimited();
    void typingStartsEditingAndEnterMoves();
    void firstKeyOutsideTheBasicPlaneStartsEditing_data();
    void firstKeyOutsideTheBasicPlaneStartsEditing();
    void listChosenByKeyboard_data();
    void listChosenByKeyboard();
    void checkAndButtonCells();
    void leaveCellCancelKeepsCursor();
    void leaveCellOnAClick_data();
    void leaveCellOnAClick();
    void programValuesShownWhole();
};

void TestGrid::typingIsLimited_data() {
    QTest::addColumn<int>("col");
    QTest::addColumn<QStringList>("strokes"); // keys, or input method commits in text cells
    QTest::addColumn<QString>("after");
    QTest::newRow("too many digits") << int(kSize) << QStringList{"123"} << "12";
    QTest::newRow("out of range") << int(kPage) << QStringList{"31"} << "3";
    QTest::newRow("letters") << int(kPage) << QStringList{"-a7b"} << "7";
    QTest::newRow("second decimal digit") << int(kSize) << QStringList{"1.23"} << "1.2";
    // Text length counts grapheme clusters.
    const QString pair = QString::fromUcs4(U"\U00020BB7");
    const QString mark = QStringLiteral("e\u0301");
    QTest::newRow("surrogate pair")
        << int(kText) << QStringList{"a", "b", pair, "c"} << "ab" + pair;
    QTest::newRow("combining mark")
        << int(kText) << QStringList{mark, mark, mark, "z"} << mark.repeated(3);
}

void TestGrid::typingIsLimited() {
    QFETCH(int, col);
    QFETCH(QStringList, strokes);
    QFETCH(QString, after);
    auto grid = MakeGrid();
    grid->SetActiveCell(col, 2);
    for (const QString& stroke : strokes) {
        if (col == kText)
            Compose(stroke);
        else
            Type(stroke);
    }
    Key(Qt::Key_Return);
    QCOMPARE(grid->CellText(col, 2), after);
}

void TestGrid::typingStartsEditingAndEnterMoves() {
    auto grid = MakeGrid();
    grid->SetActiveCell(kFree, 2);
    Type(QStringLiteral("q"));
    QVERIFY(grid->Editing());
    Key(Qt::Key_Return);
    QCOMPARE(Cursor(*grid), QPoint(kFree, 3));
    QCOMPARE(grid->CellText(kFree, 2), QStringLiteral("q"));
    QVERIFY(!grid->Editing());
}

void TestGrid::firstKeyOutsideTheBasicPlaneStartsEditing_data() {
    QTest::addColumn<QString>("first"); // one key event's text
    QTest::addColumn<bool>("composed"); // the rest through the input method
    QTest::newRow("𠮷 by a key") << QString::fromUcs4(U"\U00020BB7") << false;
    QTest::newRow("𩸽 by a key, then composed") << QString::fromUcs4(U"\U00029E3D") << true;
}

void TestGrid::firstKeyOutsideTheBasicPlaneStartsEditing() {
    QFETCH(QString, first);
    QFETCH(bool, composed);
    auto grid = MakeGrid();
    grid->SetActiveCell(kFree, 2);
    // One key event carrying the whole surrogate pair, as a keyboard layout or
    // an input method without preedit sends it.
    QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, first);
    QApplication::sendEvent(QApplication::focusWidget(), &key);
    QVERIFY(grid->Editing());
    if (composed)
        Compose(QStringLiteral("定食"));
    Key(Qt::Key_Return);
    QCOMPARE(grid->CellText(kFree, 2), composed ? first + "定食" : first);
}

void TestGrid::listChosenByKeyboard_data() {
    QTest::addColumn<int>("downs");
    QTest::addColumn<int>("index");
    QTest::newRow("first") << 0 << 0;
    QTest::newRow("dismissed, none") << 2 << -1;
}

void TestGrid::listChosenByKeyboard() {
    QFETCH(int, downs);
    QFETCH(int, index);
    auto grid = MakeGrid();
    grid->SetActiveCell(kAlign, 3);
    Key(Qt::Key_F4);
    QVERIFY(QApplication::activePopupWidget());
    for (int i = 0; i < downs; ++i)
        Key(Qt::Key_Down);
    Key(index >= 0 ? Qt::Key_Return : Qt::Key_Escape);
    QTRY_VERIFY(!grid->Editing());
    QCOMPARE(grid->TypeComboBoxCurSel(), index);
}

void TestGrid::checkAndButtonCells() {
    auto grid = MakeGrid();
    QSignalSpy clicked(grid.get(), &SpreadGrid::ButtonClicked);
    grid->SetActiveCell(kPrint, 2);
    Key(Qt::Key_Space);
    QCOMPARE(grid->CellText(kPrint, 2), QStringLiteral("1"));
    Key(Qt::Key_Space);
    QCOMPARE(grid->CellText(kPrint, 2), QStringLiteral("0"));
    clicked.clear();
    grid->SetActiveCell(kDetail, 3);
    Key(Qt::Key_Space);
    QCOMPARE(static_cast<QList<QList<QVariant>>>(clicked),
             (QList<QList<QVariant>>{{int(kDetail), 3}}));
}

void TestGrid::leaveCellCancelKeepsCursor() {
    auto grid = MakeGrid();
    QList<QList<int>> asked;
    connect(grid.get(), &SpreadGrid::LeaveCell, this,
            [&](int col, int row, int newCol, int newRow, bool* cancel) {
                asked.append({col, row, newCol, newRow});
                *cancel = true;
            });
    grid->SetActiveCell(kPage, 2);
    Type(QStringLiteral("7"));
    Key(Qt::Key_Return);
    QCOMPARE(asked, (QList<QList<int>>{{kPage, 2, kPage, 3}}));
    QCOMPARE(Cursor(*grid), QPoint(kPage, 2));
}

void TestGrid::leaveCellOnAClick_data() {
    QTest::addColumn<bool>("cancel");
    QTest::newRow("refused") << true;
    QTest::newRow("allowed") << false;
}

void TestGrid::leaveCellOnAClick() {
    QFETCH(bool, cancel);
    auto grid = MakeGrid();
    QList<QList<int>> asked;
    connect(grid.get(), &SpreadGrid::LeaveCell, this,
            [&](int col, int row, int newCol, int newRow, bool* refuse) {
                asked.append({col, row, newCol, newRow});
                *refuse = cancel;
            });
    grid->SetActiveCell(kPage, 2);
    // A click on the check box of another row asks first; a refusal keeps the
    // cursor and drops the click, so the box stays unchecked.
    const QRect target = grid->visualRect(grid->model()->index(4 - 1, kPrint - 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, target.center());
    QTRY_COMPARE(asked, (QList<QList<int>>{{kPage, 2, kPrint, 4}}));
    QCOMPARE(Cursor(*grid), cancel ? QPoint(kPage, 2) : QPoint(kPrint, 4));
    QCOMPARE(grid->CellText(kPrint, 4), cancel ? QStringLiteral("0") : QStringLiteral("1"));
}

void TestGrid::programValuesShownWhole() {
    auto grid = MakeGrid();
    const QString stored = QStringLiteral("3.03030303030303");
    grid->SetCellText(kSize, 1, stored);
    grid->SetCellText(kPage, 1, QStringLiteral("36"));
    QCOMPARE(grid->item(0, kSize - 1)->text(), stored);
    QCOMPARE(grid->CellText(kPage, 1), QStringLiteral("36"));
    QVERIFY(!grid->CellEdited(kSize, 1));
    QVERIFY(!grid->CellEdited(kPage, 1));
}

QTEST_MAIN(TestGrid)
#include "tst_grid.moc"
