// Printing through a real print queue: a CUPS scheduler of the test's own
// (own configuration, own socket) whose default destination is a PDF queue,
// and "印刷" pressed as the user does. The queue re-encodes the fonts, so the
// ink of its sheets is compared with the same template printed to a PDF file.
#include "PdfSheets.h"
#include "TestSupport.h"
#include "common/Globals.h"
#include "common/Statements.h"
#include "pages/FrmPage.h"
#include "pages/PrintEngine.h"
#include "platform/SpreadGrid.h"

#include <QDateTime>
#include <QPushButton>
#include <QtTest>
#include <csignal>
#include <cups/cups.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Under three pixels of the 300 dpi pictures, finer than the 0.35 to 0.5 mm a
// page centred on the queue's slightly smaller JIS B4 paper would be off.
constexpr double InkTolerance = 0.2; // millimetres
const char* const PdfDriver = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";

// Where the PDF queue leaves a job's sheets: its configuration's "Out" folder.
QString pdfQueueFolder() {
    QString out = "/var/spool/cups-pdf/${USER}";
    QFile conf("/etc/cups/cups-pdf.conf");
    if (conf.open(QIODevice::ReadOnly))
        for (const QByteArray& line : conf.readAll().split('\n'))
            if (line.startsWith("Out ") || line.startsWith("Out\t"))
                out = QString::fromUtf8(line.mid(4).trimmed());
    const passwd* user = getpwuid(geteuid());
    return out.replace("${HOME}", user->pw_dir).replace("${USER}", user->pw_name);
}

void pressPrint() {
    CurrentTemplateId = "1";
    ShowPageSetup();
    QTest::mouseClick(VisibleScreen<FrmPage>()->findChild<QPushButton*>("CmdPrint"),
                      Qt::LeftButton);
}

} // namespace

class TestPrintQueue : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QProcess cupsd_;

    // A CUPS command on the private scheduler: whether it succeeded.
    bool cups(const QString& program, const QStringList& args) {
        QProcess p;
        p.start(program, QStringList{"-h", dir_.filePath("socket")} + args);
        return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit &&
               p.exitCode() == 0;
    }

private slots:
    void cleanupTestCase() { cupsd_.close(); } // ends the scheduler

    void sheetsOnTheQueue() {
        if (geteuid() != 0)
            QSKIP("The PDF queue (cups-pdf) writes sheets only under a scheduler run as root.");
        QVERIFY(QDir(dir_.path()).mkpath("spool/tmp"));
        ::chmod(QFile::encodeName(dir_.path()).constData(), 0755);
        QFile conf(dir_.filePath("cupsd.conf")), files(dir_.filePath("cups-files.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly) && files.open(QIODevice::WriteOnly));
        conf.write("Listen " + QFile::encodeName(dir_.filePath("socket")) +
                   "\nBrowsing No\nWebInterface No\nDefaultAuthType None\n<Policy default>\n"
                   "<Limit All>\nOrder deny,allow\n</Limit>\n</Policy>\n");
        files.write(
            QString("ServerRoot %1\nRequestRoot %1/spool\nTempDir %1/spool/tmp\nCacheDir %1\n"
                    "StateDir %1\nAccessLog %1/access_log\nErrorLog %1/error_log\n")
                .arg(dir_.path())
                .toUtf8());
        conf.close();
        files.close();
        cupsd_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        cupsd_.start("cupsd", {"-f", "-c", conf.fileName(), "-s", files.fileName()});
        for (QDeadlineTimer deadline(20000);
             !cups("lpadmin", {"-p", "VeskPDF", "-E", "-v", "cups-pdf:/", "-P", PdfDriver});
             QThread::msleep(100))
            if (deadline.hasExpired() || cupsd_.state() == QProcess::NotRunning)
                QSKIP(qPrintable("A private CUPS scheduler cannot be started here: " +
                                 cupsd_.errorString() + " " + cupsd_.readAll()));
        // Only this scheduler is asked; no user's lpoptions.
        qputenv("CUPS_SERVER", QFile::encodeName(dir_.filePath("socket")));
        qputenv("HOME", QFile::encodeName(dir_.path()));
        qunsetenv("LPDEST");
        qunsetenv("PRINTER");
        const QDateTime started = QDateTime::currentDateTime().addSecs(-2);
        QVERIFY(cups("lpadmin", {"-d", "VeskPDF"}));

        AppFolderFixture app;
        app.OpenLayoutDatabase();
        app.Exec(Statements::InsertTemplate("1"));
        MessageRecorder recorder;
        // A4, JIS B4 landscape, A4 (direction, size code); each page with a
        // right-aligned item.
        const QList<QPair<int, int>> layouts{{0, 1}, {1, 3}, {0, 1}};
        for (int p = 1; p <= 3; ++p) {
            const QString id = QString::number(p);
            app.Exec(Statements::InsertPage(id, "1", id, qint16(layouts[p - 1].first),
                                            qint16(layouts[p - 1].second)));
            app.Exec(Statements::InsertItem(id, id, "御中　山田太郎様", "10.5", "60", "180.5",
                                            "150", "4", "2", 2));
        }
        // The same pages printed to a PDF file.
        PrintToPdfFile(dir_.filePath("reference.pdf"));
        pressPrint();
        const QList<PdfSheets::Ink> drawn = PdfSheets::ReadInk(dir_.filePath("reference.pdf"));
        QCOMPARE(drawn.size(), 3);

        PrintToDefaultPrinter();
        pressPrint();
        QCOMPARE(recorder.texts(), QStringList());
        for (QDeadlineTimer deadline(120000); !deadline.hasExpired(); QThread::msleep(200)) {
            cups_job_t* jobs = nullptr;
            const int active =
                cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 0, CUPS_WHICHJOBS_ACTIVE);
            cupsFreeJobs(active, jobs);
            if (active <= 0)
                break;
        }
        // Each job's sheets as the queue wrote them, in a file named after the job.
        QMap<int, QList<PdfSheets::Ink>> jobs;
        static const QRegularExpression number("-job_(\\d+)\\.pdf$");
        for (const QFileInfo& f : QDir(pdfQueueFolder()).entryInfoList({"*-job_*.pdf"})) {
            if (f.lastModified() >= started) { // not an older run's
                jobs[number.match(f.fileName()).captured(1).toInt()] =
                    PdfSheets::ReadInk(f.filePath());
                QFile::remove(f.filePath());
            }
        }
        QList<PdfSheets::Ink> sheets;
        for (const auto& job : jobs)
            sheets += job;
        QCOMPARE(sheets.size(), 3);
        for (qsizetype i = 0; i < 3; ++i) {
            // Portrait paper every time (the driver rounds JIS B4 down to whole
            // points); a landscape page turned a quarter to the left, its top
            // edge on the paper's left edge.
            const QSizeF size = sheets[i].sheet;
            const QRectF d = drawn[i].box, ink = sheets[i].box,
                         expected = layouts[i].first == 0
                                        ? d
                                        : QRectF(d.top(), size.height() - d.right(), d.height(),
                                                 d.width());
            const QPointF paper = QPointF(size.width(), size.height()) -
                                  (layouts[i].second == 1 ? QPointF(210, 297) : QPointF(257, 364));
            auto near = [](QPointF p, double by) { return qAbs(p.x()) <= by && qAbs(p.y()) <= by; };
            QVERIFY(near(paper, 1.2) && near(ink.topLeft() - expected.topLeft(), InkTolerance) &&
                    near(ink.bottomRight() - expected.bottomRight(), InkTolerance));
        }
        for (QWidget* w : QApplication::topLevelWidgets())
            w->deleteLater();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

QTEST_MAIN(TestPrintQueue)
#include "tst_printqueue.moc"
