#include "platform/MessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <vector>

namespace {

MessageBoxResponder& responder() {
    static MessageBoxResponder r;
    return r;
}

struct ButtonDef {
    QMessageBox::StandardButton button;
    int result;
};

struct Buttons {
    std::vector<ButtonDef> defs;
    // What Esc and the close box answer; 0 = they do nothing.
    int escapeResult;
};

Buttons buttonsFor(int code) {
    using B = QMessageBox;
    switch (code) {
    case 1:
        return {{{B::Ok, 1}, {B::Cancel, 2}}, 2};
    case 2:
        return {{{B::Abort, 3}, {B::Retry, 4}, {B::Ignore, 5}}, 0};
    case 3:
        return {{{B::Yes, 6}, {B::No, 7}, {B::Cancel, 2}}, 2};
    case 4:
        return {{{B::Yes, 6}, {B::No, 7}}, 7};
    case 5:
        return {{{B::Retry, 4}, {B::Cancel, 2}}, 2};
    default:
        return {{{B::Ok, 1}}, 1};
    }
}

// Keeps Esc and the close box from a box that has no answer for them (Qt
// would otherwise take its Abort button for one).
class NoEscape : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        return event->type() == QEvent::KeyPress &&
               static_cast<QKeyEvent*>(event)->matches(QKeySequence::Cancel);
    }
};

} // namespace

MessageBoxResponder SetMessageBoxResponder(MessageBoxResponder r) {
    MessageBoxResponder previous = std::move(responder());
    responder() = std::move(r);
    return previous;
}

int MsgBox(const QString& text, int style, const QString& title) {
    MessageBoxRequest request{text, style, title};
    if (responder())
        return responder()(request);

    NoEscape noEscape; // outlives the box it filters
    QMessageBox box(QMessageBox::NoIcon, title, QString(), QMessageBox::NoButton,
                    QApplication::activeWindow());
    // A carriage return is a line break on screen, never a visible mark.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    while (shown.endsWith(u'\n'))
        shown.chop(1);
    box.setText(shown);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);

    const Buttons buttons = buttonsFor(request.buttons());
    const std::vector<ButtonDef>& defs = buttons.defs;
    for (const ButtonDef& d : defs)
        box.addButton(d.button);
    const size_t def = size_t(request.defaultButton());
    box.setDefaultButton(defs[def < defs.size() ? def : 0].button);
    for (const ButtonDef& d : defs)
        if (d.result == buttons.escapeResult)
            box.setEscapeButton(box.button(d.button));
    if (!buttons.escapeResult)
        box.installEventFilter(&noEscape);

    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (const ButtonDef& d : defs)
        if (clicked && clicked == box.button(d.button))
            return d.result;
    // Closed without a button (the program ending): the escape answer, else
    // the first button's.
    return buttons.escapeResult ? buttons.escapeResult : defs.front().result;
}
