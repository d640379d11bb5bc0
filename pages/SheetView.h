// One sheet of the print preview as it lies on the desk: white paper with its
// edge on the area's dark ground, the text at its millimetres from the sheet's edge,
// and the scanned form of its page behind the text while the form is shown.
// It is drawn at the screen's device pixel ratio by the same renderer as the
// printed sheet, measuring text at the resolution it is drawn at; only the
// part on view is drawn, so a large zoom costs no more memory than the screen.
#pragma once

#include "print/SheetPlan.h"

#include <QImage>
#include <QSizeF>
#include <QWidget>

class SheetView : public QWidget {
    Q_OBJECT
public:
    // Grey ground around the sheet, logical pixels.
    static constexpr int Margin = 16;

    explicit SheetView(QWidget* parent = nullptr);

    // The sheet, its size in millimetres as it lies (landscape turned), and
    // its form (null: none).
    void SetSheet(const Sheet& sheet, QSizeF sheetMm, const QImage& form);
    void SetFormShown(bool shown);
    // Logical pixels per millimetre; the widget takes the size of the sheet.
    void SetScale(double pixelsPerMm);
    double Scale() const { return scale_; }
    QSizeF SheetMm() const { return mm_; }

    // The whole sheet as the view draws it, in device pixels, its resolution
    // in its dots per metre and its device pixel ratio the view's.
    QImage Picture();
    // Where the sheet lies in the widget, logical pixels.
    QRect SheetRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Device dots per inch of the drawing, and the sheet's size in device pixels.
    int deviceDpi() const;
    QSize deviceSheetSize() const;
    // The part `part` (device pixels of the sheet) of the sheet drawn.
    QImage render(const QRect& part);
    void changed();

    Sheet sheet_;
    QSizeF mm_{210, 297};
    QImage form_;
    bool formShown_ = true;
    double scale_ = 1;
    // The form reduced to the drawing's size once, at its best quality; kept
    // while the sheet, the scale and the pixel ratio stay.
    QImage formDrawn_;
    int formDrawnDpi_ = 0;
};
