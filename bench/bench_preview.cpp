// The print preview on a template of 30 A4 pages x 40 items, each item two
// 20-character Japanese lines, with a 200 dpi A4 form on every page, kept as
// JPEG (quality 90) and decoded whenever the preview asks for it, as a stored
// form is:
//  - the first sheet on view after the click: the plan read from the page
//    screen, the preview built, shown, and its sheet painted once (through
//    the page screen's own button too, which shows no forms);
//  - a page turn: 次へ until the next sheet is painted, median of 29, at fit
//    and at 100 %;
//  - PDF保存 without forms against the print command on the same template
//    (median of 5 each), and PDF保存 with the forms, with the file's size.
//
//   bench_preview [DELIVERED_DATA_VSK]
//
// Runs on the platform Qt is given (offscreen when there is no display).
#include "PrintTemplate.h"
#include "common/AppFolder.h"
#include "common/Globals.h"
#include "common/LayoutFiles.h"
#include "common/Navigation.h"
#include "common/Program.h"
#include "layout/LayoutStore.h"
#include "pages/FrmPage.h"
#include "pages/FrmPreview.h"
#include "pages/SheetView.h"
#include "platform/Database.h"
#include "platform/Engine.h"
#include "platform/FileSaveDialog.h"
#include "platform/MessageBox.h"
#include "print/PrintEngine.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int Runs = 5;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A scanned A4 form at 200 dpi: off-white paper with a little noise, ruled
// boxes and printed captions, different on every page.
QByteArray scannedForm(int page) {
    const int dpi = 200;
    QImage form(qRound(210 / 25.4 * dpi), qRound(297 / 25.4 * dpi), QImage::Format_RGB32);
    form.fill(QColor(250, 248, 240));
    QPainter painter(&form);
    const double px = dpi / 25.4;
    painter.setPen(QPen(QColor(40, 60, 140), 0.3 * px));
    QFont caption(QStringLiteral("ＭＳ Ｐゴシック"));
    caption.setPixelSize(qRound(3 * px));
    painter.setFont(caption);
    for (int i = 0; i < Items; ++i) {
        const QRectF box(18 * px, (top(i) - 1) * px, 174 * px, 6 * px);
        painter.drawRect(box);
        painter.drawText(box.adjusted(px, 0, 0, 0), Qt::AlignVCenter,
                         QStringLiteral("記入欄 %1-%2").arg(page).arg(i + 1));
    }
    painter.end();
    quint32 seed = 7 + page;
    for (int n = 0; n < 20000; ++n) {
        seed = seed * 1664525 + 1013904223;
        form.setPixel(int(seed % quint32(form.width())), int((seed >> 8) % quint32(form.height())),
                      qRgb(200, 200, 200));
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    form.save(&buffer, "JPG", 90);
    return jpeg;
}

// Runs the event loop until `view` has painted once.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* view) : view_(view) { view->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == view_ && event->type() == QEvent::Paint)
            painted_ = true;
        return false;
    }
    void wait() {
        painted_ = false;
        while (!painted_)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        // The painted sheet reaches the window.
        QApplication::processEvents();
    }
    void reset() { painted_ = false; }
    bool painted() const { return painted_; }

private:
    QWidget* view_;
    bool painted_ = false;
};

double ms(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RegisterFontSubstitutions();
    SetProgramFont();
    const QStringList args = app.arguments().mid(1);

    QTemporaryDir dir;
    if (!OpenBenchLayout(dir.path(), DeliveredDatabase(args.value(0))))
        return 1;
    const QStringList pageIds = FillPrintTemplate();

    QHash<QString, QByteArray> stored;
    qint64 storedBytes = 0;
    for (int p = 1; p <= Pages; ++p) {
        stored.insert(pageIds[p - 1], scannedForm(p));
        storedBytes += stored.value(pageIds[p - 1]).size();
    }
    const FormProvider forms = [&](const QString& pageId) {
        return QImage::fromData(stored.value(pageId), "JPG");
    };

    FrmPage* page = ShowPrintTemplate();
    const QSize screen = QGuiApplication::primaryScreen()->size();
    std::printf("%d A4 pages x %d items x 2 lines, a 200 dpi A4 JPEG form on each page "
                "(%.0f kB on average); platform %s, screen %dx%d, pixel ratio %.2f\n",
                Pages, Items, double(storedBytes) / Pages / 1024,
                qPrintable(QGuiApplication::platformName()), screen.width(), screen.height(),
                QGuiApplication::primaryScreen()->devicePixelRatio());

    // The click, as the page screen's button does it, with the forms.
    std::vector<double> firstShown, firstShownButton;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        auto* preview = new FrmPreview(page->SheetsToPrint(), QStringLiteral("請求書"), forms);
        PaintWatch watch(preview->findChild<SheetView*>());
        preview->show();
        watch.wait();
        firstShown.push_back(ms(timer));
        delete preview;
        QApplication::processEvents();
    }
    // The page screen's own button: its preview is modal, so it is measured
    // from inside, when its sheet has been painted, and closed there.
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        std::unique_ptr<PaintWatch> watch;
        QMetaObject::Connection hook;
        std::function<void()> poll = [&] {
            auto* preview = qobject_cast<FrmPreview*>(QApplication::activeModalWidget());
            if (preview && !watch)
                watch = std::make_unique<PaintWatch>(preview->findChild<SheetView*>());
            if (watch && watch->painted()) {
                firstShownButton.push_back(ms(timer));
                preview->findChild<QPushButton*>("CmdClose")->click();
                return;
            }
            QMetaObject::invokeMethod(qApp, poll, Qt::QueuedConnection);
        };
        QMetaObject::invokeMethod(qApp, poll, Qt::QueuedConnection);
        timer.start();
        page->findChild<QPushButton*>("CmdPreview")->click();
        QApplication::processEvents();
    }

    // Page turns, with the forms, at fit and at real size.
    auto* preview = new FrmPreview(page->SheetsToPrint(), QStringLiteral("請求書"), forms);
    auto* view = preview->findChild<SheetView*>();
    PaintWatch watch(view);
    preview->show();
    watch.wait();
    auto turns = [&](const char* zoom) {
        preview->findChild<QPushButton*>(zoom)->click();
        while (preview->CurrentSheet() > 0)
            preview->findChild<QPushButton*>("CmdPrev")->click();
        watch.wait();
        std::vector<double> turn;
        for (int p = 1; p < Pages; ++p) {
            QElapsedTimer timer;
            timer.start();
            preview->findChild<QPushButton*>("CmdNext")->click();
            watch.wait();
            turn.push_back(ms(timer));
        }
        return turn;
    };
    const std::vector<double> turnFit = turns("CmdFit");
    const double fitScale = view->Scale() / (view->logicalDpiX() / 25.4);
    const std::vector<double> turnReal = turns("CmdZoom100");

    // PDF保存 against the print command.
    const QString pdf = QDir(dir.path()).filePath(QStringLiteral("saved.pdf"));
    SetFileSaveResponder([&](const FileSaveRequest&) { return std::optional<QString>(pdf); });
    auto save = [&](bool withForms) {
        preview->findChild<QCheckBox*>("ChkPdfForm")->setChecked(withForms);
        std::vector<double> times;
        for (int run = 0; run < Runs; ++run) {
            QElapsedTimer timer;
            timer.start();
            preview->findChild<QPushButton*>("CmdPdf")->click();
            times.push_back(ms(timer));
        }
        return std::make_pair(median(times), QFileInfo(pdf).size());
    };
    const auto [saveMs, saveBytes] = save(false);
    const auto [saveFormsMs, saveFormsBytes] = save(true);
    PrintToPdfFile(QDir(dir.path()).filePath(QStringLiteral("printed.pdf")));
    std::vector<double> printTimes;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        PrintSheets(page->SheetsToPrint());
        printTimes.push_back(ms(timer));
    }
    const double printMs = median(printTimes);
    delete preview;

    std::printf("  first sheet on view after the click, with forms:  %7.1f ms (median of %d)\n",
                median(firstShown), Runs);
    std::printf("  the same through the page screen's button (no forms): %7.1f ms\n",
                median(firstShownButton));
    std::printf("  page turn at fit (%.0f %%), with forms:          %7.1f ms (median of %d, "
                "slowest %.1f)\n",
                fitScale * 100, median(turnFit), Pages - 1,
                *std::max_element(turnFit.begin(), turnFit.end()));
    std::printf("  page turn at 100 %%, with forms:                  %7.1f ms (slowest %.1f)\n",
                median(turnReal), *std::max_element(turnReal.begin(), turnReal.end()));
    std::printf("  print command to a PDF file:                    %7.1f ms\n", printMs);
    std::printf("  PDF保存 without forms:                          %7.1f ms (%.2f x the print "
                "command), %lld kB\n",
                saveMs, saveMs / printMs, saveBytes / 1024);
    std::printf("  PDF保存 with forms:                             %7.1f ms, %lld kB (%.0f kB a "
                "page)\n",
                saveFormsMs, saveFormsBytes / 1024, double(saveFormsBytes) / Pages / 1024);
    LayoutWorkspace->Close();
    return 0;
}
