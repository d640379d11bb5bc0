#include "print/SheetPaper.h"

#include "layout/PaperSizes.h"

QPageLayout SheetPaper::LayoutOver(const QPageLayout& own) const {
    return QPageLayout(size.value_or(own.pageSize()), orientation.value_or(own.orientation()),
                       QMarginsF());
}

QList<SheetPaper> ResolvePapers(const SheetPlan& plan, const SheetPaper& start) {
    QList<SheetPaper> papers;
    papers.reserve(plan.size());
    SheetPaper paper = start;
    for (const Sheet& sheet : plan) {
        if (sheet.direction == PaperDirections::Portrait)
            paper.orientation = QPageLayout::Portrait;
        else if (sheet.direction == PaperDirections::Landscape)
            paper.orientation = QPageLayout::Landscape;
        if (const PaperSize* size = PaperSizes::Find(sheet.size))
            paper.size = QPageSize(size->pageSizeId);
        papers.append(paper);
    }
    return papers;
}
