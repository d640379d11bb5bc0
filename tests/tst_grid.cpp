#include "TestSupport.h"
#include "platform/SpreadGrid.h"
#include "platform/SpreadGridDelegates.h"

#include <QtTest>
#include <QtWidgets>

// One column of every kind: text of at most 3 characters, decimals 1.0-20.0 (2.1 digits),
// whole numbers 1-30, a list, a check box, a button, free text.
enum Column { kText = 1, kSize, kPage, kAlign, kPrint, kDetail, kFree, kColumns = kFree };

std::unique_ptr<SpreadGrid> MakeGrid() {
    auto grid = std::make_unique<SpreadGrid>();
    grid->SetMaxCols(kColumns);
    grid->SetMaxRows(5);
    grid->SetColumnType(kText, SpreadGrid::TextCell(3));
    grid->SetColumnType(kSize, SpreadGrid::DecimalCell(2, 1, 1.0, 20.0));
    grid->SetColumnType(kPage, SpreadGrid::IntegerCell(1, 30));
    grid->SetColumnType(kAlign, SpreadGrid::ListCell({"左詰め", "中央揃え", "右詰め"}));
    grid->SetColumnType(kPrint, SpreadGrid::CheckCell());
    grid->SetColumnType(kDetail, SpreadGrid::ButtonCell("詳細設定"));
    grid->resize(1000, 400);
    grid->show();
    grid->activateWindow();
    (void)QTest::qWaitForWindowActive(grid.get());
    grid->setFocus();
    return grid;
}

// Text committed by the input method.
void Compose(const QString& text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(QApplication::focusWidget(), &event);
}

struct Click {
    int col;
    QString release, answer;
    bool box, moved, clicked;
};

class TestGrid : public QObject {
    Q_OBJECT
private slots:
    void typingAndKeys() {
        auto grid = MakeGrid();
        const QString pair = QString::fromUcs4(U"\U00020BB7"), mark = "e\u0301";
        // Keys, or input method commits in text cells, where length counts grapheme clusters.
        const std::tuple<int, QStringList, QString> cases[] = {
            {kSize, {"123"}, "12"},
            {kPage, {"31"}, "3"},
            {kPage, {"-a7b"}, "7"},
            {kSize, {"1.23"}, "1.2"},
            {kText, {"a", "b", pair, "c"}, "ab" + pair},
            {kText, {mark, mark, mark, "z"}, mark.repeated(3)}};
        for (const auto& [col, strokes, after] : cases) {
            grid->SetCellText(col, 2, "");
            grid->SetActiveCell(col, 2);
            for (const QString& stroke : strokes)
                col == kText ? Compose(stroke) : TypeText(stroke);
            PressKey(Qt::Key_Return);
            QCOMPARE(grid->CellText(col, 2), after);
        }
        // Editing begun by typing "5" (else F2 then "5"), a key commits and moves.
        const std::tuple<bool, Qt::Key, QPoint, bool> moves[] = {
            {true, Qt::Key_Return, QPoint(kSize, 3), false},
            {true, Qt::Key_Tab, QPoint(kPage, 2), false},
            {true, Qt::Key_Up, QPoint(kSize, 1), false},
            {true, Qt::Key_Left, QPoint(kText, 2), false},
            {true, Qt::Key_Right, QPoint(kPage, 2), false},
            {false, Qt::Key_Right, QPoint(kSize, 2), true}}; // the caret moves
        for (const auto& [typed, key, cursor, editing] : moves) {
            grid->SetCellText(kSize, 2, "");
            grid->SetActiveCell(kSize, 2);
            if (!typed)
                PressKey(Qt::Key_F2);
            TypeText("5");
            PressKey(key);
            QCOMPARE(QPoint(grid->Col(), grid->Row()), cursor);
            QCOMPARE(grid->Editing(), editing);
            grid->CommitEditor();
            QCOMPARE(grid->CellText(kSize, 2), QStringLiteral("5"));
            QVERIFY(grid->CellEdited(kSize, 2));
        }
        // Values the program sets show whole, beyond typing's limits, not edited.
        grid->SetCellText(kSize, 1, "3.03030303030303");
        grid->SetCellText(kPage, 1, "36");
        QCOMPARE(grid->item(0, kSize - 1)->text(), "3.03030303030303");
        QCOMPARE(grid->CellText(kPage, 1), "36");
        QVERIFY(!grid->CellEdited(kSize, 1) && !grid->CellEdited(kPage, 1));
        // A first key outside the basic plane, one event with the whole surrogate pair.
        grid->SetActiveCell(kFree, 2);
        const QString first = QString::fromUcs4(U"\U00029E3D");
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, first);
        QApplication::sendEvent(QApplication::focusWidget(), &key);
        QVERIFY(grid->Editing());
        Compose("定食");
        PressKey(Qt::Key_Return);
        QCOMPARE(grid->CellText(kFree, 2), first + "定食");
        // A list: Return takes the first entry; Escape leaves none chosen.
        for (int row : {3, 4}) {
            grid->SetActiveCell(kAlign, row);
            PressKey(Qt::Key_F4);
            QVERIFY(QApplication::activePopupWidget());
            if (row == 4)
                PressKey(Qt::Key_Down), PressKey(Qt::Key_Down);
            PressKey(row == 3 ? Qt::Key_Return : Qt::Key_Escape);
            QTRY_VERIFY(!grid->Editing());
            QCOMPARE(grid->ListIndex(kAlign, row), row == 3 ? 0 : -1);
        }
        // Space ticks and unticks a check box and clicks a button.
        grid->SetActiveCell(kPrint, 2);
        PressKey(Qt::Key_Space);
        QCOMPARE(grid->CellText(kPrint, 2), "1");
        PressKey(Qt::Key_Space);
        QCOMPARE(grid->CellText(kPrint, 2), "0");
        QSignalSpy clicked(grid.get(), &SpreadGrid::ButtonClicked);
        grid->SetActiveCell(kDetail, 3);
        PressKey(Qt::Key_Space);
        QCOMPARE(clicked.takeLast(), QVariantList({int(kDetail), 3}));
        // A button let go elsewhere clicks nothing.
        const QRect button = grid->visualRect(grid->model()->index(3 - 1, kDetail - 1));
        QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, button.center());
        QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, button.center() + QPoint(0, 100));
        QCOMPARE(clicked.count(), 0);
    }

    // A click on row 4 (a check box, a list's arrow, a text) released before the answer, after it,
    // elsewhere, in the box, or released and followed by a key or a second click elsewhere. The
    // handler refuses, allows, or cuts the grid to 3 rows and allows, maybe after a modal box;
    // `clicked`: the box checked, or the drop-down open.
    void leaveCellOnAClick_data() {
        QTest::addColumn<Click>("c");
        const std::pair<const char*, Click> rows[] = {
            {"check, refused", {kPrint, "before", "refuse", false, false, false}},
            {"check, allowed", {kPrint, "before", "allow", false, true, true}},
            {"check, held through the answer", {kPrint, "after", "allow", false, true, true}},
            {"check, released elsewhere", {kPrint, "elsewhere", "allow", false, true, false}},
            {"check, refused in a box, released in it",
             {kPrint, "in the box", "refuse", true, false, false}},
            {"check, allowed after a box", {kPrint, "before", "allow", true, true, true}},
            {"check, the handler cuts the grid", {kPrint, "before", "cut", false, false, false}},
            {"list arrow, refused", {kAlign, "before", "refuse", false, false, false}},
            {"list arrow, held through the answer", {kAlign, "after", "allow", false, true, true}},
            // A key is answered after the click's move, in the cell the answer
            // leaves the cursor on; a second click waits for nothing and is dropped.
            {"text, key, refused", {kFree, "key", "refuse", false, false, false}},
            {"text, key, allowed", {kFree, "key", "allow", false, true, false}},
            {"text, second click, refused", {kFree, "click", "refuse", false, false, false}},
            {"text, second click, allowed", {kFree, "click", "allow", false, true, false}}};
        for (const auto& [name, c] : rows)
            QTest::newRow(name) << c;
    }

    void leaveCellOnAClick() {
        QFETCH(Click, c);
        const auto [col, release, answer, box, moved, clicked] = c;
        auto grid = MakeGrid();
        QSignalSpy clicks(grid.get(), &SpreadGrid::ButtonClicked);
        const QRect cell = grid->visualRect(grid->model()->index(4 - 1, col - 1));
        const QPoint at = col == kAlign ? GridListArrowRect(cell).center() : cell.center();
        QList<QList<int>> asked;
        bool boxWasUp = false;
        connect(grid.get(), &SpreadGrid::LeaveCell, this,
                [&](int fromCol, int fromRow, int toCol, int toRow, bool* cancel) {
                    asked.append({fromCol, fromRow, toCol, toRow});
                    if (box) {
                        QMessageBox message(QMessageBox::NoIcon, "VESK", "?", QMessageBox::Ok);
                        QTimer::singleShot(0, &message, [&] {
                            boxWasUp = QApplication::activeModalWidget() == &message;
                            if (release == "in the box")
                                QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, at);
                            message.accept();
                        });
                        message.exec();
                    }
                    if (answer == "cut")
                        grid->SetMaxRows(3);
                    *cancel = answer == "refuse";
                });
        const QPoint other = grid->visualRect(grid->model()->index(5 - 1, kFree - 1)).center();
        grid->SetActiveCell(kFree, 2);
        QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, at);
        if (release == "before" || release == "key" || release == "click")
            QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, at);
        // Asked once the mouse event is over, so the handler may show a modal box.
        QVERIFY(asked.isEmpty());
        if (release == "key")
            TypeText("x");
        else if (release == "click")
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, other);
        QCoreApplication::processEvents();
        QCOMPARE(asked, (QList<QList<int>>{{kFree, 2, col, 4}}));
        QCOMPARE(boxWasUp, box);
        if (release == "after" || release == "elsewhere")
            QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {},
                                release == "after" ? at : other);
        QCOMPARE(QPoint(grid->Col(), grid->Row()), moved ? QPoint(col, 4) : QPoint(kFree, 2));
        if (col == kFree) {
            grid->CommitEditor();
            QCOMPARE(grid->CellText(kFree, moved ? 4 : 2), release == "key" ? "x" : "");
        } else if (col == kAlign) {
            QCOMPARE(QApplication::activePopupWidget() != nullptr, clicked);
            QCOMPARE(grid->Editing(), clicked);
        } else {
            QCOMPARE(grid->CellText(kPrint, 4),
                     clicked ? QString("1") : QString(answer == "cut" ? "" : "0"));
            QCOMPARE(clicks.count(), clicked ? 1 : 0);
        }
    }
};

QTEST_MAIN(TestGrid)
#include "tst_grid.moc"
