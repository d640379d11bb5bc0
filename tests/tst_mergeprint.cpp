// Merge lists on paper: the source remembered per template, records saved and printed, jobs.
#include "PdfSheets.h"
#include "TestSupport.h"
#include "common/AppFolder.h"
#include "common/Globals.h"
#include "common/Program.h"
#include "layout/LayoutStore.h"
#include "platform/Database.h"
#include "platform/Engine.h"
#include "print/MergePrint.h"
#include "print/PrintEngine.h"
#include "start/StartUp.h"

#include <QtTest>
#include <algorithm>

namespace {
constexpr qint16 Portrait = 0, Landscape = 1, A3 = 0, A4 = 1, A5 = 2; // page setup codes

const MergeList Invoices{
    {"氏名", "金額", "備考"},
    {{"山田太郎", "12,000円", "至急"}, {"髙橋花子", "3,500円", ""}, {"佐藤㈱", "980円", "再送"}}};

// A left-aligned field, a right-aligned text around a field, a plain item.
Sheet invoiceSheet(qint16 direction = Portrait, qint16 size = A4) {
    return Sheet{direction,
                 size,
                 {TextItem{"{{氏名}}様", 12, 20, 100, 30, 20, 1, 0},
                  TextItem{"請求額｛｛金額｝｝", 10.5, 60, 140.5, 52.5, 20, 1, 2},
                  TextItem{"毎度ありがとうございます", 10.5, 20, 120, 80, 20, 1, 0}}};
}

// Which text of `record` is missing from `sheet` or 0.05 mm off its place.
QString misplaced(const PdfSheets::Sheet& sheet, int record, QPointF offsets = {}) {
    const QStringList& r = Invoices.records[record];
    const QList<std::tuple<QString, QPointF, bool>> want{
        {r[0] + "様", {20, 30}, false},
        {"請求額" + r[1], {140.5, 52.5}, true},
        {"毎度ありがとうございます", {20, 80}, false}};
    for (const auto& [text, place, right] : want) {
        const auto w = std::ranges::find(sheet.words, text, &PdfSheets::Word::text);
        if (w == sheet.words.end())
            return text + " is not on the sheet: " + sheet.lines().join('|');
        const QPointF at = QPointF(right ? w->box.right() : w->box.left(), w->box.top()) + offsets;
        if (qAbs(at.x() - place.x()) >= 0.05 || qAbs(at.y() - place.y()) >= 0.05)
            return text + " at " + QDebug::toString(at);
    }
    return QString();
}
} // namespace

class TestMergePrint : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> out_;
    std::unique_ptr<MessageRecorder> recorder_;
    QString file(const QString& name) const { return out_->filePath(name); }
private slots:
    void initTestCase() { // no print ever reaches a printer of this machine's
        qputenv("CUPS_SERVER", QFile::encodeName(QDir::temp().filePath("vesk-no-scheduler")));
    }
    void init() {
        out_ = std::make_unique<QTemporaryDir>();
        recorder_ = std::make_unique<MessageRecorder>();
        OffsetLeft = OffsetTop = 0;
        ResetRunPrinter();
    }
    void cleanup() {
        QCOMPARE(recorder_->texts(), QStringList());
        recorder_.reset();
        QCOMPARE(QDir(out_->path()).entryList(QDir::Hidden | QDir::Files).filter("vesk-print"),
                 QStringList()); // no drawing left behind
    }

    // A data.vsk from before the table gets it at start-up, templates kept; one source per
    // template, copied and deleted with it, even without cascade.
    void rememberedPerTemplate() {
        OpenAppFolder app;
        app.Exec("DROP TABLE template_merge");
        app.Exec("insert into template (template_id) values (1), (2), (4)");
        app.CloseLayoutDatabase();
        QCOMPARE(StartUp(), StartResult::Running);
        LayoutStore store = Layout();
        QCOMPARE(store.Templates().size(), 3);
        store.SaveTemplateMergeSource("1", {"/tmp/宛名.txt", "shift_jis"});
        QVERIFY(!store.TemplateMergeSource("2"));
        const QString quoted = "/home/利用者/O'Brien 請求;--.csv";
        store.SaveTemplateMergeSource("1", {quoted, "auto"}); // replaces the first
        const QString copy = store.CopyTemplate("1");
        const auto copied = store.TemplateMergeSource(copy);
        QCOMPARE(copied->path + "|" + copied->encoding, quoted + "|auto");
        QVERIFY(!store.TemplateMergeSource(store.CopyTemplate("2")));
        app.Exec("PRAGMA foreign_keys = OFF");
        store.DeleteTemplate("1");
        store.DeleteTemplate(copy);
        QCOMPARE(app.Scalar("select count(*) as n from template_merge"), 0LL);
        ReleaseSingleInstance();
        CloseAllScreens();
    }

    // PDF保存 writes all records, 印刷 a range moved by the offsets: each sheet on its paper.
    void recordsOnPaper() {
        const SheetPlan plan{invoiceSheet(), invoiceSheet(Landscape, A5)};
        QList<QPageLayout> layouts;
        for (const SheetPaper& paper : ResolvePapers(plan, SheetPaper()))
            layouts.append(paper.LayoutOver(
                QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF())));
        SaveRecordsPdf(file("saved.pdf"), plan, layouts, {}, Invoices, {0, 2});
        OffsetLeft = 1.5;
        OffsetTop = -2;
        PrintToPdfFile(file("printed.pdf"));
        PrintRecords(plan, ResolvePapers(plan, PaperInForce()), Invoices, {1, 2});
        const QList<std::tuple<QString, int, QPointF>> outputs{{"saved.pdf", 0, {}},
                                                               {"printed.pdf", 1, {1.5, -2}}};
        for (const auto& [pdf, first, offsets] : outputs) {
            const QList<PdfSheets::Sheet> sheets = PdfSheets::ReadSheets(file(pdf));
            QCOMPARE(sheets.size(), 2 * (3 - first));
            for (int s = 0; s < sheets.size(); ++s) {
                QCOMPARE(sheets[s].size.toSize(), s % 2 ? QSize(210, 148) : QSize(210, 297));
                const QString off = misplaced(sheets[s], first + s / 2, offsets);
                QVERIFY2(off.isEmpty(), qPrintable(pdf + ": " + off));
            }
        }
    }

    // One job per run of sheets on the same paper, runs going on across records.
    void jobsFor() {
        const QList<std::tuple<QList<QPair<qint16, qint16>>, int, int>> cases{
            {{{Portrait, A4}, {Portrait, A4}}, 40, 1},
            {{{Portrait, A4}, {Portrait, A3}, {Portrait, A3}, {Portrait, A4}}, 3, 7},
            {{{-1, -1}, {Landscape, A5}}, 5, 2}}; // the first sheet keeps what the last set
        for (const auto& [codes, records, jobs] : cases) {
            SheetPlan plan;
            for (auto [direction, size] : codes)
                plan.append(Sheet{direction, size, {}});
            QCOMPARE(PrintJobsFor(ResolvePapers(plan, SheetPaper()), records), jobs);
        }
    }

    // Past 100 jobs a print is refused before anything prints; 100 jobs print.
    void jobBound() {
        MergeList list = Invoices;
        while (list.records.size() < 51)
            list.records.append({QString::number(list.records.size() + 1), "1円", ""});
        const SheetPlan plan{invoiceSheet(Portrait, A4), invoiceSheet(Portrait, A3)};
        const QList<SheetPaper> papers = ResolvePapers(plan, PaperInForce());
        PrintToPdfFile(file("bound.pdf"));
        try {
            PrintRecords(plan, papers, list, {0, 50});
            QFAIL("102 jobs printed");
        } catch (const std::exception& e) {
            QVERIFY2(QString(e.what()).contains("50 件のレコードまで"), e.what());
        }
        QVERIFY(!QFile::exists(file("bound.pdf")));
        PrintRecords(plan, papers, list, {1, 50});
        QCOMPARE(PdfSheets::ReadSheets(file("bound.pdf")).size(), 100);
    }
};

QTEST_MAIN(TestMergePrint)
#include "tst_mergeprint.moc"
