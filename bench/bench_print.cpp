// The print command on a template of 30 pages x 40 items, each item two
// 20-character Japanese lines, written to a PDF file, next to a bare QPainter
// loop that draws the same lines at the same places onto the same kind of PDF.
// Each side runs in a process of its own, so its peak memory is its own.
//
//   bench_print [DELIVERED_DATA_VSK]
//
// Prints wall time (median of 5 commands) and peak resident memory of each
// side, and their ratios.
#include "PrintTemplate.h"
#include "common/AppFolder.h"
#include "common/Globals.h"
#include "common/LayoutFiles.h"
#include "common/Navigation.h"
#include "common/Program.h"
#include "layout/LayoutStore.h"
#include "pages/FrmPage.h"
#include "platform/Database.h"
#include "platform/Engine.h"
#include "platform/MessageBox.h"
#include "platform/SpreadGrid.h"
#include "print/PrintEngine.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Runs = 5;

int runEngine(const QString& delivered) {
    QTemporaryDir dir;
    if (!OpenBenchLayout(dir.path(), delivered))
        return 1;
    FillPrintTemplate();
    FrmPage* page = ShowPrintTemplate();
    PrintToPdfFile(QDir(dir.path()).filePath(QStringLiteral("out.pdf")));
    const long before = PeakKb();
    std::vector<double> ms;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        PrintSheets(page->SheetsToPrint());
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    ReportSide(ms, before);
    LayoutWorkspace->Close();
    return 0;
}

int runBare() {
    QTemporaryDir dir;
    const QString file = QDir(dir.path()).filePath(QStringLiteral("out.pdf"));
    const long before = PeakKb();
    std::vector<double> ms;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        QPdfWriter writer(file);
        writer.setResolution(1200);
        writer.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
        QPainter painter(&writer);
        QFont font(QStringLiteral("ＭＳ Ｐ明朝"));
        font.setPointSizeF(10.5);
        font.setHintingPreference(QFont::PreferNoHinting);
        painter.setFont(font);
        const QFontMetricsF metrics(font, &writer);
        const double perMm = 1200 / 25.4;
        const QString lines[] = {Text.left(20), Text.mid(20, 20)};
        for (int p = 0; p < Pages; ++p) {
            if (p > 0)
                writer.newPage();
            for (int i = 0; i < Items; ++i)
                for (int k = 0; k < 2; ++k)
                    painter.drawText(QPointF(20 * perMm, top(i) * perMm + metrics.ascent() +
                                                             k * metrics.height()),
                                     lines[k]);
        }
        painter.end();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    ReportSide(ms, before);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RegisterFontSubstitutions();
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("--engine"))
        return runEngine(args.value(1));
    if (args.value(0) == QLatin1String("--bare"))
        return runBare();

    const QString delivered = DeliveredDatabase(args.isEmpty() ? QString() : args[0]);
    SideResult engine, bare;
    if (!MeasureSide({"--engine", delivered}, &engine) || !MeasureSide({"--bare"}, &bare)) {
        std::fprintf(stderr, "bench_print: a measuring run failed\n");
        return 1;
    }
    std::printf("%d pages x %d items x 2 lines of 20 characters to PDF, median of %d:\n", Pages,
                Items, Runs);
    std::printf("  print command: %8.1f ms, peak %6ld kB (%6ld kB before)\n", engine.ms,
                engine.peak, engine.before);
    std::printf("  bare QPainter: %8.1f ms, peak %6ld kB (%6ld kB before)\n", bare.ms, bare.peak,
                bare.before);
    std::printf("  ratio: time %.2f, peak memory %.2f, memory added while printing %.2f\n",
                engine.ms / bare.ms, double(engine.peak) / double(bare.peak),
                double(engine.peak - engine.before) /
                    double(std::max(1L, bare.peak - bare.before)));
    return 0;
}
