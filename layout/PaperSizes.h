// The paper sizes and directions a page can have. A page stores the code of
// each: the index of the item chosen in the page grid's list, -1 for none.
#pragma once

#include <QPageSize>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QtGlobal>

struct PaperSize {
    qint16 code;
    QString item; // as the page grid's list shows it
    double widthMm;
    double heightMm;
    QPageSize::PageSizeId pageSizeId;
};

namespace PaperSizes {
// Every size, in the order of its code.
const QList<PaperSize>& All();
// The size of `code`; nullptr for a code outside the table.
const PaperSize* Find(int code);
// The page grid's list items, in code order.
QStringList Items();
} // namespace PaperSizes

namespace PaperDirections {
inline constexpr qint16 Portrait = 0;
inline constexpr qint16 Landscape = 1;
// The page grid's list items, in code order.
QStringList Items();
} // namespace PaperDirections

// The sheet of a page in millimetres, its width across and height down as the
// paper lies for `direction` (landscape turns it). Empty for a size code
// outside the table; a direction other than landscape is portrait.
QSizeF SheetSizeMm(int sizeCode, int direction);
