// Small helpers shared by the screens' text boxes and windows.
#pragma once

#include <QtGlobal>

class QLineEdit;
class QWidget;

// Accepts a number in the box (a blank box becomes "0"); otherwise shows
// "000入力データが正しくありません。", puts the focus back into the box and
// returns false, leaving the text as typed.
bool CheckNumericInput(QLineEdit* box);
// Selects the whole text, so typing replaces it.
void SelectAllText(QLineEdit* box);
// Centres the screen being activated on the display (negative positions are
// applied as they come for a screen larger than the display).
void CenterForm(QWidget* form);
