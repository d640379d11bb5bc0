// Our spreadsheet grid: a block of data rows and columns under a header row,
// each column of one kind: text, decimal, whole number, drop-down list, check
// box or button. It stands on QTableWidget, so assistive technologies read it
// as a table.
//
// Addressing is 1-based as the screens' algorithms use it: column 1 is the
// first data column, row 1 the first data row; row 0 is the header row and
// column 0 the row-number column. A read outside the grid gives the empty text
// (index -1); a write outside it does nothing.
//
// Values: what the program writes is kept and shown as it is, even when it
// lies outside the cell's limits (a stored 3.03030303030303 or 36 shows whole).
// The limits apply only to what the user types: the editor refuses a
// keystroke that can no longer lead to an accepted value. Each cell remembers
// whether its content came from the user (CellEdited), so a screen can write
// untouched stored values back unchanged. An empty cell is always allowed and
// means "no value".
//
// The cell editors (SpreadGridDelegate) see a cell only through the model:
// its type, value and chosen index in the roles of GridCellType.h; what the
// user typed or chose goes back through GridCommitRole, and the grid decides
// what the cell keeps.
//
// Keyboard: typing a character on a text or number cell starts editing with
// that character; F2 (or a double click) edits the current content; Enter
// commits and moves down, Tab / Shift+Tab move right / left (wrapping to the
// next / previous row, and out of the grid past its last / first cell),
// arrows, Page Up/Down, Home/End move (while editing, Up and Down commit and
// move; Left and Right too when editing began by typing); Esc drops the edit;
// Delete or Backspace clears the cell. A list cell opens its drop-down with
// Alt+Down, F4, F2, Space, a double click or a click on its arrow, and takes
// the item chosen there with Enter or a click (Esc leaves it as it was); a
// check cell toggles with Space or a click; a button cell clicks with Space or
// a click. Number editors have the input method disabled, text editors keep it.
//
// Signals and handlers: a handler connected to these signals runs with Qt
// code on the stack, so it must catch every failure itself (in the program,
// inside the error trap); no exception may leave it. A handler may refill the
// grid (write cells, change MaxRows) or delete it (prefer deleteLater()).
// Connect LeaveCell directly (not queued): its answer is read on return.
#pragma once

#include <QStringList>
#include <QTableWidget>

#include "platform/GridCellType.h"

class SpreadGridDelegate;

class SpreadGrid : public QTableWidget {
    Q_OBJECT
public:
    using CellKind = GridCellKind;
    using CellType = GridCellType;
    static CellType TextCell(int maxLength = 0);
    // Limits are taken at the cell's precision (rounded to `fracDigits`).
    static CellType DecimalCell(int intDigits, int fracDigits, double minimum, double maximum);
    static CellType IntegerCell(qint64 minimum, qint64 maximum);
    static CellType ListCell(const QStringList& items);
    static CellType CheckCell();
    static CellType ButtonCell(const QString& caption);

    explicit SpreadGrid(QWidget* parent = nullptr);
    ~SpreadGrid() override;

    // Size; set the columns before their headers, kinds and widths. Rows and
    // columns may change at run time; new cells are empty and of their
    // column's kind, cells cut off are dropped.
    void SetMaxRows(int rows);
    int MaxRows() const { return rowCount(); }
    void SetMaxCols(int cols);
    int MaxCols() const { return columnCount(); }

    void SetColumnHeader(int col, const QString& text);
    // Width in character-width units: the font's average character width.
    void SetColumnWidthChars(int col, double units);
    void SetColumnWidthPixels(int col, int pixels);
    void SetColumnType(int col, const CellType& type);

    // The active cell (0, 0 when none). Moving it to a data cell by the
    // program never raises LeaveCell; an address outside the cells does
    // nothing.
    int Row() const { return currentRow() + 1; }
    int Col() const { return currentColumn() + 1; }
    void SetActiveCell(int col, int row);

    // A cell's text: the text of a text or number cell, the chosen item of a
    // list cell ("" when none), "1" / "0" for a check cell, the caption of a
    // button cell. Writing a list cell chooses the item of that text (none
    // when no item matches); a check cell is checked by any text but "", "0".
    QString CellText(int col, int row) const;
    void SetCellText(int col, int row, const QString& text);
    // A list cell's chosen index, -1 when none (or not a list cell). An index
    // written by the program is kept as written, even one that matches no
    // item (it then shows no item).
    int ListIndex(int col, int row) const;
    void SetListIndex(int col, int row, int index);
    // Empties the cells of the block (lists to -1, check boxes unchecked).
    void ClearRange(int col1, int row1, int col2, int row2);

    // True when the cell's content was changed by the user since the program
    // last wrote it.
    bool CellEdited(int col, int row) const;

    // Commits an open editor into its cell, as if the user had pressed Enter
    // without moving. Call it before reading cells the user may be editing.
    void CommitEditor();
    // True while an editor (or a list's drop-down) is open.
    bool Editing() const { return state() == EditingState; }

    using QTableWidget::edit;

signals:
    // The user is moving the cursor from (col, row) to (newCol, newRow).
    // Setting *cancel keeps the cursor in the old cell (the edit committed
    // there stays). Raised for user moves only: by keyboard from within the
    // key press, by mouse from a queued call after the press (the click waits
    // for the answer, and is dropped when the move is cancelled), so the
    // handler may show a modal message box. Not raised when the focus leaves
    // the grid.
    void LeaveCell(int col, int row, int newCol, int newRow, bool* cancel);
    // A button cell was clicked (mouse or Space), or a check cell was toggled
    // by the user (after the toggle). Screens that want buttons only check the
    // column.
    void ButtonClicked(int col, int row);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    // Takes what an editor hands back through GridCommitRole.
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;

private:
    const CellType& ColumnType(int col) const;
    QTableWidgetItem* Cell(int col, int row) const;
    void InitCell(int col, int row);
    void Refresh(int col, int row);
    void RefreshColumn(int col);
    // Writes a cell; `byUser` sets its edited flag, a program write clears it.
    void Store(int col, int row, const QString& text, bool byUser);
    void StoreIndex(int col, int row, int index, bool byUser);
    void DropEditorAt(int col, int row);

    // The user's side: a committed editor, a cleared cell, a toggle or click.
    void CommitText(int col, int row, const QString& text);
    void CommitIndex(int col, int row, int index);
    void UserClear(int col, int row);
    void Activate(int col, int row);
    // The check or button cell held down by the mouse (0, 0 for none).
    void Press(int col, int row);

    // Moves for the user (LeaveCell first) and for the program (never asks).
    void UserMoveTo(int col, int row);
    void MoveInternal(int col, int row);
    bool LeaveCellConnected() const;
    void ResolvePendingLeave();
    // Handles a navigation key; false when the key is not one.
    bool Navigate(int key, Qt::KeyboardModifiers modifiers, bool editorOpen);
    void BeginTyping(const QString& text);
    // Opens the editor of the active cell with `text` in it, as typing does.
    bool EditWith(const QString& text);
    void OpenList();
    void UpdateInputMethod();

    SpreadGridDelegate* delegate_;
    QList<CellType> columnTypes_;

    // A mouse move waiting for LeaveCell's answer.
    struct PendingLeave {
        bool active = false;
        int token = 0;
        int col = 0;
        int row = 0;
        bool released = false; // the click ended on the target cell meanwhile
        bool onArrow = false;  // on a list cell's drop-down arrow
    } pending_;
    // The check or button cell under a press (1-based; 0 = none) and the
    // list cell pressed on its drop-down arrow.
    int pressCol_ = 0;
    int pressRow_ = 0;
    int listClickCol_ = 0;
    int listClickRow_ = 0;
};
