// The print engine: the sheets of a plan, each on its own paper size and
// direction, drawn by the sheet renderer with the printer offsets taken off,
// onto the run's printer: the system's default printer or a PDF file.
#pragma once

#include "print/SheetPaper.h"
#include "print/SheetPlan.h"

#include <QPointF>
#include <QString>
#include <functional>

class QPaintDevice;

// The printer of the whole run: what one print command sets stays in force
// for the next. It prints on the system's default printer unless told to
// write a PDF file.
void PrintToDefaultPrinter();
void PrintToPdfFile(const QString& path);
// Forgets the run's printer and its settings; the next command starts from
// the destination's own paper and orientation.
void ResetRunPrinter();

// One copy of each sheet.
void SetPrinterDefaults();

// Prints the sheets of `plan` in order as one document, moved by the
// printer offsets OffsetLeft and OffsetTop. A sheet takes the paper size and
// direction of its codes; a code outside the lists leaves the one before in
// force (for the first sheet of the run, the destination's own). A failure
// throws and nothing reaches the printer. With no sheet to print it says so
// and prints nothing.
void PrintSheets(const SheetPlan& plan);
// The same with each sheet's paper resolved beforehand (ResolvePapers), as a
// preview showed them.
void PrintSheets(const SheetPlan& plan, const QList<SheetPaper>& papers);
// "印刷対象ページが選択されていません。": there is no sheet to print.
void ShowNothingToPrint();

// Prints `runs` runs of the sheets of `plan` in order as one document, as
// PrintSheets prints a plan: run k is `runOf(k)`, the sheets of `plan` as
// that run fills them, sheet i on `papers[i]`. When the print system fails
// after handing over the first n sheets, the failure adds `handedOver(n)`,
// for the user not to print them twice.
void PrintSheetRuns(const SheetPlan& plan, const QList<SheetPaper>& papers, int runs,
                    const std::function<SheetPlan(int run)>& runOf,
                    const std::function<QString(int sheets)>& handedOver);

// What the run's printer has in force before the next command's first sheet.
SheetPaper PaperInForce();
// The run's destination's own paper: the default printer's (throws when
// there is none), A4 portrait for a PDF file.
QPageLayout OwnPaper();

// Prints one calibration sheet on A4 portrait as one document, moved by
// `offsets` (left and top, millimetres) instead of the registered ones. A
// failure throws and nothing reaches the printer.
void PrintCalibrationSheet(QPointF offsets);

// Draws `sheet` onto `device` (a picture, a screen) from its top-left corner,
// which stands for the sheet's, at the device's resolution, moved by
// `offsets` (left and top, millimetres). Nothing but the text is painted.
void PaintSheet(QPaintDevice& device, const Sheet& sheet, QPointF offsets = QPointF());
