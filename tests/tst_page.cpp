// The page setup screen driven as a user does: naming a template, typing
// pages into the grid, saving, and the refusals and failures on the way.
#include "TestSupport.h"
#include "common/Globals.h"
#include "common/Navigation.h"
#include "items/FrmMoji.h"
#include "layout/LayoutStore.h"
#include "pages/FrmPage.h"
#include "platform/Database.h"
#include "platform/SpreadGrid.h"
#include "templates/FrmMenu.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {

struct PageScreen {
    QPointer<FrmPage> form;
    explicit PageScreen(const QString& templateId) {
        CurrentTemplateId = templateId;
        ShowPageSetup();
        form = VisibleScreen<FrmPage>();
        QTest::qWait(20);
    }
    SpreadGrid* grid() const { return form->findChild<SpreadGrid*>("vaSpread"); }
    QLineEdit* name() const { return form->findChild<QLineEdit*>("TxtTemplate"); }
    void click(const char* button) const {
        QTest::mouseClick(form->findChild<QPushButton*>(button), Qt::LeftButton);
    }
    // Types `text` into the page number cell of `row` and commits it with Enter.
    void typePageNo(int row, const QString& text) const {
        grid()->setFocus();
        grid()->SetActiveCell(FrmPage::ColPageNo, row);
        PressKey(Qt::Key_Delete);
        TypeText(text);
        PressKey(Qt::Key_Return);
    }
    QStringList pageNumbers() const {
        QStringList numbers;
        for (int r = 1; r <= PageRowCount; ++r)
            numbers.append(grid()->CellText(FrmPage::ColPageNo, r));
        while (!numbers.isEmpty() && numbers.last().isEmpty())
            numbers.removeLast();
        return numbers;
    }
};

QStringList storedPages(const QString& templateId) {
    QStringList pages;
    for (const Page& page : Layout().Pages(templateId))
        pages.append(QString("%1:%2/%3").arg(page.pageNo).arg(page.direction).arg(page.size));
    return pages;
}

} // namespace

class TestPage : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { CloseAllScreens(); }
    void savesNameAndNewPages();
    void renumberedPagesKeepTheirPrintMarksByRow();
};

void TestPage::savesNameAndNewPages() {
    OpenAppFolder app;
    app.AddTemplate("3");
    // The database refuses the insert of a page numbered 7.
    app.Exec("create trigger refuse before insert on page when new.page_no = 7 "
             "begin select raise(abort, 'refused'); end");
    PageScreen page("3");
    MessageRecorder recorder;
    // A new template opens empty, every row marked for printing.
    QCOMPARE(page.pageNumbers(), QStringList());
    for (int r = 1; r <= PageRowCount; ++r)
        QVERIFY(page.grid()->CellText(FrmPage::ColPrint, r) == "1" &&
                page.form->PageId(r).isEmpty());
    QTest::keyClicks(page.name(), "O'Brien");
    // Japanese text arrives as key events that carry text and no key code.
    QKeyEvent kana(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("商事"));
    QApplication::sendEvent(page.name(), &kana);
    page.typePageNo(1, "4");
    // A number already in the grid keeps the cursor in its cell.
    page.grid()->SetActiveCell(FrmPage::ColPageNo, 2);
    TypeText("4");
    PressKey(Qt::Key_Tab);
    QTRY_COMPARE(recorder.texts(), QStringList{"入力データが正しくありません。\r"});
    QCOMPARE(QPoint(page.grid()->Col(), page.grid()->Row()), QPoint(FrmPage::ColPageNo, 2));
    page.typePageNo(2, "2"); // no list choice
    QCOMPARE(page.grid()->Row(), 3);
    page.grid()->SetListIndex(FrmPage::ColDirection, 1, 1); // 横
    page.grid()->SetListIndex(FrmPage::ColSize, 1, 3);      // Ｂ４
    page.typePageNo(5, "30");
    page.typePageNo(6, "7");
    // A failed save stores nothing and keeps the edits on the screen.
    recorder.shown.clear();
    page.click("CmdOK");
    QCOMPARE(recorder.texts(), QStringList{"データ修正に失敗しました。\r"});
    QCOMPARE(storedPages("3"), QStringList());
    QCOMPARE(Layout().TemplateName("3"), QString());
    QCOMPARE(page.name()->text(), QString("O'Brien商事"));
    QCOMPARE(page.pageNumbers(), QStringList({"4", "2", "", "", "30", "7"}));
    QCOMPARE(page.form->PageId(1), QString());

    recorder.shown.clear();
    page.typePageNo(6, "");
    page.click("CmdOK");
    QVERIFY(recorder.shown.isEmpty());
    QCOMPARE(storedPages("3"), QStringList({"2:-1/-1", "4:1/3", "30:-1/-1"}));
    QCOMPARE(Layout().TemplateName("3"), QString("O'Brien商事"));
    // The refill shows the pages by number, each with its new id.
    QCOMPARE(page.pageNumbers(), QStringList({"2", "4", "30"}));
    QCOMPARE(page.grid()->CellText(FrmPage::ColSize, 2), QString("Ｂ４"));
    QCOMPARE(QStringList({page.form->PageId(1), page.form->PageId(2), page.form->PageId(3),
                          page.form->PageId(4)}),
             QStringList({"2", "1", "3", ""}));
}

void TestPage::renumberedPagesKeepTheirPrintMarksByRow() {
    OpenAppFolder app;
    app.AddTemplate("1");
    app.AddPage("11", "1", "1", 0, 0);
    app.AddPage("12", "1", "2", 1, 1);
    app.AddPage("13", "1", "3", 0, 2);
    app.AddPage("14", "1", "4", 0, 0);
    app.AddItem("1", "14", "x", "10", "1", "2", "3", "4", "1", 0);
    PageScreen page("1");
    MessageRecorder recorder;
    page.typePageNo(4, ""); // a cleared number deletes its page, and its items with it
    // Renumber bottom-up so no two rows ever hold one number.
    page.typePageNo(3, "5");
    page.typePageNo(1, "3");
    page.typePageNo(2, "1");
    page.typePageNo(3, "2");
    page.grid()->SetActiveCell(FrmPage::ColPrint, 1);
    PressKey(Qt::Key_Space);
    page.click("CmdOK");
    QVERIFY(recorder.shown.isEmpty());
    QCOMPARE(page.pageNumbers(), QStringList({"1", "2", "3"}));
    QCOMPARE(QStringList({page.form->PageId(1), page.form->PageId(2), page.form->PageId(3),
                          page.form->PageId(4)}),
             QStringList({"12", "13", "11", ""}));
    QCOMPARE(page.grid()->CellText(FrmPage::ColPrint, 1), QString("0"));
    QCOMPARE(page.grid()->CellText(FrmPage::ColPrint, 2), QString("1"));
    QCOMPARE(storedPages("1"), QStringList({"1:1/1", "2:0/2", "3:0/0"}));
    QCOMPARE(app.Scalar("select count(*) as n from moji"), 0);

    // 詳細設定 on an unsaved row refuses; on a saved one it opens the page's
    // text items, modally, with the direction as shown; closing them reloads
    // nothing.
    page.typePageNo(4, "4");
    page.grid()->SetActiveCell(FrmPage::ColDetail, 4);
    PressKey(Qt::Key_Space);
    QTRY_COMPARE(recorder.texts(), QStringList{"データが未登録です。\r"});
    QStringList seen;
    QTimer::singleShot(50, [&] {
        auto* items = qobject_cast<FrmMoji*>(QApplication::activeModalWidget());
        seen.append(items ? QString("%1 %2 %3")
                                .arg(items->PageId())
                                .arg(items->Direction())
                                .arg(items->PaperSize())
                          : QString("none"));
        if (items)
            items->findChild<QPushButton*>("CmdBack")->click();
    });
    page.grid()->SetListIndex(FrmPage::ColDirection, 1, 0);
    page.grid()->SetActiveCell(FrmPage::ColDetail, 1);
    PressKey(Qt::Key_Space);
    QTRY_COMPARE(seen, QStringList{"12 0 1"});
    QCOMPARE(page.pageNumbers(), QStringList({"1", "2", "3", "4"})); // row 4 unsaved

    // With the item grid and the image placement screen open above it, an
    // assistive tool presses 戻る of the page screen, which they block: the
    // page screen stays until the item grid returns, then closes.
    seen.clear();
    QTimer drive;
    connect(&drive, &QTimer::timeout, this, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        const QString now = modal ? modal->metaObject()->className() : QString();
        if (seen.size() == 3 ||
            now != QStringList({"FrmMoji", "FrmScanTate", "FrmMoji"})[seen.size()])
            return;
        if (seen.size() == 1)
            page.form->findChild<QPushButton*>("CmdBack")->click();
        seen.append(now + (page.form && page.form->isVisible() ? ": page open" : ""));
        QPointer<QPushButton> b =
            modal->findChild<QPushButton*>(seen.size() == 1 ? "CmdImage" : "CmdBack");
        QMetaObject::invokeMethod(
            b, [b] { b->click(); }, Qt::QueuedConnection);
    });
    drive.start(10);
    page.grid()->setFocus();
    page.grid()->SetActiveCell(FrmPage::ColDetail, 1);
    PressKey(Qt::Key_Space);
    QCOMPARE(seen,
             QStringList({"FrmMoji: page open", "FrmScanTate: page open", "FrmMoji: page open"}));
    QTRY_VERIFY(page.form.isNull());
    int menus = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        menus += qobject_cast<FrmMenu*>(w) && w->isVisible();
    QCOMPARE(menus, 1);
    QCOMPARE(app.Scalar("select count(*) as n from page"), 3);
}

QTEST_MAIN(TestPage)
#include "tst_page.moc"
