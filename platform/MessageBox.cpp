#include "platform/MessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>

namespace {

MessageBoxResponder& responder() {
    static MessageBoxResponder r;
    return r;
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

QMessageBox::StandardButton EscapeAnswer(QMessageBox::StandardButtons buttons) {
    for (QMessageBox::StandardButton b : {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Ok})
        if (buttons.testFlag(b))
            return b;
    return QMessageBox::NoButton;
}

MessageBoxResponder SetMessageBoxResponder(MessageBoxResponder r) {
    MessageBoxResponder previous = std::move(responder());
    responder() = std::move(r);
    return previous;
}

QMessageBox::StandardButton MsgBox(const MessageBoxRequest& request) {
    if (responder())
        return responder()(request);

    const QMessageBox::StandardButtons buttons =
        request.buttons ? request.buttons : QMessageBox::StandardButtons(QMessageBox::Ok);
    const QMessageBox::StandardButton escape = EscapeAnswer(buttons);
    NoEscape noEscape; // outlives the box it filters
    QMessageBox box(request.icon, request.title, QString(), buttons, QApplication::activeWindow());
    // A carriage return is a line break on screen, never a visible mark.
    QString shown = request.text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    while (shown.endsWith(u'\n'))
        shown.chop(1);
    box.setText(shown);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (!request.detail.isEmpty()) {
        // Qt adds its own button that shows and hides the details; it is
        // never the default and never the escape answer.
        QString detail = request.detail;
        detail.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        box.setDetailedText(detail);
    }
    box.setDefaultButton(request.defaultButton);
    // Showing or hiding the details gives the focus back to the default
    // button, so Enter still answers with it.
    for (QAbstractButton* b : box.buttons()) {
        if (box.buttonRole(b) == QMessageBox::ActionRole)
            QObject::connect(b, &QAbstractButton::clicked, &box, [&box] {
                if (QPushButton* def = box.defaultButton())
                    def->setFocus(Qt::OtherFocusReason);
            });
    }
    if (escape != QMessageBox::NoButton)
        box.setEscapeButton(escape);
    else
        box.installEventFilter(&noEscape);

    box.exec();
    if (QAbstractButton* clicked = box.clickedButton())
        return box.standardButton(clicked);
    // Closed without a button (the program ending): the escape answer, else
    // the default button's.
    return escape != QMessageBox::NoButton ? escape : request.defaultButton;
}
