// The print engine: every sheet of a plan on its own paper size and
// orientation, each text item cut into lines by character count
// and set in its box, moved by the printer offsets.
#pragma once

#include "layout/TextItem.h"
#include "print/SheetPlan.h"

#include <QString>
#include <QtGlobal>

class Printer;
// The printer of the whole run: what one print command sets stays in force
// for the next. It prints on the system's default printer unless told to
// write a PDF file.
Printer& RunPrinter();
void PrintToDefaultPrinter();
void PrintToPdfFile(const QString& path);
// Forgets the run's printer and its settings; the next command starts from
// the destination's own paper and orientation.
void ResetRunPrinter();

// Copies 1, unit millimetres, font "ＭＳ Ｐ明朝".
void SetPrinterDefaults();

// Prints the sheets of `plan` in order, each on its own paper size and
// direction, as one document; a failure throws and nothing reaches the
// printer. With no sheet to print it says so and prints nothing.
void PrintSheets(const SheetPlan& plan);

// Prints one item on the current page of the run's printer.
void PrintTextItem(const TextItem& item);
