#include "pages/SheetView.h"

#include "print/LayoutSheets.h"

#include <QPaintEvent>
#include <QPainter>
#include <cmath>
#include <exception>

namespace {
constexpr double MmPerInch = 25.4;
const QColor Shadow(0x50, 0x50, 0x50);
const QColor Edge(0x20, 0x20, 0x20);
constexpr int ShadowWidth = 3;
} // namespace

SheetView::SheetView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("用紙"));
    changed();
}

void SheetView::SetSheet(const Sheet& sheet, QSizeF sheetMm, const QImage& form) {
    sheet_ = sheet;
    mm_ = sheetMm;
    form_ = form;
    changed();
}

void SheetView::SetFormShown(bool shown) {
    formShown_ = shown;
    update();
}

void SheetView::SetScale(double pixelsPerMm) {
    scale_ = pixelsPerMm;
    changed();
}

void SheetView::changed() {
    formDrawn_ = QImage();
    formDrawnDpi_ = 0;
    const QRect sheet = SheetRect();
    resize(sheet.right() + 1 + Margin + ShadowWidth, sheet.bottom() + 1 + Margin + ShadowWidth);
    update();
}

int SheetView::deviceDpi() const {
    // Whole dots per inch: the renderer reads the resolution of its device as
    // a whole number, and the sheet is sized by the same number.
    return qMax(1, qRound(scale_ * devicePixelRatioF() * MmPerInch));
}

QSize SheetView::deviceSheetSize() const {
    const double perMm = deviceDpi() / MmPerInch;
    return QSize(qMax(1, qRound(mm_.width() * perMm)), qMax(1, qRound(mm_.height() * perMm)));
}

QRect SheetView::SheetRect() const {
    const QSize device = deviceSheetSize();
    const qreal ratio = devicePixelRatioF();
    return QRect(Margin, Margin, int(std::ceil(device.width() / ratio)),
                 int(std::ceil(device.height() / ratio)));
}

QImage SheetView::render(const QRect& part) {
    const int dpi = deviceDpi();
    const QSize whole = deviceSheetSize();
    if (formShown_ && !form_.isNull() && formDrawnDpi_ != dpi) {
        // A form finer than the drawing is reduced by averaging, so its thin
        // lines stay; a coarser one is stretched as it is drawn.
        formDrawn_ = form_.width() > whole.width() || form_.height() > whole.height()
                         ? form_.scaled(whole, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                         : form_;
        formDrawnDpi_ = dpi;
    }
    QImage image(part.size(), QImage::Format_RGB32);
    const int dotsPerMetre = qRound(dpi / 0.0254);
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.translate(-part.topLeft());
    try {
        DrawLayout(painter, sheet_, mm_, formShown_ ? formDrawn_ : QImage());
    } catch (const std::exception&) {
        // An item that cannot be drawn (a font size of 0) ends the drawing
        // here, as it fails printing and PDF保存 with their message.
    }
    painter.end();
    image.setDevicePixelRatio(devicePixelRatioF());
    return image;
}

QImage SheetView::Picture() {
    return render(QRect(QPoint(), deviceSheetSize()));
}

void SheetView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // The ground of the area around it.
    painter.fillRect(event->rect(), palette().color(QPalette::Dark));
    const QRect sheet = SheetRect();
    painter.fillRect(sheet.translated(ShadowWidth, ShadowWidth), Shadow);
    const qreal ratio = devicePixelRatioF();
    // The part on view, in whole device pixels of the sheet.
    const QRectF exposed = QRectF(event->rect() & sheet).translated(-sheet.topLeft());
    const QRect part = QRect(QPoint(int(std::floor(exposed.left() * ratio)),
                                    int(std::floor(exposed.top() * ratio))),
                             QPoint(int(std::ceil(exposed.right() * ratio)) - 1,
                                    int(std::ceil(exposed.bottom() * ratio)) - 1)) &
                       QRect(QPoint(), deviceSheetSize());
    if (!part.isEmpty())
        painter.drawImage(QPointF(sheet.topLeft()) + QPointF(part.topLeft()) / ratio, render(part));
    // The paper's edge, just outside it.
    painter.setPen(Edge);
    painter.drawRect(sheet.adjusted(-1, -1, 0, 0));
}
