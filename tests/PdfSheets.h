// Printed sheets read back with poppler's tools, in mm from the sheet's top-left.
#pragma once

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
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
    // The words joined line by line, as pdftotext reads them.
    QStringList lines() const {
        QStringList result;
        for (qsizetype i = 0; i < words.size(); ++i) {
            if (i == 0 || qAbs(words[i].box.top() - words[i - 1].box.top()) > 0.1)
                result.append(QString());
            result.last() += words[i].text;
        }
        return result;
    }
};

inline QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw std::runtime_error((program + " failed: " + p.readAllStandardError()).toStdString());
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline QList<Sheet> ReadSheets(const QString& pdf) {
    QList<Sheet> sheets;
    QXmlStreamReader xml(run("pdftotext", {"-bbox", pdf, "-"}));
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto a = xml.attributes();
        auto at = [&](const char* name) { return a.value(name).toDouble() * MmPerPoint; };
        if (xml.name() == QLatin1String("page"))
            sheets.append({QSizeF(at("width"), at("height")), {}});
        else if (xml.name() == QLatin1String("word") && !sheets.isEmpty())
            sheets.last().words.append(
                {xml.readElementText(),
                 QRectF(QPointF(at("xMin"), at("yMin")), QPointF(at("xMax"), at("yMax")))});
    }
    return sheets;
}

struct Ink {
    QSizeF sheet;
    QRectF box; // around every dark pixel; empty when none
};
// The box around every dark pixel of a picture at `dpi`, in millimetres.
inline QRectF InkBox(const QImage& picture, int dpi) {
    const QImage image = picture.convertToFormat(QImage::Format_Grayscale8);
    QRect ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.constScanLine(y)[x] < 128)
                ink |= QRect(x, y, 1, 1);
    return QRectF(QRectF(ink).topLeft() * (25.4 / dpi), QSizeF(ink.size()) * (25.4 / dpi));
}

// Every sheet rendered at `dpi` in grey, in order.
inline QList<QImage> Pictures(const QString& pdf, int dpi = 300) {
    QTemporaryDir dir;
    run("pdftoppm", {"-r", QString::number(dpi), "-gray", "-png", pdf, dir.filePath("sheet")});
    QList<QImage> result; // pdftoppm pads the sheet numbers: by name is in order
    for (const QString& f : QDir(dir.path()).entryList({"sheet*.png"}, QDir::Files, QDir::Name))
        result.append(QImage(dir.filePath(f)).convertToFormat(QImage::Format_Grayscale8));
    return result;
}
inline QList<Ink> ReadInk(const QString& pdf) {
    QList<Ink> result;
    for (const QImage& image : Pictures(pdf))
        result.append({QSizeF(image.size()) * 25.4 / 300, InkBox(image, 300)});
    return result;
}

// Millimetres to the middle of the line crossing `window` (columns, or rows for
// Qt::Horizontal, dark over half of it, weighted by darkness); NaN when none.
inline double LineAcross(const QImage& picture, int dpi, const QRectF& window,
                         Qt::Orientation line = Qt::Vertical) {
    const double px = dpi / 25.4;
    const QRect area = QRect(QPoint(qRound(window.left() * px), qRound(window.top() * px)),
                             QPoint(qRound(window.right() * px), qRound(window.bottom() * px)))
                           .intersected(picture.rect());
    const bool vertical = line == Qt::Vertical;
    const int across = vertical ? area.width() : area.height();
    const int along = vertical ? area.height() : area.width();
    QList<double> darkness(across, 0);
    QList<int> dark(across, 0);
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const int v = picture.constScanLine(y)[x];
            const int i = vertical ? x - area.left() : y - area.top();
            darkness[i] += 255 - v;
            dark[i] += v < 128;
        }
    double sum = 0, weight = 0;
    for (int i = 0; i < across; ++i)
        if (dark[i] * 2 >= along) {
            sum += (i + 0.5) * darkness[i];
            weight += darkness[i];
        }
    return weight == 0 ? qQNaN() : ((vertical ? area.left() : area.top()) + sum / weight) / px;
}
// Where the lines of the cross within `reach` mm of `near` meet.
inline QPointF CrossCentre(const QImage& picture, int dpi, QPointF near, double reach = 4) {
    const QRectF window(near - QPointF(reach, reach), QSizeF(2 * reach, 2 * reach));
    return QPointF(LineAcross(picture, dpi, window, Qt::Vertical),
                   LineAcross(picture, dpi, window, Qt::Horizontal));
}

} // namespace PdfSheets
