// The page setup screen: naming a template, typing pages, saving, refusals and failures.
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
    void typePageNo(int row, const QString& text) const {
        grid()->setFocus();
        grid()->SetActiveCell(FrmPage::ColPageNo, row);
        PressKey(Qt::Key_Delete);
        TypeText(text);
        PressKey(Qt::Key_Return);
    }
    // Each row's page number, page id and print mark, to the last row not blank and marked.
    QStringList rows() const {
        QStringList rows;
        for (int r = 1; r <= PageRowCount; ++r)
            rows.append(grid()->CellText(FrmPage::ColPageNo, r) + ":" + form->PageId(r) + ":" +
                        grid()->CellText(FrmPage::ColPrint, r));
        while (!rows.isEmpty() && rows.last() == "::1")
            rows.removeLast();
        return rows;
    }
};

// Template 3's stored name, then its pages.
QStringList stored() {
    QStringList pages = {Layout().TemplateName("3")};
    for (const Page& page : Layout().Pages("3"))
        pages.append(QString("%1:%2/%3").arg(page.pageNo).arg(page.direction).arg(page.size));
    return pages;
}

class TestPage : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { CloseAllScreens(); }
    void savesNameAndPagesAndOpensTheirItems() {
        OpenAppFolder app;
        app.AddTemplate("3");
        app.Exec("create trigger refuse before insert on page when new.page_no = 7 "
                 "begin select raise(abort, 'refused'); end");
        PageScreen page("3");
        MessageRecorder recorder;
        // A new template opens every row marked for printing.
        QCOMPARE(page.rows(), QStringList());
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
        page.click("CmdOK");
        QCOMPARE(stored(), QStringList{""});
        QCOMPARE(page.name()->text(), QString("O'Brien商事"));
        QCOMPARE(page.rows(), QStringList({"4::1", "2::1", "::1", "::1", "30::1", "7::1"}));
        page.typePageNo(6, "");
        page.click("CmdOK");
        QCOMPARE(stored(), QStringList({"O'Brien商事", "2:-1/-1", "4:1/3", "30:-1/-1"}));
        QCOMPARE(page.rows(), QStringList({"2:2:1", "4:1:1", "30:3:1"})); // by number, new ids
        QCOMPARE(page.grid()->CellText(FrmPage::ColSize, 2), QString("Ｂ４"));
        app.AddItem("1", "3", "x", "10", "1", "2", "3", "4", "1", 0);
        page.typePageNo(3, ""); // a cleared number deletes its page, and its items with it
        // Two saved pages swap numbers, never two rows holding one; row 1 unticked.
        page.typePageNo(1, "5");
        page.typePageNo(2, "2");
        page.typePageNo(1, "4");
        page.grid()->SetActiveCell(FrmPage::ColPrint, 1);
        PressKey(Qt::Key_Space);
        page.click("CmdOK");
        QCOMPARE(page.rows(), QStringList({"2:1:0", "4:2:1"})); // the marks stay with the rows
        QCOMPARE(stored(), QStringList({"O'Brien商事", "2:1/3", "4:-1/-1"}));
        QCOMPARE(app.Scalar("select count(*) as n from moji"), 0);
        // 詳細設定 on an unsaved row refuses; on a saved one it opens the page's items, modally,
        // with the direction as shown, and the placement screen above; 戻る is pressed below.
        page.typePageNo(3, "5");
        page.grid()->SetActiveCell(FrmPage::ColDetail, 3);
        PressKey(Qt::Key_Space);
        QTRY_COMPARE(recorder.texts(),
                     QStringList({"入力データが正しくありません。\r",
                                  "データ修正に失敗しました。\r", "データが未登録です。\r"}));
        page.grid()->SetListIndex(FrmPage::ColDirection, 1, 0);
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
                           .arg(items->PageId(), QString::number(items->Direction()),
                                QString::number(items->PaperSize()));
            seen.append(now + (page.form && page.form->isVisible() ? ": page open" : ""));
            auto* b = modal->findChild<QPushButton*>(seen.size() == 1 ? "CmdImage" : "CmdBack");
            QTimer::singleShot(0, b, [b] { b->click(); });
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
};

QTEST_MAIN(TestPage)
#include "tst_page.moc"
