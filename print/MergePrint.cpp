#include "print/MergePrint.h"

#include "merge/MergeFields.h"
#include "print/PrintEngine.h"

#include <stdexcept>

namespace {

// What the printer has in force after each sheet: a paper or direction the
// sheet leaves unset stays as the sheet before had it.
struct InForce {
    std::optional<QPageSize> size;
    std::optional<QPageLayout::Orientation> orientation;

    bool operator==(const InForce& o) const {
        const bool sameSize =
            size.has_value() == o.size.has_value() && (!size || size->isEquivalentTo(*o.size));
        return sameSize && orientation == o.orientation;
    }
    void Take(const SheetPaper& paper) {
        if (paper.size)
            size = paper.size;
        if (paper.orientation)
            orientation = paper.orientation;
    }
};

// The jobs of one record's sheets and of two: every record after the first
// starts on the paper the one before ended on, so each adds the same number.
std::pair<int, int> jobsOfOneAndTwo(const QList<SheetPaper>& papers) {
    int jobs = 0;
    int one = 0;
    InForce current;
    bool first = true;
    for (int record = 0; record < 2; ++record) {
        for (const SheetPaper& paper : papers) {
            InForce next = current;
            next.Take(paper);
            if (first || !(next == current))
                ++jobs;
            current = next;
            first = false;
        }
        if (record == 0)
            one = jobs;
    }
    return {one, jobs};
}

int recordCount(RecordRange range) {
    return range.last - range.first + 1;
}

void requireRange(const MergeList& list, RecordRange range) {
    if (range.first < 0 || range.first > range.last || range.last >= list.records.size())
        throw std::invalid_argument("a record range inside the list");
}

// "レコード 3～14" as the user counts records, from 1.
QString recordsText(int first, int last) {
    return first == last ? QStringLiteral("レコード %1").arg(first + 1)
                         : QStringLiteral("レコード %1～%2").arg(first + 1).arg(last + 1);
}

// Which records the pages handed over carried, for the user not to print
// them twice.
QString handedOverText(int pages, int sheetsPerRecord, RecordRange range) {
    const int whole = pages / sheetsPerRecord;
    const int rest = pages % sheetsPerRecord;
    QStringList parts;
    if (whole > 0)
        parts.append(recordsText(range.first, range.first + whole - 1) +
                     QStringLiteral(" は印刷に渡されました。"));
    if (rest > 0)
        parts.append(recordsText(range.first + whole, range.first + whole) +
                     QStringLiteral(" は %1 枚目までが印刷に渡されました。").arg(rest));
    return parts.join(u'\n');
}

} // namespace

int PrintJobsFor(const QList<SheetPaper>& papers, int records) {
    if (papers.isEmpty() || records <= 0)
        return 0;
    const auto [one, two] = jobsOfOneAndTwo(papers);
    return one + (records - 1) * (two - one);
}

void PrintRecords(const SheetPlan& plan, const QList<SheetPaper>& papers, const MergeList& list,
                  RecordRange range) {
    requireRange(list, range);

    const int records = recordCount(range);
    const int jobs = PrintJobsFor(papers, records);
    if (jobs > MaxPrintJobs) {
        const auto [one, two] = jobsOfOneAndTwo(papers);
        const int fit = one > MaxPrintJobs ? 0 : 1 + (MaxPrintJobs - one) / (two - one);
        throw std::runtime_error(
            QStringLiteral("%1 件のレコードを印刷すると印刷ジョブが %2 件になり、一度に渡せる %3 "
                           "件を超えます。一度に印刷できるのは %4 件のレコードまでです。")
                .arg(records)
                .arg(jobs)
                .arg(MaxPrintJobs)
                .arg(fit)
                .toStdString());
    }

    PrintSheetRuns(
        plan, papers, records, [&](int run) { return MergeRecord(plan, list, range.first + run); },
        [&](int sheets) { return handedOverText(sheets, int(plan.size()), range); });
}

void SaveRecordsPdf(const QString& path, const SheetPlan& plan, const QList<QPageLayout>& layouts,
                    const FormProvider& forms, const MergeList& list, RecordRange range) {
    if (plan.isEmpty() || layouts.size() != plan.size())
        throw std::invalid_argument("A layout for every sheet, at least one");
    requireRange(list, range);
    SaveLayoutRuns(path, layouts, forms, recordCount(range),
                   [&](int run) { return MergeRecord(plan, list, range.first + run); });
}
