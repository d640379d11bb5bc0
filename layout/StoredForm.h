// A page's form image as it is kept: the picture of the blank paper form that
// the placement screen shows and the preview draws behind the text. It always
// stands for the whole sheet of its page, stretched to it.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QSizeF>
#include <QString>

struct StoredForm {
    QByteArray image; // the encoded picture, in `format`
    QString format;   // "jpeg" or "png"
    int widthPx = 0;
    int heightPx = 0;

    // The picture decoded; a null image when the bytes do not decode.
    QImage Decode() const;
};

// The highest resolution a form is kept at, in dots per inch of its sheet.
inline constexpr double FormDotsPerInch = 200;
// JPEG quality of a kept form.
inline constexpr int FormJpegQuality = 90;

// The pixel size a picture of `size` is kept at on a sheet of `sheetMm`: each
// side reduced to at most 200 dpi of the sheet's side (the picture is
// stretched over the sheet, so each side on its own), never enlarged. An
// empty sheet (a size code outside the paper table) counts as the largest
// side of the table's largest paper both ways. A reader of a large file can
// ask for this size at once (QImageReader::setScaledSize).
QSize FormPixelSize(const QSize& size, const QSizeF& sheetMm);

// The picture made ready to keep for a sheet of `sheetMm`: transparent parts
// on white paper, reduced to FormPixelSize, encoded as JPEG (quality 90) or,
// when that is smaller (few colours, line art), as PNG. Throws for a null
// picture.
StoredForm ReduceForm(const QImage& picture, const QSizeF& sheetMm);
