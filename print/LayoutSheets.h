// Sheets as laid out, for looking at them and for sending them on rather
// than for correcting a printer: every item at its millimetres from the
// sheet's edge, with neither printer offsets nor hardware margins, optionally
// over the scanned form of its page. The preview draws them; PDF保存 writes
// them into one PDF file.
#pragma once

#include "print/SheetPlan.h"

#include <QImage>
#include <QList>
#include <QPageLayout>
#include <QSizeF>
#include <QString>
#include <functional>

class QPainter;

// The scanned form of a page by its id; a null image when it has none.
using FormProvider = std::function<QImage(const QString& pageId)>;

// Draws `sheet`, `sheetMm` large, onto `painter` from the painter's origin,
// at its device's resolution: `form` (unless null) stretched over the whole
// sheet, then the text.
void DrawLayout(QPainter& painter, const Sheet& sheet, QSizeF sheetMm, const QImage& form);

// Writes the sheets of `plan` into the PDF file `path`, sheet i on
// `layouts[i]` (its paper and direction), each over its page's form from
// `forms` when that is set. The text stays text. The file appears, replacing
// any file of that name, only once complete; a failure throws and leaves
// the folder as it was.
void SaveLayoutPdf(const QString& path, const SheetPlan& plan, const QList<QPageLayout>& layouts,
                   const FormProvider& forms);
// The same for `runs` runs of sheets, run k being `runOf(k)`, sheet i of
// every run on `layouts[i]`; each page's form is read once. Each run is
// drawn and written before the next is asked for.
void SaveLayoutRuns(const QString& path, const QList<QPageLayout>& layouts,
                    const FormProvider& forms, int runs,
                    const std::function<SheetPlan(int run)>& runOf);
