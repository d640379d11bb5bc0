#include "print/LayoutSheets.h"

#include "platform/Printer.h"
#include "print/SheetRenderer.h"

#include <QHash>
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
    SaveLayoutRuns(path, layouts, forms, 1, [&](int) { return plan; });
}

void SaveLayoutRuns(const QString& path, const QList<QPageLayout>& layouts,
                    const FormProvider& forms, int runs,
                    const std::function<SheetPlan(int run)>& runOf) {
    if (layouts.isEmpty() || runs < 1)
        throw std::invalid_argument("A layout for every sheet, at least one");
    // Every run's sheets lie over the same forms: each is read once.
    QHash<QString, QImage> formOf;
    auto formFor = [&](const Sheet& sheet) {
        if (!forms || sheet.pageId.isEmpty())
            return QImage();
        auto found = formOf.constFind(sheet.pageId);
        if (found == formOf.cend())
            found = formOf.insert(sheet.pageId, forms(sheet.pageId));
        return *found;
    };
    Printer pdf(PrintDestination::PdfFile(path));
    for (int run = 0; run < runs; ++run) {
        const SheetPlan sheets = runOf(run);
        if (sheets.size() != layouts.size())
            throw std::invalid_argument("A layout for every sheet");
        for (qsizetype i = 0; i < sheets.size(); ++i) {
            pdf.SetPageSize(layouts[i].pageSize());
            pdf.SetOrientation(layouts[i].orientation());
            QPainter& painter = pdf.BeginPage();
            DrawLayout(painter, sheets[i], layouts[i].fullRect(QPageLayout::Millimeter).size(),
                       formFor(sheets[i]));
        }
    }
    pdf.EndDoc();
}
