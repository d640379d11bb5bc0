#include "layout/StoredForm.h"

#include "layout/PaperSizes.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>
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

// A buffer that refuses to grow past `limit` bytes, so that an encoding that
// would come out larger stops as soon as it gets there.
class LimitedBuffer : public QBuffer {
public:
    LimitedBuffer(QByteArray* bytes, qint64 limit) : QBuffer(bytes), limit_(limit) {}
    bool Refused() const { return refused_; }

protected:
    qint64 writeData(const char* data, qint64 length) override {
        if (pos() + length > limit_) {
            refused_ = true;
            return -1;
        }
        return QBuffer::writeData(data, length);
    }

private:
    qint64 limit_;
    bool refused_ = false;
};

// The picture encoded in `format`; empty when that would take more than
// `limit` bytes.
QByteArray encode(const QImage& image, const char* format, int quality, qint64 limit) {
    QByteArray bytes;
    LimitedBuffer buffer(&bytes, limit);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (writer.write(image))
        return bytes;
    if (!buffer.Refused())
        throw std::runtime_error("cannot encode the form as " + std::string(format) + ": " +
                                 writer.errorString().toStdString());
    return QByteArray();
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

    StoredForm form{encode(image, "jpeg", FormJpegQuality, std::numeric_limits<qint64>::max()),
                    QStringLiteral("jpeg"), image.width(), image.height()};
    // PNG stops where it would no longer be smaller: on a scan, whose noise
    // it cannot compress, that is early on (libpng says so on standard
    // error), and a scan is kept in a fifth of the time a whole PNG takes.
    QByteArray png = encode(image, "png", -1, form.image.size() - 1);
    if (!png.isEmpty()) {
        form.image = std::move(png);
        form.format = QStringLiteral("png");
    }
    return form;
}
