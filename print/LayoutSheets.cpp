#include "print/LayoutSheets.h"

#include "platform/Printer.h"
#include "print/SheetRenderer.h"

#include <QPaintDevice>
#include <QPainter>
#include <stdexcept>

void DrawLayout(QPainter& painter, const Sheet& sheet, QSizeF sheetMm, const QImage& form) {
    if (!form.isNull()) {
        const QPaintDevice& device = *painter.device();
        const QRectF whole(0, 0, sheetMm.width() * device.logicalDpiX() / 25.4,
                           sheetMm.height() * device.logicalDpiY() / 25.4);
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(whole, form);
        painter.restore();
    }
    SheetRenderer(painter, QPointF(), QPointF()).Draw(sheet);
}

void SaveLayoutPdf(const QString& path, const SheetPlan& plan, const QList<QPageLayout>& layouts,
                   const FormProvider& forms) {
    if (plan.isEmpty() || layouts.size() != plan.size())
        throw std::invalid_argument("A layout for every sheet, at least one");
    Printer pdf(PrintDestination::PdfFile(path));
    for (qsizetype i = 0; i < plan.size(); ++i) {
        pdf.SetPageSize(layouts[i].pageSize());
        pdf.SetOrientation(layouts[i].orientation());
        QPainter& painter = pdf.BeginPage();
        const QImage form = forms && !plan[i].pageId.isEmpty() ? forms(plan[i].pageId) : QImage();
        DrawLayout(painter, plan[i], layouts[i].fullRect(QPageLayout::Millimeter).size(), form);
    }
    pdf.EndDoc();
}
