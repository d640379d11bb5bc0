#include "print/CalibrationSheet.h"

#include "common/Numbers.h"
#include "layout/Alignments.h"

#include <QStringList>

namespace {

// Room enough for any line of the sheet: it is never cut.
constexpr qint16 WholeLine = 999;

QString mm(double value) {
    return DoubleToText(value) + QStringLiteral(" mm");
}

} // namespace

CalibrationSheet::CalibrationSheet(QPainter& painter, QPointF origin, QPointF offsets)
    : renderer_(painter, origin, offsets), offsets_(offsets) {}

void CalibrationSheet::drawText(const QString& text, double points, double left, double top) const {
    renderer_.Draw(TextItem{text, points, left, left, top, WholeLine, 1, Alignments::Left});
}

void CalibrationSheet::drawTextEndingAt(const QString& text, double points, double right,
                                        double top) const {
    renderer_.Draw(TextItem{text, points, right, right, top, WholeLine, 1, Alignments::Right});
}

void CalibrationSheet::Draw() const {
    const double w = Paper.width(), h = Paper.height(), d = EdgeDistance;

    // A line parallel to each edge, as far inside it as the label says.
    renderer_.DrawLine(QPointF(d, d), QPointF(d, h - d), LineWidth);
    renderer_.DrawLine(QPointF(w - d, d), QPointF(w - d, h - d), LineWidth);
    renderer_.DrawLine(QPointF(d, d), QPointF(w - d, d), LineWidth);
    renderer_.DrawLine(QPointF(d, h - d), QPointF(w - d, h - d), LineWidth);
    const double small = 9;
    drawText(QStringLiteral("← 左端から ") + mm(d), small, d + 2, 250);
    drawTextEndingAt(QStringLiteral("右端から ") + mm(d) + QStringLiteral(" →"), small, w - d - 2,
                     250);
    drawText(QStringLiteral("↑ 上端から ") + mm(d), small, 90, d + 1.5);
    drawText(QStringLiteral("↓ 下端から ") + mm(d), small, 90, h - d - 5);

    // The crosses, each labelled with its distances from the left and top
    // edges; the labels stand clear of the arms, towards the sheet's middle.
    for (const QPointF& c : Crosses) {
        renderer_.DrawLine(c - QPointF(CrossArm, 0), c + QPointF(CrossArm, 0), LineWidth);
        renderer_.DrawLine(c - QPointF(0, CrossArm), c + QPointF(0, CrossArm), LineWidth);
        const QString label =
            QStringLiteral("左 ") + mm(c.x()) + QStringLiteral(" / 上 ") + mm(c.y());
        if (c.x() < w / 2 + 1)
            drawText(label, small, c.x() + CrossArm + 1, c.y() + 2);
        else
            drawTextEndingAt(label, small, c.x() - CrossArm - 1, c.y() + 2);
    }

    // How to use it, above and below the middle cross. The lines are laid
    // out by hand: a line is never cut.
    const double left = 25, indent = left + 5, body = 10.5, heading = 12, pitch = 6.2;
    struct Line {
        double points;
        bool indented;
        QString text;
    };
    auto drawLines = [&](double top, std::initializer_list<Line> lines) {
        for (const Line& line : lines) {
            if (line.points == heading)
                top += pitch / 2;
            drawText(line.text, line.points, line.indented ? indent : left, top);
            top += pitch;
        }
    };
    drawText(QStringLiteral("VESK 調整用紙（A4 縦）"), 16, left, 34);
    drawText(QStringLiteral("この用紙を印刷した誤差：左の誤差 ") + mm(offsets_.x()) +
                 QStringLiteral("、上の誤差 ") + mm(offsets_.y()),
             body, left, 44);
    drawLines(
        54, {
                {heading, false, QStringLiteral("左の誤差")},
                {body, false,
                 QStringLiteral("1. 定規を用紙の左端に当て、左上の十字（左 20 mm / 上 20 mm）の")},
                {body, true, QStringLiteral("縦線までの長さを測ってください。")},
                {body, false,
                 QStringLiteral("2. 20 mm より長ければ、その差を「左の誤差」に足してください。")},
                {body, true, QStringLiteral("短ければ、その差を「左の誤差」から引いてください。")},
                {body, true,
                 QStringLiteral("例：左の誤差 0 で 21.5 mm なら 1.5、18 mm なら -2 にします。")},
                {heading, false, QStringLiteral("上の誤差")},
                {body, false,
                 QStringLiteral("3. 同じように、用紙の上端から同じ十字の横線までの長さを測り、")},
                {body, true, QStringLiteral("20 mm より長ければその差を「上の誤差」に足し、")},
                {body, true, QStringLiteral("短ければその差を「上の誤差」から引いてください。")},
            });
    drawLines(
        164,
        {
            {heading, false, QStringLiteral("確認")},
            {body, false,
             QStringLiteral("4. 直した誤差のまま「調整用紙印刷」でもう一度印刷し、十字が")},
            {body, true,
             QStringLiteral("用紙の端から 20 mm の位置に来たら「登録」を押してください。")},
            {heading, false, QStringLiteral("ご注意")},
            {body, false,
             QStringLiteral("・十字の横の文字も線も、プリンタのずれと一緒に動きます。")},
            {body, true, QStringLiteral("長さは必ず本物の定規で、用紙の端から測ってください。")},
            {body, false,
             QStringLiteral("・真ん中と右下の十字、端から 10 mm の線でも、ずれを確かめられます。")},
            {body, false,
             QStringLiteral("・この用紙で合わせるのは A4 縦の印刷です。余白が上下左右で異なる")},
            {body, true,
             QStringLiteral("プリンタでは、ほかの用紙サイズや向きでも別に確かめてください。")},
        });
}
