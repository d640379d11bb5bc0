// The system message box: text, style, title; returns the button pressed.
// Styles and results use the classic message box codes: buttons 0..5, default
// button 0/256/512/768, 4096 system modal; results 1 OK .. 7 No.
#pragma once

#include <QString>
#include <functional>

class QWidget;

struct MessageBoxRequest {
    QString text;
    int style = 0;
    QString title;
    int buttons() const { return style & 0xF; }
    int defaultButton() const { return (style & 0xF00) >> 8; } // 0 = first
};

// Shows the box modally in front of the program's windows and returns 1..7.
// Enter presses the default button (or the button with the focus). Esc and the
// close box answer Cancel where the box has it, No on a Yes/No box, OK on an
// OK box; on an Abort/Retry/Ignore box they do nothing.
int MsgBox(const QString& text, int style, const QString& title);

// Tests install a responder that sees the request and answers for the user.
// An empty function restores the real box. Returns the responder it replaces.
using MessageBoxResponder = std::function<int(const MessageBoxRequest&)>;
MessageBoxResponder SetMessageBoxResponder(MessageBoxResponder responder);
