// What a cell of SpreadGrid holds and what the user may type into it, and the
// model roles through which the grid and its editors share a cell.
#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <Qt>

enum class GridCellKind { Text, Decimal, Integer, List, Check, Button };

struct GridCellType {
    GridCellKind kind = GridCellKind::Text;
    int maxLength = 0;  // Text: most characters (grapheme clusters); 0 = no limit
    int intDigits = 0;  // Decimal, Integer: most digits before the point
    int fracDigits = 0; // Decimal: most digits after the point
    double minimum = 0; // Decimal, Integer: the accepted range
    double maximum = 0;
    QStringList items; // List: the items, index 0 first
    QString caption;   // Button: the caption
    bool operator==(const GridCellType&) const = default;
};
Q_DECLARE_METATYPE(GridCellType)

// Besides what Qt shows (display, check state, alignment), each cell holds:
enum GridRole {
    // The value as the program or the user gave it (text, number, "1"/"0").
    GridValueRole = Qt::UserRole + 1,
    // A list cell's chosen index, -1 for none.
    GridIndexRole,
    // True when the user changed the value since the program last wrote it.
    GridEditedRole,
    // The cell's GridCellType.
    GridTypeRole,
    // True while a check or button cell is held down by the mouse.
    GridPressedRole,
    // What an editor hands back when it closes: the text typed (a QString)
    // or the list item chosen (an int). The grid takes it, checks it against
    // the cell's limits, stores it as the user's, and clears this role.
    GridCommitRole,
};
