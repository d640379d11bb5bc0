#include "items/ScanScreen.h"

#include "common/Controls.h"
#include "common/ErrorTrap.h"
#include "common/InputHelpers.h"
#include "common/Messages.h"
#include "common/Twips.h"
#include "layout/FormStore.h"
#include "layout/PaperSizes.h"
#include "print/SheetRenderer.h"

#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScopeGuard>
#include <stdexcept>

namespace {

// Pictures decoded whole before they are scaled (BMP, GIF) may be a 600 dpi
// A3 colour scan: 280 MB in 32 bits, above Qt's default limit of 128 MB.
constexpr int PictureLimitMb = 1024;

// Twips of a picture area of `twips` per millimetre of the sheet of paper size
// `code` lying as `direction` has it; 33 both ways for a code without a sheet.
QSizeF twipsPerMm(const QSizeF& twips, qint16 code, qint16 direction) {
    const QSizeF sheet = SheetSizeMm(code, direction);
    if (sheet.isEmpty())
        return {ScanScreen::FallbackTwipsPerMm, ScanScreen::FallbackTwipsPerMm};
    return {twips.width() / sheet.width(), twips.height() / sheet.height()};
}

} // namespace

// The picture area: shows the loaded picture stretched to fill it exactly,
// the placed items over it, and reports the mouse in twips. Its full width and height in pixels
// span its size in twips, as the picture spans them; the mouse on a pixel gives the middle of what
// that pixel shows, so a place pointed at on the picture is its place within half a pixel, at every
// edge alike.
class PictureArea : public QWidget {
public:
    using ButtonHandler =
        std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, double, double)>;
    using MoveHandler =
        std::function<void(Qt::MouseButtons, Qt::KeyboardModifiers, double, double)>;

    // `twips` of the screen, standing for a sheet of `sheetMm`.
    PictureArea(const QSizeF& twips, const QSizeF& sheetMm, QWidget* parent)
        : QWidget(parent), twips_(twips), sheetMm_(sheetMm) {
        // Moves count with or without a button held.
        setMouseTracking(true);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    ButtonHandler MouseDown;
    MoveHandler MouseMove;
    ButtonHandler MouseUp;

    bool HasPicture() const { return !picture_.isNull(); }

    // The picture in `file` at the size it is kept at for the sheet (at
    // most 200 dpi of it); throws when the file holds none.
    QImage ReadPicture(const QString& file) const {
        QImageReader reader(file);
        // Decoded at the size it is kept at: a format that can be decoded
        // scaled (JPEG) never holds the whole scan in memory.
        if (const QSize full = reader.size(); full.isValid())
            reader.setScaledSize(FormPixelSize(full, sheetMm_));
        const int limit = QImageReader::allocationLimit();
        QImageReader::setAllocationLimit(qMax(limit, PictureLimitMb));
        const auto restore = qScopeGuard([limit] { QImageReader::setAllocationLimit(limit); });
        QImage picture = reader.read();
        if (picture.isNull())
            throw std::runtime_error(QStringLiteral("画像を読み込めません: %1: %2")
                                         .arg(file, reader.errorString())
                                         .toStdString());
        return picture;
    }

    // Shows `picture` (null: none) stretched over the whole area.
    void ShowPicture(const QImage& picture) {
        picture_ = picture;
        shown_ = QImage();
        update();
    }

    // The items drawn over the picture.
    void ShowItems(const QList<TextItem>& items) {
        items_ = items;
        update();
    }

    QPointF ToTwips(const QPointF& pixels) const {
        return {(pixels.x() + 0.5) * twips_.width() / span(width()),
                (pixels.y() + 0.5) * twips_.height() / span(height())};
    }
    QPointF ToPixels(const QPointF& twips) const {
        return {twips.x() * span(width()) / twips_.width() - 0.5,
                twips.y() * span(height()) / twips_.height() - 0.5};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        if (picture_.isNull()) {
            // An empty area shows as a blank sheet.
            painter.fillRect(rect(), Qt::white);
            painter.setPen(palette().color(QPalette::Mid));
            painter.drawRect(rect().adjusted(0, 0, -1, -1));
        } else {
            // Scaled once to the pixels it is shown at, so that a repaint
            // (each move of the rubber band) scales nothing.
            const QSize pixels = (QSizeF(size()) * devicePixelRatioF()).toSize();
            if (shown_.size() != pixels)
                shown_ = picture_.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            painter.drawImage(QRectF(rect()), shown_);
        }
        drawItems(painter);
    }
    void mousePressEvent(QMouseEvent* event) override {
        pressed_ = true;
        const QPointF t = ToTwips(event->position());
        if (MouseDown)
            MouseDown(event->button(), event->modifiers(), t.x(), t.y());
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        const QPointF t = ToTwips(event->position());
        if (MouseMove)
            MouseMove(event->buttons(), event->modifiers(), t.x(), t.y());
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        // The mouse stays with the area from a press to its release, wherever
        // the release happens; a second button's release finds no press.
        if (!pressed_)
            return;
        pressed_ = false;
        const QPointF t = ToTwips(event->position());
        if (MouseUp)
            MouseUp(event->button(), event->modifiers(), t.x(), t.y());
    }

private:
    static double span(int pixels) { return qMax(1, pixels); }

    // Each item as printed, scaled to the area, in a thin box around the
    // place its numbers give it. An item the printer could not draw (a font
    // size outside its range) is left out.
    void drawItems(QPainter& painter) const {
        if (items_.isEmpty())
            return;
        painter.save();
        // The renderer counts millimetres at the device's resolution: scale
        // that to the area, which spans the sheet.
        painter.scale(width() / (sheetMm_.width() * logicalDpiX() / MmPerInch),
                      height() / (sheetMm_.height() * logicalDpiY() / MmPerInch));
        const SheetRenderer renderer(painter, {}, {});
        const QTransform toDevice =
            QTransform::fromScale(logicalDpiX() / MmPerInch, logicalDpiY() / MmPerInch);
        for (const TextItem& item : items_) {
            try {
                const QRectF box = toDevice.mapRect(renderer.Box(item));
                renderer.Draw(item);
                painter.setPen(QPen(BoxColour, 0));
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(box);
            } catch (const std::exception&) {
                continue;
            }
        }
        painter.restore();
    }

    static constexpr double MmPerInch = 25.4;
    static constexpr QColor BoxColour{0, 90, 220};

    QSizeF twips_;
    QSizeF sheetMm_;
    QList<TextItem> items_;
    QImage picture_;
    QImage shown_; // picture_ at the area's device pixels
    bool pressed_ = false;
};

// The four lines of the rubber band, drawn over the whole screen: each one
// inverts what lies under it, so it shows on white paper and on black print.
class LineOverlay : public QWidget {
public:
    explicit LineOverlay(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    std::function<void(QPainter&)> Draw;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setCompositionMode(QPainter::RasterOp_NotDestination);
        painter.setPen(QPen(Qt::black, 0));
        if (Draw)
            Draw(painter);
    }
};

ScanScreen::ScanScreen(const Layout& layout, const QString& pageId, qint16 direction,
                       qint16 paperSize, QWidget* parent)
    : Form(parent), layout_(layout), pageId_(pageId), sheetMm_(SheetSizeMm(paperSize, direction)),
      twipsPerMm_(twipsPerMm(QSizeF(layout.imageArea.size()), paperSize, direction)) {
    setWindowTitle(QStringLiteral("文字設定"));
    setFixedSize(TwipsSize(layout.client.width(), layout.client.height()));

    const QRect& a = layout.imageArea;
    ImageArea = new PictureArea(
        QSizeF(a.size()),
        QSizeF(a.width() / twipsPerMm_.width(), a.height() / twipsPerMm_.height()), this);
    ImageArea->setGeometry(TwipsRect(a.left(), a.top(), a.width(), a.height()));
    CmdOK = MakeButton(this, "CmdOK", QStringLiteral("画像取込"), layout.cmdOK);
    CmdBack = MakeButton(this, "CmdBack", QStringLiteral("戻る"), layout.cmdBack);
    LineSet = new LineOverlay(this);
    LineSet->setGeometry(rect());
    LineSet->raise();
    LineSet->hide();

    ImageArea->setObjectName(QStringLiteral("ImageArea"));
    LineSet->setObjectName(QStringLiteral("LineSet"));
    setTabOrder(CmdBack, CmdOK);
    CmdBack->setFocus(Qt::OtherFocusReason);

    CmnDlg.DefaultExt = QStringLiteral("pln");
    CmnDlg.DialogTitle = QStringLiteral("画像ファイル選択");
    CmnDlg.FileName = QStringLiteral("画像ファイル");
    // Bitmap, JPEG, GIF, and what scanners write besides: PNG and TIFF.
    CmnDlg.Filter = QStringLiteral("画像ファイル (*.bmp *.jpg *.jpeg *.gif *.png *.tif *.tiff)");

    connect(CmdOK, &QPushButton::clicked, this, [this] { CmdOK_Click(); });
    connect(CmdBack, &QPushButton::clicked, this, [this] { CmdBack_Click(); });
    ImageArea->MouseDown = [this](Qt::MouseButton b, Qt::KeyboardModifiers s, double x, double y) {
        ImageArea_MouseDown(b, s, x, y);
    };
    ImageArea->MouseMove = [this](Qt::MouseButtons b, Qt::KeyboardModifiers s, double x, double y) {
        ImageArea_MouseMove(b, s, x, y);
    };
    ImageArea->MouseUp = [this](Qt::MouseButton b, Qt::KeyboardModifiers s, double x, double y) {
        ImageArea_MouseUp(b, s, x, y);
    };
    // The lines are kept in twips of the screen; they are drawn where the
    // area shows those twips, so they meet the mouse pointer exactly.
    LineSet->Draw = [this](QPainter& painter) {
        const QPointF areaTwips = layout_.imageArea.topLeft();
        const QPointF areaPixels = ImageArea->pos();
        for (const QLineF& l : lines_)
            painter.drawLine(areaPixels + ImageArea->ToPixels(l.p1() - areaTwips),
                             areaPixels + ImageArea->ToPixels(l.p2() - areaTwips));
    };
}

void ScanScreen::Form_Load() {
    Trap(Msg::GeneralFailure, [&] {
        if (const std::optional<StoredForm> form = Forms().Form(pageId_))
            ImageArea->ShowPicture(form->Decode());
    });
}

void ScanScreen::SetItems(const QList<TextItem>& items) {
    ImageArea->ShowItems(items);
}

void ScanScreen::Form_Activate() {
    Trap(Msg::GeneralFailure, [&] { CenterForm(this); });
}

void ScanScreen::CmdOK_Click() {
    Trap(Msg::GeneralFailure, [&] {
        // A cancel leaves the last chosen file name: with a picture on view
        // it stays as it is; before any picture the initial name is loaded,
        // which names none.
        if (!CmnDlg.ShowOpen(this) && ImageArea->HasPicture())
            return;
        // The picture becomes the page's form at once, before it shows.
        const QImage picture = ImageArea->ReadPicture(CmnDlg.FileName);
        Forms().RememberForm(pageId_, picture, sheetMm_);
        ImageArea->ShowPicture(picture);
    });
}

void ScanScreen::CmdBack_Click() {
    Trap(Msg::GeneralFailure, [&] { Unload(); });
}

void ScanScreen::ImageArea_MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, double x, double y) {
    Trap(Msg::UpdateFailed, [&] {
        ShowLines(true);
        const QPointF p = QPointF(layout_.imageArea.topLeft()) + QPointF(x, y);
        for (QLineF& l : lines_)
            l = QLineF(p, p);
        LineSet->update();
        selection_.left = x / twipsPerMm_.width();
        selection_.top = y / twipsPerMm_.height();
    });
}

void ScanScreen::ImageArea_MouseMove(Qt::MouseButtons, Qt::KeyboardModifiers, double x, double y) {
    // No trap: nothing here can fail.
    const double ax = layout_.imageArea.left() + x;
    const double ay = layout_.imageArea.top() + y;
    lines_[0].setP2(QPointF(lines_[0].x2(), ay));
    lines_[1] = QLineF(lines_[1].x1(), ay, ax, ay);
    lines_[2] = QLineF(ax, ay, ax, lines_[2].y2());
    lines_[3].setP2(QPointF(ax, lines_[3].y2()));
    if (linesVisible_)
        LineSet->update();
}

void ScanScreen::ImageArea_MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, double x, double) {
    Trap(Msg::UpdateFailed, [&] {
        selection_.right = x / twipsPerMm_.width();
        // The rectangle stays on view while the dialog is open.
        auto* detail = new FrmScanDlg(pageId_, selection_);
        detail->ItemStored = ItemStored;
        ExecModal(detail);
        ShowLines(false);
    });
}

void ScanScreen::ShowLines(bool visible) {
    linesVisible_ = visible;
    LineSet->setVisible(visible);
}
