#include "print/PrintEngine.h"

#include "common/Globals.h"
#include "common/Messages.h"
#include "platform/Printer.h"
#include "print/SheetRenderer.h"

#include <QPainter>
#include <memory>
#include <stdexcept>

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

// Sets what the program chose for the sheet; the rest stays the destination's own.
void setPaper(Printer& printer, const SheetPaper& paper) {
    if (paper.orientation)
        printer.SetOrientation(*paper.orientation);
    if (paper.size)
        printer.SetPageSize(*paper.size);
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

SheetPaper PaperInForce() {
    const Printer& printer = printerOfTheRun();
    return SheetPaper{printer.PageSize(), printer.Orientation()};
}

QPageLayout OwnPaper() {
    return printerOfTheRun().OwnLayout();
}

void ShowNothingToPrint() {
    ShowMessage(QStringLiteral("印刷対象ページ"), QString(), Msg::NotSelected);
}

void PrintSheets(const SheetPlan& plan) {
    PrintSheets(plan, ResolvePapers(plan, PaperInForce()));
}

void PrintSheets(const SheetPlan& plan, const QList<SheetPaper>& papers) {
    SetPrinterDefaults();
    if (plan.isEmpty()) {
        ShowNothingToPrint();
        return;
    }
    if (papers.size() != plan.size())
        throw std::invalid_argument("A paper for every sheet");
    Printer& printer = printerOfTheRun();
    try {
        for (qsizetype i = 0; i < plan.size(); ++i) {
            const Sheet& sheet = plan[i];
            setPaper(printer, papers[i]);
            QPainter& painter = printer.BeginPage();
            SheetRenderer(painter, printer.Origin(), QPointF(OffsetLeft, OffsetTop)).Draw(sheet);
        }
        printer.EndDoc();
    } catch (...) {
        printer.KillDoc();
        throw;
    }
}

void PaintSheet(QPaintDevice& device, const Sheet& sheet, QPointF offsets) {
    QPainter painter(&device);
    SheetRenderer(painter, QPointF(), offsets).Draw(sheet);
}
