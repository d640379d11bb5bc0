// The editors, input limits and painting of SpreadGrid's cells.
#pragma once

#include <QComboBox>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QValidator>
#include <optional>

// Characters as the user sees them: grapheme clusters, so a surrogate pair,
// a variation sequence or a combining mark counts as one with its base.
qsizetype GridCharacterCount(const QString& text);

// A text cell's limit: at most `limit` characters (grapheme clusters).
class CharacterLimitValidator : public QValidator {
    Q_OBJECT
public:
    explicit CharacterLimitValidator(qsizetype limit, QObject* parent = nullptr)
        : QValidator(parent), limit_(limit) {}
    State validate(QString& input, int& pos) const override;

private:
    qsizetype limit_;
};

// A number cell's limits: an optional minus sign (only when the minimum is
// negative), at most `intDigits` digits before the point without leading
// zeros, at most `fracDigits` after it, and a value in [minimum, maximum].
// Intermediate means the text can still become such a value by typing more.
class NumberValidator : public QValidator {
    Q_OBJECT
public:
    NumberValidator(int intDigits, int fracDigits, double minimum, double maximum,
                    QObject* parent = nullptr);
    State validate(QString& input, int& pos) const override;
    State Check(const QString& input) const;
    // For an editor opened on a value outside the limits (written by the
    // program): well-formed numbers count as Intermediate, so the user can
    // shorten it, until the text first becomes acceptable.
    void SetLenient(bool lenient) { lenient_ = lenient; }
    // The text as a cell keeps it: "2." becomes "2", ".5" becomes "0.5".
    static QString Normalized(const QString& text);

private:
    int intDigits_;
    int fracDigits_;
    qint64 minimum_; // in units of the last decimal place
    qint64 maximum_;
    mutable bool lenient_ = false;
};

// Where a list cell shows its drop-down arrow; a click there opens the list.
QRect GridListArrowRect(const QRect& cell);

// A list cell's editor: its drop-down is open while it exists. Finished is
// raised (queued) once the drop-down closes, chosen, dismissed or clicked away.
class GridListEditor : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    // Call once the editor is made: watches the drop-down for closing.
    void WatchPopup();

signals:
    void Finished();

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    bool finishQueued_ = false;
};

// Edits and paints a cell from what the model holds in the roles of
// GridCellType.h, and hands what the user typed or chose back through
// GridCommitRole.
class SpreadGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    // Check and button cells are handled by the grid itself.
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

    // The next editor opened starts from `text` instead of the cell's
    // content, as editing begun by typing does: Left and Right then commit
    // and move. std::nullopt drops a start text that no editor took.
    void StartWith(std::optional<QString> text) { startText_ = std::move(text); }
    // The open editor, if any, and its cell.
    QWidget* Editor() const { return editor_; }
    QModelIndex EditorIndex() const { return editorIndex_; }
    // Commits and closes the open editor.
    void Finish(QWidget* editor);

signals:
    // A key that commits the editor and moves the cursor (Tab, Enter, Up,
    // Down; Left and Right after typing) was pressed in it; the editor has
    // been committed and closed.
    void MoveFromEditor(int key, Qt::KeyboardModifiers modifiers);

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    mutable std::optional<QString> startText_;
    mutable bool typedEdit_ = false;
    mutable QPointer<QWidget> editor_;
    mutable QPersistentModelIndex editorIndex_;
};
