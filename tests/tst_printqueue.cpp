// Printing through a real print queue: the test starts a CUPS scheduler of
// its own (own configuration, own port) whose default destination is a PDF
// queue, and presses "印刷" as the user does. The queue re-encodes the fonts,
// so where the ink lands is read from pictures of its sheets and compared with
// the same template written to a PDF file by the program.
#include "PdfSheets.h"
#include "TestSupport.h"
#include "common/Globals.h"
#include "common/Program.h"
#include "common/Statements.h"
#include "pages/FrmPage.h"
#include "pages/PrintEngine.h"
#include "platform/SpreadGrid.h"

#include <QDateTime>
#include <QPushButton>
#include <QtTest>
#include <arpa/inet.h>
#include <csignal>
#include <cups/cups.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The queue re-renders every sheet; 0.2 mm is under three pixels of the 300 dpi
// pictures, and finer than the 0.35 to 0.5 mm a page centred on the queue's
// slightly smaller JIS B4 paper would be off.
constexpr double InkTolerance = 0.2; // millimetres

const char* const PdfBackend = "/usr/lib/cups/backend/cups-pdf";
const char* const PdfDriver = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";

// The queue's driver file with other hardware margins (points: left,
// bottom, right, top) on A4 and JIS B4.
QByteArray driverWithMargins(const QByteArray& driver, double l, double b, double r, double t) {
    QByteArray out;
    for (QByteArray line : driver.split('\n')) {
        auto area = [&](const char* key, double w, double h) {
            if (line.startsWith(QByteArray("*ImageableArea ") + key + "/"))
                line = line.left(line.indexOf(':') + 1) + " \"" + QByteArray::number(l) + " " +
                       QByteArray::number(b) + " " + QByteArray::number(w - r) + " " +
                       QByteArray::number(h - t) + "\"";
        };
        area("A4", 595, 842);
        area("JISB4", 727, 1029);
        if (line.startsWith("*HWMargins:"))
            line = "*HWMargins: " + QByteArray::number(l) + " " + QByteArray::number(b) + " " +
                   QByteArray::number(r) + " " + QByteArray::number(t);
        out += line + '\n';
    }
    return out;
}

// A local TCP port: `port` 0 asks the system for a free one and returns it;
// any other is tried for a connection (0 when nothing listens).
int localPort(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(quint16(port));
    socklen_t length = sizeof address;
    int result = 0;
    if (port == 0) {
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            result = ntohs(address.sin_port);
    } else if (::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0) {
        result = port;
    }
    ::close(fd);
    return result;
}

// A CUPS scheduler of the test's own.
class Scheduler {
public:
    ~Scheduler() { Stop(); }

    // Starts it; on failure says why in `why`.
    bool Start(QString* why) {
        if (!dir_.isValid())
            return fail(why, "no temporary folder");
        const int port = localPort(0);
        if (port == 0)
            return fail(why, "no free local port");
        server_ = QString("127.0.0.1:%1").arg(port);
        for (const char* sub : {"spool", "spool/tmp", "cache", "state", "log", "ppd"})
            QDir(dir_.path()).mkpath(sub);
        // The scheduler's filters run as an unprivileged user and pass through
        // the folder; the scheduler sets its own folders' permissions.
        ::chmod(QFile::encodeName(dir_.path()).constData(), 0755);
        if (!write("cupsd.conf", "Listen " + server_ +
                                     "\nBrowsing No\nWebInterface No\nDefaultAuthType None\n"
                                     "<Location />\n  Order allow,deny\n  Allow all\n"
                                     "</Location>\n<Policy default>\n  <Limit All>\n"
                                     "    Order deny,allow\n  </Limit>\n</Policy>\n") ||
            !write("cups-files.conf",
                   QString("ServerRoot %1\nRequestRoot %1/spool\nTempDir %1/spool/tmp\n"
                           "CacheDir %1/cache\nStateDir %1/state\nAccessLog %1/log/access_log\n"
                           "ErrorLog %1/log/error_log\nPageLog %1/log/page_log\n")
                       .arg(dir_.path())))
            return fail(why, "cannot write its configuration");
        cupsd_.setProcessChannelMode(QProcess::MergedChannels);
        // The scheduler ends with the test, even when the test does not end well.
        cupsd_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        cupsd_.start("cupsd", {"-f", "-c", dir_.filePath("cupsd.conf"), "-s",
                               dir_.filePath("cups-files.conf")});
        if (!cupsd_.waitForStarted(10000))
            return fail(why, "cupsd does not start: " + cupsd_.errorString());
        QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired()) {
            if (localPort(port) == port)
                return true;
            if (cupsd_.state() == QProcess::NotRunning)
                break;
            QThread::msleep(100);
        }
        return fail(why, "the scheduler did not come up: " +
                             QString::fromUtf8(cupsd_.readAll()).trimmed() + " " + ErrorLog());
    }

    void Stop() {
        if (cupsd_.state() != QProcess::NotRunning) {
            cupsd_.terminate();
            if (!cupsd_.waitForFinished(10000)) {
                cupsd_.kill();
                cupsd_.waitForFinished(5000);
            }
        }
    }

    const QString& Server() const { return server_; }

    // Runs a CUPS administration command on this scheduler; an empty
    // answer when it succeeded, else what went wrong.
    QString Admin(const QString& program, QStringList args) {
        args.prepend(server_);
        args.prepend("-h");
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, args);
        if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit ||
            p.exitCode() != 0)
            return program + " " + args.join(' ') + ": " + QString::fromUtf8(p.readAll());
        return QString();
    }

    // A PDF queue with `driver`.
    QString AddQueue(const QString& name, const QByteArray& driver) {
        const QString file = dir_.filePath("ppd/" + name + ".ppd");
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly) || f.write(driver) != driver.size())
            return "cannot write " + file;
        f.close();
        // The queue logs only its errors.
        return Admin("lpadmin",
                     {"-p", name, "-E", "-v", "cups-pdf:/", "-P", file, "-o", "LogType=1"});
    }

    QString ErrorLog() const {
        QFile log(dir_.filePath("log/error_log"));
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll().right(2000))
                                             : QString();
    }

private:
    bool fail(QString* why, const QString& text) {
        *why = text;
        Stop();
        return false;
    }
    bool write(const QString& name, const QString& text) {
        QFile f(dir_.filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) >= 0;
    }

    QTemporaryDir dir_;
    QProcess cupsd_;
    QString server_;
};

// Where the PDF queue leaves a job's sheets: its configuration's "Out"
// folder, ${HOME} being the home of the user the jobs run for.
QString pdfQueueFolder() {
    QString out = "/var/spool/cups-pdf/${USER}";
    QFile conf("/etc/cups/cups-pdf.conf");
    if (conf.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : conf.readAll().split('\n')) {
            const QByteArray t = line.trimmed();
            if (t.startsWith("Out ") || t.startsWith("Out\t"))
                out = QString::fromUtf8(t.mid(4).trimmed());
        }
    }
    const passwd* user = getpwuid(geteuid());
    out.replace("${HOME}", QString::fromLocal8Bit(user ? user->pw_dir : ""));
    out.replace("${USER}", QString::fromLocal8Bit(user ? user->pw_name : ""));
    return out;
}

struct Job {
    int id = 0;
    ipp_jstate_t state = IPP_JSTATE_PENDING;
};

// Every job the scheduler knows, oldest first.
QList<Job> allJobs() {
    cups_job_t* jobs = nullptr;
    const int n = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 0, CUPS_WHICHJOBS_ALL);
    QList<Job> result;
    for (int i = 0; i < n; ++i)
        result.append({jobs[i].id, jobs[i].state});
    cupsFreeJobs(n, jobs);
    std::sort(result.begin(), result.end(), [](const Job& a, const Job& b) { return a.id < b.id; });
    return result;
}

void closeAll() {
    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        windows.append(w);
    for (const QPointer<QWidget>& w : windows)
        delete w.data();
}

QStringList temporaryFiles() {
    return QDir::temp().entryList({"vesk-print-*"}, QDir::Files);
}

// The ink of a landscape page (drawn `box`, millimetres from its top-left
// corner) as it lies on portrait paper of height `paperHeight`: turned a
// quarter to the left, its top edge on the paper's left edge.
QRectF turnedLeft(const QRectF& box, double paperHeight) {
    return QRectF(box.top(), paperHeight - box.right(), box.height(), box.width());
}

// "" when the ink lies where it is expected, else both places.
QString misplaced(const QRectF& ink, const QRectF& expected) {
    const QMarginsF d(ink.left() - expected.left(), ink.top() - expected.top(),
                      ink.right() - expected.right(), ink.bottom() - expected.bottom());
    if (std::max({qAbs(d.left()), qAbs(d.top()), qAbs(d.right()), qAbs(d.bottom())}) <=
        InkTolerance)
        return QString();
    auto text = [](const QRectF& r) {
        return QString("(%1, %2)-(%3, %4)")
            .arg(r.left(), 0, 'f', 2)
            .arg(r.top(), 0, 'f', 2)
            .arg(r.right(), 0, 'f', 2)
            .arg(r.bottom(), 0, 'f', 2);
    };
    return "ink at " + text(ink) + ", expected at " + text(expected);
}

using Layouts = QList<QPair<int, int>>; // direction and size code per page

// Fails the test with the answer of a scheduler command that went wrong.
#define ADMIN(answer)                                                                              \
    do {                                                                                           \
        const QString failure = (answer);                                                          \
        QVERIFY2(failure.isEmpty(), qPrintable(failure));                                          \
    } while (false)

} // namespace

class TestPrintQueue : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void sheetsOnTheQueue_data();
    void sheetsOnTheQueue();
    void hardwareMarginsMoveTheOrigin();
    void refusalsPrintNothing_data();
    void refusalsPrintNothing();

private:
    // Pages of template 1: direction, size and two labelled items each,
    // one near the top-left corner, one further down and right.
    void makeTemplate(const Layouts& layouts);
    void pressPrint();
    // Waits until the scheduler has finished every job and reads the new
    // jobs' sheets as the queue wrote them, one list per job; false, with
    // the reason, when a job did not come out.
    bool finishedJobs(QList<QList<PdfSheets::Ink>>* jobs, QString* error);
    QList<PdfSheets::Ink> reference();

    std::unique_ptr<Scheduler> scheduler_;
    QByteArray plainDriver_;
    QTemporaryDir temp_;
    QString outFolder_;
    QDateTime started_;
    int lastJob_ = 0;
    std::unique_ptr<AppFolderFixture> app_;
    std::unique_ptr<MessageRecorder> recorder_;
};

void TestPrintQueue::initTestCase() {
    RegisterFontSubstitutions();
    if (geteuid() != 0)
        QSKIP("The PDF queue's backend (cups-pdf) writes sheets only under a scheduler "
              "started as root; run as root to print through a real queue.");
    for (const char* file : {PdfBackend, PdfDriver})
        if (!QFile::exists(file))
            QSKIP(qPrintable(QString("%1 is missing: install printer-driver-cups-pdf.").arg(file)));
    for (const char* program : {"cupsd", "lpadmin", "cupsreject", "cupsaccept", "pdftoppm"})
        if (QStandardPaths::findExecutable(program, {"/usr/sbin", "/usr/bin", "/sbin", "/bin"})
                .isEmpty())
            QSKIP(
                qPrintable(QString("%1 is missing: install cups and poppler-utils.").arg(program)));

    // Only this test's scheduler is asked, before anything loads the
    // print support or asks CUPS.
    scheduler_ = std::make_unique<Scheduler>();
    QString why;
    if (!scheduler_->Start(&why))
        QSKIP(qPrintable("A private CUPS scheduler cannot be started here: " + why));
    // The program's temporary files go to a folder the test watches.
    qputenv("TMPDIR", QFile::encodeName(temp_.path()));
    qputenv("CUPS_SERVER", scheduler_->Server().toUtf8());
    qunsetenv("LPDEST");
    qunsetenv("PRINTER");
    qputenv("HOME", QFile::encodeName(temp_.path())); // no user's lpoptions
    QFile driver(PdfDriver);
    QVERIFY(driver.open(QIODevice::ReadOnly));
    plainDriver_ = driver.readAll();
    ADMIN(scheduler_->AddQueue("VeskPDF", plainDriver_));
    // 5 mm left, 4 mm bottom, 3 mm right, 6 mm top.
    ADMIN(scheduler_->AddQueue("VeskMargins",
                               driverWithMargins(plainDriver_, 14.173, 11.339, 8.504, 17.008)));
    outFolder_ = pdfQueueFolder();
    started_ = QDateTime::currentDateTime().addSecs(-2);
}

void TestPrintQueue::init() {
    ADMIN(scheduler_->Admin("lpadmin", {"-d", "VeskPDF"}));
    lastJob_ = allJobs().isEmpty() ? 0 : allJobs().last().id;
    app_ = std::make_unique<AppFolderFixture>();
    app_->OpenLayoutDatabase();
    app_->Exec(Statements::InsertTemplate("1"));
    recorder_ = std::make_unique<MessageRecorder>();
    OffsetLeft = OffsetTop = 0;
    ResetRunPrinter();
    PrintToDefaultPrinter();
}

void TestPrintQueue::cleanup() {
    closeAll();
    recorder_.reset();
    app_.reset();
    ResetRunPrinter();
    // The temporary PDFs are gone whatever happened.
    QCOMPARE(temporaryFiles(), QStringList());
}

void TestPrintQueue::cleanupTestCase() {
    if (scheduler_)
        scheduler_->Stop();
}

void TestPrintQueue::makeTemplate(const Layouts& layouts) {
    int item = 0;
    for (int p = 0; p < layouts.size(); ++p) {
        const QString id = QString::number(p + 1);
        app_->Exec(Statements::InsertPage(id, "1", id, qint16(layouts[p].first),
                                          qint16(layouts[p].second)));
        app_->Exec(Statements::InsertItem(QString::number(++item), id,
                                          QString("請求書%1枚目").arg(p + 1), "12", "15.5", "90",
                                          "12.5", "20", "1", 0));
        app_->Exec(Statements::InsertItem(QString::number(++item), id, "御中　山田太郎様", "10.5",
                                          "60", "180.5", "150", "4", "2", 2));
    }
}

void TestPrintQueue::pressPrint() {
    CurrentTemplateId = "1";
    ShowPageSetup();
    FrmPage* page = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<FrmPage*>(w))
            page = p;
    QVERIFY(page);
    QTest::mouseClick(page->findChild<QPushButton*>("CmdPrint"), Qt::LeftButton);
}

bool TestPrintQueue::finishedJobs(QList<QList<PdfSheets::Ink>>* result, QString* error) {
    QList<Job> jobs;
    QDeadlineTimer deadline(120000);
    for (;;) {
        jobs.clear();
        bool active = false;
        for (const Job& j : allJobs()) {
            if (j.id <= lastJob_)
                continue;
            jobs.append(j);
            active = active || j.state < IPP_JSTATE_STOPPED;
        }
        if (!active)
            break;
        if (deadline.hasExpired()) {
            *error = "the queue did not finish its jobs";
            return false;
        }
        QThread::msleep(200);
    }
    result->clear();
    for (const Job& j : jobs) {
        lastJob_ = j.id;
        if (j.state != IPP_JSTATE_COMPLETED) {
            *error = QString("job %1 ended in state %2: %3")
                         .arg(j.id)
                         .arg(int(j.state))
                         .arg(scheduler_->ErrorLog());
            return false;
        }
        // The queue names its file after the job; an older run's file of the
        // same number is not this one.
        const QFileInfoList files =
            QDir(outFolder_)
                .entryInfoList({QString("*-job_%1.pdf").arg(j.id)}, QDir::Files, QDir::Time);
        QString file;
        for (const QFileInfo& f : files)
            if (file.isEmpty() && f.lastModified() >= started_)
                file = f.filePath();
        if (file.isEmpty()) {
            *error = QString("no sheets of job %1 in %2").arg(j.id).arg(outFolder_);
            return false;
        }
        result->append(PdfSheets::ReadInk(file));
        QFile::remove(file);
    }
    return true;
}

QList<PdfSheets::Ink> TestPrintQueue::reference() {
    const QString file = temp_.filePath("reference.pdf");
    PrintToPdfFile(file);
    pressPrint();
    PrintToDefaultPrinter();
    closeAll();
    const QList<PdfSheets::Ink> ink = PdfSheets::ReadInk(file);
    QFile::remove(file);
    return ink;
}

void TestPrintQueue::sheetsOnTheQueue_data() {
    QTest::addColumn<Layouts>("layouts");
    QTest::addColumn<QList<int>>("sheetsPerJob");

    const QPair<int, int> a4(0, 1), b4Landscape(1, 3);
    QTest::newRow("A4, JIS B4 landscape, A4")
        << Layouts{a4, b4Landscape, a4} << QList<int>{1, 1, 1};
    QTest::newRow("pages of one layout share a job")
        << Layouts{a4, a4, b4Landscape, b4Landscape, a4} << QList<int>{2, 2, 1};
}

void TestPrintQueue::sheetsOnTheQueue() {
    QFETCH(Layouts, layouts);
    QFETCH(QList<int>, sheetsPerJob);
    makeTemplate(layouts);
    const QList<PdfSheets::Ink> drawn = reference();
    QCOMPARE(drawn.size(), layouts.size());
    // On the program's own PDF the ink starts at the first item's left and
    // top edges and ends at the second item's right edge, give or take the
    // glyphs' own margins.
    for (const PdfSheets::Ink& d : drawn)
        QVERIFY(qAbs(d.box.left() - 15.5) < 0.5 && qAbs(d.box.top() - 12.5) < 0.5 &&
                qAbs(d.box.right() - 180.5) < 0.5);

    pressPrint();
    QVERIFY2(recorder_->shown.isEmpty(), qPrintable(recorder_->texts().join(' ')));
    QList<QList<PdfSheets::Ink>> jobs;
    QString error;
    QVERIFY2(finishedJobs(&jobs, &error), qPrintable(error));
    QList<int> perJob;
    QList<PdfSheets::Ink> sheets;
    for (const auto& job : jobs) {
        perJob.append(int(job.size()));
        sheets += job;
    }
    QCOMPARE(perJob, sheetsPerJob);

    for (qsizetype i = 0; i < sheets.size(); ++i) {
        const bool landscape = layouts[i].first == 1;
        const QSizeF paper = layouts[i].second == 1 ? QSizeF(210, 297) : QSizeF(257, 364);
        // Every sheet is portrait paper; the queue's driver rounds JIS B4 down
        // to whole points (727 x 1029, 256.5 x 363.0 mm).
        QVERIFY2(qAbs(sheets[i].sheet.width() - paper.width()) < 1.2 &&
                     qAbs(sheets[i].sheet.height() - paper.height()) < 1.2,
                 qPrintable(QString("sheet %1 is %2 x %3 mm")
                                .arg(i + 1)
                                .arg(sheets[i].sheet.width())
                                .arg(sheets[i].sheet.height())));
        const QRectF expected =
            landscape ? turnedLeft(drawn[i].box, sheets[i].sheet.height()) : drawn[i].box;
        const QString wrong = misplaced(sheets[i].box, expected);
        QVERIFY2(wrong.isEmpty(), qPrintable(QString("sheet %1: %2").arg(i + 1).arg(wrong)));
    }
}

void TestPrintQueue::hardwareMarginsMoveTheOrigin() {
    ADMIN(scheduler_->Admin("lpadmin", {"-d", "VeskMargins"}));
    makeTemplate({{0, 1}, {1, 3}});
    const QList<PdfSheets::Ink> drawn = reference();
    pressPrint();
    QVERIFY2(recorder_->shown.isEmpty(), qPrintable(recorder_->texts().join(' ')));
    QList<QList<PdfSheets::Ink>> jobs;
    QString error;
    QVERIFY2(finishedJobs(&jobs, &error), qPrintable(error));
    QCOMPARE(jobs.size(), 2);
    // Portrait: 5 mm from the left, 6 mm from the top of the paper.
    QString wrong = misplaced(jobs[0].value(0).box, drawn[0].box.translated(5, 6));
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    // Landscape: the page's left edge is the paper's bottom edge (4 mm), its
    // top edge the paper's left edge (5 mm).
    wrong = misplaced(jobs[1].value(0).box,
                      turnedLeft(drawn[1].box.translated(4, 5), jobs[1].value(0).sheet.height()));
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
}

void TestPrintQueue::refusalsPrintNothing_data() {
    QTest::addColumn<QString>("refusal");
    QTest::newRow("the queue takes no jobs") << "reject";
    QTest::newRow("no default printer") << "no default";
    QTest::newRow("a failure on the second page") << "second page";
}

void TestPrintQueue::refusalsPrintNothing() {
    QFETCH(QString, refusal);
    makeTemplate({{0, 1}, {1, 3}, {0, 1}});
    if (refusal == "reject") {
        ADMIN(scheduler_->Admin("cupsreject", {"VeskPDF"}));
    } else if (refusal == "no default") {
        ADMIN(scheduler_->AddQueue("VeskGone", plainDriver_));
        ADMIN(scheduler_->Admin("lpadmin", {"-d", "VeskGone"}));
        ADMIN(scheduler_->Admin("lpadmin", {"-x", "VeskGone"}));
    } else {
        app_->Exec("update moji set p_size = 0 where moji_id = 3");
    }
    pressPrint();
    QCOMPARE(recorder_->texts(), QStringList{"処理中、異常が発生しました。\r"});
    const QString accepted =
        refusal == "reject" ? scheduler_->Admin("cupsaccept", {"VeskPDF"}) : "";
    QList<QList<PdfSheets::Ink>> jobs;
    QString error;
    QVERIFY2(finishedJobs(&jobs, &error), qPrintable(error));
    QCOMPARE(jobs.size(), 0);
    ADMIN(accepted);
}

QTEST_MAIN(TestPrintQueue)
#include "tst_printqueue.moc"
