// The page setup screen: naming a template, typing pages, saving, and the
// refusals and failures on the way.
#include "TestSupport.h"
#include "common/Globals.h"
#include "common/Navigation.h"
#include "items/FrmMoji.h"
#include "layout/LayoutStore.h"
#include "pages/FrmPage.h"
#include "platform/SpreadGrid.h"
#include "templates/FrmMenu.h"

#include <QtTest>
#include <QtWidgets>

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
    QStringList ids(int rows) const {
        QStringList ids;
        for (int r = 1; r <= rows; ++r)
            ids.append(form->PageId(r));
        return ids;
    }
    void click(const char* button) const {
        QTest::mouseClick(form->findChild<QPushButton*>(button), Qt::LeftButton);
    }
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
    void savesNameAndPagesAndOpensTheirItems();
};

void TestPage::savesNameAndPagesAndOpensTheirItems() {
    OpenAppFolder app;
    app.AddTemplate("3");
    // The database refuses the insert of a page numbered 7.
    app.Exec("create trigger refuse before insert on page when new.page_no = 7 "
             "begin select raise(abort, 'refused'); end");
    PageScreen page("3");
    MessageRecorder recorder;
    // A new template opens every row marked for printing.
    for (int r = 1; r <= PageRowCount; ++r)
        QCOMPARE(page.grid()->CellText(FrmPage::ColPrint, r), "1");
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
    page.typePageNo(2, "2");                                // no list choice
    page.grid()->SetListIndex(FrmPage::ColDirection, 1, 1); // 横
    page.grid()->SetListIndex(FrmPage::ColSize, 1, 3);      // Ｂ４
    page.typePageNo(5, "30");
    page.typePageNo(6, "7");
    // A failed save stores nothing and keeps the edits on the screen.
    recorder.shown.clear();
    page.click("CmdOK");
    QCOMPARE(recorder.texts(), QStringList{"データ修正に失敗しました。\r"});
    QVERIFY(storedPages("3").isEmpty() && Layout().TemplateName("3").isEmpty());
    QCOMPARE(page.name()->text(), QString("O'Brien商事"));
    QCOMPARE(page.pageNumbers(), QStringList({"4", "2", "", "", "30", "7"}));

    page.typePageNo(6, "");
    page.click("CmdOK");
    QCOMPARE(recorder.shown.size(), 1);
    QCOMPARE(storedPages("3"), QStringList({"2:-1/-1", "4:1/3", "30:-1/-1"}));
    QCOMPARE(Layout().TemplateName("3"), QString("O'Brien商事"));
    // The refill shows the pages by number, each with its new id.
    QCOMPARE(page.pageNumbers(), QStringList({"2", "4", "30"}));
    QCOMPARE(page.grid()->CellText(FrmPage::ColSize, 2), QString("Ｂ４"));
    QCOMPARE(page.ids(4), QStringList({"2", "1", "3", ""}));

    app.AddItem("1", "3", "x", "10", "1", "2", "3", "4", "1", 0);
    page.typePageNo(3, ""); // a cleared number deletes its page, and its items with it
    // Two saved pages swap numbers, never two rows holding one; row 1 unticked.
    page.typePageNo(1, "5");
    page.typePageNo(2, "2");
    page.typePageNo(1, "4");
    page.grid()->SetActiveCell(FrmPage::ColPrint, 1);
    PressKey(Qt::Key_Space);
    page.click("CmdOK");
    QCOMPARE(recorder.shown.size(), 1);
    QCOMPARE(page.pageNumbers(), QStringList({"2", "4"}));
    QCOMPARE(page.ids(3), QStringList({"1", "2", ""}));
    QCOMPARE(page.grid()->CellText(FrmPage::ColPrint, 1) +
                 page.grid()->CellText(FrmPage::ColPrint, 2),
             "01"); // the marks stay with the rows
    QCOMPARE(storedPages("3"), QStringList({"2:1/3", "4:-1/-1"}));
    QCOMPARE(app.Scalar("select count(*) as n from moji"), 0);

    // 詳細設定 on an unsaved row refuses; on a saved one it opens the page's
    // items, modally, with the direction as shown.
    page.typePageNo(3, "5");
    page.grid()->SetActiveCell(FrmPage::ColDetail, 3);
    PressKey(Qt::Key_Space);
    QTRY_COMPARE(recorder.texts().value(1), "データが未登録です。\r");
    page.grid()->SetListIndex(FrmPage::ColDirection, 1, 0);
    // On a saved row: the item grid and the placement screen above, 戻る pressed below.
    QStringList seen;
    QTimer drive;
    connect(&drive, &QTimer::timeout, this, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        QString now = modal ? modal->metaObject()->className() : QString();
        if (seen.size() == 3 ||
            now != QStringList({"FrmMoji", "FrmScanTate", "FrmMoji"})[seen.size()])
            return;
        if (seen.size() == 1)
            page.form->findChild<QPushButton*>("CmdBack")->click();
        if (auto* items = qobject_cast<FrmMoji*>(modal); items && seen.isEmpty())
            now += QString(" %1 %2 %3")
                       .arg(items->PageId())
                       .arg(items->Direction())
                       .arg(items->PaperSize());
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
    QCOMPARE(seen, QStringList({"FrmMoji 1 0 3: page open", "FrmScanTate: page open",
                                "FrmMoji: page open"}));
    QTRY_VERIFY(page.form.isNull());
    QVERIFY(VisibleScreen<FrmMenu>());
    QCOMPARE(app.Scalar("select count(*) as n from page"), 2);
}

QTEST_MAIN(TestPage)
#include "tst_page.moc"
