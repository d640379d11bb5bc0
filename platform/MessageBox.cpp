#include "platform/MessageBox.h"

#include <QAbstractButton>
#include <QApplication>
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

std::vector<ButtonDef> buttonsFor(int code) {
    using B = QMessageBox;
    switch (code) {
    case 1:
        return {{B::Ok, 1}, {B::Cancel, 2}};
    case 2:
        return {{B::Abort, 3}, {B::Retry, 4}, {B::Ignore, 5}};
    case 3:
        return {{B::Yes, 6}, {B::No, 7}, {B::Cancel, 2}};
    case 4:
        return {{B::Yes, 6}, {B::No, 7}};
    case 5:
        return {{B::Retry, 4}, {B::Cancel, 2}};
    default:
        return {{B::Ok, 1}};
    }
}

} // namespace

void SetMessageBoxResponder(MessageBoxResponder r) {
    responder() = std::move(r);
}

int MsgBox(const QString& text, int style, const QString& title) {
    MessageBoxRequest request{text, style, title};
    if (responder())
        return responder()(request);

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

    const std::vector<ButtonDef> defs = buttonsFor(request.buttons());
    for (const ButtonDef& d : defs)
        box.addButton(d.button);
    const size_t def = size_t(request.defaultButton());
    box.setDefaultButton(defs[def < defs.size() ? def : 0].button);
    // Esc answers with Cancel (or No) where the box has one, as a system box does.
    for (const ButtonDef& d : defs)
        if (d.result == 2)
            box.setEscapeButton(box.button(d.button));

    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (const ButtonDef& d : defs)
        if (clicked && clicked == box.button(d.button))
            return d.result;
    // Closed without a button: the box's escape answer, else its first.
    for (const ButtonDef& d : defs)
        if (d.result == 2)
            return 2;
    return defs.front().result;
}
