#include "platform/Printer.h"

#include "platform/SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryFile>
#include <cmath>
#include <vector>

namespace {

// Device units per inch of the PDFs drawn: 1/1200 inch is 0.021 mm.
constexpr int Resolution = 1200;
constexpr double MmPerInch = 25.4;

double toDevice(double mm) {
    return mm * Resolution / MmPerInch;
}
double toMm(double device) {
    return device * MmPerInch / Resolution;
}

// Fonts are measured at the drawing resolution without a document, so a
// width can be asked for before anything is printed.
const QPaintDevice* measuringDevice() {
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_Mono);
        const int dotsPerMetre = int(std::lround(Resolution / MmPerInch * 1000));
        image.setDotsPerMeterX(dotsPerMetre);
        image.setDotsPerMeterY(dotsPerMetre);
        return image;
    }();
    return &device;
}

struct PaperInfo {
    QPageSize::PageSizeId id;
    const char* media; // PWG media name
};

PaperInfo paperInfo(Printer::Paper paper) {
    switch (paper) {
    case Printer::Paper::A3:
        return {QPageSize::A3, "iso_a3_297x420mm"};
    case Printer::Paper::A4:
        return {QPageSize::A4, "iso_a4_210x297mm"};
    case Printer::Paper::A5:
        return {QPageSize::A5, "iso_a5_148x210mm"};
    case Printer::Paper::JisB4:
        return {QPageSize::JisB4, "jis_b4_257x364mm"};
    case Printer::Paper::JisB5:
        return {QPageSize::JisB5, "jis_b5_182x257mm"};
    }
    throw PrinterError(QStringLiteral("Unknown paper size"));
}

} // namespace

// A page's paper and orientation; `paper` is empty when the page has the
// destination's own paper, which the program never chose.
struct Printer::Layout {
    QPageSize size;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    std::optional<Paper> paper;

    bool operator==(const Layout& o) const {
        return size.isEquivalentTo(o.size) && orientation == o.orientation;
    }
    QPageLayout pageLayout() const { return QPageLayout(size, orientation, QMarginsF()); }
};

// One PDF being drawn: the whole document for a PDF file, a run of pages of
// one layout for the system printer.
struct Printer::Run {
    Layout layout;
    std::unique_ptr<QTemporaryFile> file;
    std::unique_ptr<QPdfWriter> writer;
    QPainter painter;
};

struct Printer::Document {
    QString printerName;                 // the system printer; empty for a PDF file
    std::unique_ptr<PrinterPaper> paper; // what that printer says about paper
    std::vector<std::unique_ptr<Run>> runs;
    bool pageBegun = false;
    QPointF origin; // millimetres from the paper's corner to the printable area's
};

Printer::Printer(const PrintDestination& destination) : destination_(destination) {}

Printer::~Printer() {
    KillDoc();
}

void Printer::SetDestination(const PrintDestination& destination) {
    if (doc_)
        throw PrinterError(QStringLiteral("The destination cannot change within a document"));
    destination_ = destination;
}

void Printer::SetCopies(int copies) {
    if (copies < 1 || copies > 999)
        throw PrinterError(QStringLiteral("Invalid number of copies: %1").arg(copies));
    copies_ = copies;
}

void Printer::SetUnit(Unit /*unit*/) {
    // Millimetres are the only unit.
}

void Printer::SetFontName(const QString& name) {
    fontName_ = name;
}

void Printer::SetFontSize(double points) {
    if (!(points > 0 && points <= 2160))
        throw PrinterError(QStringLiteral("Invalid font size: %1").arg(points));
    fontSize_ = points;
}

void Printer::SetOrientation(Orientation orientation) {
    orientation_ = orientation;
}

void Printer::SetPaperSize(Paper paper) {
    paperInfo(paper); // refuses a value outside the list
    paper_ = paper;
}

void Printer::SetCurrentX(float mm) {
    if (!std::isfinite(mm))
        throw PrinterError(QStringLiteral("Invalid horizontal position"));
    x_ = mm;
}

void Printer::SetCurrentY(float mm) {
    if (!std::isfinite(mm))
        throw PrinterError(QStringLiteral("Invalid vertical position"));
    y_ = mm;
}

QFont Printer::font() const {
    QFont f(fontName_);
    f.setPointSizeF(fontSize_);
    // Unhinted outlines: widths scale exactly with the size, on every device.
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

double Printer::TextWidth(const QString& text) const {
    return toMm(QFontMetricsF(font(), measuringDevice()).horizontalAdvance(text));
}

Printer::Layout Printer::currentLayout() const {
    Layout layout;
    if (destination_.IsPdfFile()) {
        layout.size = QPageSize(QPageSize::A4);
        layout.orientation = QPageLayout::Portrait;
    } else {
        const QPageLayout own = doc_->paper->OwnLayout();
        layout.size = own.pageSize();
        layout.orientation = own.orientation();
    }
    if (paper_) {
        layout.paper = paper_;
        layout.size = QPageSize(paperInfo(*paper_).id);
    }
    if (orientation_)
        layout.orientation = *orientation_ == Orientation::Landscape ? QPageLayout::Landscape
                                                                     : QPageLayout::Portrait;
    return layout;
}

void Printer::beginDocument() {
    auto doc = std::make_unique<Document>();
    if (!destination_.IsPdfFile()) {
        doc->printerName = DefaultPrinterName();
        doc->paper = std::make_unique<PrinterPaper>(doc->printerName);
    }
    doc_ = std::move(doc);
}

void Printer::beginPage() {
    const Layout layout = currentLayout();
    Run* run = doc_->runs.empty() ? nullptr : doc_->runs.back().get();
    const bool pdfFile = destination_.IsPdfFile();
    if (run && (pdfFile || run->layout == layout)) {
        // One PDF file takes every layout, page by page.
        run->writer->setPageLayout(layout.pageLayout());
        if (!run->writer->newPage())
            throw PrinterError(QStringLiteral("Cannot start a new page"));
    } else {
        if (run)
            finishRun(*run);
        auto next = std::make_unique<Run>();
        next->layout = layout;
        // A PDF file is drawn beside its final name and renamed when complete.
        const QString pattern =
            pdfFile ? QFileInfo(destination_.PdfPath()).absolutePath() + "/.vesk-print-XXXXXX.pdf"
                    : QDir::temp().filePath(QStringLiteral("vesk-print-XXXXXX.pdf"));
        next->file = std::make_unique<QTemporaryFile>(pattern);
        if (!next->file->open())
            throw PrinterError(QStringLiteral("Cannot write %1: %2")
                                   .arg(next->file->fileName(), next->file->errorString()));
        next->writer = std::make_unique<QPdfWriter>(next->file.get());
        next->writer->setResolution(Resolution);
        next->writer->setCreator(QStringLiteral("VESK"));
        next->writer->setPageLayout(layout.pageLayout());
        if (!next->painter.begin(next->writer.get()))
            throw PrinterError(QStringLiteral("Cannot begin drawing the sheets"));
        doc_->runs.push_back(std::move(next));
    }
    doc_->origin = QPointF();
    if (doc_->paper) {
        const QMarginsF margins = doc_->paper->Margins(layout.size, layout.orientation);
        doc_->origin = QPointF(margins.left(), margins.top());
    }
    doc_->pageBegun = true;
}

void Printer::finishRun(Run& run) {
    if (run.painter.isActive() && !run.painter.end())
        throw PrinterError(QStringLiteral("Cannot finish drawing the sheets"));
    const bool flushed = !run.file->isOpen() || run.file->flush();
    if (!flushed || run.file->error() != QFileDevice::NoError)
        throw PrinterError(QStringLiteral("Cannot write %1: %2")
                               .arg(run.file->fileName(), run.file->errorString()));
    run.file->close();
}

void Printer::Print(const QString& text) {
    if (!doc_)
        beginDocument();
    if (!doc_->pageBegun)
        beginPage();
    const QFont f = font();
    const QFontMetricsF metrics(f, measuringDevice());
    if (!text.isEmpty()) {
        QPainter& painter = doc_->runs.back()->painter;
        painter.setFont(f);
        painter.setPen(Qt::black);
        const QPointF baseline(toDevice(doc_->origin.x() + x_),
                               toDevice(doc_->origin.y() + y_) + metrics.ascent());
        painter.drawText(baseline, text);
    }
    y_ = float(double(y_) + toMm(metrics.height()));
    x_ = 0;
}

void Printer::NewPage() {
    if (!doc_)
        beginDocument();
    if (!doc_->pageBegun)
        beginPage();
    doc_->pageBegun = false;
    x_ = 0;
    y_ = 0;
}

void Printer::EndDoc() {
    try {
        if (!doc_)
            beginDocument();
        if (!doc_->pageBegun)
            beginPage();
        for (const auto& run : doc_->runs)
            finishRun(*run);
        if (destination_.IsPdfFile()) {
            QTemporaryFile& file = *doc_->runs.back()->file;
            try {
                ReplaceFile(file.fileName(), destination_.PdfPath());
            } catch (const std::exception& e) {
                throw PrinterError(QString::fromLocal8Bit(e.what()));
            }
            file.setAutoRemove(false);
        } else {
            QList<PrintJob> jobs;
            for (const auto& run : doc_->runs) {
                PrintJob job;
                job.file = run->file->fileName();
                job.title = QStringLiteral("VESK");
                if (run->layout.paper)
                    job.media = QString::fromLatin1(paperInfo(*run->layout.paper).media);
                job.landscape = run->layout.orientation == QPageLayout::Landscape;
                job.copies = copies_;
                jobs.append(job);
            }
            SubmitJobs(doc_->printerName, jobs);
        }
    } catch (...) {
        KillDoc();
        throw;
    }
    doc_.reset(); // removes the temporary files
    x_ = 0;
    y_ = 0;
}

void Printer::KillDoc() {
    if (!doc_)
        return;
    for (const auto& run : doc_->runs) {
        if (run->painter.isActive())
            run->painter.end();
    }
    doc_.reset(); // removes the temporary files
    x_ = 0;
    y_ = 0;
}
