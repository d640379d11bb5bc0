// Printing and saving a template once per record of a merge list: each
// record is the whole plan of sheets with that record's values in its
// fields, record after record, through the same paths as a plain print.
#pragma once

#include "merge/MergeList.h"
#include "print/LayoutSheets.h"
#include "print/SheetPaper.h"
#include "print/SheetPlan.h"

#include <QList>
#include <QPageLayout>

// The records of a merge list to print, from 0, both ends included.
struct RecordRange {
    int first = 0;
    int last = 0;
};

// The most print jobs one print command hands to CUPS.
inline constexpr int MaxPrintJobs = 100;

// How many print jobs `records` copies of sheets on `papers` make: one for
// every run of consecutive sheets on the same paper and direction, counted
// across records.
int PrintJobsFor(const QList<SheetPaper>& papers, int records);

// Prints `range` of `list` into `plan` on the default printer, moved by the
// printer offsets: every sheet is drawn before anything is handed over, and
// a failure of any record hands over nothing. A print that would make more
// than MaxPrintJobs jobs throws before anything is drawn, saying how many
// records fit. When CUPS fails after some jobs were released, the failure
// names the records already handed over.
void PrintRecords(const SheetPlan& plan, const QList<SheetPaper>& papers, const MergeList& list,
                  RecordRange range);

// Writes `range` of `list` into `plan` as one PDF file, as SaveLayoutPdf
// writes a plan: sheet after sheet, record after record, drawn and written
// as it goes so memory does not grow with the records.
void SaveRecordsPdf(const QString& path, const SheetPlan& plan, const QList<QPageLayout>& layouts,
                    const FormProvider& forms, const MergeList& list, RecordRange range);
