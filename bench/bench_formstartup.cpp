// Start-up with stored forms: 100 templates of 3 pages (20 items each), every
// page with a scanned A4 form kept at 200 dpi (300 forms), next to the same
// database whose forms.vsk holds no form. Measures the start-up work
// (backup, compaction, form copy check, exclusive open with forms.vsk
// attached) and the whole start-up to the main menu on screen, and, once,
// the first start after a form changed (when formsbak.vsk is taken anew).
//
//   bench_formstartup [DELIVERED_DATA_VSK]
//
// Runs headless (offscreen) in temporary folders (under TMPDIR when set).
#include "BenchSupport.h"
#include "common/AppFolder.h"
#include "common/Globals.h"
#include "common/LayoutFiles.h"
#include "common/Program.h"
#include "layout/FormStore.h"
#include "layout/LayoutStore.h"
#include "layout/PaperSizes.h"
#include "platform/Database.h"
#include "platform/Engine.h"
#include "platform/MessageBox.h"
#include "start/StartUp.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int Templates = 100;
constexpr int PagesPerTemplate = 3;
constexpr int ItemsPerPage = 20;
constexpr int Variants = 12; // distinct scans, kept over and over
constexpr int Runs = 11;

int messages = 0;

[[noreturn]] void die(const std::string& what) {
    std::fprintf(stderr, "bench_formstartup: %s\n", what.c_str());
    std::exit(1);
}

// A blank invoice form as a 200 dpi colour scan of A4: slightly tinted paper
// with the scanner's noise, ruled boxes, printed captions, a red seal box.
QImage scannedForm(int variant) {
    const QSizeF sheet = SheetSizeMm(1, PaperDirections::Portrait);
    const double px = 200 / 25.4; // pixels per millimetre
    QImage image(int(sheet.width() * px), int(sheet.height() * px), QImage::Format_RGB32);
    image.fill(QColor(246, 244, 238));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(30, 40, 90), 0.3 * px));
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPixelSize(int(4 * px));
    painter.setFont(font);
    painter.drawText(QPointF(80 * px, 20 * px), QStringLiteral("御　請　求　書"));
    font.setPixelSize(int(2.6 * px));
    painter.setFont(font);
    const QStringList captions = {"品名", "数量", "単価", "金額", "摘要"};
    const double columns[] = {15, 95, 120, 145, 170, 195};
    for (int row = 0; row < 22; ++row) {
        const double top = 70 + row * 8 + variant % 3;
        for (int c = 0; c < 5; ++c) {
            painter.drawRect(
                QRectF(columns[c] * px, top * px, (columns[c + 1] - columns[c]) * px, 8 * px));
            if (row == 0)
                painter.drawText(QPointF((columns[c] + 2) * px, (top + 6) * px), captions[c]);
        }
    }
    painter.drawText(QPointF(15 * px, 40 * px), QStringLiteral("〒　　　　　御中"));
    painter.drawLine(QPointF(15 * px, 45 * px), QPointF(100 * px, 45 * px));
    painter.setPen(QPen(QColor(200, 40, 40), 0.6 * px));
    painter.drawRect(QRectF(170 * px, 30 * px, 22 * px, 22 * px));
    painter.end();
    // The scanner's noise, a few levels either way.
    QRandomGenerator random(quint32(variant + 1));
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int n = int(random.bounded(7)) - 3;
            const QRgb p = line[x];
            line[x] = qRgb(std::clamp(qRed(p) + n, 0, 255), std::clamp(qGreen(p) + n, 0, 255),
                           std::clamp(qBlue(p) + n, 0, 255));
        }
    }
    return image;
}

void openLayout(const QString& folder) {
    LayoutWorkspace = &DefaultWorkspace();
    LayoutDatabase = LayoutWorkspace->OpenDatabase(QDir(folder).filePath(LayoutFiles::Data), true,
                                                   false, LayoutFiles::Connect);
    AttachForms(LayoutDatabase, folder);
}

void closeLayout() {
    LayoutWorkspace->Close();
    LayoutWorkspace = nullptr;
    LayoutDatabase = nullptr;
}

void fillLayout() {
    LayoutStore store = Layout();
    for (int t = 1; t <= Templates; ++t) {
        const QString id = store.CreateTemplate();
        QList<Page> rows;
        for (int p = 1; p <= PagesPerTemplate; ++p)
            rows.append(Page{QString(), QString::number(p), 0, 1});
        store.SaveTemplate(id, QStringLiteral("請求書%1").arg(t), rows);
        for (const Page& page : store.Pages(id)) {
            QList<TextItemTexts> items;
            for (int i = 0; i < ItemsPerPage; ++i) {
                TextItemTexts item;
                item.text = QStringLiteral("東京都千代田区丸の内一丁目%1番").arg(i + 1);
                item.numbers = {"10.5", "20", "120", QString::number(70 + i * 8), "20", "1"};
                item.align = 0;
                items.append(item);
            }
            store.SaveItems(page.id, items);
        }
    }
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void enter(const QString& folder) {
    SetAppPath(folder);
    if (!QDir::setCurrent(folder))
        die("cannot enter " + folder.toStdString());
}

// Milliseconds of the form file's own steps in the last startUpWork: the
// copy check and the attach (lock, table check, orphan removal).
double formStepsMs = 0;

// What start-up does before the main menu is made.
double startUpWork(const QString& folder) {
    enter(folder);
    QElapsedTimer timer, forms;
    timer.start();
    BackUpAndCompact();
    forms.start();
    BackUpForms();
    formStepsMs = double(forms.nsecsElapsed()) / 1e6;
    LayoutWorkspace = &DefaultWorkspace();
    LayoutDatabase = LayoutWorkspace->OpenDatabase(QDir(folder).filePath(LayoutFiles::Data), true,
                                                   false, LayoutFiles::Connect);
    forms.restart();
    AttachForms(LayoutDatabase, folder);
    formStepsMs += double(forms.nsecsElapsed()) / 1e6;
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    closeLayout();
    return ms;
}

// The whole start-up, from the call to the menu on screen.
double timeToMenu(const QString& folder) {
    enter(folder);
    QElapsedTimer timer;
    timer.start();
    if (StartUp() != StartResult::Running)
        die("the start failed in " + folder.toStdString());
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    closeLayout();
    ReleaseSingleInstance();
    for (QWidget* w : QApplication::topLevelWidgets())
        delete w;
    return ms;
}

long long formCount(const QString& folder) {
    openLayout(folder);
    auto rs =
        LayoutDatabase->OpenRecordset(QStringLiteral("select count(*) as n from forms.page_form"));
    const long long n = rs->Field(QStringLiteral("n")).toLongLong();
    rs->Close();
    closeLayout();
    return n;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RegisterFontSubstitutions();
    SetMessageBoxResponder([](const MessageBoxRequest& r) {
        std::fprintf(stderr, "message: %s\n", qPrintable(r.text));
        ++messages;
        return r.defaultButton;
    });
    const QString delivered =
        DeliveredDatabase(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString());

    QTemporaryDir with, without;
    if (!with.isValid() || !without.isValid())
        die("no temporary folder");
    if (CopyDeliveredInto(with.path(), delivered).isEmpty())
        return 1;

    QElapsedTimer timer;
    timer.start();
    openLayout(with.path());
    fillLayout();
    closeLayout();
    // The same layout, with a forms.vsk made empty at its first open.
    if (!QFile::copy(QDir(with.path()).filePath(LayoutFiles::Data),
                     QDir(without.path()).filePath(LayoutFiles::Data)))
        die("cannot copy the layout");
    const double layoutMs = double(timer.nsecsElapsed()) / 1e6;

    timer.restart();
    std::vector<StoredForm> forms;
    for (int v = 0; v < Variants; ++v)
        forms.push_back(ReduceForm(scannedForm(v), SheetSizeMm(1, PaperDirections::Portrait)));
    const double reduceMs = double(timer.nsecsElapsed()) / 1e6 / Variants;
    openLayout(with.path());
    int n = 0;
    for (int page = 1; page <= Templates * PagesPerTemplate; ++page)
        Forms().StoreForm(QString::number(page), forms[size_t(n++ % Variants)]);
    closeLayout();
    qint64 formBytes = 0;
    for (const StoredForm& f : forms)
        formBytes += f.image.size();

    // One start each, so that both have taken their formsbak.vsk.
    startUpWork(with.path());
    startUpWork(without.path());
    std::vector<double> workWith, workWithout, menuWith, menuWithout, formsWith, formsWithout;
    for (int round = 0; round <= Runs; ++round) {
        const double a = startUpWork(with.path());
        const double aForms = formStepsMs;
        const double b = startUpWork(without.path());
        const double bForms = formStepsMs;
        const double c = timeToMenu(with.path());
        const double d = timeToMenu(without.path());
        if (round == 0)
            continue; // warm-up
        workWith.push_back(a);
        workWithout.push_back(b);
        formsWith.push_back(aForms);
        formsWithout.push_back(bForms);
        menuWith.push_back(c);
        menuWithout.push_back(d);
    }
    // A start after a form changed copies forms.vsk to formsbak.vsk.
    std::vector<double> afterChange;
    for (int round = 0; round < 3; ++round) {
        openLayout(with.path());
        Forms().StoreForm(QStringLiteral("1"), forms[size_t(round)]);
        closeLayout();
        afterChange.push_back(startUpWork(with.path()));
    }
    if (formCount(with.path()) != Templates * PagesPerTemplate || formCount(without.path()) != 0)
        die("the forms are not as stored");
    if (messages)
        die("a start showed a message");

    const double mb = 1e6;
    auto size = [](const QTemporaryDir& d, const QString& name) {
        return QFileInfo(QDir(d.path()).filePath(name)).size();
    };
    std::printf("VESK start-up with stored forms\n");
    std::printf("layout: %d templates x %d pages x %d items (written in %.0f ms)\n", Templates,
                PagesPerTemplate, ItemsPerPage, layoutMs);
    std::printf("forms: %d (%d distinct 200 dpi A4 scans, %.0f ms each to reduce and encode), "
                "%.0f KB each on average, %s\n",
                Templates * PagesPerTemplate, Variants, reduceMs,
                double(formBytes) / Variants / 1e3, qPrintable(forms[0].format));
    std::printf("forms.vsk: %.1f MB (%lld bytes); formsbak.vsk %.1f MB; data.vsk %.2f MB\n",
                size(with, LayoutFiles::Forms) / mb,
                static_cast<long long>(size(with, LayoutFiles::Forms)),
                size(with, LayoutFiles::FormsBackup) / mb, size(with, LayoutFiles::Data) / mb);
    std::printf("forms.vsk without forms: %lld bytes\n",
                static_cast<long long>(size(without, LayoutFiles::Forms)));
    std::printf("median of %d runs after one warm-up (ms; all runs in brackets):\n", Runs);
    auto line = [](const char* label, const std::vector<double>& v) {
        std::printf("  %-44s %8.1f  [", label, median(v));
        for (size_t i = 0; i < v.size(); ++i)
            std::printf(i ? " %.1f" : "%.1f", v[i]);
        std::printf("]\n");
    };
    line("start-up work, 300 forms", workWith);
    line("start-up work, no forms", workWithout);
    line("  of which forms.vsk's steps, 300 forms", formsWith);
    line("  of which forms.vsk's steps, no forms", formsWithout);
    line("time to the menu, 300 forms", menuWith);
    line("time to the menu, no forms", menuWithout);
    line("start-up work after a form changed (3 runs)", afterChange);
    std::printf("ratio start-up work  with/without = %.3f\n",
                median(workWith) / median(workWithout));
    std::printf("ratio time to menu   with/without = %.3f\n",
                median(menuWith) / median(menuWithout));
    QDir::setCurrent(QDir::tempPath());
    return 0;
}
