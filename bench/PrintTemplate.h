// The template the print and preview benchmarks share: 30 A4 portrait pages
// of 40 items, each two lines of 20 characters, in a copy of the delivered
// database opened as start-up opens it, shown on the page setup screen.
#pragma once

#include "BenchSupport.h"
#include "common/AppFolder.h"
#include "common/Globals.h"
#include "common/Navigation.h"
#include "layout/LayoutStore.h"
#include "pages/FrmPage.h"
#include "platform/Database.h"
#include "platform/Engine.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QStringList>

constexpr int Pages = 30;
constexpr int Items = 40;
const QString Text =
    QStringLiteral("東京都千代田区丸の内一丁目二番三号　株式会社ベスク商事　営業部御中");

inline double top(int item) {
    return 10.0 + 6.5 * item;
}

// Opens a copy of `delivered` in `folder` as the run's layout database, with
// messages written to standard error; false when it cannot be copied.
inline bool OpenBenchLayout(const QString& folder, const QString& delivered) {
    const QString file = CopyDeliveredInto(folder, delivered);
    if (file.isEmpty())
        return false;
    SetAppPath(folder);
    SetMessageBoxResponder([](const MessageBoxRequest& r) {
        std::fprintf(stderr, "message: %s\n", qPrintable(r.text));
        return QMessageBox::Ok;
    });
    LayoutWorkspace = &DefaultWorkspace();
    LayoutDatabase = LayoutWorkspace->OpenDatabase(file, true, false, LayoutFiles::Connect);
    AttachForms(LayoutDatabase, folder);
    return true;
}

// Stores the template; returns its page ids in page order.
inline QStringList FillPrintTemplate() {
    LayoutStore store = Layout();
    CurrentTemplateId = store.CreateTemplate();
    QList<Page> rows;
    for (int p = 1; p <= Pages; ++p)
        rows.append(Page{QString(), QString::number(p), 0, 1});
    store.SaveTemplate(CurrentTemplateId, QString(), rows);
    QStringList pageIds;
    for (const Page& page : store.Pages(CurrentTemplateId)) {
        QList<TextItemTexts> items;
        for (int i = 0; i < Items; ++i) {
            TextItemTexts item;
            item.text = Text;
            item.numbers = {"10.5", "20", "190", QString::number(top(i)), "20", "2"};
            item.align = 0;
            items.append(item);
        }
        store.SaveItems(page.id, items);
        pageIds.append(page.id);
    }
    return pageIds;
}

// The page setup screen on CurrentTemplateId, shown and laid out.
inline FrmPage* ShowPrintTemplate() {
    ShowPageSetup();
    FrmPage* page = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<FrmPage*>(w))
            page = p;
    QApplication::processEvents();
    return page;
}
