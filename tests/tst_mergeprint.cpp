// Merge lists on paper: the merge file remembered per template in data.vsk,
// the records written into one PDF file and printed record after record,
// read back with poppler, and the bound on the print jobs of one print.
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
#include "print/SheetPaper.h"
#include "start/StartUp.h"

#include <QtTest>

namespace {

// The paper codes of the page setup screen.
constexpr qint16 Portrait = 0, Landscape = 1, A3 = 0, A4 = 1, A5 = 2;

MergeList invoiceList() {
    MergeList list;
    list.columns = {"氏名", "金額", "備考"};
    list.records = {
        {"山田太郎", "12,000円", "至急"}, {"髙橋花子", "3,500円", ""}, {"佐藤㈱", "980円", "再送"}};
    return list;
}

// A sheet with a left-aligned field, a right-aligned text around a field and
// an item without fields.
Sheet invoiceSheet(qint16 direction = Portrait, qint16 size = A4) {
    return Sheet{direction,
                 size,
                 {TextItem{"{{氏名}}様", 12, 20, 100, 30, 20, 1, 0},
                  TextItem{"請求額｛｛金額｝｝", 10.5, 60, 140.5, 52.5, 20, 1, 2},
                  TextItem{"毎度ありがとうございます", 10.5, 20, 120, 80, 20, 1, 0}}};
}

// Where each item's text of `record` must stand on the sheet: its text and the
// point that its alignment puts at the box's edge or middle, moved by `offsets`.
struct Expected {
    QString text;
    QPointF at;
    int align;
};
QList<Expected> expected(const MergeList& list, int record, QPointF offsets) {
    const QStringList& r = list.records[record];
    return {{r[0] + "様", QPointF(20, 30) - offsets, 0},
            {"請求額" + r[1], QPointF(140.5, 52.5) - offsets, 2},
            {"毎度ありがとうございます", QPointF(20, 80) - offsets, 0}};
}

// Whether `sheet` holds each expected text as one word at its place, within
// 0.05 mm; the failure says which is missing or off.
QString misplaced(const PdfSheets::Sheet& sheet, const QList<Expected>& want) {
    for (const Expected& e : want) {
        const auto word = std::find_if(sheet.words.begin(), sheet.words.end(),
                                       [&](const PdfSheets::Word& w) { return w.text == e.text; });
        if (word == sheet.words.end())
            return e.text + " is not on the sheet: " + sheet.lines().join('|');
        const QPointF at(e.align == 2 ? word->box.right() : word->box.left(), word->box.top());
        if (qAbs(at.x() - e.at.x()) >= 0.05 || qAbs(at.y() - e.at.y()) >= 0.05)
            return e.text + " at " + QDebug::toString(at) + ", not " + QDebug::toString(e.at);
    }
    return QString();
}

QList<SheetPaper> papersOf(const QList<QPair<qint16, qint16>>& codes) {
    SheetPlan plan;
    for (auto [direction, size] : codes)
        plan.append(Sheet{direction, size, {}});
    return ResolvePapers(plan, SheetPaper());
}

QList<QPageLayout> layoutsOf(const SheetPlan& plan) {
    QList<QPageLayout> layouts;
    for (const SheetPaper& paper : ResolvePapers(plan, SheetPaper()))
        layouts.append(paper.LayoutOver(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF())));
    return layouts;
}

QString failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return QString();
}

} // namespace

using PaperCodes = QList<QPair<qint16, qint16>>;

class TestMergePrint : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> out_;
    std::unique_ptr<MessageRecorder> recorder_;

    QString file(const QString& name) const { return out_->filePath(name); }

private slots:
    void initTestCase() {
        // No print ever finds a printer of this machine's: the scheduler
        // asked is one that is not there.
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

    // The merge file is remembered per template, replaced by the next, read
    // back as written; copying a template copies it, deleting a template
    // deletes it, with or without the database's cascade.
    void rememberedPerTemplate() {
        OpenAppFolder app;
        app.AddTemplate("1");
        app.AddTemplate("2");
        LayoutStore store = Layout();
        QVERIFY(!store.TemplateMergeSource("1"));
        const MergeSource first{"/home/利用者/O'Brien 請求;--.csv", "shift_jis"};
        store.SaveTemplateMergeSource("1", first);
        QCOMPARE(store.TemplateMergeSource("1")->path, first.path);
        QCOMPARE(store.TemplateMergeSource("1")->encoding, first.encoding);
        QVERIFY(!store.TemplateMergeSource("2"));
        store.SaveTemplateMergeSource("1", {"/tmp/宛名.txt", "auto"});
        QCOMPARE(store.TemplateMergeSource("1")->path, QString("/tmp/宛名.txt"));
        QCOMPARE(store.TemplateMergeSource("1")->encoding, QString("auto"));
        QCOMPARE(app.Scalar("select count(*) as n from template_merge"), 1LL);

        const QString copy = store.CopyTemplate("1");
        QCOMPARE(store.TemplateMergeSource(copy)->path, QString("/tmp/宛名.txt"));
        QCOMPARE(store.TemplateMergeSource(copy)->encoding, QString("auto"));
        QVERIFY(!store.TemplateMergeSource(store.CopyTemplate("2")));

        store.DeleteTemplate("1");
        QVERIFY(!store.TemplateMergeSource("1"));
        app.Exec("PRAGMA foreign_keys = OFF");
        store.DeleteTemplate(copy);
        QCOMPARE(app.Scalar("select count(*) as n from template_merge"), 0LL);
        app.CloseLayoutDatabase();
    }

    // A data.vsk from before the table gets it at start-up, its templates
    // kept, and remembers merge files from then on.
    void olderDatabaseGetsTheTable() {
        AppFolderFixture app;
        app.OpenLayoutDatabase();
        app.Exec("DROP TABLE template_merge");
        app.AddTemplate("4");
        app.CloseLayoutDatabase();
        SetAppPath(app.path());
        QCOMPARE(StartUp(), StartResult::Running);
        LayoutStore store = Layout();
        QCOMPARE(store.Templates().size(), 1);
        QVERIFY(!store.TemplateMergeSource("4"));
        store.SaveTemplateMergeSource("4", {"/tmp/list.csv", "utf-8"});
        QCOMPARE(store.TemplateMergeSource("4")->path, QString("/tmp/list.csv"));
        LayoutWorkspace->Close();
        LayoutWorkspace = nullptr;
        LayoutDatabase = nullptr;
        ReleaseSingleInstance();
        CloseAllScreens();
    }

    // PDF保存 writes every record's sheets, record after record, each text at
    // its item's place from the sheet's edge; a range writes only its records.
    void recordsIntoOnePdf() {
        const MergeList list = invoiceList();
        const SheetPlan plan{invoiceSheet()};
        SaveRecordsPdf(file("all.pdf"), plan, layoutsOf(plan), {}, list, {0, 2});
        const QList<PdfSheets::Sheet> sheets = PdfSheets::ReadSheets(file("all.pdf"));
        QCOMPARE(sheets.size(), 3);
        for (int r = 0; r < 3; ++r) {
            QCOMPARE(sheets[r].size.toSize(), QSize(210, 297));
            const QString off = misplaced(sheets[r], expected(list, r, QPointF()));
            QVERIFY2(off.isEmpty(), qPrintable(QString("record %1: ").arg(r + 1) + off));
        }

        SaveRecordsPdf(file("part.pdf"), plan, layoutsOf(plan), {}, list, {2, 2});
        const QList<PdfSheets::Sheet> part = PdfSheets::ReadSheets(file("part.pdf"));
        QCOMPARE(part.size(), 1);
        QVERIFY2(misplaced(part[0], expected(list, 2, QPointF())).isEmpty(),
                 qPrintable(part[0].lines().join('|')));

        // A range outside the list writes nothing.
        for (RecordRange bad : {RecordRange{0, 3}, RecordRange{2, 1}, RecordRange{-1, 0}})
            QVERIFY(!failureOf([&] {
                         SaveRecordsPdf(file("bad.pdf"), plan, layoutsOf(plan), {}, list, bad);
                     }).isEmpty());
        QVERIFY(!QFile::exists(file("bad.pdf")));
    }

    // 印刷 prints each record's sheets in order, each on its own paper, moved
    // by the printer offsets.
    void recordsPrinted() {
        OffsetLeft = 1.5;
        OffsetTop = -2;
        PrintToPdfFile(file("printed.pdf"));
        const MergeList list = invoiceList();
        const SheetPlan plan{invoiceSheet(), invoiceSheet(Landscape, A5)};
        PrintRecords(plan, ResolvePapers(plan, PaperInForce()), list, {1, 2});
        const QList<PdfSheets::Sheet> sheets = PdfSheets::ReadSheets(file("printed.pdf"));
        QCOMPARE(sheets.size(), 4);
        for (int s = 0; s < 4; ++s) {
            QCOMPARE(sheets[s].size.toSize(), s % 2 ? QSize(210, 148) : QSize(210, 297));
            const QString off = misplaced(sheets[s], expected(list, 1 + s / 2, QPointF(1.5, -2)));
            QVERIFY2(off.isEmpty(), qPrintable(QString("sheet %1: ").arg(s + 1) + off));
        }
    }

    // One job per run of sheets on the same paper and direction, the runs
    // going on from one record into the next.
    void jobsFor_data() {
        QTest::addColumn<PaperCodes>("codes");
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("jobs");
        QTest::newRow("one paper") << PaperCodes{{Portrait, A4}, {Portrait, A4}} << 40 << 1;
        QTest::newRow("alternating papers") << PaperCodes{{Portrait, A4}, {Portrait, A3}} << 3 << 6;
        QTest::newRow("alternating directions")
            << PaperCodes{{Portrait, A4}, {Landscape, A4}} << 50 << 100;
        QTest::newRow("a run across records")
            << PaperCodes{{Portrait, A4}, {Portrait, A3}, {Portrait, A3}, {Portrait, A4}} << 3 << 7;
        QTest::newRow("first sheet keeps what the last set")
            << PaperCodes{{-1, -1}, {Landscape, A5}} << 5 << 2;
        QTest::newRow("no record") << PaperCodes{{Portrait, A4}, {Portrait, A3}} << 0 << 0;
    }
    void jobsFor() {
        QFETCH(PaperCodes, codes);
        QFETCH(int, records);
        QFETCH(int, jobs);
        QCOMPARE(PrintJobsFor(papersOf(codes), records), jobs);
        QCOMPARE(PrintJobsFor({}, records), 0);
    }

    // A print of more than 100 jobs is refused before anything is drawn or
    // the printer asked, saying how many records fit; 100 jobs print.
    void jobBound() {
        MergeList list = invoiceList();
        while (list.records.size() < 51)
            list.records.append({QString::number(list.records.size() + 1), "1円", ""});
        const SheetPlan plan{invoiceSheet(Portrait, A4), invoiceSheet(Portrait, A3)};
        const QList<SheetPaper> papers = ResolvePapers(plan, PaperInForce());
        // The default printer is never reached: the refusal comes first.
        PrintToDefaultPrinter();
        const QString refusal = failureOf([&] { PrintRecords(plan, papers, list, {0, 50}); });
        QVERIFY2(refusal.contains("102") && refusal.contains("100") &&
                     refusal.contains("50 件のレコードまで"),
                 qPrintable(refusal));
        // The same bound holds for a PDF file; records 2 to 51 make 100 jobs.
        PrintToPdfFile(file("bound.pdf"));
        const QString past = failureOf([&] { PrintRecords(plan, papers, list, {0, 50}); });
        QCOMPARE(past, refusal);
        QVERIFY(!QFile::exists(file("bound.pdf")));
        PrintRecords(plan, papers, list, {1, 50});
        QCOMPARE(PdfSheets::ReadSheets(file("bound.pdf")).size(), 100);
    }
};

QTEST_MAIN(TestMergePrint)
#include "tst_mergeprint.moc"
