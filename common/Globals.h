// Values shared between the screens of one run.
#pragma once

#include <QString>
#include <QtGlobal>

class Workspace;
class Database;

inline constexpr int PageRowCount = 30;

// The layout database, open from start-up until the menu's end button.
extern Workspace* LayoutWorkspace;
extern Database* LayoutDatabase;

// Settings from vesk.ini, reloaded at every activation of the main menu.
extern double OffsetLeft;
extern double OffsetTop;
extern double DefaultFontSize;
extern qint16 DefaultColCount;
extern qint16 DefaultRowCount;
extern qint16 DefaultAlign;

// 1 copy, 2 update, 3 delete: what the template dialog does with its choice.
extern qint16 TemplateMode;
extern QString CurrentTemplateId;
// The page whose text items the page setup screen last opened, and its paper
// direction as its row showed it.

// The application's title and version, as the version screens show them.
QString AppTitle();
int AppMajor();
int AppMinor();
