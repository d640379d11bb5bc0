#include "platform/SpreadGrid.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPointer>
#include <QStyle>
#include <cmath>

#include "platform/SpreadGridDelegates.h"

namespace {

// True when `text` begins with a printable character; a surrogate pair counts
// as the one character it encodes, a lone surrogate as none.
bool StartsWithPrintable(const QString& text) {
    if (text.isEmpty())
        return false;
    const QChar first = text.at(0);
    if (first.isHighSurrogate() && text.size() > 1 && text.at(1).isLowSurrogate())
        return QChar::isPrint(QChar::surrogateToUcs4(first, text.at(1)));
    return !first.isSurrogate() && first.isPrint();
}

using Kind = SpreadGrid::CellKind;

const SpreadGrid::CellType& DefaultType() {
    static const SpreadGrid::CellType type;
    return type;
}

bool IsNumber(Kind kind) {
    return kind == Kind::Decimal || kind == Kind::Integer;
}

int DigitCount(qint64 value) {
    int digits = 1;
    for (quint64 v = value < 0 ? 0 - quint64(value) : quint64(value); v >= 10; v /= 10)
        ++digits;
    return digits;
}

} // namespace

// ---- cell kinds ----

SpreadGrid::CellType SpreadGrid::TextCell(int maxLength) {
    CellType type;
    type.kind = CellKind::Text;
    type.maxLength = qMax(0, maxLength);
    return type;
}

SpreadGrid::CellType SpreadGrid::DecimalCell(int intDigits, int fracDigits, double minimum,
                                             double maximum) {
    CellType type;
    type.kind = CellKind::Decimal;
    type.intDigits = intDigits;
    type.fracDigits = fracDigits;
    type.minimum = minimum;
    type.maximum = maximum;
    return type;
}

SpreadGrid::CellType SpreadGrid::IntegerCell(qint64 minimum, qint64 maximum) {
    CellType type;
    type.kind = CellKind::Integer;
    type.intDigits = qMax(DigitCount(minimum), DigitCount(maximum));
    type.minimum = double(minimum);
    type.maximum = double(maximum);
    return type;
}

SpreadGrid::CellType SpreadGrid::ListCell(const QStringList& items) {
    CellType type;
    type.kind = CellKind::List;
    type.items = items;
    return type;
}

SpreadGrid::CellType SpreadGrid::CheckCell() {
    CellType type;
    type.kind = CellKind::Check;
    return type;
}

SpreadGrid::CellType SpreadGrid::ButtonCell(const QString& caption) {
    CellType type;
    type.kind = CellKind::Button;
    type.caption = caption;
    return type;
}

// ---- construction and layout ----

SpreadGrid::SpreadGrid(QWidget* parent)
    : QTableWidget(parent), delegate_(new SpreadGridDelegate(this)) {
    setItemDelegate(delegate_);
    // Tab, Enter and arrows that leave an open editor move the cursor on.
    connect(delegate_, &SpreadGridDelegate::MoveFromEditor, this,
            [this](int key, Qt::KeyboardModifiers modifiers) { Navigate(key, modifiers, true); });
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setDragEnabled(false);
    // Clicking a header would select a whole row or column: the cursor is one cell.
    horizontalHeader()->setSectionsClickable(false);
    verticalHeader()->setSectionsClickable(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
}

SpreadGrid::~SpreadGrid() = default;

void SpreadGrid::SetMaxRows(int rows) {
    rows = qMax(0, rows);
    const int old = rowCount();
    if (rows == old)
        return;
    setRowCount(rows);
    for (int row = old + 1; row <= rows; ++row)
        for (int col = 1; col <= columnCount(); ++col)
            InitCell(col, row);
    if (!currentIndex().isValid() && rows > 0 && columnCount() > 0)
        setCurrentCell(0, 0);
    UpdateInputMethod();
}

void SpreadGrid::SetMaxCols(int cols) {
    cols = qMax(0, cols);
    const int old = columnCount();
    if (cols == old)
        return;
    setColumnCount(cols);
    columnTypes_.resize(cols);
    for (int col = old + 1; col <= cols; ++col)
        for (int row = 1; row <= rowCount(); ++row)
            InitCell(col, row);
    if (!currentIndex().isValid() && cols > 0 && rowCount() > 0)
        setCurrentCell(0, 0);
    UpdateInputMethod();
}

void SpreadGrid::SetColumnHeader(int col, const QString& text) {
    if (col < 1 || col > columnCount())
        return;
    setHorizontalHeaderItem(col - 1, new QTableWidgetItem(text));
}

void SpreadGrid::SetColumnWidthChars(int col, double units) {
    // The item delegate keeps a focus-frame margin on each side of the text.
    const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
    SetColumnWidthPixels(col, int(std::lround(units * fontMetrics().averageCharWidth())) + margin);
}

void SpreadGrid::SetColumnWidthPixels(int col, int pixels) {
    if (col >= 1 && col <= columnCount())
        setColumnWidth(col - 1, qMax(0, pixels));
}

void SpreadGrid::SetColumnType(int col, const CellType& type) {
    if (col < 1 || col > columnCount())
        return;
    columnTypes_[col - 1] = type;
    for (int row = 1; row <= rowCount(); ++row)
        Refresh(col, row);
    UpdateInputMethod();
}

const SpreadGrid::CellType& SpreadGrid::ColumnType(int col) const {
    return col >= 1 && col <= columnTypes_.size() ? columnTypes_[col - 1] : DefaultType();
}

void SpreadGrid::SetActiveCell(int col, int row) {
    if (Cell(col, row))
        MoveInternal(col, row);
}

// ---- cell values ----

QTableWidgetItem* SpreadGrid::Cell(int col, int row) const {
    if (col < 1 || row < 1 || col > columnCount() || row > rowCount())
        return nullptr;
    return item(row - 1, col - 1);
}

void SpreadGrid::InitCell(int col, int row) {
    auto* cell = new QTableWidgetItem;
    cell->setData(GridValueRole, QString());
    cell->setData(GridIndexRole, -1);
    cell->setData(GridEditedRole, false);
    setItem(row - 1, col - 1, cell);
    Refresh(col, row);
}

void SpreadGrid::Refresh(int col, int row) {
    QTableWidgetItem* cell = Cell(col, row);
    if (!cell)
        return;
    const CellType& type = ColumnType(col);
    const QString value = cell->data(GridValueRole).toString();
    QString shown = value;
    QVariant accessible;
    QVariant checkState;
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    int alignment = Qt::AlignLeft | Qt::AlignVCenter;
    switch (type.kind) {
    case CellKind::Text:
        flags |= Qt::ItemIsEditable;
        break;
    case CellKind::Decimal:
    case CellKind::Integer:
        flags |= Qt::ItemIsEditable;
        alignment = Qt::AlignRight | Qt::AlignVCenter;
        break;
    case CellKind::List: {
        const int index = cell->data(GridIndexRole).toInt();
        shown = index >= 0 && index < type.items.size() ? type.items.at(index) : QString();
        flags |= Qt::ItemIsEditable;
        break;
    }
    case CellKind::Check: {
        const bool checked = value == u"1";
        shown = checked ? QStringLiteral("1") : QStringLiteral("0");
        checkState = checked ? Qt::Checked : Qt::Unchecked;
        // What assistive technologies read instead of "1" / "0".
        accessible = checked ? QStringLiteral("チェックあり") : QStringLiteral("チェックなし");
        flags |= Qt::ItemIsUserCheckable;
        alignment = Qt::AlignCenter;
        break;
    }
    case CellKind::Button:
        shown = value.isEmpty() ? type.caption : value;
        accessible = shown;
        alignment = Qt::AlignCenter;
        break;
    }
    cell->setFlags(flags);
    cell->setData(GridTypeRole, QVariant::fromValue(type));
    cell->setData(Qt::DisplayRole, shown);
    cell->setData(Qt::AccessibleTextRole, accessible);
    cell->setData(Qt::CheckStateRole, checkState);
    cell->setData(Qt::TextAlignmentRole, alignment);
}

QString SpreadGrid::CellText(int col, int row) const {
    if (row == 0 && col >= 1 && col <= columnCount()) {
        const QTableWidgetItem* header = horizontalHeaderItem(col - 1);
        return header ? header->text() : QString();
    }
    if (col == 0 && row >= 1 && row <= rowCount()) {
        const QTableWidgetItem* header = verticalHeaderItem(row - 1);
        return header ? header->text() : QString::number(row);
    }
    const QTableWidgetItem* cell = Cell(col, row);
    if (!cell)
        return QString();
    const CellType& type = ColumnType(col);
    switch (type.kind) {
    case CellKind::List:
    case CellKind::Check:
    case CellKind::Button:
        return cell->data(Qt::DisplayRole).toString();
    default:
        return cell->data(GridValueRole).toString();
    }
}

void SpreadGrid::SetCellText(int col, int row, const QString& text) {
    if (row == 0 && col >= 1) {
        SetColumnHeader(col, text);
        return;
    }
    if (col == 0 && row >= 1 && row <= rowCount()) {
        setVerticalHeaderItem(row - 1, new QTableWidgetItem(text));
        return;
    }
    if (!Cell(col, row))
        return;
    DropEditorAt(col, row);
    Store(col, row, text, false);
}

int SpreadGrid::ListIndex(int col, int row) const {
    const QTableWidgetItem* cell = Cell(col, row);
    if (!cell || ColumnType(col).kind != CellKind::List)
        return -1;
    return cell->data(GridIndexRole).toInt();
}

void SpreadGrid::SetListIndex(int col, int row, int index) {
    if (!Cell(col, row) || ColumnType(col).kind != CellKind::List)
        return;
    DropEditorAt(col, row);
    StoreIndex(col, row, index, false);
}

void SpreadGrid::ClearRange(int col1, int row1, int col2, int row2) {
    for (int row = qMax(1, qMin(row1, row2)); row <= qMin(rowCount(), qMax(row1, row2)); ++row) {
        for (int col = qMax(1, qMin(col1, col2)); col <= qMin(columnCount(), qMax(col1, col2));
             ++col) {
            DropEditorAt(col, row);
            if (ColumnType(col).kind == CellKind::List)
                StoreIndex(col, row, -1, false);
            else
                Store(col, row, QString(), false);
        }
    }
}

bool SpreadGrid::CellEdited(int col, int row) const {
    const QTableWidgetItem* cell = Cell(col, row);
    return cell && cell->data(GridEditedRole).toBool();
}

void SpreadGrid::Store(int col, int row, const QString& text, bool byUser) {
    QTableWidgetItem* cell = Cell(col, row);
    if (!cell)
        return;
    const CellType& type = ColumnType(col);
    if (type.kind == CellKind::List) {
        StoreIndex(col, row, int(type.items.indexOf(text)), byUser);
        return;
    }
    QString value = text;
    if (type.kind == CellKind::Check)
        value = text.isEmpty() || text == u"0" ? QStringLiteral("0") : QStringLiteral("1");
    cell->setData(GridValueRole, value);
    cell->setData(GridEditedRole, byUser);
    Refresh(col, row);
}

void SpreadGrid::StoreIndex(int col, int row, int index, bool byUser) {
    QTableWidgetItem* cell = Cell(col, row);
    if (!cell)
        return;
    cell->setData(GridIndexRole, index);
    cell->setData(GridEditedRole, byUser);
    Refresh(col, row);
}

void SpreadGrid::DropEditorAt(int col, int row) {
    QWidget* editor = delegate_->Editor();
    const QModelIndex index = delegate_->EditorIndex();
    if (editor && state() == EditingState && index.row() == row - 1 && index.column() == col - 1)
        closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
}

void SpreadGrid::CommitEditor() {
    if (state() != EditingState)
        return;
    if (QWidget* editor = delegate_->Editor())
        delegate_->Finish(editor);
}

// ---- what the user does to cells ----

void SpreadGrid::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                             const QList<int>& roles) {
    if (!roles.contains(GridCommitRole)) {
        QTableWidget::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    QTableWidgetItem* cell = itemFromIndex(topLeft);
    const QVariant committed = cell ? cell->data(GridCommitRole) : QVariant();
    if (!committed.isValid())
        return; // the role cleared below
    cell->setData(GridCommitRole, QVariant());
    const int col = topLeft.column() + 1;
    const int row = topLeft.row() + 1;
    if (ColumnType(col).kind == CellKind::List)
        CommitIndex(col, row, committed.toInt());
    else
        CommitText(col, row, committed.toString());
}

void SpreadGrid::CommitText(int col, int row, const QString& text) {
    const CellType& type = ColumnType(col);
    if (text == CellText(col, row))
        return;
    if (IsNumber(type.kind)) {
        // A text that could still have become a number is not one: the cell
        // keeps its value.
        const NumberValidator limits(type.intDigits, type.fracDigits, type.minimum, type.maximum);
        if (limits.Check(text) != QValidator::Acceptable) {
            QApplication::beep();
            return;
        }
        const QString number = NumberValidator::Normalized(text);
        if (number != CellText(col, row))
            Store(col, row, number, true);
        return;
    }
    Store(col, row, text, true);
}

void SpreadGrid::CommitIndex(int col, int row, int index) {
    const CellType& type = ColumnType(col);
    const int stored = ListIndex(col, row);
    const int shown = stored >= 0 && stored < type.items.size() ? stored : -1;
    if (index != shown)
        StoreIndex(col, row, index, true);
}

void SpreadGrid::UserClear(int col, int row) {
    switch (ColumnType(col).kind) {
    case CellKind::Text:
    case CellKind::Decimal:
    case CellKind::Integer:
        if (!CellText(col, row).isEmpty())
            Store(col, row, QString(), true);
        break;
    case CellKind::List:
        if (ListIndex(col, row) != -1)
            StoreIndex(col, row, -1, true);
        break;
    case CellKind::Check:
    case CellKind::Button:
        break;
    }
}

void SpreadGrid::Press(int col, int row) {
    if (QTableWidgetItem* cell = Cell(pressCol_, pressRow_))
        cell->setData(GridPressedRole, false);
    pressCol_ = col;
    pressRow_ = row;
    if (QTableWidgetItem* cell = Cell(col, row))
        cell->setData(GridPressedRole, true);
}

void SpreadGrid::Activate(int col, int row) {
    const Kind kind = ColumnType(col).kind;
    if (kind == CellKind::Check)
        Store(col, row, CellText(col, row) == u"1" ? QStringLiteral("0") : QStringLiteral("1"),
              true);
    else if (kind != CellKind::Button)
        return;
    emit ButtonClicked(col, row);
}

// ---- moving the cursor ----

bool SpreadGrid::LeaveCellConnected() const {
    static const QMetaMethod signal = QMetaMethod::fromSignal(&SpreadGrid::LeaveCell);
    return isSignalConnected(signal);
}

void SpreadGrid::MoveInternal(int col, int row) {
    setCurrentCell(row - 1, col - 1);
}

void SpreadGrid::UserMoveTo(int col, int row) {
    if (!Cell(col, row))
        return;
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.row() == row - 1 && current.column() == col - 1)
        return;
    if (current.isValid() && LeaveCellConnected()) {
        bool cancel = false;
        QPointer<SpreadGrid> self(this);
        emit LeaveCell(current.column() + 1, current.row() + 1, col, row, &cancel);
        if (!self || cancel || !Cell(col, row))
            return;
    }
    MoveInternal(col, row);
}

void SpreadGrid::ResolvePendingLeave() {
    const PendingLeave move = pending_;
    pending_.active = false;
    if (!Cell(move.col, move.row))
        return;
    const QModelIndex current = currentIndex();
    if (current.isValid()) {
        bool cancel = false;
        QPointer<SpreadGrid> self(this);
        emit LeaveCell(current.column() + 1, current.row() + 1, move.col, move.row, &cancel);
        // A refused move drops the click that asked for it.
        if (!self || cancel || !Cell(move.col, move.row))
            return;
    }
    MoveInternal(move.col, move.row);
    const Kind kind = ColumnType(move.col).kind;
    if (kind == CellKind::Check || kind == CellKind::Button) {
        if (move.released)
            Activate(move.col, move.row);
        else
            Press(move.col, move.row); // still held: its release clicks
    } else if (kind == CellKind::List && move.onArrow) {
        if (move.released)
            OpenList();
        else {
            listClickCol_ = move.col;
            listClickRow_ = move.row;
        }
    }
}

bool SpreadGrid::Navigate(int key, Qt::KeyboardModifiers modifiers, bool fromEditor) {
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return false;
    int col = current.column() + 1;
    int row = current.row() + 1;
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab: {
        if (modifiers & Qt::ControlModifier)
            return false;
        const bool back = key == Qt::Key_Backtab || (modifiers & Qt::ShiftModifier);
        if (!back && col < columnCount()) {
            ++col;
        } else if (!back && row < rowCount()) {
            col = 1;
            ++row;
        } else if (back && col > 1) {
            --col;
        } else if (back && row > 1) {
            col = columnCount();
            --row;
        } else {
            // Past the last (first) cell the focus goes to the next (previous)
            // control; from a key press on the grid itself, Qt does that when
            // the key is ignored.
            if (fromEditor)
                QAbstractScrollArea::focusNextPrevChild(!back);
            return false;
        }
        UserMoveTo(col, row);
        return true;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (modifiers & Qt::ShiftModifier)
            row = qMax(1, row - 1);
        else
            row = qMin(rowCount(), row + 1);
        UserMoveTo(col, row);
        return true;
    default:
        break;
    }
    CursorAction action;
    switch (key) {
    case Qt::Key_Up:
        action = MoveUp;
        break;
    case Qt::Key_Down:
        action = MoveDown;
        break;
    case Qt::Key_Left:
        action = MoveLeft;
        break;
    case Qt::Key_Right:
        action = MoveRight;
        break;
    case Qt::Key_PageUp:
        action = MovePageUp;
        break;
    case Qt::Key_PageDown:
        action = MovePageDown;
        break;
    case Qt::Key_Home:
        action = MoveHome;
        break;
    case Qt::Key_End:
        action = MoveEnd;
        break;
    default:
        return false;
    }
    const QModelIndex target = moveCursor(action, modifiers & Qt::ControlModifier);
    if (target.isValid())
        UserMoveTo(target.column() + 1, target.row() + 1);
    return true;
}

void SpreadGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableWidget::currentChanged(current, previous);
    UpdateInputMethod();
}

void SpreadGrid::UpdateInputMethod() {
    // Typing on a selected text cell may begin with the input method; a
    // number cell takes digits only.
    const QModelIndex current = currentIndex();
    const bool enabled = !current.isValid() || ColumnType(current.column() + 1).kind == Kind::Text;
    if (testAttribute(Qt::WA_InputMethodEnabled) == enabled)
        return;
    setAttribute(Qt::WA_InputMethodEnabled, enabled);
    if (hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImEnabled);
}

// ---- editing ----

bool SpreadGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (!index.isValid())
        return false;
    const Kind kind = ColumnType(index.column() + 1).kind;
    if (kind == CellKind::Check || kind == CellKind::Button)
        return false; // toggled and clicked by the grid itself
    if (!QTableWidget::edit(index, trigger, event))
        return false;
    QWidget* editor = delegate_->Editor();
    if (!editor || state() != EditingState || delegate_->EditorIndex() != index)
        return true;
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        // Qt selects the whole text; a spreadsheet puts the caret after it.
        line->deselect();
        line->end(false);
    } else if (auto* list = qobject_cast<GridListEditor*>(editor)) {
        list->showPopup();
    }
    return true;
}

void SpreadGrid::BeginTyping(const QString& text) {
    const QModelIndex current = currentIndex();
    const CellType& type = ColumnType(current.column() + 1);
    if (IsNumber(type.kind)) {
        const NumberValidator limits(type.intDigits, type.fracDigits, type.minimum, type.maximum);
        if (limits.Check(text) == QValidator::Invalid) {
            QApplication::beep();
            return;
        }
    } else if (type.kind == CellKind::Text) {
        if (type.maxLength > 0 && GridCharacterCount(text) > type.maxLength) {
            QApplication::beep();
            return;
        }
    } else {
        return;
    }
    EditWith(text);
}

bool SpreadGrid::EditWith(const QString& text) {
    delegate_->StartWith(text);
    const bool opened = edit(currentIndex(), AllEditTriggers, nullptr);
    delegate_->StartWith(std::nullopt); // when no editor took it
    return opened;
}

void SpreadGrid::OpenList() {
    const QModelIndex current = currentIndex();
    if (current.isValid() && ColumnType(current.column() + 1).kind == Kind::List)
        edit(current, AllEditTriggers, nullptr);
}

// ---- keyboard ----

void SpreadGrid::keyPressEvent(QKeyEvent* event) {
    if (pending_.active) {
        // A key arriving before a click's move was answered: answer it first.
        QPointer<SpreadGrid> self(this);
        ResolvePendingLeave();
        if (!self)
            return;
    }
    const QModelIndex current = currentIndex();
    if (!current.isValid() || state() == EditingState) {
        event->ignore();
        return;
    }
    const int col = current.column() + 1;
    const int row = current.row() + 1;
    const Kind kind = ColumnType(col).kind;
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool plain = modifiers == Qt::NoModifier;
    event->accept();

    if (kind == CellKind::List &&
        (((key == Qt::Key_F4 || key == Qt::Key_F2 || key == Qt::Key_Space) && plain) ||
         (key == Qt::Key_Down && modifiers == Qt::AltModifier))) {
        OpenList();
        return;
    }
    if (key == Qt::Key_F2 && plain) {
        if (kind == CellKind::Text || IsNumber(kind))
            edit(current, AllEditTriggers, nullptr);
        return;
    }
    if (key == Qt::Key_Space && plain && (kind == CellKind::Check || kind == CellKind::Button)) {
        Activate(col, row);
        return;
    }
    if ((key == Qt::Key_Delete || key == Qt::Key_Backspace) && plain) {
        UserClear(col, row);
        return;
    }
    if (!(modifiers & (Qt::AltModifier | Qt::MetaModifier)) && Navigate(key, modifiers, false))
        return;
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        event->ignore(); // past the edge: the focus moves on
        return;
    }
    // The first character decides, a character outside the Basic Multilingual
    // Plane (a surrogate pair) included.
    const QString text = event->text();
    if (StartsWithPrintable(text) &&
        !(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        BeginTyping(text);
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        QTableWidget::keyPressEvent(event);
        return;
    }
    event->ignore();
}

void SpreadGrid::inputMethodEvent(QInputMethodEvent* event) {
    const QModelIndex current = currentIndex();
    if (state() != EditingState && current.isValid() &&
        ColumnType(current.column() + 1).kind == Kind::Text &&
        (!event->commitString().isEmpty() || !event->preeditString().isEmpty())) {
        // Typing through the input method starts editing as a key would.
        if (EditWith(QString())) {
            if (QWidget* editor = delegate_->Editor())
                QCoreApplication::sendEvent(editor, event);
            return;
        }
    }
    event->ignore();
}

// ---- mouse ----
// The grid handles the mouse itself: a press moves the cursor (asking
// LeaveCell first when anyone listens), a click toggles a check cell or
// clicks a button cell, a click on a list cell's arrow or a double click
// opens its drop-down, a double click edits a text or number cell. Dragging
// never moves the cursor.

void SpreadGrid::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (pending_.active || event->button() != Qt::LeftButton)
        return;
    const QPoint position = event->position().toPoint();
    const QModelIndex target = indexAt(position);
    if (!target.isValid())
        return;
    const int col = target.column() + 1;
    const int row = target.row() + 1;
    const Kind kind = ColumnType(col).kind;
    const bool onArrow =
        kind == CellKind::List && GridListArrowRect(visualRect(target)).contains(position);
    const QModelIndex current = currentIndex();
    if (current.isValid() && current != target && LeaveCellConnected()) {
        // LeaveCell is raised from a queued call, outside this mouse event,
        // so its handler may show a modal message box.
        pending_.active = true;
        const int token = ++pending_.token;
        pending_.col = col;
        pending_.row = row;
        pending_.released = false;
        pending_.onArrow = onArrow;
        QMetaObject::invokeMethod(
            this,
            [this, token] {
                if (pending_.active && pending_.token == token)
                    ResolvePendingLeave();
            },
            Qt::QueuedConnection);
        return;
    }
    MoveInternal(col, row);
    if (kind == CellKind::Check || kind == CellKind::Button) {
        Press(col, row);
    } else if (onArrow) {
        listClickCol_ = col;
        listClickRow_ = row;
    }
}

void SpreadGrid::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    const QModelIndex at = indexAt(event->position().toPoint());
    auto isAt = [&at](int col, int row) {
        return at.isValid() && at.column() == col - 1 && at.row() == row - 1;
    };
    if (pending_.active) {
        if (isAt(pending_.col, pending_.row))
            pending_.released = true;
        return;
    }
    const int pressCol = pressCol_;
    const int pressRow = pressRow_;
    const int listCol = listClickCol_;
    const int listRow = listClickRow_;
    Press(0, 0);
    listClickCol_ = listClickRow_ = 0;
    if (pressCol) {
        if (isAt(pressCol, pressRow))
            Activate(pressCol, pressRow);
    } else if (listCol && isAt(listCol, listRow) && currentIndex() == at) {
        OpenList();
    }
}

void SpreadGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    if (pending_.active || event->button() != Qt::LeftButton)
        return;
    const QModelIndex at = indexAt(event->position().toPoint());
    if (!at.isValid() || at != currentIndex())
        return;
    const Kind kind = ColumnType(at.column() + 1).kind;
    if (kind == CellKind::Check || kind == CellKind::Button) {
        // The second click of a double click clicks again.
        Press(at.column() + 1, at.row() + 1);
        return;
    }
    edit(at, DoubleClicked, event);
}

void SpreadGrid::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() != Qt::NoButton) {
        event->accept();
        return;
    }
    QTableWidget::mouseMoveEvent(event);
}
