// Printing through a private CUPS scheduler whose backend writes each job into
// the test's folder; the ink of its sheets is compared with a PDF file's.
#include "PdfSheets.h"
#include "TestSupport.h"
#include "common/Globals.h"
#include "print/CalibrationSheet.h"
#include "print/MergePrint.h"
#include "print/PrintEngine.h"

#include <QtTest>
#include <csignal>
#include <sys/prctl.h>
#include <sys/stat.h>

namespace {

constexpr double InkTolerance = 0.2; // millimetres, under three pixels at 300 dpi

const QMarginsF Margins(5, 9, 4, 7); // hardware margins: one from a wrong edge shows

// Name, width and height in whole points as printers describe them, in the order of the size codes.
const std::tuple<const char*, int, int> Papers[] = {
    {"A3", 841, 1190}, {"A4", 595, 841}, {"A5", 419, 595}, {"B4", 728, 1031}, {"B5", 515, 728}};

double apart(QPointF d) {
    return qMax(qAbs(d.x()), qAbs(d.y()));
}

// A printer description whose jobs reach the backend as PDF.
QByteArray description(const char* landscapeOrientation, QMarginsF m) {
    QString ppd = QString("*PPD-Adobe: \"4.3\"\n*NickName: \"VESK test queue\"\n"
                          "*cupsFilter: \"application/vnd.cups-pdf 0 -\"\n"
                          "*LandscapeOrientation: %1\n*OpenUI *PageSize: PickOne\n"
                          "*DefaultPageSize: A4\n")
                      .arg(landscapeOrientation);
    QString sizes = "*DefaultImageableArea: A4\n*DefaultPaperDimension: A4\n";
    const double pt = 1 / PdfSheets::MmPerPoint;
    for (auto [name, w, h] : Papers) {
        ppd += QString::asprintf("*PageSize %s/%s: \"<</PageSize[%d %d]>>setpagedevice\"\n", name,
                                 name, w, h);
        // left, bottom, right, top in points from the paper's bottom-left corner
        sizes +=
            QString::asprintf("*ImageableArea %s/%s: \"%g %g %g %g\"\n", name, name, m.left() * pt,
                              m.bottom() * pt, w - m.right() * pt, h - m.top() * pt);
        sizes += QString::asprintf("*PaperDimension %s/%s: \"%d %d\"\n", name, name, w, h);
    }
    return (ppd + "*CloseUI: *PageSize\n" + sizes).toUtf8();
}

// Writes each job into the folder of its URI (veskfolder:/path), named by its number.
const char Backend[] = "#!/bin/sh\n"
                       "cat \"${6:--}\" >\"${DEVICE_URI#veskfolder:}/job-$(printf %06d $1).pdf\"\n";

using Job = QList<QImage>;

} // namespace

class TestPrintQueue : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QProcess cupsd_;
    MessageRecorder recorder_;    // no test says anything
    QString cupsSaid_;            // the last CUPS command's output, or why it failed
    QList<Job> taken_;            // the jobs the backend received, in order
    QList<PdfSheets::Ink> drawn_; // the same sheets printed to a PDF file

    // A CUPS command on the private scheduler: whether it succeeded.
    bool cups(const QString& program, const QStringList& args) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, QStringList{"-h", dir_.filePath("socket")} + args);
        const bool done =
            p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        cupsSaid_ = (done ? "" : program + " failed: ") + p.readAll().trimmed();
        return done;
    }

    QString errorLog() const { return ReadBytes(dir_.filePath("error_log")).right(3000); }

    // Prints with `reference` (or `print`) to a PDF file (its ink into drawn_), then with `print`
    // through `queue`; waits until the scheduler is idle and takes its jobs into taken_.
    QString printBoth(const QString& queue, const std::function<void()>& print,
                      const std::function<void()>& reference = {}) {
        PrintToPdfFile(dir_.filePath("reference.pdf"));
        (reference ? reference : print)();
        drawn_ = PdfSheets::ReadInk(dir_.filePath("reference.pdf"));
        if (!cups("lpadmin", {"-d", queue}))
            return cupsSaid_;
        PrintToDefaultPrinter();
        print();
        for (QDeadlineTimer deadline(120000); !cups("lpstat", {"-o"}) || !cupsSaid_.isEmpty();
             QThread::msleep(100))
            if (deadline.hasExpired())
                return "The private scheduler never finished its jobs\n" + cupsSaid_ + errorLog();
        taken_.clear();
        for (const QString& file : QDir(dir_.filePath("out")).entryList({"job-*.pdf"})) {
            taken_.append(PdfSheets::Pictures(dir_.filePath("out/" + file)));
            QFile::remove(dir_.filePath("out/" + file));
        }
        return QString();
    }

    // Empty when the ink of `printed` lies where `want` is, moved by the margins at the paper's
    // left and top as read (landscape: its bottom and left edges through the printer).
    static QString misplaced(const QImage& printed, QRectF want, bool portrait, QMarginsF m) {
        const QRectF box = PdfSheets::InkBox(printed, 300);
        const QRectF ink = portrait ? box
                                    : QRectF(printed.height() * 25.4 / 300 - box.bottom(),
                                             box.left(), box.height(), box.width());
        want.translate(portrait ? QPointF(m.left(), m.top()) : QPointF(m.bottom(), m.left()));
        if (apart(ink.topLeft() - want.topLeft()) <= InkTolerance &&
            apart(ink.bottomRight() - want.bottomRight()) <= InkTolerance)
            return QString();
        return QString("ink at %1, want %2").arg(QDebug::toString(ink), QDebug::toString(want));
    }

private slots:
    void initTestCase() {
        OffsetLeft = 1.5;
        OffsetTop = -2;
        // Filters of a scheduler run as root run as "lp": they reach the spool through here.
        QVERIFY(::chmod(QFile::encodeName(dir_.path()), 0755) == 0);
        for (const char* folder : {"spool/tmp", "out", "bin/backend"})
            QVERIFY(QDir(dir_.path()).mkpath(folder));
        // CUPS's filters and helpers; the backend runnable by its owner: as root under root.
        for (const char* part : {"/filter", "/daemon"})
            QVERIFY(QFile::link(QString("/usr/lib/cups") + part, dir_.filePath("bin") + part));
        const QString backend = dir_.filePath("bin/backend/veskfolder");
        WriteBytes(backend, Backend);
        QVERIFY(::chmod(QFile::encodeName(backend), 0700) == 0);
        WriteBytes(dir_.filePath("cupsd.conf"),
                   "Listen " + QFile::encodeName(dir_.filePath("socket")) +
                       "\nBrowsing No\nErrorPolicy abort-job\n<Policy default>\n<Limit All>\n"
                       "Order deny,allow\n</Limit>\n</Policy>\n");
        WriteBytes(dir_.filePath("cups-files.conf"),
                   QString("ServerRoot %1\nServerBin %1/bin\nRequestRoot %1/spool\n"
                           "TempDir %1/spool/tmp\nCacheDir %1\nStateDir %1\n"
                           "AccessLog %1/access_log\nErrorLog %1/error_log\n")
                       .arg(dir_.path())
                       .toUtf8());
        cupsd_.setProcessChannelMode(QProcess::MergedChannels);
        cupsd_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        cupsd_.start("cupsd", {"-f", "-c", dir_.filePath("cupsd.conf"), "-s",
                               dir_.filePath("cups-files.conf")});
        for (QDeadlineTimer deadline(20000);
             !cups("lpstat", {"-r"}) || !cupsSaid_.contains("scheduler is running");
             QThread::msleep(100))
            if (deadline.hasExpired() || !cupsd_.waitForStarted())
                QSKIP(qPrintable("A private CUPS scheduler cannot be started here: " + cupsSaid_ +
                                 cupsd_.errorString() + cupsd_.readAll() + errorLog()));
        for (auto [name, turn, margins] : {std::tuple("VeskQueue", "Plus90", Margins),
                                           std::tuple("VeskMinus90", "Minus90", QMarginsF())}) {
            const QString ppd = dir_.filePath(QString(name) + ".ppd");
            WriteBytes(ppd, description(turn, margins));
            QVERIFY2(cups("lpadmin", {"-p", name, "-E", "-v", "veskfolder:" + dir_.filePath("out"),
                                      "-P", ppd}),
                     qPrintable(cupsSaid_ + "\n" + errorLog()));
        }
        // Only this scheduler is asked; no user's lpoptions.
        qputenv("CUPS_SERVER", QFile::encodeName(dir_.filePath("socket")));
        qputenv("HOME", QFile::encodeName(dir_.path()));
        qunsetenv("LPDEST");
        qunsetenv("PRINTER");
        // A confined scheduler (AppArmor) may refuse a backend outside the system's folders.
        const QString failed = printBoth("VeskQueue", [] { PrintSheets({Sheet{0, 1, {}}}); });
        if (!failed.isEmpty() || taken_.size() != 1)
            QSKIP(qPrintable("The private CUPS scheduler cannot run its backend here: " + failed));
    }

    void cleanupTestCase() { cupsd_.close(); } // ends the scheduler

    void init() { ResetRunPrinter(); }
    void cleanup() { QCOMPARE(recorder_.texts(), QStringList()); }

    // One job per run of one paper and direction (the plan's codes), each sheet's ink where a
    // PDF file has it, whichever way the queue turns; then an A4 calibration job: its crosses
    // less the offsets given, plus the margins.
    void jobsOnPaper() {
        const QList<QPoint> plan{{0, 1}, {0, 0}, {0, 1}, {0, 1}, {0, 4}, {1, 1}, {1, 3}, {1, 2}};
        const QPointF offsets(3.25, -1.5); // given to the calibration sheet
        const QList<TextItem> items{{"VESK", 12, 20, 100, 25, 10, 1, 0},
                                    {"御中　山田太郎様", 10.5, 60, 120.5, 60, 4, 2, 2}};
        SheetPlan sheets;
        for (QPoint s : plan)
            sheets.append({qint16(s.x()), qint16(s.y()), items});
        const auto print = [&] {
            PrintSheets(sheets);
            PrintCalibrationSheet(offsets);
        };
        for (auto [queue, margins] : {std::pair("VeskQueue", Margins), {"VeskMinus90", {}}}) {
            QCOMPARE(printBoth(queue, print, [&] { PrintSheets(sheets); }), QString());
            QList<int> sizes; // sheets per job
            Job printed;
            for (const Job& job : taken_) {
                sizes.append(job.size());
                printed += job;
            }
            QCOMPARE(sizes, QList<int>({1, 1, 2, 1, 1, 1, 1, 1}));
            for (qsizetype i = 0; i < plan.size(); ++i) {
                const auto [name, width, height] = Papers[plan[i].y()];
                const QSizeF paperOff = QSizeF(printed[i].size()) * 25.4 / 300 -
                                        QSizeF(width, height) * PdfSheets::MmPerPoint;
                QCOMPARE(misplaced(printed[i], drawn_[i].box, plan[i].x() == 0, margins),
                         QString());
                QVERIFY(apart({paperOff.width(), paperOff.height()}) < 0.2);
            }
            const QImage& calibration = printed.last();
            QCOMPARE((QSizeF(calibration.size()) * 25.4 / 300).toSize(), QSize(210, 297));
            for (const QPointF& cross : CalibrationSheet::Crosses) {
                const QPointF want = cross - offsets + QPointF(margins.left(), margins.top());
                const QPointF off = PdfSheets::CrossCentre(calibration, 300, want) - want;
                QVERIFY2(apart(off) <= InkTolerance,
                         qPrintable(QDebug::toString(cross) + " off by " + QDebug::toString(off)));
            }
        }
    }

    // A merge print of three records is one job of three sheets, each record's ink where
    // the same records printed to a PDF file have it.
    void mergedRecordsOnPaper() {
        const MergeList list{
            .columns = {"宛名", "番号"},
            .records = {{"山田太郎", "1"}, {"髙橋", "20"}, {"株式会社ベスク商事営業部", "300"}}};
        const QList<TextItem> items{{"{{宛名}}様", 12, 20, 150, 25, 20, 1, 0},
                                    {"No.{{番号}}", 10.5, 60, 120.5, 60, 10, 1, 2}};
        const SheetPlan plan{Sheet{0, 1, items}};
        const QList<SheetPaper> papers = ResolvePapers(plan, PaperInForce());
        const auto print = [&] { PrintRecords(plan, papers, list, {0, 2}); };
        QCOMPARE(printBoth("VeskQueue", print), QString());
        QVERIFY(taken_.size() == 1 && taken_[0].size() == 3); // one job
        // Each record its own text: the sheets differ.
        QVERIFY(drawn_.size() == 3 && drawn_[0].box.width() != drawn_[2].box.width());
        for (int r = 0; r < 3; ++r)
            QCOMPARE(misplaced(taken_[0][r], drawn_[r].box, true, Margins), QString());
    }
};

QTEST_MAIN(TestPrintQueue)
#include "tst_printqueue.moc"
