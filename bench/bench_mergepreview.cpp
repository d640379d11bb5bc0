// The print preview's merge on a one-page A4 invoice of 20 items with 15
// fields and a list of 1000 records of those 15 columns: the first record's
// sheet on view after the file is chosen (差し込みデータ… answered, the list
// read, the first record merged, remembered for the template, painted once),
// for a UTF-8 list and for a Shift_JIS list read in the automatic encoding
// (which first tries UTF-8); and turning to the next record.
//
//   bench_mergepreview [DELIVERED_DATA_VSK]
//
// Runs on the platform Qt is given (offscreen when there is no display).
#include "PrintTemplate.h"
#include "common/Program.h"
#include "pages/FrmPreview.h"
#include "pages/SheetView.h"
#include "platform/FileOpenDialog.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QScreen>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Runs = 7;
constexpr int Records = 1000;
constexpr int InvoiceItems = 20;
constexpr int Fields = 15;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double ms(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

QString column(int c) {
    return QStringLiteral("項目%1").arg(c + 1);
}

// The invoice: items 1-15 each name one column, items 16-20 two of them.
SheetPlan invoice() {
    Sheet sheet{0, 1, {}, QString()};
    for (int i = 0; i < InvoiceItems; ++i) {
        TextItem item;
        item.moji = QStringLiteral("%1：{{%2}}").arg(i + 1).arg(column(i % Fields));
        if (i >= Fields)
            item.moji += QStringLiteral("　{{%1}}").arg(column((i * 7) % Fields));
        item.pSize = 10.5;
        item.pLeft = 20;
        item.pRight = 190;
        item.pTop = 15 + 13 * i;
        item.pColCount = 40;
        item.pRowCount = 2;
        sheet.items.append(item);
    }
    return {sheet};
}

// 1000 records of 15 columns, Japanese values of 8 to 22 characters.
QString list() {
    QStringList lines;
    QStringList header;
    for (int c = 0; c < Fields; ++c)
        header.append(column(c));
    lines.append(header.join(u','));
    for (int r = 0; r < Records; ++r) {
        QStringList values;
        for (int c = 0; c < Fields; ++c)
            values.append(QStringLiteral("株式会社髙橋商事%1-%2").arg(r + 1).arg(c + 1) +
                          QString(c % 4 * 4, QChar(u'表')));
        lines.append(values.join(u','));
    }
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
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
    void reset() { painted_ = false; }
    void wait() {
        while (!painted_)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QApplication::processEvents();
    }

private:
    QWidget* view_;
    bool painted_ = false;
};

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
    const QString templateId = Layout().CreateTemplate();

    const QString text = list();
    const QString utf8 = QDir(dir.path()).filePath(QStringLiteral("list-utf8.csv"));
    const QString sjis = QDir(dir.path()).filePath(QStringLiteral("list-sjis.csv"));
    QStringEncoder cp932("windows-31j");
    for (const auto& [path, bytes] :
         {std::pair{utf8, text.toUtf8()}, std::pair{sjis, QByteArray(cp932(text))}}) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }

    auto* preview = new FrmPreview(invoice(), QStringLiteral("請求書"), {}, templateId);
    PaintWatch watch(preview->findChild<SheetView*>());
    preview->show();
    watch.wait();
    QPushButton* choose = preview->findChild<QPushButton*>(QStringLiteral("CmdMerge"));
    QString chosen;
    SetFileOpenResponder([&](const FileOpenRequest&) { return std::optional<QString>(chosen); });

    auto firstRecord = [&](const QString& path) {
        std::vector<double> times;
        for (int run = 0; run < Runs; ++run) {
            chosen = path;
            watch.reset();
            QElapsedTimer timer;
            timer.start();
            choose->click();
            watch.wait();
            times.push_back(ms(timer));
            if (!preview->MergeData() || preview->MergeData()->records.size() != Records) {
                std::fprintf(stderr, "the list was not read\n");
                std::exit(1);
            }
        }
        return times;
    };
    const std::vector<double> fromUtf8 = firstRecord(utf8);
    const std::vector<double> fromSjis = firstRecord(sjis);

    QPushButton* next = preview->findChild<QPushButton*>(QStringLiteral("CmdNextRecord"));
    std::vector<double> turns;
    for (int run = 0; run < 3 * Runs; ++run) {
        watch.reset();
        QElapsedTimer timer;
        timer.start();
        next->click();
        watch.wait();
        turns.push_back(ms(timer));
    }
    delete preview;

    const QSize screen = QGuiApplication::primaryScreen()->size();
    std::printf("A4 invoice, %d items, %d fields; %d records (%lld kB UTF-8, %lld kB Shift_JIS); "
                "platform %s, screen %dx%d\n",
                InvoiceItems, Fields, Records, QFileInfo(utf8).size() / 1024,
                QFileInfo(sjis).size() / 1024, qPrintable(QGuiApplication::platformName()),
                screen.width(), screen.height());
    std::printf("  first record on view after the file is chosen, UTF-8:           %7.1f ms "
                "(median of %d, slowest %.1f)\n",
                median(fromUtf8), Runs, *std::max_element(fromUtf8.begin(), fromUtf8.end()));
    std::printf("  the same, Shift_JIS read in the automatic encoding:           %7.1f ms "
                "(slowest %.1f)\n",
                median(fromSjis), *std::max_element(fromSjis.begin(), fromSjis.end()));
    std::printf("  next record:                                                  %7.1f ms "
                "(median of %d)\n",
                median(turns), 3 * Runs);
    LayoutWorkspace->Close();
    return 0;
}
