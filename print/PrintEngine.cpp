#include "print/PrintEngine.h"

#include "common/Globals.h"
#include "common/Messages.h"
#include "layout/PaperSizes.h"
#include "platform/Printer.h"
#include "print/CalibrationSheet.h"
#include "print/SheetRenderer.h"

#include <QPainter>
#include <memory>

namespace {

std::unique_ptr<Printer>& runPrinter() {
    static std::unique_ptr<Printer> printer;
    return printer;
}

Printer& printerOfTheRun() {
    if (!runPrinter())
        runPrinter() = std::make_unique<Printer>(PrintDestination::DefaultPrinter());
    return *runPrinter();
}

void setDestination(const PrintDestination& destination) {
    if (runPrinter())
        runPrinter()->SetDestination(destination);
    else
        runPrinter() = std::make_unique<Printer>(destination);
}

// Sets what the sheet's codes name; a code outside the lists leaves the
// printer's paper or orientation as it was.
void setPaper(Printer& printer, const Sheet& sheet) {
    if (sheet.direction == PaperDirections::Portrait)
        printer.SetOrientation(QPageLayout::Portrait);
    else if (sheet.direction == PaperDirections::Landscape)
        printer.SetOrientation(QPageLayout::Landscape);
    if (const PaperSize* size = PaperSizes::Find(sheet.size))
        printer.SetPageSize(QPageSize(size->pageSizeId));
}

// Draws one document on the run's printer with `drawPages` and hands it to
// the destination; on any failure nothing reaches it.
template <class DrawPages> void printDocument(DrawPages drawPages) {
    Printer& printer = printerOfTheRun();
    try {
        drawPages(printer);
        printer.EndDoc();
    } catch (...) {
        printer.KillDoc();
        throw;
    }
}

} // namespace

void PrintToDefaultPrinter() {
    setDestination(PrintDestination::DefaultPrinter());
}

void PrintToPdfFile(const QString& path) {
    setDestination(PrintDestination::PdfFile(path));
}

void ResetRunPrinter() {
    runPrinter().reset();
}

void SetPrinterDefaults() {
    printerOfTheRun().SetCopies(1);
}

void PrintSheets(const SheetPlan& plan) {
    SetPrinterDefaults();
    if (plan.isEmpty()) {
        ShowMessage(QStringLiteral("印刷対象ページ"), QString(), Msg::NotSelected);
        return;
    }
    printDocument([&](Printer& printer) {
        for (const Sheet& sheet : plan) {
            setPaper(printer, sheet);
            QPainter& painter = printer.BeginPage();
            SheetRenderer(painter, printer.Origin(), QPointF(OffsetLeft, OffsetTop)).Draw(sheet);
        }
    });
}

void PrintCalibrationSheet(QPointF offsets) {
    SetPrinterDefaults();
    printDocument([&](Printer& printer) {
        printer.SetOrientation(QPageLayout::Portrait);
        printer.SetPageSize(QPageSize(QPageSize::A4));
        QPainter& painter = printer.BeginPage();
        CalibrationSheet(painter, printer.Origin(), offsets).Draw();
    });
}

void PaintSheet(QPaintDevice& device, const Sheet& sheet, QPointF offsets) {
    QPainter painter(&device);
    SheetRenderer(painter, QPointF(), offsets).Draw(sheet);
}
