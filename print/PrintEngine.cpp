#include "print/PrintEngine.h"

#include "common/Globals.h"
#include "common/Messages.h"
#include "platform/Printer.h"
#include "print/CalibrationSheet.h"
#include "print/SheetRenderer.h"

#include <QPainter>
#include <memory>
#include <stdexcept>

namespace {

std::unique_ptr<Printer>& runPrinter() {
    static std::unique_ptr<Printer> printer;
    return printer;
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

// Draws one document on the run's printer with `drawPages` and hands it to
// the destination; on any failure nothing reaches it.
template <class DrawPages> void printDocument(DrawPages drawPages) {
    Printer& printer = RunPrinter();
    try {
        drawPages(printer);
        printer.EndDoc();
    } catch (const PrinterError& e) {
        printer.KillDoc();
        if (e.pagesHandedOver == 0)
            throw;
        // Those sheets may be printing already: the user must not print them twice.
        const QString sheets = e.pagesHandedOver == 1
                                   ? QStringLiteral("用紙 1 枚目")
                                   : QStringLiteral("用紙 1～%1 枚目").arg(e.pagesHandedOver);
        throw PrinterError(QString::fromUtf8(e.what()) + u'\n' + sheets +
                           QStringLiteral("は印刷に渡されました。"));
    } catch (...) {
        printer.KillDoc();
        throw;
    }
}

} // namespace

Printer& RunPrinter() {
    if (!runPrinter())
        runPrinter() = std::make_unique<Printer>(PrintDestination::DefaultPrinter());
    return *runPrinter();
}

void PrintNextSheet(Printer& printer, const Sheet& sheet, const SheetPaper& paper) {
    setPaper(printer, paper);
    QPainter& painter = printer.BeginPage();
    SheetRenderer(painter, printer.Origin(), QPointF(OffsetLeft, OffsetTop)).Draw(sheet);
}

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
    RunPrinter().SetCopies(1);
}

SheetPaper PaperInForce() {
    const Printer& printer = RunPrinter();
    return SheetPaper{printer.PageSize(), printer.Orientation()};
}

QPageLayout OwnPaper() {
    return RunPrinter().OwnLayout();
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
    printDocument([&](Printer& printer) {
        for (qsizetype i = 0; i < plan.size(); ++i)
            PrintNextSheet(printer, plan[i], papers[i]);
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
