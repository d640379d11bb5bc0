#include "platform/SpreadGridDelegates.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QTextBoundaryFinder>
#include <cmath>

#include "platform/GridCellType.h"

namespace {

using Kind = GridCellKind;

GridCellType TypeOf(const QModelIndex& index) {
    return index.data(GridTypeRole).value<GridCellType>();
}

qint64 PowerOfTen(int n) {
    qint64 result = 1;
    for (int i = 0; i < n; ++i)
        result *= 10;
    return result;
}

QStyle* StyleOf(const QWidget* widget) {
    return widget ? widget->style() : QApplication::style();
}

// Digits, at most one point, a minus sign only in front, nothing else.
bool WellFormedNumber(const QString& text) {
    bool point = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'-' && i == 0)
            continue;
        if (c == u'.' && !point) {
            point = true;
            continue;
        }
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

} // namespace

qsizetype GridCharacterCount(const QString& text) {
    qsizetype count = 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

QRect GridListArrowRect(const QRect& cell) {
    const int width = qMin(cell.height(), cell.width() / 3);
    return QRect(cell.right() - width + 1, cell.top(), width, cell.height());
}

QValidator::State CharacterLimitValidator::validate(QString& input, int&) const {
    return GridCharacterCount(input) <= limit_ ? Acceptable : Invalid;
}

NumberValidator::NumberValidator(int intDigits, int fracDigits, double minimum, double maximum,
                                 QObject* parent)
    : QValidator(parent), intDigits_(qBound(0, intDigits, 15)),
      fracDigits_(qBound(0, fracDigits, 15 - intDigits_)) {
    const double scale = static_cast<double>(PowerOfTen(fracDigits_));
    minimum_ = std::llround(minimum * scale);
    maximum_ = std::llround(maximum * scale);
}

QValidator::State NumberValidator::validate(QString& input, int&) const {
    const State state = Check(input);
    if (state == Acceptable)
        lenient_ = false;
    else if (state == Invalid && lenient_ && WellFormedNumber(input))
        return Intermediate;
    return state;
}

QValidator::State NumberValidator::Check(const QString& input) const {
    if (input.isEmpty())
        return Acceptable; // no value
    qsizetype i = 0;
    const bool negative = input.at(0) == u'-';
    if (negative) {
        if (minimum_ >= 0)
            return Invalid;
        i = 1;
    }
    QString whole, fraction;
    bool point = false;
    for (; i < input.size(); ++i) {
        const QChar c = input.at(i);
        if (c == u'.') {
            if (point || fracDigits_ == 0)
                return Invalid;
            point = true;
        } else if (c >= u'0' && c <= u'9') {
            (point ? fraction : whole).append(c);
        } else {
            return Invalid;
        }
    }
    if (whole.size() > intDigits_ || fraction.size() > fracDigits_)
        return Invalid;
    if (whole.size() > 1 && whole.at(0) == u'0')
        return Invalid; // no leading zeros

    // Values in units of the last decimal place; [low, high] is what the text
    // can still become, as a magnitude.
    const qint64 scale = PowerOfTen(fracDigits_);
    const qint64 wholeValue = whole.toLongLong();
    const qint64 fractionUnit = PowerOfTen(fracDigits_ - int(fraction.size()));
    const qint64 exact = wholeValue * scale + fraction.toLongLong() * fractionUnit;
    auto within = [&](qint64 low, qint64 high) {
        const qint64 a = negative ? -high : low;
        const qint64 b = negative ? -low : high;
        return a <= maximum_ && b >= minimum_;
    };
    if (!whole.isEmpty() || !fraction.isEmpty()) {
        if (within(exact, exact))
            return Acceptable;
    }
    if (point) {
        if (within(exact, exact + fractionUnit - 1))
            return Intermediate;
        return Invalid;
    }
    // No point yet: more whole digits may follow (none after a lone zero),
    // then any fraction.
    const int more = whole == u"0" ? 0 : intDigits_ - int(whole.size());
    for (int k = 0; k <= more; ++k) {
        const qint64 step = PowerOfTen(k);
        const qint64 low = wholeValue * step * scale;
        const qint64 high = (wholeValue * step + step - 1) * scale + scale - 1;
        if (within(low, high))
            return Intermediate;
    }
    return Invalid;
}

QString NumberValidator::Normalized(const QString& text) {
    QString result = text;
    if (result.endsWith(u'.'))
        result.chop(1);
    if (result.startsWith(u'.'))
        result.prepend(u'0');
    else if (result.startsWith(u"-."))
        result.insert(1, u'0');
    if (result == u"-")
        result.clear();
    return result;
}

void GridListEditor::WatchPopup() {
    view()->window()->installEventFilter(this);
}

bool GridListEditor::eventFilter(QObject* object, QEvent* event) {
    if (event->type() == QEvent::Hide && object == view()->window() && !finishQueued_) {
        // The drop-down closed: chosen, dismissed or clicked away.
        finishQueued_ = true;
        QMetaObject::invokeMethod(this, &GridListEditor::Finished, Qt::QueuedConnection);
    }
    return QComboBox::eventFilter(object, event);
}

QWidget* SpreadGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                          const QModelIndex& index) const {
    const GridCellType type = TypeOf(index);
    QWidget* editor = nullptr;
    switch (type.kind) {
    case Kind::Text: {
        auto* line = new QLineEdit(parent);
        line->setFrame(false);
        line->setAttribute(Qt::WA_InputMethodEnabled, true);
        editor = line;
        break;
    }
    case Kind::Decimal:
    case Kind::Integer: {
        auto* line = new QLineEdit(parent);
        line->setFrame(false);
        line->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        line->setValidator(
            new NumberValidator(type.intDigits, type.fracDigits, type.minimum, type.maximum, line));
        line->setAttribute(Qt::WA_InputMethodEnabled, false);
        line->setInputMethodHints(Qt::ImhFormattedNumbersOnly);
        editor = line;
        break;
    }
    case Kind::List: {
        auto* list = new GridListEditor(parent);
        list->addItems(type.items);
        list->setAttribute(Qt::WA_InputMethodEnabled, false);
        list->WatchPopup();
        auto* self = const_cast<SpreadGridDelegate*>(this);
        connect(list, &GridListEditor::Finished, self, [self, list] { self->Finish(list); });
        editor = list;
        break;
    }
    case Kind::Check:
    case Kind::Button:
        return nullptr;
    }
    editor_ = editor;
    editorIndex_ = index;
    typedEdit_ = startText_.has_value();
    return editor;
}

void SpreadGridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    const GridCellType type = TypeOf(index);
    if (auto* list = qobject_cast<GridListEditor*>(editor)) {
        const int chosen = index.data(GridIndexRole).toInt();
        list->setCurrentIndex(chosen >= 0 && chosen < list->count() ? chosen : -1);
        return;
    }
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line)
        return;
    // Editing begun by typing starts from what was typed, else from the cell.
    const QString text = startText_.value_or(index.data(GridValueRole).toString());
    startText_.reset();
    if (type.kind == Kind::Text) {
        const QValidator* old = line->validator();
        line->setValidator(nullptr);
        delete old;
        line->setText(text);
        // A longer text written by the program may be shortened, never grown.
        if (type.maxLength > 0)
            line->setValidator(new CharacterLimitValidator(
                qMax<qsizetype>(type.maxLength, GridCharacterCount(text)), line));
    } else if (auto* number = const_cast<NumberValidator*>(
                   qobject_cast<const NumberValidator*>(line->validator()))) {
        number->SetLenient(false);
        line->setText(text);
        number->SetLenient(number->Check(text) != QValidator::Acceptable);
    }
}

void SpreadGridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                      const QModelIndex& index) const {
    if (auto* list = qobject_cast<GridListEditor*>(editor))
        model->setData(index, list->currentIndex(), GridCommitRole);
    else if (auto* line = qobject_cast<QLineEdit*>(editor))
        model->setData(index, line->text(), GridCommitRole);
}

void SpreadGridDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                              const QModelIndex&) const {
    editor->setGeometry(option.rect);
}

void SpreadGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    const Kind kind = TypeOf(index).kind;
    if (kind != Kind::Check && kind != Kind::Button && kind != Kind::List) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QWidget* widget = option.widget;
    QStyle* style = StyleOf(widget);
    QStyleOptionViewItem cell(option);
    initStyleOption(&cell, index);
    const QString text = cell.text;
    // The cell's background, selection and focus, without text or check box.
    cell.text.clear();
    cell.features &= ~QStyleOptionViewItem::HasCheckIndicator;
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);

    if (kind == Kind::Check) {
        QStyleOptionViewItem box(cell);
        const QSize size(style->pixelMetric(QStyle::PM_IndicatorWidth, &box, widget),
                         style->pixelMetric(QStyle::PM_IndicatorHeight, &box, widget));
        box.rect = QStyle::alignedRect(option.direction, Qt::AlignCenter, size, option.rect);
        box.state &= ~(QStyle::State_On | QStyle::State_Off | QStyle::State_NoChange);
        box.state |= index.data(Qt::CheckStateRole).toInt() == Qt::Checked ? QStyle::State_On
                                                                           : QStyle::State_Off;
        style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &box, painter, widget);
    } else if (kind == Kind::Button) {
        QStyleOptionButton button;
        button.rect = option.rect.adjusted(1, 1, -1, -1);
        button.text = text;
        button.palette = option.palette;
        button.fontMetrics = option.fontMetrics;
        button.direction = option.direction;
        const bool pressed = index.data(GridPressedRole).toBool();
        button.state =
            QStyle::State_Enabled | (pressed ? QStyle::State_Sunken : QStyle::State_Raised);
        if (option.state & QStyle::State_HasFocus)
            button.state |= QStyle::State_HasFocus;
        style->drawControl(QStyle::CE_PushButton, &button, painter, widget);
    } else {
        const QRect arrow = GridListArrowRect(option.rect);
        QStyleOptionViewItem label(cell);
        label.text = text;
        label.rect.setRight(arrow.left() - 1);
        label.state &= ~QStyle::State_HasFocus;
        style->drawControl(QStyle::CE_ItemViewItem, &label, painter, widget);
        QStyleOption mark;
        mark.rect = arrow.adjusted(arrow.width() / 4, arrow.height() / 4, -arrow.width() / 4,
                                   -arrow.height() / 4);
        mark.palette = option.palette;
        mark.state = QStyle::State_Enabled;
        style->drawPrimitive(QStyle::PE_IndicatorArrowDown, &mark, painter, widget);
    }
}

bool SpreadGridDelegate::editorEvent(QEvent*, QAbstractItemModel*, const QStyleOptionViewItem&,
                                     const QModelIndex&) {
    return false;
}

void SpreadGridDelegate::Finish(QWidget* editor) {
    emit commitData(editor);
    emit closeEditor(editor, QAbstractItemDelegate::NoHint);
}

bool SpreadGridDelegate::eventFilter(QObject* object, QEvent* event) {
    auto* line = qobject_cast<QLineEdit*>(object);
    if (line && event->type() == QEvent::KeyPress) {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        const int key = keyEvent->key();
        const Qt::KeyboardModifiers modifiers = keyEvent->modifiers() & ~Qt::KeypadModifier;
        bool moves = false;
        switch (key) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            moves = !(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
            break;
        case Qt::Key_Up:
        case Qt::Key_Down:
            moves = !(modifiers & Qt::AltModifier);
            break;
        case Qt::Key_Left:
        case Qt::Key_Right:
            moves = typedEdit_ && modifiers == Qt::NoModifier;
            break;
        default:
            break;
        }
        if (moves) {
            Finish(line);
            // The grid, and this delegate with it, may be deleted by what the
            // move raises: touch nothing after.
            emit MoveFromEditor(key, modifiers);
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}
