// The printer object: a document of pages, each on its own paper size and
// orientation, drawn through a QPainter and handed to an explicit
// destination, the system's default printer or a PDF file.
//
// A page is drawn in its painter's device units, Resolution dots per inch
// from the paper's top-left corner. Origin() says where the printable area
// begins on the current page: the paper less the printer's hardware margins
// (none for a PDF file), in millimetres.
//
// Nothing reaches the destination before EndDoc, and nothing at all when any
// step fails or KillDoc is called, but for the jobs CUPS already released when
// it fails at the end of EndDoc. For the system printer every run of pages
// of one layout is drawn into its own temporary PDF, and at EndDoc each PDF
// becomes one CUPS job (one job carries one paper size); the temporary files
// are removed in every case. A PDF file receives the whole document, each
// page at its own size, and appears only when complete.
#pragma once

#include "platform/SystemPrinter.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPointF>
#include <QString>
#include <memory>
#include <optional>

class QPainter;

class PrintDestination {
public:
    // The system's default printer, looked up when a document begins.
    static PrintDestination DefaultPrinter() { return PrintDestination(QString()); }
    static PrintDestination PdfFile(const QString& path) { return PrintDestination(path); }

    bool IsPdfFile() const { return !path_.isEmpty(); }
    const QString& PdfPath() const { return path_; }

private:
    explicit PrintDestination(const QString& path) : path_(path) {}
    QString path_;
};

class Printer {
public:
    // Device units per inch of the pages drawn: 1/1200 inch is 0.021 mm.
    static constexpr int Resolution = 1200;

    explicit Printer(const PrintDestination& destination);
    // An unfinished document is discarded.
    ~Printer();
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;

    // Between documents only.
    void SetDestination(const PrintDestination& destination);

    void SetCopies(int copies); // 1 to 999
    // Until set, a page has the destination's own paper and orientation (the
    // default printer's; A4 portrait for a PDF file). What is set stays in
    // force from page to page and from one document to the next.
    void SetPageSize(const QPageSize& size);
    void SetOrientation(QPageLayout::Orientation orientation);
    // What was set and is in force; nullopt while the destination's own is.
    std::optional<QPageSize> PageSize() const { return size_; }
    std::optional<QPageLayout::Orientation> Orientation() const { return orientation_; }
    // The destination's own paper and orientation: the default printer's (it
    // is asked when no document is open; throws when there is none), A4
    // portrait for a PDF file.
    QPageLayout OwnLayout() const;

    // Begins the next page, the first one beginning the document, on the
    // paper and orientation in force, and gives the painter that draws on it
    // (valid until the next BeginPage, EndDoc or KillDoc).
    QPainter& BeginPage();
    // Millimetres from the current page's top-left corner to the corner of
    // its printable area.
    QPointF Origin() const { return origin_; }

    // Ends the document, at least one page, and hands it to the destination.
    // When the print system fails after some of its jobs were released, those
    // stay and the failure counts their pages, the first pages of the
    // document (PrinterError::pagesHandedOver).
    void EndDoc();
    // Discards the document: nothing of it reaches the destination.
    void KillDoc();

private:
    struct Layout;
    struct Run;
    struct Document;

    Layout currentLayout() const;
    void finishRun(Run& run);

    PrintDestination destination_;
    int copies_ = 1;
    std::optional<QPageSize> size_;
    std::optional<QPageLayout::Orientation> orientation_;
    QPointF origin_;
    std::unique_ptr<Document> doc_;
};
