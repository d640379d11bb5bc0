// The calibration sheet: an A4 portrait sheet with crosses at known
// millimetres from the paper's top-left corner and lines at a known distance
// from each edge, drawn like any printed sheet (from the printable area's
// corner, the printer offsets taken off), with how to measure it in
// Japanese. Everything on it moves with the printer's error, so the sheet
// tells the user to measure from the paper's edges with a real ruler.
#pragma once

#include "print/SheetRenderer.h"

#include <QPointF>
#include <QSizeF>
#include <array>

class QPainter;

class CalibrationSheet {
public:
    // The paper, millimetres across and down.
    static constexpr QSizeF Paper{210, 297};
    // The crosses' centres, millimetres from the paper's top-left corner; the
    // user measures the first one.
    static constexpr std::array<QPointF, 3> Crosses = {QPointF(20, 20), QPointF(105, 148.5),
                                                       QPointF(190, 277)};
    // Half the length of a cross's arms.
    static constexpr double CrossArm = 6;
    // How far inside each edge of the paper its line lies.
    static constexpr double EdgeDistance = 10;
    // The thickness of every line.
    static constexpr double LineWidth = 0.2;

    // As SheetRenderer: `origin` the printable area's corner, `offsets` the
    // printer offsets (left, top) taken off every position and written on the
    // sheet.
    CalibrationSheet(QPainter& painter, QPointF origin, QPointF offsets);

    // The lines, the crosses with their labels and the instructions.
    void Draw() const;

private:
    void drawText(const QString& text, double points, double left, double top) const;
    void drawTextEndingAt(const QString& text, double points, double right, double top) const;

    SheetRenderer renderer_;
    QPointF offsets_;
};
