// PDF保存 of a merge: 1000 records of 15 columns into a one-page A4 invoice
// of 20 items (15 of them with a field), written as one PDF file of 1000
// sheets, next to a bare QPainter loop that fills the same fields and draws
// the same lines at the same places onto the same kind of PDF. Each side runs
// in a process of its own, so its peak memory is its own.
//
//   bench_merge
//
// Prints wall time (median of 3 files) and peak resident memory of each
// side, and their ratios.
#include "BenchSupport.h"
#include "common/Program.h"
#include "merge/MergeList.h"
#include "print/MergePrint.h"

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

constexpr int Records = 1000;
constexpr int Runs = 3;

// The invoice: its columns, and its items as text, size, left, right, top,
// alignment (0 left, 2 right), each one line of at most 30 characters.
const QStringList Columns = {"宛先",  "郵便番号", "住所",  "請求番号", "請求日",
                             "期限",  "品名1",    "数量1", "金額1",    "品名2",
                             "数量2", "金額2",    "小計",  "消費税",   "合計"};
struct InvoiceItem {
    const char* text;
    double size, left, right, top;
    qint16 align;
};
const InvoiceItem Invoice[] = {
    {"御請求書", 18, 80, 130, 15, 0},
    {"〒{{郵便番号}}", 10.5, 20, 100, 30, 0},
    {"{{住所}}", 10.5, 20, 120, 36, 0},
    {"{{宛先}}　御中", 12, 20, 120, 44, 0},
    {"請求番号　{{請求番号}}", 10.5, 130, 190, 30, 2},
    {"請求日　{{請求日}}", 10.5, 130, 190, 36, 2},
    {"株式会社ベスク商事", 12, 130, 190, 50, 2},
    {"東京都千代田区丸の内一丁目二番三号", 9, 110, 190, 57, 2},
    {"下記のとおりご請求申し上げます。", 10.5, 20, 120, 70, 0},
    {"{{品名1}}", 10.5, 20, 110, 90, 0},
    {"{{数量1}}", 10.5, 110, 130, 90, 2},
    {"{{金額1}}", 10.5, 140, 190, 90, 2},
    {"{{品名2}}", 10.5, 20, 110, 98, 0},
    {"{{数量2}}", 10.5, 110, 130, 98, 2},
    {"{{金額2}}", 10.5, 140, 190, 98, 2},
    {"小計　{{小計}}", 10.5, 120, 190, 120, 2},
    {"消費税　{{消費税}}", 10.5, 120, 190, 127, 2},
    {"合計　{{合計}}", 12, 120, 190, 135, 2},
    {"お支払期限　{{期限}}", 10.5, 20, 120, 150, 0},
    {"お振込先　ベスク銀行　本店　普通　1234567", 10.5, 20, 150, 160, 0},
};

QStringList record(int r) {
    const QString n = QString::number(r + 1);
    return {"株式会社髙橋商店" + n,
            "100-" + QString::number(1000 + r),
            "東京都千代田区丸の内二丁目" + n + "番",
            "INV-" + n.rightJustified(6, u'0'),
            "2024年4月" + QString::number(r % 28 + 1) + "日",
            "2024年5月31日",
            "事務用品一式　第" + n + "便",
            QString::number(r % 9 + 1),
            QString::number((r % 9 + 1) * 1200) + "円",
            "配送料",
            "1",
            "800円",
            QString::number((r % 9 + 1) * 1200 + 800) + "円",
            QString::number(((r % 9 + 1) * 1200 + 800) / 10) + "円",
            QString::number(((r % 9 + 1) * 1200 + 800) * 11 / 10) + "円"};
}

// The list is the program's input on both sides: it is made before the
// memory is first read.
MergeList invoiceList() {
    MergeList list;
    list.columns = Columns;
    for (int r = 0; r < Records; ++r)
        list.records.append(record(r));
    return list;
}

int runEngine() {
    QTemporaryDir dir;
    const MergeList list = invoiceList();
    Sheet sheet{0, 1, {}};
    for (const InvoiceItem& i : Invoice)
        sheet.items.append(
            TextItem{QString::fromUtf8(i.text), i.size, i.left, i.right, i.top, 30, 1, i.align});
    const SheetPlan plan{sheet};
    const QList<QPageLayout> layouts{
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF())};
    const QString file = QDir(dir.path()).filePath(QStringLiteral("out.pdf"));
    const long before = PeakKb();
    std::vector<double> ms;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        SaveRecordsPdf(file, plan, layouts, {}, list, {0, Records - 1});
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    ReportSide(ms, before);
    return 0;
}

// The fields of `text` filled from `values`, as plainly as it can be done.
QString filled(QString text, const QStringList& values) {
    for (qsizetype c = 0; c < Columns.size(); ++c)
        text.replace("{{" + Columns[c] + "}}", values[c]);
    return text;
}

int runBare() {
    QTemporaryDir dir;
    const MergeList list = invoiceList();
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
        const double perMm = 1200 / 25.4;
        for (int r = 0; r < Records; ++r) {
            if (r > 0)
                writer.newPage();
            for (const InvoiceItem& i : Invoice) {
                QFont font(QStringLiteral("ＭＳ Ｐ明朝"));
                font.setPointSizeF(i.size);
                font.setHintingPreference(QFont::PreferNoHinting);
                painter.setFont(font);
                const QFontMetricsF metrics(font, &writer);
                const QString line = filled(QString::fromUtf8(i.text), list.records[r]);
                const double x = i.align == 2 ? i.right * perMm - metrics.horizontalAdvance(line)
                                              : i.left * perMm;
                painter.drawText(QPointF(x, i.top * perMm + metrics.ascent()), line);
            }
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
        return runEngine();
    if (args.value(0) == QLatin1String("--bare"))
        return runBare();

    SideResult engine, bare;
    if (!MeasureSide({"--engine"}, &engine) || !MeasureSide({"--bare"}, &bare)) {
        std::fprintf(stderr, "bench_merge: a measuring run failed\n");
        return 1;
    }
    std::printf("%d records x %d items (%d fields) on one A4 sheet each to PDF, median of %d:\n",
                Records, int(std::size(Invoice)), int(Columns.size()), Runs);
    std::printf("  PDF保存 of the merge: %8.1f ms, peak %6ld kB (%6ld kB before)\n", engine.ms,
                engine.peak, engine.before);
    std::printf("  bare QPainter loop:  %8.1f ms, peak %6ld kB (%6ld kB before)\n", bare.ms,
                bare.peak, bare.before);
    std::printf("  ratio: time %.2f, peak memory %.2f, memory added while writing %.2f\n",
                engine.ms / bare.ms, double(engine.peak) / double(bare.peak),
                double(engine.peak - engine.before) /
                    double(std::max(1L, bare.peak - bare.before)));
    return 0;
}
