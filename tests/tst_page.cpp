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
    void duplicatePageNumberKeepsTheCursor();
    void renumberedPagesKeepTheirPrintMarksByRow();
    void detailButton();
    void failedSaveLeavesNothing();
    void backBeneathTheItemGridWaitsForIt();
};

void TestPage::savesNameAndNewPages() {
    OpenAppFolder app;
    app.AddTemplate("3");
    PageScreen page("3");
    MessageRecorder recorder;
    // A new template opens empty, every row marked for printing.
    QCOMPARE(page.name()->text(), QString());
    QCOMPARE(page.pageNumbers(), QStringList());
    for (int r = 1; r <= PageRowCount; ++r)
        QVERIFY(page.grid()->CellText(FrmPage::ColPrint, r) == "1" &&
                page.form->PageId(r).isEmpty());
    QTest::keyClicks(page.name(), "O'Brien");
    // Japanese text arrives as key events that carry text and no key code.
    QKeyEvent kana(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("商事"));
    QApplication::sendEvent(page.name(), &kana);
    page.typePageNo(1, "4");
    page.grid()->SetListIndex(FrmPage::ColDirection, 1, 1); // 横
    page.grid()->SetListIndex(FrmPage::ColSize, 1, 3);      // Ｂ４
    page.typePageNo(2, "2");                                // no list choice
    page.typePageNo(5, "30");
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

void TestPage::duplicatePageNumberKeepsTheCursor() {
    OpenAppFolder app;
    app.AddTemplate("1");
    app.AddPage("1", "1", "1", 0, 1);
    PageScreen page("1");
    MessageRecorder recorder;
    page.grid()->setFocus();
    page.grid()->SetActiveCell(FrmPage::ColPageNo, 2);
    TypeText("1");
    PressKey(Qt::Key_Tab);
    QTRY_COMPARE(recorder.texts(), QStringList{"入力データが正しくありません。\r"});
    QCOMPARE(page.grid()->Row(), 2);
    QCOMPARE(page.grid()->Col(), int(FrmPage::ColPageNo));
    // An empty cell or a different number moves on without a word.
    page.typePageNo(2, "2");
    QCOMPARE(page.grid()->Row(), 3);
    QCOMPARE(recorder.shown.size(), 1);
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
    QCOMPARE(page.grid()->CellText(FrmPage::ColPrint, 1), QString("0"));
    page.click("CmdOK");
    QVERIFY(recorder.shown.isEmpty());
    QCOMPARE(page.pageNumbers(), QStringList({"1", "2", "3"}));
    QCOMPARE(QStringList({page.form->PageId(1), page.form->PageId(2), page.form->PageId(3)}),
             QStringList({"12", "13", "11"}));
    QCOMPARE(page.grid()->CellText(FrmPage::ColPrint, 1), QString("0"));
    QCOMPARE(page.grid()->CellText(FrmPage::ColPrint, 2), QString("1"));
    QCOMPARE(storedPages("1"), QStringList({"1:1/1", "2:0/2", "3:0/0"}));
    QCOMPARE(app.Scalar("select count(*) as n from moji"), 0);
    QCOMPARE(page.form->PageId(4), QString());
}

void TestPage::detailButton() {
    OpenAppFolder app;
    app.AddTemplate("1");
    app.AddPage("8", "1", "1", 0, 1);
    PageScreen page("1");
    MessageRecorder recorder;
    page.typePageNo(2, "2");
    page.grid()->SetActiveCell(FrmPage::ColDetail, 2);
    PressKey(Qt::Key_Space);
    QTRY_COMPARE(recorder.texts(), QStringList{"データが未登録です。\r"});
    QVERIFY(!QApplication::activeModalWidget());

    // A saved row opens the page's text items, modally, with its id and the
    // direction as shown, saved or not; closing them reloads nothing.
    QStringList seen;
    auto closeItemsWhenOpen = [&] {
        QTimer::singleShot(50, [&] {
            auto* items = qobject_cast<FrmMoji*>(QApplication::activeModalWidget());
            seen.append(items ? QString("%1 %2 %3 %4")
                                    .arg(items->windowTitle(), items->PageId())
                                    .arg(items->Direction())
                                    .arg(items->PaperSize())
                              : QString("none"));
            if (items)
                items->findChild<QPushButton*>("CmdBack")->click();
        });
    };
    page.typePageNo(3, "9");
    page.grid()->SetListIndex(FrmPage::ColDirection, 1, 1);
    page.grid()->SetActiveCell(FrmPage::ColDetail, 1);
    closeItemsWhenOpen();
    PressKey(Qt::Key_Space);
    QTRY_COMPARE(seen, QStringList{"文字設定 8 1 1"});
    QCOMPARE(recorder.shown.size(), 1);
    QCOMPARE(page.grid()->CellText(FrmPage::ColPageNo, 3), QString("9"));
}

void TestPage::failedSaveLeavesNothing() {
    OpenAppFolder app;
    app.AddTemplate("1");
    app.NameTemplate("old", "1");
    app.AddPage("1", "1", "1", 0, 0);
    // The database refuses the insert of a page numbered 7.
    app.Exec("create trigger refuse before insert on page when new.page_no = 7 "
             "begin select raise(abort, 'refused'); end");
    PageScreen page("1");
    MessageRecorder recorder;
    page.name()->setText("new");
    page.typePageNo(1, "3");
    page.typePageNo(2, "5");
    page.typePageNo(3, "7");
    page.click("CmdOK");
    QCOMPARE(recorder.texts(), QStringList{"データ修正に失敗しました。\r"});
    QCOMPARE(storedPages("1"), QStringList({"1:0/0"}));
    QCOMPARE(Layout().TemplateName("1"), QString("old"));
    // The screen keeps the edits, not refilled.
    QCOMPARE(page.name()->text(), QString("new"));
    QCOMPARE(page.pageNumbers(), QStringList({"3", "5", "7"}));
    QCOMPARE(page.form->PageId(2), QString());
}

void TestPage::backBeneathTheItemGridWaitsForIt() {
    OpenAppFolder app;
    app.AddTemplate("1");
    app.AddPage("8", "1", "1", 0, 1);
    PageScreen page("1");
    page.typePageNo(2, "2"); // not saved: 戻る drops it
    // With the item grid and the image placement screen open above it, an
    // assistive tool presses 戻る of the page screen, which they block: the
    // page screen stays until the item grid returns, then closes.
    QStringList seen;
    auto click = [](QWidget* screen, const char* button) {
        QPointer<QPushButton> b = screen->findChild<QPushButton*>(button);
        QMetaObject::invokeMethod(
            b, [b] { b->click(); }, Qt::QueuedConnection);
    };
    auto pageState = [&] {
        return QString(page.form && page.form->isVisible() ? "page open" : "page closed");
    };
    QTimer drive;
    connect(&drive, &QTimer::timeout, this, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        const QString now = modal ? modal->metaObject()->className() : QString();
        if (seen.isEmpty() && now == "FrmMoji") {
            seen.append(now);
            click(modal, "CmdImage");
        } else if (seen.size() == 1 && now == "FrmScanTate") {
            page.form->findChild<QPushButton*>("CmdBack")->click();
            seen.append(now + ": " + pageState());
            click(modal, "CmdBack");
        } else if (seen.size() == 2 && now == "FrmMoji") {
            seen.append(now + ": " + pageState());
            drive.stop();
            click(modal, "CmdBack");
        }
    });
    drive.start(10);
    page.grid()->setFocus();
    page.grid()->SetActiveCell(FrmPage::ColDetail, 1);
    PressKey(Qt::Key_Space);
    QCOMPARE(seen, QStringList({"FrmMoji", "FrmScanTate: page open", "FrmMoji: page open"}));
    QTRY_VERIFY(page.form.isNull());
    int menus = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        menus += qobject_cast<FrmMenu*>(w) && w->isVisible();
    QCOMPARE(menus, 1);
    QCOMPARE(app.Scalar("select count(*) as n from page"), 1);
}

QTEST_MAIN(TestPage)
#include "tst_page.moc"
