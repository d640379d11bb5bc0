// Draws the text items of one sheet onto any painter: a printer's page, a
// PDF page, a picture, a screen. Positions are millimetres from the sheet's
// top-left corner, turned into the painter's units by its device's
// resolution; text is measured with the font as that device sets it.
//
// Each item is set in the face "ＭＳ Ｐ明朝" at its own size, cut into lines
// of its characters-per-line count (characters as the user sees them; an
// item that breaks lines ends a line at each "\n" too, and the count starts
// afresh after it), at most its number of lines, line k
// one line height (the font's ascent + descent) below line k - 1, the first
// line's top at the box's top. Left alignment (0, and any code outside the
// list) starts a line at the box's left edge, centre (1) puts its middle on
// the box's middle, right (2) ends it at the box's right edge. The printer offsets are taken off
// every position.
#pragma once

#include "layout/TextItem.h"
#include "print/SheetPlan.h"

#include <QPointF>
#include <QRectF>
#include <QString>

class QPainter;

class SheetRenderer {
public:
    // `origin`: millimetres from the sheet's corner to where positions count
    // from (a printer's hardware margins; none on a PDF file or a picture).
    // `offsets`: the printer offsets, left and top, taken off every position.
    SheetRenderer(QPainter& painter, QPointF origin, QPointF offsets);

    void Draw(const Sheet& sheet) const;
    // A font size outside (0, 2160] points, or a position that does not fit
    // the printer's numbers, throws and draws nothing more.
    void Draw(const TextItem& item) const;
    // The box `item` takes on the sheet, in millimetres from the sheet's
    // corner as the item's numbers give it: from its left to its right edge,
    // from its top down its lines, each one line height of its font on this
    // painter's device. Throws for a font size outside (0, 2160] points.
    QRectF Box(const TextItem& item) const;
    // A straight line `width` millimetres thick from `from` to `to`
    // (millimetres from the sheet's corner, moved like a text item), its ends
    // cut square at its end points. A position that does not fit the
    // printer's numbers throws and draws nothing.
    void DrawLine(QPointF from, QPointF to, double width) const;

private:
    double toDeviceX(double mm) const { return mm * dpiX_ / MmPerInch; }
    double toDeviceY(double mm) const { return mm * dpiY_ / MmPerInch; }
    double toMmX(double device) const { return device * MmPerInch / dpiX_; }
    double toMmY(double device) const { return device * MmPerInch / dpiY_; }

    static constexpr double MmPerInch = 25.4;
    QPainter& painter_;
    QPointF origin_;
    QPointF offsets_;
    double dpiX_, dpiY_;
};
