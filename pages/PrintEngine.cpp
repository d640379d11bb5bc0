#include "pages/PrintEngine.h"

#include "common/Globals.h"
#include "common/Messages.h"
#include "common/TextUnits.h"
#include "platform/Printer.h"

#include <iterator>
#include <memory>

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

void setOrientation(Printer& printer, int direction) {
    switch (direction) {
    case 0:
        printer.SetOrientation(Printer::Orientation::Portrait);
        break;
    case 1:
        printer.SetOrientation(Printer::Orientation::Landscape);
        break;
    default:
        break; // the orientation stays as it was
    }
}

void setPaperSize(Printer& printer, int size) {
    static const Printer::Paper papers[] = {Printer::Paper::A3, Printer::Paper::A4,
                                            Printer::Paper::A5, Printer::Paper::JisB4,
                                            Printer::Paper::JisB5};
    if (size >= 0 && size < int(std::size(papers)))
        printer.SetPaperSize(papers[size]);
    // Any other code leaves the paper size as it was.
}

} // namespace

Printer& RunPrinter() {
    if (!runPrinter())
        runPrinter() = std::make_unique<Printer>(PrintDestination::DefaultPrinter());
    return *runPrinter();
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
    Printer& printer = RunPrinter();
    printer.SetCopies(1);
    printer.SetUnit(Printer::Unit::Millimetre);
    printer.SetFontName(QStringLiteral("ＭＳ Ｐ明朝"));
}

void PrintSheets(const SheetPlan& pages) {
    SetPrinterDefaults();
    if (pages.isEmpty()) {
        ShowMessage(QStringLiteral("印刷対象ページ"), QString(), Msg::NotSelected);
        return;
    }
    Printer& printer = RunPrinter();
    try {
        int printed = 0;
        for (const Sheet& page : pages) {
            if (printed != 0)
                printer.NewPage();
            setOrientation(printer, page.direction);
            setPaperSize(printer, page.size);
            for (const TextItem& item : page.items)
                PrintTextItem(item);
            ++printed;
        }
        printer.EndDoc();
    } catch (...) {
        printer.KillDoc();
        throw;
    }
}

void PrintTextItem(const TextItem& item) {
    Printer& printer = RunPrinter();
    printer.SetFontSize(item.pSize);
    printer.SetCurrentY(float(item.pTop - OffsetTop));
    // A characters-per-line value of 0 or below cuts nothing: every line is empty.
    const QStringList pieces = SplitCharacters(item.moji, item.pColCount);
    for (int k = 0; k < item.pRowCount; ++k) {
        const QString piece = k < pieces.size() ? pieces[k] : QString();
        switch (item.pPosition) {
        case 1: {
            const double w = printer.TextWidth(piece);
            printer.SetCurrentX(
                float(item.pLeft + (item.pRight - item.pLeft) / 2 - w / 2 - OffsetLeft));
            break;
        }
        case 2: {
            const double w = printer.TextWidth(piece);
            printer.SetCurrentX(float(item.pRight - w - OffsetLeft));
            break;
        }
        default:
            // Left (0), and any code outside the list (-1 when no alignment
            // was chosen): the line starts at the box's left edge, never at
            // the paper's edge.
            printer.SetCurrentX(float(item.pLeft - OffsetLeft));
            break;
        }
        printer.Print(piece);
    }
}
