#include "print/PrintEngine.h"

#include "common/Globals.h"
#include "common/Messages.h"
#include "platform/Printer.h"
#include "print/CalibrationSheet.h"
#include "print/SheetRenderer.h"

#include <QPainter>
#include <functional>
#include <memory>
#include <stdexcept>

namespace {

std::unique_ptr<Printer>& runPrinter() {
    static std::unique_ptr<Printer> printer;
    return printer;
}

Printer& runPrinterMade() {
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

// Draws one document on the run's printer with `drawPages` and hands it to
// the destination; on any failure nothing reaches it. When the print system
// fails after handing over its first sheets, the failure adds what
// `handedOver` says of them, so the user does not print them twice.
template <class DrawPages>
void printDocument(DrawPages drawPages, const std::function<QString(int sheets)>& handedOver) {
    Printer& printer = runPrinterMade();
    try {
        drawPages(printer);
        printer.EndDoc();
    } catch (const PrinterError& e) {
        printer.KillDoc();
        if (e.pagesHandedOver == 0)
            throw;
        throw PrinterError(QString::fromUtf8(e.what()) + u'\n' + handedOver(e.pagesHandedOver));
    } catch (...) {
        printer.KillDoc();
        throw;
    }
}

// "用紙 1～n 枚目は印刷に渡されました。"
QString sheetsHandedOver(int sheets) {
    return (sheets == 1 ? QStringLiteral("用紙 1 枚目")
                        : QStringLiteral("用紙 1～%1 枚目").arg(sheets)) +
           QStringLiteral("は印刷に渡されました。");
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
    runPrinterMade().SetCopies(1);
}

SheetPaper PaperInForce() {
    const Printer& printer = runPrinterMade();
    return SheetPaper{printer.PageSize(), printer.Orientation()};
}

QPageLayout OwnPaper() {
    return runPrinterMade().OwnLayout();
}

void ShowNothingToPrint() {
    ShowMessage(QStringLiteral("印刷対象ページ"), QString(), Msg::NotSelected);
}

void PrintSheets(const SheetPlan& plan) {
    PrintSheets(plan, ResolvePapers(plan, PaperInForce()));
}

void PrintSheets(const SheetPlan& plan, const QList<SheetPaper>& papers) {
    PrintSheetRuns(
        plan, papers, 1, [&](int) { return plan; }, sheetsHandedOver);
}

void PrintSheetRuns(const SheetPlan& plan, const QList<SheetPaper>& papers, int runs,
                    const std::function<SheetPlan(int run)>& runOf,
                    const std::function<QString(int sheets)>& handedOver) {
    SetPrinterDefaults();
    if (plan.isEmpty()) {
        ShowNothingToPrint();
        return;
    }
    if (papers.size() != plan.size())
        throw std::invalid_argument("A paper for every sheet");
    printDocument(
        [&](Printer& printer) {
            for (int run = 0; run < runs; ++run) {
                const SheetPlan sheets = runOf(run);
                if (sheets.size() != papers.size())
                    throw std::invalid_argument("A paper for every sheet of a run");
                for (qsizetype i = 0; i < sheets.size(); ++i) {
                    setPaper(printer, papers[i]);
                    QPainter& painter = printer.BeginPage();
                    SheetRenderer(painter, printer.Origin(), QPointF(OffsetLeft, OffsetTop))
                        .Draw(sheets[i]);
                }
            }
        },
        handedOver);
}

void PrintCalibrationSheet(QPointF offsets) {
    SetPrinterDefaults();
    printDocument(
        [&](Printer& printer) {
            printer.SetOrientation(QPageLayout::Portrait);
            printer.SetPageSize(QPageSize(QPageSize::A4));
            QPainter& painter = printer.BeginPage();
            CalibrationSheet(painter, printer.Origin(), offsets).Draw();
        },
        sheetsHandedOver);
}

void PaintSheet(QPaintDevice& device, const Sheet& sheet, QPointF offsets) {
    QPainter painter(&device);
    SheetRenderer(painter, QPointF(), offsets).Draw(sheet);
}
