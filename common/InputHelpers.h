// Small helpers shared by the screens' text boxes and windows.
#pragma once

#include <QString>
#include <QtGlobal>

class QLineEdit;
class QWidget;

// What a refusal's details say of a field: its name as the screen shows it and
// what it takes, e.g. "左の誤差: 数値（例 -1.5）".
QString FieldRule(const QString& field, const QString& allowed);
// What a number field takes, with an example of a typed value.
QString NumberAllowed(const QString& example);

// Accepts a number in the box (a blank box becomes "0"); otherwise shows
// "000入力データが正しくありません。" with `rule` (see FieldRule) as its
// details, puts the focus back into the box and returns false, leaving the
// text as typed.
bool CheckNumericInput(QLineEdit* box, const QString& rule);
// Refuses what `box` holds: "000入力データが正しくありません。" with `rule`
// as its details, and the focus back into the box.
void RefuseInput(QLineEdit* box, const QString& rule);
// Selects the whole text, so typing replaces it.
void SelectAllText(QLineEdit* box);
// Centres the screen being activated on the display (negative positions are
// applied as they come for a screen larger than the display).
void CenterForm(QWidget* form);
