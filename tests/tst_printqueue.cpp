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

namespace {

constexpr double InkTolerance = 0.2; // millimetres, under three pixels at 300 dpi

const QMarginsF Margins(5, 9, 4, 7); // hardware margins: one from a wrong edge shows

// Name, width and height, in the order of the size codes.
const std::tuple<const char*, double, double> Papers[] = {
    {"A3", 297, 420}, {"A4", 210, 297}, {"A5", 148, 210}, {"B4", 257, 364}, {"B5", 182, 257}};

double apart(QPointF d) {
    return qMax(qAbs(d.x()), qAbs(d.y()));
}

// A paper's dimension in whole points, as printers describe them.
int points(double mm) {
    return int(mm / PdfSheets::MmPerPoint);
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
    for (auto [name, width, height] : Papers) {
        const int w = points(width), h = points(height);
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
    std::unique_ptr<MessageRecorder> recorder_;
    QString cupsSaid_; // the last CUPS command's output, or why it failed

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

    // Prints with `print` through `queue`, waits until the scheduler is idle and
    // takes every job the backend received, in order. Returns why it failed.
    QString printThroughQueue(const QString& queue, const std::function<void()>& print,
                              QList<Job>& taken) {
        if (!cups("lpadmin", {"-d", queue}))
            return cupsSaid_;
        PrintToDefaultPrinter();
        print();
        for (QDeadlineTimer deadline(120000); !cups("lpstat", {"-o"}) || !cupsSaid_.isEmpty();
             QThread::msleep(100))
            if (deadline.hasExpired())
                return "The private scheduler never finished its jobs\n" + cupsSaid_ + errorLog();
        taken.clear();
        for (const QString& file : QDir(dir_.filePath("out")).entryList({"job-*.pdf"})) {
            taken.append(PdfSheets::Pictures(dir_.filePath("out/" + file)));
            QFile::remove(dir_.filePath("out/" + file));
        }
        return QString();
    }

private slots:
    void initTestCase() {
        // Filters of a scheduler run as root run as "lp": they reach the spool through here.
        QVERIFY(QFile::setPermissions(
            dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                             QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
        for (const char* folder : {"spool/tmp", "out", "bin/backend"})
            QVERIFY(QDir(dir_.path()).mkpath(folder));
        // CUPS's own filters and helpers, and the backend: runnable by its owner
        // only, so that under a scheduler run as root it runs as root.
        for (const char* part : {"/filter", "/daemon"})
            QVERIFY(QFile::link(QString("/usr/lib/cups") + part, dir_.filePath("bin") + part));
        const QString backend = dir_.filePath("bin/backend/veskfolder");
        WriteBytes(backend, Backend);
        QVERIFY(
            QFile::setPermissions(backend, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
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
        QList<Job> jobs;
        const auto blankSheet = [] { PrintSheets({Sheet{0, 1, {}}}); };
        const QString failed = printThroughQueue("VeskQueue", blankSheet, jobs);
        if (!failed.isEmpty() || jobs.size() != 1)
            QSKIP(qPrintable("The private CUPS scheduler cannot run its backend here: " + failed));
    }

    void cleanupTestCase() { cupsd_.close(); } // ends the scheduler

    void init() {
        recorder_ = std::make_unique<MessageRecorder>();
        OffsetLeft = 1.5;
        OffsetTop = -2;
        ResetRunPrinter();
    }

    void cleanup() {
        QCOMPARE(recorder_->texts(), QStringList());
        recorder_.reset();
    }

    // One job per run of one paper and direction (the plan's codes); each sheet's ink where
    // a PDF file has it, moved by the margins at its left and top as read (landscape: the
    // paper's bottom and left edges through the printer), whichever way the queue turns.
    // Then an A4 calibration job: its crosses less the offsets given, plus the margins.
    void jobsOnPaper() {
        const QList<QPoint> plan{{0, 1}, {0, 0}, {0, 1}, {0, 1}, {0, 4}, {1, 1}, {1, 3}, {1, 2}};
        const QList<int> jobs{1, 1, 2, 1, 1, 1, 1, 1}; // sheets per job
        const QPointF offsets(3.25, -1.5);             // given to the calibration sheet
        SheetPlan sheets;
        for (QPoint s : plan)
            sheets.append({qint16(s.x()),
                           qint16(s.y()),
                           {TextItem{"VESK", 12, 20, 100, 25, 10, 1, 0},
                            TextItem{"御中　山田太郎様", 10.5, 60, 120.5, 60, 4, 2, 2}}});
        PrintToPdfFile(dir_.filePath("reference.pdf"));
        PrintSheets(sheets);
        const QList<PdfSheets::Ink> drawn = PdfSheets::ReadInk(dir_.filePath("reference.pdf"));
        const auto print = [&] {
            PrintSheets(sheets);
            PrintCalibrationSheet(offsets);
        };
        for (auto [queue, margins] : {std::pair("VeskQueue", Margins), {"VeskMinus90", {}}}) {
            QList<Job> taken;
            const QString failed = printThroughQueue(queue, print, taken);
            QVERIFY2(failed.isEmpty(), qPrintable(failed));
            QList<int> sizes;
            Job printed;
            for (const Job& job : taken) {
                sizes.append(job.size());
                printed += job;
            }
            QCOMPARE(sizes, jobs);
            for (qsizetype i = 0; i < plan.size(); ++i) {
                const bool portrait = plan[i].x() == 0;
                const auto [name, width, height] = Papers[plan[i].y()];
                const QSizeF size = QSizeF(printed[i].size()) * 25.4 / 300;
                const QSizeF paperOff =
                    size - QSizeF(points(width), points(height)) * PdfSheets::MmPerPoint;
                const QRectF box = PdfSheets::InkBox(printed[i], 300);
                const QRectF ink = portrait ? box
                                            : QRectF(size.height() - box.bottom(), box.left(),
                                                     box.height(), box.width());
                const QPointF margin = portrait ? QPointF(margins.left(), margins.top())
                                                : QPointF(margins.bottom(), margins.left());
                const QRectF want = drawn[i].box.translated(margin);
                QVERIFY2(apart(ink.topLeft() - want.topLeft()) <= InkTolerance &&
                             apart(ink.bottomRight() - want.bottomRight()) <= InkTolerance &&
                             apart({paperOff.width(), paperOff.height()}) < 0.2,
                         qPrintable(QString("sheet %1: ink at %2 on %3, want %4")
                                        .arg(i + 1)
                                        .arg(QDebug::toString(ink), QDebug::toString(size),
                                             QDebug::toString(want))));
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

    // A merge print of three records is one job of three sheets through the
    // queue, each record's ink where it lies on the same records printed to
    // a PDF file, moved by the queue's margins.
    void mergedRecordsOnPaper() {
        MergeList list;
        list.columns = {"宛名", "番号"};
        list.records = {{"山田太郎", "1"}, {"髙橋", "20"}, {"株式会社ベスク商事営業部", "300"}};
        const SheetPlan plan{Sheet{0,
                                   1,
                                   {TextItem{"{{宛名}}様", 12, 20, 150, 25, 20, 1, 0},
                                    TextItem{"No.{{番号}}", 10.5, 60, 120.5, 60, 10, 1, 2}}}};
        const QList<SheetPaper> papers = ResolvePapers(plan, PaperInForce());
        PrintToPdfFile(dir_.filePath("reference.pdf"));
        PrintRecords(plan, papers, list, {0, 2});
        const QList<PdfSheets::Ink> drawn = PdfSheets::ReadInk(dir_.filePath("reference.pdf"));
        QList<Job> taken;
        const QString failed = printThroughQueue(
            "VeskQueue",
            [&] {
                PrintRecords(plan, papers, list, {0, 2});
            },
            taken);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        QCOMPARE(taken.size(), 1);
        QCOMPARE(taken[0].size(), 3);
        QCOMPARE(drawn.size(), 3);
        // Each record its own text: the sheets differ.
        QVERIFY(drawn[0].box.width() != drawn[2].box.width());
        for (int r = 0; r < 3; ++r) {
            const QRectF ink = PdfSheets::InkBox(taken[0][r], 300);
            const QPointF margin(Margins.left(), Margins.top());
            const QPointF topLeft = ink.topLeft() - drawn[r].box.topLeft() - margin,
                          bottomRight = ink.bottomRight() - drawn[r].box.bottomRight() - margin;
            QVERIFY2(
                apart(topLeft) <= InkTolerance && apart(bottomRight) <= InkTolerance,
                qPrintable(QString("record %1 off by %2 at the top left, %3 at the bottom right")
                               .arg(r + 1)
                               .arg(QDebug::toString(topLeft), QDebug::toString(bottomRight))));
        }
    }
};

QTEST_MAIN(TestPrintQueue)
#include "tst_printqueue.moc"
