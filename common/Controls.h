// Controls as the screens lay them out: named after the control, placed in
// twips within their parent.
#pragma once

#include <QRect>
#include <QString>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// A button that Enter never presses by itself.
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QRect& twips);
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QRect& twips);
// A text box; the input method stays on, for Japanese.
QLineEdit* MakeTextBox(QWidget* parent, const char* name, const QRect& twips);
// A number box: text right-aligned, input method off.
QLineEdit* MakeNumberBox(QWidget* parent, const char* name, const QRect& twips);
QGroupBox* MakeFrame(QWidget* parent, const char* name, const QString& title, const QRect& twips);
