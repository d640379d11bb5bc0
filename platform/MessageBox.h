// The program's message box: a text under a title, a set of buttons with one
// of them the default, and an icon; it answers with the button pressed.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

struct MessageBoxRequest {
    QString text;
    QString title;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    // One of `buttons`: Enter presses it, and it has the focus first.
    QMessageBox::StandardButton defaultButton = QMessageBox::Ok;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    // Why the message came, shown in the box's details part (hidden until
    // asked for); empty: the box has no details part.
    QString detail;
};

// What Esc and the close box answer on a box with these buttons: Cancel where
// it has one, else No, else OK; NoButton on an Abort / Retry / Ignore box,
// where they do nothing.
QMessageBox::StandardButton EscapeAnswer(QMessageBox::StandardButtons buttons);

// Shows the box modally in front of the program's windows and returns the
// button pressed. A carriage return in the text is a line break. The button
// that shows the details answers nothing: Esc, Enter and the close box do
// what they do on the same box without details.
QMessageBox::StandardButton MsgBox(const MessageBoxRequest& request);

// Tests install a responder that sees the request and answers for the user.
// An empty function restores the real box. Returns the responder it replaces.
using MessageBoxResponder = std::function<QMessageBox::StandardButton(const MessageBoxRequest&)>;
MessageBoxResponder SetMessageBoxResponder(MessageBoxResponder responder);
