#include "print/SheetRenderer.h"

#include "common/TextUnits.h"
#include "layout/Alignments.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <cmath>
#include <stdexcept>

namespace {

// Single precision is kept where the printer's positions have always had it,
// and only there, so that every sheet lands where it always did: each line's
// left, the first line's top, and every later line's top, the line before's
// in single precision plus one line height. The rest is double.
float printerPosition(double mm, const char* axis) {
    const float position = float(mm);
    if (!std::isfinite(position))
        throw std::out_of_range(std::string("Invalid ") + axis + " position");
    return position;
}

QFont itemFont(double points) {
    if (!(points > 0 && points <= 2160))
        throw std::out_of_range("Invalid font size: " + std::to_string(points));
    QFont font(QStringLiteral("ＭＳ Ｐ明朝"));
    font.setPointSizeF(points);
    // Unhinted outlines: widths scale exactly with the size, on every device.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// The lines of `item` as printed, before its number of lines drops the rest:
// its text cut by its characters per line; where it breaks lines, each part
// between two "\n" is cut on its own, an empty part being one empty line.
QStringList printedLines(const TextItem& item) {
    if (!item.breakLines)
        return SplitCharacters(item.moji, item.pColCount);
    QStringList lines;
    for (const QString& part : item.moji.split(QLatin1Char('\n'))) {
        const QStringList pieces = SplitCharacters(part, item.pColCount);
        if (pieces.isEmpty())
            lines.append(QString());
        else
            lines += pieces;
        if (lines.size() >= item.pRowCount)
            break;
    }
    return lines;
}

} // namespace

SheetRenderer::SheetRenderer(QPainter& painter, QPointF origin, QPointF offsets)
    : painter_(painter), origin_(origin), offsets_(offsets), dpiX_(painter.device()->logicalDpiX()),
      dpiY_(painter.device()->logicalDpiY()) {}

void SheetRenderer::Draw(const Sheet& sheet) const {
    for (const TextItem& item : sheet.items)
        Draw(item);
}

QRectF SheetRenderer::Box(const TextItem& item) const {
    const QFontMetricsF metrics(itemFont(item.pSize), painter_.device());
    return QRectF(item.pLeft, item.pTop, item.pRight - item.pLeft,
                  qMax(0, int(item.pRowCount)) * toMmY(metrics.height()));
}

void SheetRenderer::Draw(const TextItem& item) const {
    const QFont font = itemFont(item.pSize);
    const QFontMetricsF metrics(font, painter_.device());
    painter_.setFont(font);
    painter_.setPen(Qt::black);
    const double lineHeight = toMmY(metrics.height());
    float y = printerPosition(item.pTop - offsets_.y(), "vertical");
    // A characters-per-line value of 0 or below cuts nothing: every line is empty.
    const QStringList pieces = printedLines(item);
    for (int k = 0; k < item.pRowCount; ++k) {
        const QString piece = k < pieces.size() ? pieces[k] : QString();
        double x;
        switch (item.pPosition) {
        case Alignments::Centre: {
            const double w = toMmX(metrics.horizontalAdvance(piece));
            x = item.pLeft + (item.pRight - item.pLeft) / 2 - w / 2 - offsets_.x();
            break;
        }
        case Alignments::Right: {
            const double w = toMmX(metrics.horizontalAdvance(piece));
            x = item.pRight - w - offsets_.x();
            break;
        }
        default:
            // Left (0), and any code outside the list (-1 when no alignment
            // was chosen): the line starts at the box's left edge, never at
            // the paper's edge.
            x = item.pLeft - offsets_.x();
            break;
        }
        const float left = printerPosition(x, "horizontal");
        if (!piece.isEmpty())
            painter_.drawText(QPointF(toDeviceX(origin_.x() + left),
                                      toDeviceY(origin_.y() + y) + metrics.ascent()),
                              piece);
        // An empty piece prints nothing but still takes its line.
        y = float(double(y) + lineHeight);
    }
}

void SheetRenderer::DrawLine(QPointF from, QPointF to, double width) const {
    // Where the line lands: as a text item's left and top, in double
    // precision, refused where an item's position would be.
    auto place = [&](QPointF mm) {
        const QPointF at = mm - offsets_;
        printerPosition(at.x(), "horizontal");
        printerPosition(at.y(), "vertical");
        return QPointF(toDeviceX(origin_.x() + at.x()), toDeviceY(origin_.y() + at.y()));
    };
    const QPointF start = place(from), end = place(to);
    if (!(width > 0 && width < 10))
        throw std::out_of_range("Invalid line width: " + std::to_string(width));
    painter_.setPen(QPen(Qt::black, toDeviceX(width), Qt::SolidLine, Qt::FlatCap));
    painter_.drawLine(start, end);
}
