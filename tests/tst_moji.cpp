// The text item grid: saving typed items, and what a refused or unchanged save and leaving keep.
#include "TestSupport.h"
#include "items/FrmMoji.h"
#include "platform/SpreadGrid.h"

#include <QPushButton>
#include <QtTest>

using Item = QVariantList; // one stored item without its id

struct MojiScreen {
    QPointer<FrmMoji> form;
    explicit MojiScreen(qint16 direction = 0) : form(new FrmMoji("12", direction, 1)) {
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form));
        QTest::qWait(10); // the queued activation
    }
    SpreadGrid* grid() const { return form->findChild<SpreadGrid*>("vaSpread"); }
    void click(const char* name) const {
        QTest::mouseClick(form->findChild<QPushButton*>(name), Qt::LeftButton);
    }
    // Types the cells from the text column on, each committed with Enter.
    void typeRow(int row, const QStringList& cells) const {
        for (int c = 0; c < cells.size(); ++c) {
            grid()->setFocus();
            grid()->SetActiveCell(FrmMoji::ColText + c, row);
            PressKey(Qt::Key_Delete);
            TypeText(cells[c]);
            PressKey(Qt::Key_Return);
        }
    }
};

class TestMoji : public QObject {
    Q_OBJECT
private slots:
    // A save replaces every item of the page (even one stored meanwhile) by the rows with a text,
    // in grid order under new ids; an unchanged one keeps values beyond the cells' limits. A blank
    // number fails it all, keeping the typing. 戻る leaves unsaved; no direction, no 画像取込.
    void saveKeepsStoredValuesAndFilledRowsInGridOrder() {
        OpenAppFolder app; // page 12 holding 45 items, ids from 100 on
        app.AddTemplate("1");
        app.AddPage("12", "1", "1", 0, 1);
        app.Exec("with recursive n(i) as (select 1 union all select i + 1 from n where i < 45) "
                 "insert into moji select 99+i, 12, '項目'||i, 9, i, i+50, 2*i, 5, 1, i%3 from n");
        app.Exec("replace into moji values (100, 12, '左', 36, 3.03030303030303, 0.1+0.2, .5, 200, "
                 "31, 5), (101, 12, replace(hex(zeroblob(1500)), '00', '字'), 10.25, 2000, 1e-5, "
                 "20, 0, 1, 1), (103, 12, 'O''Brien様', 9.5, 1, 2, 3, 4, 5, -1)");
        auto stored = [&] {
            return app.Rows("select * from moji order by moji_id",
                            {"moji", "p_size", "p_left", "p_right", "p_top", "p_col_count",
                             "p_row_count", "p_position"});
        };
        QList<Item> items = stored();
        MessageRecorder recorder;
        MojiScreen back; // 戻る leaves without saving
        back.typeRow(2, {"x"});
        back.click("CmdBack");
        MojiScreen().click("CmdOK");
        QCOMPARE(stored(), items);
        MojiScreen moji{-1};
        moji.typeRow(1, {""}); // the stored item goes
        moji.typeRow(3, {"「見積」''", "12", "15.5", "60", "", "10", "2"});
        moji.grid()->SetListIndex(FrmMoji::ColAlign, 3, 2);
        moji.typeRow(5, {"   ", "9", "1", "2", "3", "4", "5"});
        moji.typeRow(9, {"様", "20", "1000", "1000", "1000", "150", "30"});
        moji.click("CmdImage");
        PressKey(Qt::Key_Escape);
        QTest::qWait(20);
        QCOMPARE(QApplication::activeWindow(), moji.form.data());
        moji.click("CmdOK");
        QCOMPARE(stored(), items);
        moji.typeRow(3, {"「見積」''", "12", "15.5", "60", "40.5"}); // the rest as typed before
        app.Exec("insert into moji (moji_id, page_id, moji) select 300, 12, 'a'");
        moji.click("CmdOK");
        QTRY_VERIFY(moji.form.isNull());
        items[2] = Item{"「見積」''", 12, 15.5, 60, 40.5, 10, 2, 2};
        items[4] = Item{"   ", 9, 1, 2, 3, 4, 5, items[4][7]};
        items[8] = Item{"様", 20, 1000, 1000, 1000, 150, 30, items[8][7]};
        items.removeFirst();
        QCOMPARE(stored(), items);
        QCOMPARE(recorder.texts(), QStringList{"データ修正に失敗しました。\r"}); // and no other
        QCOMPARE(app.Scalar("select count(*) as n from moji where moji_id > 44"), 0);
    }
};

QTEST_MAIN(TestMoji)
#include "tst_moji.moc"
