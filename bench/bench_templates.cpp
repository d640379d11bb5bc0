// Copying and deleting a template of 30 pages x 40 items through the template
// dialog, on a database that holds 1000 other templates.
// Usage: bench_templates [delivered data.vsk] (by default the one this build wrote)
#include "BenchSupport.h"
#include "common/AppFolder.h"
#include "common/Globals.h"
#include "common/LayoutFiles.h"
#include "layout/LayoutStore.h"
#include "platform/Database.h"
#include "platform/Engine.h"
#include "platform/MessageBox.h"
#include "templates/FrmTemplateDlg.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Through the store, as the program writes them.
void fill() {
    LayoutStore store = Layout();
    int pageId = 0;
    auto addTemplate = [&](int pages, int items) {
        const QString id = store.CreateTemplate();
        QList<Page> rows;
        for (int p = 1; p <= pages; ++p)
            rows.append(Page{QString(), QString::number(p), 0, 1});
        store.SaveTemplate(id, QString("帳票%1").arg(id), rows);
        for (int p = 1; p <= pages; ++p) {
            QList<TextItemTexts> texts;
            for (int i = 1; i <= items; ++i) {
                TextItemTexts item;
                item.text = QString("東京都千代田区丸の内一丁目%1番").arg(i);
                item.numbers = {"10.5", "20.5", "120", QString::number(10 + i), "20", "1"};
                item.align = 0;
                texts.append(item);
            }
            store.SaveItems(QString::number(++pageId), texts);
        }
    };
    for (int t = 1; t <= 1000; ++t)
        addTemplate(1, 10);
    addTemplate(30, 40);
}

double timeChoice(qint16 mode, int row) {
    TemplateMode = mode;
    auto* dialog = new FrmTemplateDlg;
    dialog->show();
    QApplication::processEvents();
    auto* list = dialog->findChild<QListWidget*>("LstPreview");
    list->setCurrentRow(row);
    QElapsedTimer timer;
    timer.start();
    dialog->findChild<QPushButton*>("CmdOK")->click();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    for (QWidget* w : QApplication::topLevelWidgets())
        delete w;
    return ms;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString file = CopyDeliveredInto(
        dir.path(), DeliveredDatabase(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString()));
    if (file.isEmpty())
        return 1;
    SetAppPath(dir.path());
    SetMessageBoxResponder([](const MessageBoxRequest&) { return QMessageBox::Yes; });

    LayoutWorkspace = &DefaultWorkspace();
    LayoutDatabase = LayoutWorkspace->OpenDatabase(file, true, false, LayoutFiles::Connect);
    // The fill is set-up, not measured: it need not wait for the disk after
    // each of its 2000 commits. The copy and the delete run as the program runs them.
    LayoutDatabase->Execute("PRAGMA synchronous = OFF");
    fill();
    LayoutDatabase->Execute("PRAGMA synchronous = FULL");

    std::vector<double> copies, deletes;
    for (int round = 0; round < 5; ++round) {
        copies.push_back(timeChoice(1, 1000));  // the 30-page template, listed last
        deletes.push_back(timeChoice(3, 1001)); // its copy
    }
    LayoutWorkspace->Close();
    std::printf("template of 30 pages x 40 items, 1000 other templates, median of 5:\n");
    std::printf("  copy:   %.1f ms\n", median(copies));
    std::printf("  delete: %.1f ms (with the list refilled)\n", median(deletes));
    return 0;
}
