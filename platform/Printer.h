// The printer object: the program sets it up, moves its current position in
// millimetres and prints lines of text; the sheets go to an explicit
// destination, the system's default printer or a PDF file.
//
// Coordinates are millimetres from the top-left corner of the printable area:
// the paper less the printer's hardware margins (none for a PDF file). A
// printed line's top lies at the current vertical position; ending the line
// moves down by the font's height (ascent + descent, nothing added) and sets
// the horizontal position back to 0.
//
// A document begins with the first Print or NewPage and holds pages 1 to n,
// n being one more than the NewPage calls: every page is a sheet, blank or not.
// A page takes the orientation and paper size in force when it is first
// printed on, or when it ends if nothing was printed on it. Settings stay in
// force from one document to the next.
//
// Nothing reaches the destination before EndDoc, and nothing at all when any
// step fails or KillDoc is called. For the system printer every run of pages
// of one layout is drawn into its own temporary PDF, and at EndDoc each PDF
// becomes one CUPS job (one job carries one paper size); the temporary files
// are removed in every case. A PDF file receives the whole document, each
// page at its own size, and appears only when complete.
#pragma once

#include "platform/SystemPrinter.h"

#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QString>
#include <memory>
#include <optional>

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
    // The values are the classic device codes.
    enum class Orientation { Portrait = 1, Landscape = 2 };
    enum class Paper { A3 = 8, A4 = 9, A5 = 11, JisB4 = 12, JisB5 = 13 };
    // The one coordinate unit there is.
    enum class Unit { Millimetre = 6 };

    explicit Printer(const PrintDestination& destination);
    // An unfinished document is discarded.
    ~Printer();
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;

    // Between documents only.
    void SetDestination(const PrintDestination& destination);

    void SetCopies(int copies); // 1 to 999
    void SetUnit(Unit unit);
    void SetFontName(const QString& name);
    // Points, above 0 and at most 2160; anything else throws.
    void SetFontSize(double points);
    // Until set, a page has the destination's own paper and orientation (the
    // default printer's; A4 portrait for a PDF file).
    void SetOrientation(Orientation orientation);
    void SetPaperSize(Paper paper);

    float CurrentX() const { return x_; }
    float CurrentY() const { return y_; }
    // A position that is not a finite number throws.
    void SetCurrentX(float mm);
    void SetCurrentY(float mm);

    // The printed width of `text` in the current font, in millimetres.
    double TextWidth(const QString& text) const;

    // Prints `text` at the current position and ends the line.
    void Print(const QString& text);
    void NewPage();
    // Ends the document and hands it to the destination.
    void EndDoc();
    // Discards the document: nothing of it reaches the destination.
    void KillDoc();

private:
    struct Layout;
    struct Run;
    struct Document;

    QFont font() const;
    Layout currentLayout() const;
    void beginDocument();
    void beginPage();
    void finishRun(Run& run);

    PrintDestination destination_;
    int copies_ = 1;
    QString fontName_;
    double fontSize_ = 10;
    std::optional<Orientation> orientation_;
    std::optional<Paper> paper_;
    float x_ = 0;
    float y_ = 0;
    std::unique_ptr<Document> doc_;
};
