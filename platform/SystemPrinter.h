// The system's default printer as the printer object reaches it: its name and
// its own paper, its hardware margins, and the hand-over of finished PDFs to
// the CUPS scheduler (the one named by CUPS_SERVER, or the local one).
#pragma once

#include <QList>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QString>
#include <memory>
#include <stdexcept>

class QPrinter;

// Any failure of the printer object or the print system, with its cause.
class PrinterError : public std::runtime_error {
public:
    explicit PrinterError(const QString& message) : std::runtime_error(message.toStdString()) {}

    // When the print system failed after some of a document was handed over:
    // how many of its jobs were released (set by SubmitJobs), and how many of
    // its pages they carried (set by the printer object). Zero when nothing was.
    int releasedJobs = 0;
    int pagesHandedOver = 0;
};

// The name of the default CUPS destination; throws when there is none.
QString DefaultPrinterName();

// What one printer says about paper, asked through Qt's print support.
class PrinterPaper {
public:
    explicit PrinterPaper(const QString& printerName);
    ~PrinterPaper();
    PrinterPaper(const PrinterPaper&) = delete;
    PrinterPaper& operator=(const PrinterPaper&) = delete;

    // The paper and orientation the printer uses when it is told none.
    QPageLayout OwnLayout() const;
    // The hardware margins (millimetres) of a paper size in an orientation:
    // the strips at the edges of the page, as the page is drawn, that the
    // printer cannot reach.
    QMarginsF Margins(const QPageSize& size, QPageLayout::Orientation orientation);

private:
    std::unique_ptr<QPrinter> printer_;
    QPageLayout own_;
};

// One PDF to be printed as one job.
struct PrintJob {
    QString file;
    QString title;
    QPageSize paper; // not valid: the printer's own paper
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    int copies = 1;
};

// The name CUPS knows a paper size by, e.g. "iso_a4_210x297mm" for A4 (the
// PWG media name, looked up by the paper's size in millimetres).
QString MediaName(const QPageSize& paper);

// Hands `jobs` to `printerName`, all or none as far as CUPS allows: every job
// is created held, every document sent, and only then are the jobs released,
// first to last. Any refusal cancels every job of the call not yet released
// and throws with CUPS's message; a job already released may be printing and
// stays, and the failure counts those jobs (PrinterError::releasedJobs).
void SubmitJobs(const QString& printerName, const QList<PrintJob>& jobs);
