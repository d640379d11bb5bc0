#include "layout/StoredForm.h"

#include "layout/PaperSizes.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

// Pixels of `mm` at FormDotsPerInch, rounded down so they never exceed it.
int pixelsAt200Dpi(double mm) {
    return std::max(1, int(std::floor(mm / 25.4 * FormDotsPerInch + 1e-9)));
}

double largestPaperSideMm() {
    double side = 0;
    for (const PaperSize& size : PaperSizes::All())
        side = std::max({side, size.widthMm, size.heightMm});
    return side;
}

QByteArray encode(const QImage& image, const char* format, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(image))
        throw std::runtime_error("cannot encode the form as " + std::string(format) + ": " +
                                 writer.errorString().toStdString());
    return bytes;
}

// The picture as paper shows it: transparent parts white.
QImage onPaper(const QImage& picture) {
    if (!picture.hasAlphaChannel())
        return picture.convertToFormat(QImage::Format_RGB32);
    QImage flat(picture.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, picture);
    return flat;
}

} // namespace

QImage StoredForm::Decode() const {
    return QImage::fromData(image, format.toLatin1().constData());
}

QSize FormPixelSize(const QSize& size, const QSizeF& sheetMm) {
    QSizeF sheet = sheetMm;
    if (sheet.isEmpty())
        sheet = QSizeF(largestPaperSideMm(), largestPaperSideMm());
    return {std::min(size.width(), pixelsAt200Dpi(sheet.width())),
            std::min(size.height(), pixelsAt200Dpi(sheet.height()))};
}

StoredForm ReduceForm(const QImage& picture, const QSizeF& sheetMm) {
    if (picture.isNull())
        throw std::invalid_argument("no picture to keep as a form");
    QImage image = onPaper(picture);
    const QSize kept = FormPixelSize(image.size(), sheetMm);
    if (kept != image.size())
        image = image.scaled(kept, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // A picture without colour is kept grey: a smaller file either way.
    if (image.allGray())
        image = image.convertToFormat(QImage::Format_Grayscale8);

    StoredForm form{encode(image, "jpeg", FormJpegQuality), QStringLiteral("jpeg"), image.width(),
                    image.height()};
    QByteArray png = encode(image, "png", -1);
    if (png.size() < form.image.size()) {
        form.image = std::move(png);
        form.format = QStringLiteral("png");
    }
    return form;
}
