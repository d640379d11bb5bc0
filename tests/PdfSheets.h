// Printed sheets read back from outside the program, with poppler's tools:
// sheet sizes from pdfinfo, words and their boxes from pdftotext, fonts from
// pdffonts, ink from pdftoppm pictures. Every length is in millimetres from the
// sheet's top-left corner.
#pragma once

#include <QDir>
#include <QImage>
#include <QList>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <algorithm>
#include <stdexcept>

namespace PdfSheets {

inline constexpr double MmPerPoint = 25.4 / 72;

struct Word {
    QString text;
    QRectF box;
};

struct Sheet {
    QSizeF size;
    QList<Word> words;
    // The words joined line by line, top to bottom (one line: one top).
    QStringList lines() const {
        QList<Word> sorted = words;
        std::stable_sort(sorted.begin(), sorted.end(), [](const Word& a, const Word& b) {
            return a.box.top() < b.box.top() - 0.1 ||
                   (qAbs(a.box.top() - b.box.top()) <= 0.1 && a.box.left() < b.box.left());
        });
        QStringList result;
        double top = -1e9;
        for (const Word& w : sorted) {
            if (result.isEmpty() || qAbs(w.box.top() - top) > 0.1)
                result.append(w.text);
            else
                result.last() += w.text;
            top = w.box.top();
        }
        return result;
    }
};

inline QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw std::runtime_error(
            (program + " failed: " + QString::fromUtf8(p.readAllStandardError())).toStdString());
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline QList<Sheet> ReadSheets(const QString& pdf) {
    QList<Sheet> sheets;
    const QString info = run(QStringLiteral("pdfinfo"), {"-box", "-f", "1", "-l", "100000", pdf});
    static const QRegularExpression mediaBox(
        QStringLiteral(R"(^Page\s+\d+\s+MediaBox:\s+(\S+)\s+(\S+)\s+(\S+)\s+(\S+))"),
        QRegularExpression::MultilineOption);
    for (auto it = mediaBox.globalMatch(info); it.hasNext();) {
        const auto m = it.next();
        Sheet sheet;
        sheet.size = QSizeF((m.captured(3).toDouble() - m.captured(1).toDouble()) * MmPerPoint,
                            (m.captured(4).toDouble() - m.captured(2).toDouble()) * MmPerPoint);
        sheets.append(sheet);
    }
    QXmlStreamReader xml(run(QStringLiteral("pdftotext"), {"-bbox", pdf, "-"}));
    int page = -1;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("page")) {
            ++page;
        } else if (xml.name() == QLatin1String("word") && page >= 0 && page < sheets.size()) {
            const auto a = xml.attributes();
            const double x0 = a.value("xMin").toDouble() * MmPerPoint;
            const double y0 = a.value("yMin").toDouble() * MmPerPoint;
            const double x1 = a.value("xMax").toDouble() * MmPerPoint;
            const double y1 = a.value("yMax").toDouble() * MmPerPoint;
            sheets[page].words.append({xml.readElementText(), QRectF(x0, y0, x1 - x0, y1 - y0)});
        }
    }
    if (page + 1 != sheets.size())
        throw std::runtime_error("pdfinfo and pdftotext disagree on the number of sheets");
    return sheets;
}

// "name:embedded" for every font pdffonts lists, e.g. "XXXXXX+IPAPMincho:yes".
inline QStringList Fonts(const QString& pdf) {
    QStringList fonts;
    const QStringList lines = run(QStringLiteral("pdffonts"), {pdf}).split('\n');
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QStringList f = lines[i].split(' ', Qt::SkipEmptyParts);
        if (f.size() >= 7)
            fonts.append(f[0] + ":" + f[f.size() - 5]);
    }
    return fonts;
}

struct Ink {
    QSizeF sheet; // the rendered sheet
    QRectF box;   // the bounding box of every dark pixel; empty when none
};

// Renders every sheet at `dpi` and finds where the ink is.
inline QList<Ink> ReadInk(const QString& pdf, int dpi = 300) {
    QTemporaryDir dir;
    run(QStringLiteral("pdftoppm"),
        {"-r", QString::number(dpi), "-gray", "-png", pdf, dir.filePath("sheet")});
    QStringList files = QDir(dir.path()).entryList({"sheet*.png"}, QDir::Files, QDir::Name);
    std::sort(files.begin(), files.end(), [](const QString& a, const QString& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    QList<Ink> result;
    const double mmPerPixel = 25.4 / dpi;
    for (const QString& f : files) {
        const QImage image = QImage(dir.filePath(f)).convertToFormat(QImage::Format_Grayscale8);
        int left = image.width(), top = image.height(), right = -1, bottom = -1;
        for (int y = 0; y < image.height(); ++y) {
            const uchar* row = image.constScanLine(y);
            for (int x = 0; x < image.width(); ++x) {
                if (row[x] < 128) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            }
        }
        Ink ink;
        ink.sheet = QSizeF(image.width() * mmPerPixel, image.height() * mmPerPixel);
        if (right >= 0)
            ink.box = QRectF(left * mmPerPixel, top * mmPerPixel, (right + 1 - left) * mmPerPixel,
                             (bottom + 1 - top) * mmPerPixel);
        result.append(ink);
    }
    return result;
}

} // namespace PdfSheets
