// The print engine: every ticked page of the page grid on a sheet of its own
// paper size and orientation, each text item cut into lines by character count
// and set in its box, moved by the printer offsets.
#pragma once

#include <QString>
#include <QtGlobal>

class Printer;
class SpreadGrid;

// One text item (a row of table moji) as printing takes it.
struct TextItem {
    QString moji;
    double pSize = 0;  // points
    double pLeft = 0;  // millimetres from the paper's left edge
    double pRight = 0; // millimetres from the paper's left edge
    double pTop = 0;   // millimetres from the paper's top edge
    qint16 pColCount = 0;
    qint16 pRowCount = 0;
    qint16 pPosition = 0; // alignment code: 0 left, 1 centre, 2 right; any other prints as left
};

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

// The print button's action on the page setup screen whose page grid is
// `grid`: rows 1 to 30 with PageIds, down to the first row without a saved
// page. Everything is read from the grid and the database before anything is
// drawn; a failure throws and nothing reaches the printer. With no page to
// print it says so and prints nothing.
void PrintSelectedPages(SpreadGrid* grid);

// Prints one item on the current page of the run's printer.
void PrintTextItem(const TextItem& item);
