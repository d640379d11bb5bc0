// The paper each sheet of a print command goes on. A sheet's direction and
// size codes set the orientation and the paper size; a code outside the lists
// leaves in force what the sheet before had, and before the first sheet what
// the printer had (from the command before, or the destination's own).
// Printing, the preview and the PDF file all take their sheets' paper from
// this one rule.
#pragma once

#include "print/SheetPlan.h"

#include <QList>
#include <QPageLayout>
#include <QPageSize>
#include <optional>

struct SheetPaper {
    // nullopt: the destination's own, never set by the program.
    std::optional<QPageSize> size;
    std::optional<QPageLayout::Orientation> orientation;

    // The paper as a page layout without margins, `own`'s size or orientation
    // where this one has none.
    QPageLayout LayoutOver(const QPageLayout& own) const;
};

// The paper of each sheet of `plan`, in order, `start` being what is in force
// before the first sheet.
QList<SheetPaper> ResolvePapers(const SheetPlan& plan, const SheetPaper& start);
