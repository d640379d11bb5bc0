#include "platform/Printer.h"

#include "platform/SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryFile>
#include <sys/stat.h>
#include <vector>

// A page's paper and orientation; `chosen` is false while the page has the
// destination's own paper, which the program never set.
struct Printer::Layout {
    QPageSize size;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    bool chosen = false;

    bool operator==(const Layout& o) const {
        return size.isEquivalentTo(o.size) && orientation == o.orientation;
    }
    QPageLayout pageLayout() const { return QPageLayout(size, orientation, QMarginsF()); }
};

// One PDF being drawn: the whole document for a PDF file, a run of pages of
// one layout for the system printer.
struct Printer::Run {
    Layout layout;
    int pages = 0;
    std::unique_ptr<QTemporaryFile> file;
    std::unique_ptr<QPdfWriter> writer;
    QPainter painter;
};

struct Printer::Document {
    QString printerName;                 // the system printer; empty for a PDF file
    std::unique_ptr<PrinterPaper> paper; // what that printer says about paper
    std::vector<std::unique_ptr<Run>> runs;
};

Printer::Printer(const PrintDestination& destination) : destination_(destination) {}

Printer::~Printer() {
    KillDoc();
}

void Printer::SetDestination(const PrintDestination& destination) {
    if (doc_)
        throw PrinterError(QStringLiteral("印刷の途中で印刷先は変えられません"));
    destination_ = destination;
}

void Printer::SetCopies(int copies) {
    if (copies < 1 || copies > 999)
        throw PrinterError(QStringLiteral("部数が正しくありません: %1").arg(copies));
    copies_ = copies;
}

void Printer::SetPageSize(const QPageSize& size) {
    if (!size.isValid())
        throw PrinterError(QStringLiteral("用紙の大きさが正しくありません"));
    size_ = size;
}

void Printer::SetOrientation(QPageLayout::Orientation orientation) {
    orientation_ = orientation;
}

QPageLayout Printer::OwnLayout() const {
    if (destination_.IsPdfFile())
        return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF());
    if (doc_)
        return doc_->paper->OwnLayout();
    return PrinterPaper(DefaultPrinterName()).OwnLayout();
}

Printer::Layout Printer::currentLayout() const {
    Layout layout;
    const QPageLayout own = OwnLayout();
    layout.size = own.pageSize();
    layout.orientation = own.orientation();
    if (size_) {
        layout.size = *size_;
        layout.chosen = true;
    }
    if (orientation_)
        layout.orientation = *orientation_;
    return layout;
}

QPainter& Printer::BeginPage() {
    if (!doc_) {
        auto doc = std::make_unique<Document>();
        if (!destination_.IsPdfFile()) {
            doc->printerName = DefaultPrinterName();
            doc->paper = std::make_unique<PrinterPaper>(doc->printerName);
        }
        doc_ = std::move(doc);
    }
    const Layout layout = currentLayout();
    Run* run = doc_->runs.empty() ? nullptr : doc_->runs.back().get();
    const bool pdfFile = destination_.IsPdfFile();
    if (run && (pdfFile || run->layout == layout)) {
        // One PDF file takes every layout, page by page.
        run->writer->setPageLayout(layout.pageLayout());
        if (!run->writer->newPage())
            throw PrinterError(QStringLiteral("次の用紙を始められません"));
        ++run->pages;
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
            throw PrinterError(QStringLiteral("ファイルに書き込めません: %1: %2")
                                   .arg(next->file->fileName(), next->file->errorString()));
        next->writer = std::make_unique<QPdfWriter>(next->file.get());
        next->writer->setResolution(Resolution);
        next->writer->setCreator(QStringLiteral("VESK"));
        next->writer->setPageLayout(layout.pageLayout());
        if (!next->painter.begin(next->writer.get()))
            throw PrinterError(QStringLiteral("用紙の描画を始められません"));
        next->pages = 1;
        doc_->runs.push_back(std::move(next));
    }
    origin_ = QPointF();
    if (doc_->paper) {
        const QMarginsF margins = doc_->paper->Margins(layout.size, layout.orientation);
        origin_ = QPointF(margins.left(), margins.top());
    }
    return doc_->runs.back()->painter;
}

void Printer::finishRun(Run& run) {
    if (run.painter.isActive() && !run.painter.end())
        throw PrinterError(QStringLiteral("用紙の描画を終えられません"));
    const bool flushed = !run.file->isOpen() || run.file->flush();
    if (!flushed || run.file->error() != QFileDevice::NoError)
        throw PrinterError(QStringLiteral("ファイルに書き込めません: %1: %2")
                               .arg(run.file->fileName(), run.file->errorString()));
    run.file->close();
}

void Printer::EndDoc() {
    try {
        if (!doc_)
            throw PrinterError(QStringLiteral("印刷する用紙がありません"));
        for (const auto& run : doc_->runs)
            finishRun(*run);
        if (destination_.IsPdfFile()) {
            QTemporaryFile& file = *doc_->runs.back()->file;
            // The file gets the permissions of any new file of the user's,
            // not the owner-only ones of a temporary file.
            const mode_t mask = ::umask(0);
            ::umask(mask);
            if (::chmod(QFile::encodeName(file.fileName()).constData(), 0666 & ~mask) != 0)
                throw PrinterError(
                    QStringLiteral("Cannot set the permissions of %1").arg(file.fileName()));
            try {
                ReplaceFile(file.fileName(), destination_.PdfPath());
            } catch (const std::exception& e) {
                throw PrinterError(QString::fromUtf8(e.what()));
            }
            file.setAutoRemove(false);
        } else {
            QList<PrintJob> jobs;
            for (const auto& run : doc_->runs) {
                PrintJob job;
                job.file = run->file->fileName();
                job.title = QStringLiteral("VESK");
                if (run->layout.chosen)
                    job.paper = run->layout.size;
                job.orientation = run->layout.orientation;
                job.copies = copies_;
                jobs.append(job);
            }
            try {
                SubmitJobs(doc_->printerName, jobs);
            } catch (PrinterError& e) {
                for (int i = 0; i < e.releasedJobs; ++i)
                    e.pagesHandedOver += doc_->runs[size_t(i)]->pages;
                throw;
            }
        }
    } catch (...) {
        KillDoc();
        throw;
    }
    doc_.reset(); // removes the temporary files
    origin_ = QPointF();
}

void Printer::KillDoc() {
    if (!doc_)
        return;
    for (const auto& run : doc_->runs) {
        if (run->painter.isActive())
            run->painter.end();
    }
    doc_.reset(); // removes the temporary files
    origin_ = QPointF();
}
