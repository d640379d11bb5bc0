// Printing through a real print queue. The test runs a CUPS scheduler of its
// own (its own configuration, socket, spool and programs folder) whose one
// backend writes every job into the test's folder: nothing system-wide is read
// or written. The queues describe paper with hardware margins, one without.
// The queue re-encodes the fonts, so the ink of its sheets is compared with
// the same sheets printed to a PDF file, or found by lines drawn at known
// places (the calibration sheet's crosses).
#include "PdfSheets.h"
#include "TestSupport.h"
#include "common/Globals.h"
#include "print/CalibrationSheet.h"
#include "print/MergePrint.h"
#include "print/PrintEngine.h"

#include <QPainter>
#include <QPdfWriter>
#include <QtTest>
#include <csignal>
#include <cups/cups.h>
#include <sys/prctl.h>

namespace {

constexpr double InkTolerance = 0.2; // millimetres, under three pixels at 300 dpi

// The hardware margins of every paper of the queues, in millimetres from the
// paper's edges as it goes through the printer: four different values, so a
// margin taken from the wrong edge shows.
const QMarginsF Margins(5, 9, 4, 7);

// The papers, in the order of the page setup screen's size codes.
struct Paper {
    const char* name; // in the queue's description
    double width, height;
};
const Paper Papers[] = {
    {"A3", 297, 420}, {"A4", 210, 297}, {"A5", 148, 210}, {"B4", 257, 364}, {"B5", 182, 257}};

double apart(QPointF d) {
    return qMax(qAbs(d.x()), qAbs(d.y()));
}

// A paper's dimension as the queue describes it: whole points, a fraction of a
// millimetre smaller than the sheet drawn, as printers describe them.
int points(double mm) {
    return int(mm / PdfSheets::MmPerPoint);
}

// A printer description whose jobs reach the backend as PDF, after CUPS's
// own PDF filter has set each page on the paper; every paper has `margins`.
QByteArray description(const char* landscapeOrientation, QMarginsF margins) {
    QByteArray ppd = "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n"
                     "*LanguageVersion: English\n*LanguageEncoding: ISOLatin1\n"
                     "*PCFileName: \"VESKTEST.PPD\"\n*Manufacturer: \"VESK\"\n"
                     "*Product: \"(VESK test queue)\"\n*ModelName: \"VESK test queue\"\n"
                     "*NickName: \"VESK test queue\"\n*ColorDevice: False\n"
                     "*cupsFilter: \"application/vnd.cups-pdf 0 -\"\n*LandscapeOrientation: " +
                     QByteArray(landscapeOrientation) +
                     "\n*OpenUI *PageSize: PickOne\n*DefaultPageSize: A4\n";
    const double pt = 1 / PdfSheets::MmPerPoint;
    QByteArray areas = "*DefaultImageableArea: A4\n", dimensions = "*DefaultPaperDimension: A4\n";
    for (const Paper& p : Papers) {
        const QByteArray name = QByteArray(p.name) + "/" + p.name + ": \"",
                         w = QByteArray::number(points(p.width)),
                         h = QByteArray::number(points(p.height));
        ppd += "*PageSize " + name + "<</PageSize[" + w + " " + h + "]>>setpagedevice\"\n";
        // left, bottom, right, top in points from the paper's bottom-left corner
        areas += "*ImageableArea " + name + QByteArray::number(margins.left() * pt) + " " +
                 QByteArray::number(margins.bottom() * pt) + " " +
                 QByteArray::number(points(p.width) - margins.right() * pt) + " " +
                 QByteArray::number(points(p.height) - margins.top() * pt) + "\"\n";
        dimensions += "*PaperDimension " + name + w + " " + h + "\"\n";
    }
    return ppd + "*CloseUI: *PageSize\n" + areas + dimensions;
}

// The scheduler's one backend: each job into the folder its device URI names
// (veskfolder:/path), as job-<id>.pdf once complete.
const char Backend[] = R"(#!/bin/sh
if [ $# -eq 0 ]; then
    echo 'direct veskfolder "Unknown" "VESK test folder"'
    exit 0
fi
folder="${DEVICE_URI#veskfolder:}"
if [ $# -ge 6 ]; then exec <"$6"; fi
cat >"$folder/.job-$1" && mv "$folder/.job-$1" "$folder/job-$1.pdf" || exit 1
)";

// A job as the backend received it: each sheet at 300 dpi.
using Job = QList<QImage>;

} // namespace

class TestPrintQueue : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QProcess cupsd_;
    int lastJob_ = 0; // the last job taken by takeJobs
    std::unique_ptr<MessageRecorder> recorder_;
    QString cupsSaid_; // the last CUPS command's output, or why it could not run

    // A CUPS command on the private scheduler: whether it succeeded.
    bool cups(const QString& program, const QStringList& args) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, QStringList{"-h", dir_.filePath("socket")} + args);
        const bool done =
            p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        cupsSaid_ = program + ": " + QString::fromLocal8Bit(p.readAll()).trimmed() + " " +
                    (p.error() != QProcess::UnknownError ? p.errorString() : QString());
        return done;
    }

    // The scheduler's complaints, to say why a job failed.
    QString errorLog() const {
        const QStringList lines =
            QString::fromUtf8(ReadBytes(dir_.filePath("error_log"))).split('\n');
        return lines.filter(QRegularExpression("^E ")).join('\n');
    }

    // Adds a queue whose landscape pages turn as `landscapeOrientation` says.
    bool addQueue(const QString& name, const char* landscapeOrientation, QMarginsF margins) {
        const QString ppd = dir_.filePath(name + ".ppd");
        WriteBytes(ppd, description(landscapeOrientation, margins));
        return cups("lpadmin",
                    {"-p", name, "-E", "-v", "veskfolder:" + dir_.filePath("out"), "-P", ppd});
    }

    // Waits until the scheduler has nothing left to do, then takes every job
    // made since the last call, in the order they were made. Returns why a
    // job did not complete; empty when every one did.
    QString takeJobs(QList<Job>& taken) {
        taken.clear();
        QMap<int, ipp_jstate_t> states;
        for (QDeadlineTimer deadline(120000);; QThread::msleep(100)) {
            states.clear();
            cups_job_t* jobs = nullptr;
            const int count =
                cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 0, CUPS_WHICHJOBS_ALL);
            for (int i = 0; i < count; ++i)
                if (jobs[i].id > lastJob_)
                    states[jobs[i].id] = jobs[i].state;
            cupsFreeJobs(count, jobs);
            // The scheduler stops a job it cannot run at all.
            if (states.values().contains(IPP_JSTATE_STOPPED))
                return "The private scheduler stopped a job\n" + errorLog();
            if (std::all_of(states.cbegin(), states.cend(),
                            [](ipp_jstate_t s) { return s > IPP_JSTATE_STOPPED; }))
                break;
            if (deadline.hasExpired())
                return "The private scheduler never finished its jobs\n" + errorLog();
        }
        for (auto [id, state] : states.asKeyValueRange()) {
            lastJob_ = id;
            if (state != IPP_JSTATE_COMPLETED)
                return QString("Job %1 did not complete\n").arg(id) + errorLog();
            const QString file = dir_.filePath(QString("out/job-%1.pdf").arg(id));
            taken.append(PdfSheets::Pictures(file));
            QFile::remove(file);
        }
        return QString();
    }

    // Prints with `print` through `queue` and takes the jobs it made (see
    // takeJobs). Returns why it failed; empty when every job completed.
    QString printThroughQueue(const QString& queue, const std::function<void()>& print,
                              QList<Job>& taken) {
        if (!cups("lpadmin", {"-d", queue}))
            return cupsSaid_;
        PrintToDefaultPrinter();
        print();
        return takeJobs(taken);
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        // The filters of a scheduler run as root are run as another user
        // ("lp"): they reach the spool through this folder.
        QVERIFY(QFile::setPermissions(
            dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                             QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
        for (const char* folder : {"spool/tmp", "out", "bin/backend"})
            QVERIFY(QDir(dir_.path()).mkpath(folder));
        // The programs folder: CUPS's own filters and helpers, and the test's
        // backend. A backend runnable by its owner only runs as root under a
        // scheduler run as root, and only when it and its folder are the owner's alone.
        QProcess config;
        config.start("cups-config", {"--serverbin"});
        const QString serverBin = config.waitForFinished() && config.exitCode() == 0
                                      ? QString::fromUtf8(config.readAll()).trimmed()
                                      : QString("/usr/lib/cups");
        for (const char* part : {"filter", "daemon"})
            QVERIFY(QFile::link(serverBin + "/" + part, dir_.filePath(QString("bin/") + part)));
        const QString backend = dir_.filePath("bin/backend/veskfolder");
        WriteBytes(backend, Backend);
        QVERIFY(
            QFile::setPermissions(backend, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        WriteBytes(dir_.filePath("cupsd.conf"),
                   "Listen " + QFile::encodeName(dir_.filePath("socket")) +
                       "\nBrowsing No\nWebInterface No\nDefaultAuthType None\n"
                       "ErrorPolicy abort-job\n<Policy default>\n<Limit All>\n"
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
        const QString cannot = "A private CUPS scheduler cannot be started here: ";
        if (!cupsd_.waitForStarted())
            QSKIP(qPrintable(cannot + cupsd_.errorString()));
        for (QDeadlineTimer deadline(20000);
             !cups("lpstat", {"-r"}) || !cupsSaid_.contains("scheduler is running");
             QThread::msleep(100))
            if (deadline.hasExpired() || cupsd_.state() == QProcess::NotRunning)
                QSKIP(qPrintable(cannot + cupsSaid_ + "\n" + cupsd_.readAll() + errorLog()));
        QVERIFY2(addQueue("VeskQueue", "Plus90", Margins) &&
                     addQueue("VeskMinus90", "Minus90", QMarginsF()),
                 qPrintable(cupsSaid_ + "\n" + errorLog()));
        // Only this scheduler is asked; no user's lpoptions.
        qputenv("CUPS_SERVER", QFile::encodeName(dir_.filePath("socket")));
        qputenv("HOME", QFile::encodeName(dir_.path()));
        qunsetenv("LPDEST");
        qunsetenv("PRINTER");
        // A scheduler confined by the system (AppArmor's profile for cupsd)
        // may refuse to run a backend outside the system's folders.
        QList<Job> jobs;
        const QString failed = printThroughQueue(
            "VeskQueue",
            [&] {
                {
                    QPdfWriter probe(dir_.filePath("probe.pdf"));
                    QPainter(&probe).drawText(100, 100, "probe");
                }
                cups("lp", {dir_.filePath("probe.pdf")});
            },
            jobs);
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

    // One job per run of sheets of one paper size and direction, in order; on
    // paper each sheet's ink lies where it lies printed to a PDF file, moved
    // by the margins at the sheet's left and top as it is read (a landscape
    // sheet's left is the paper's bottom edge through the printer, its top the
    // left edge); CUPS turns the page, so a description turning the other way
    // changes nothing. The calibration sheet is one A4 job, its crosses at
    // their millimetres less the offsets given, plus the margins.
    void jobsOnPaper_data() {
        QTest::addColumn<QString>("queue");
        QTest::addColumn<QMarginsF>("margins");
        QTest::addColumn<QList<QPoint>>("plan"); // direction and size code per sheet
        QTest::addColumn<QList<int>>("jobs");    // how many sheets each job has
        QTest::addColumn<QPointF>("offsets");    // given to the calibration sheet
        QTest::newRow("margins, every paper, both directions")
            << "VeskQueue" << Margins
            << QList<QPoint>{{0, 1}, {0, 0}, {0, 1}, {0, 1}, {1, 1}, {1, 3}, {1, 2}, {0, 4}}
            << QList<int>{1, 1, 2, 1, 1, 1, 1} << QPointF(3.25, -1.5);
        QTest::newRow("no margins, landscape turning right")
            << "VeskMinus90" << QMarginsF() << QList<QPoint>{{1, 1}} << QList<int>{1}
            << QPointF(-0.75, 2.5);
    }

    void jobsOnPaper() {
        QFETCH(QString, queue);
        QFETCH(QMarginsF, margins);
        QFETCH(QList<QPoint>, plan);
        QFETCH(QList<int>, jobs);
        QFETCH(QPointF, offsets);
        // Each sheet: a left-aligned item and a right-aligned one of two lines.
        SheetPlan sheets;
        for (QPoint s : plan)
            sheets.append({qint16(s.x()),
                           qint16(s.y()),
                           {TextItem{"VESK", 12, 20, 100, 25, 10, 1, 0},
                            TextItem{"御中　山田太郎様", 10.5, 60, 120.5, 60, 4, 2, 2}}});
        PrintToPdfFile(dir_.filePath("reference.pdf"));
        PrintSheets(sheets);
        const QList<PdfSheets::Ink> drawn = PdfSheets::ReadInk(dir_.filePath("reference.pdf"));
        QList<Job> taken;
        const QString failed = printThroughQueue(
            queue,
            [&] {
                PrintSheets(sheets);
                PrintCalibrationSheet(offsets);
            },
            taken);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        QList<int> sizes;
        Job printed;
        for (const Job& job : taken) {
            sizes.append(job.size());
            printed += job;
        }
        QCOMPARE(sizes, jobs << 1);
        for (qsizetype i = 0; i < plan.size(); ++i) {
            const bool portrait = plan[i].x() == 0;
            const Paper& paper = Papers[plan[i].y()];
            const QSizeF size = QSizeF(printed[i].size()) * 25.4 / 300;
            const QRectF box = PdfSheets::InkBox(printed[i], 300);
            // The paper as it goes through the printer, as the queue describes it.
            const QSizeF off =
                size - QSizeF(points(paper.width), points(paper.height)) * PdfSheets::MmPerPoint;
            QVERIFY2(qAbs(off.width()) < 0.2 && qAbs(off.height()) < 0.2,
                     qPrintable(QString("sheet %1: ").arg(i + 1) + QDebug::toString(size)));
            // The ink as the sheet is read, and the margins at its left and top.
            const QRectF ink = portrait ? box
                                        : QRectF(size.height() - box.bottom(), box.left(),
                                                 box.height(), box.width());
            const QPointF margin = portrait ? QPointF(margins.left(), margins.top())
                                            : QPointF(margins.bottom(), margins.left());
            const QPointF topLeft = ink.topLeft() - drawn[i].box.topLeft() - margin,
                          bottomRight = ink.bottomRight() - drawn[i].box.bottomRight() - margin;
            QVERIFY2(
                apart(topLeft) <= InkTolerance && apart(bottomRight) <= InkTolerance,
                qPrintable(QString("sheet %1 off by %2 at the top left, %3 at the bottom right")
                               .arg(i + 1)
                               .arg(QDebug::toString(topLeft), QDebug::toString(bottomRight))));
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
