// The text item grid driven as a user does: typing items, saving them all at
// once, and what survives a refused save, an unchanged save and leaving.
#include "TestSupport.h"
#include "items/FrmMoji.h"
#include "platform/SpreadGrid.h"

#include <QPushButton>
#include <QtTest>

namespace {

// One stored item without its id, as the columns hold it.
using Item = QVariantList;
Item item(const QString& text, QVariant size = 10.5, QVariant left = 20, QVariant right = 80,
          QVariant top = 30, QVariant cols = 8, QVariant rows = 1, QVariant align = 0) {
    return {text, size, left, right, top, cols, rows, align};
}

// A template with page 12 holding `items`, ids from `firstId` on.
struct Data {
    AppFolderFixture app;
    explicit Data(const QList<Item>& items = {}, int firstId = 1) {
        app.OpenLayoutDatabase();
        app.Exec("insert into template (template_id) select 1");
        app.Exec("insert into page (page_id, template_id, page_no, paper_direction, paper_size) "
                 "select 12, 1, 1, 0, 1");
        for (const Item& i : items) {
            QStringList values = {QString::number(firstId++), "12",
                                  "'" + i[0].toString().replace("'", "''") + "'"};
            for (int n = 1; n < i.size(); ++n)
                values.append(i[n].toString());
            app.Exec("insert into moji select " + values.join(", "));
        }
    }
    QList<Item> stored() {
        return app.Rows("select * from moji order by moji_id",
                        {"moji", "p_size", "p_left", "p_right", "p_top", "p_col_count",
                         "p_row_count", "p_position"});
    }
};

struct MojiScreen {
    QPointer<FrmMoji> form;
    explicit MojiScreen(qint16 direction = 0) {
        form = new FrmMoji("12", direction, 1);
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form));
        QTest::qWait(10); // the activation, queued after the first showing
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
    QStringList row(int r) const {
        QStringList cells;
        for (int c = FrmMoji::ColText; c < FrmMoji::ColAlign; ++c)
            cells.append(grid()->CellText(c, r));
        return cells;
    }
    void save() const {
        click("CmdOK");
        QTRY_VERIFY(form.isNull()); // closed without a message
    }
};

} // namespace

class TestMoji : public QObject {
    Q_OBJECT
    // Every box answers at once; one the test does not take back fails it.
    std::optional<MessageRecorder> recorder_;
private slots:
    void init() { recorder_.emplace(); }
    void cleanup() {
        const QStringList unexpected = recorder_->texts();
        CloseAllScreens();
        recorder_.reset();
        QVERIFY2(unexpected.isEmpty(), qPrintable("unexpected message: " + unexpected.join('|')));
    }

    // A save stores the grid's rows with a text, in grid order under new
    // ids, in place of every item of the page (even one stored meanwhile).
    // An unchanged save keeps every stored value: more than 40 items, values
    // beyond the cells' precision and ranges, a 1,500-character text, an
    // unknown code. A blank number fails the whole save and keeps what was
    // typed.
    void saveKeepsStoredValuesAndFilledRowsInGridOrder() {
        QList<Item> items;
        for (int i = 1; i <= 45; ++i)
            items.append(item(QString("項目%1").arg(i), 9, i, i + 50, 2 * i, 5, 1, i % 3));
        items[0] = item("左", 36, 3.03030303030303, 0.1 + 0.2, 0.5, 200, 31, 5);
        items[1] = item(QString(1500, QChar(u'字')), 10.25, 2000, 1e-5, 20, 0, 1, 1);
        items[3] = item("O'Brien様", 9.5, 1, 2, 3, 4, 5, -1);
        Data data(items, 100);
        MojiScreen().save();
        QCOMPARE(data.stored(), items);

        MojiScreen moji;
        moji.typeRow(1, {""}); // the stored item goes
        moji.typeRow(3, {"「見積」''", "12", "15.5", "60", "", "10", "2"});
        moji.grid()->SetListIndex(FrmMoji::ColAlign, 3, 2);
        moji.typeRow(5, {"   ", "9", "1", "2", "3", "4", "5"});
        moji.typeRow(9, {"様", "20", "1000", "1000", "1000", "150", "30"});
        moji.click("CmdOK");
        QCOMPARE(recorder_->texts(), QStringList{"データ修正に失敗しました。\r"});
        recorder_->shown.clear();
        QCOMPARE(data.stored(), items);
        QVERIFY(moji.form && moji.form->isVisible() && moji.row(1).first().isEmpty());
        QCOMPARE(moji.row(3), QStringList({"「見積」''", "12", "15.5", "60", "", "10", "2"}));

        moji.typeRow(3, {"「見積」''", "12", "15.5", "60", "40.5"});
        data.app.Exec("insert into moji (moji_id, page_id, moji) select 300, 12, 'a'");
        moji.save();
        items[2] = item("「見積」''", 12, 15.5, 60, 40.5, 10, 2, 2);
        items[4] = item("   ", 9, 1, 2, 3, 4, 5, items[4][7]);
        items[8] = item("様", 20, 1000, 1000, 1000, 150, 30, items[8][7]);
        items.removeFirst();
        QCOMPARE(data.stored(), items);
        QList<QVariantList> ids;
        for (int id = 1; id <= items.size(); ++id)
            ids.append(QVariantList{id});
        QCOMPARE(data.app.Rows("select moji_id from moji order by moji_id", {"moji_id"}), ids);
    }

    void imageWithoutDirectionAndEscapeDoNothing() {
        Data data({item("a")});
        const QStringList filled = {"請求書", "10.5", "20", "95.5", "30", "8", "1"};
        for (qint16 direction : {-1, 2}) {
            MojiScreen moji{direction};
            moji.typeRow(2, filled);
            moji.click("CmdImage");
            moji.grid()->setFocus();
            PressKey(Qt::Key_Escape);
            PressKey(Qt::Key_Escape);
            QTest::qWait(20);
            QCOMPARE(QApplication::activeWindow(), moji.form.data());
            QCOMPARE(moji.row(2), filled);
            moji.click("CmdBack"); // leaves without saving or asking
            QTRY_VERIFY(moji.form.isNull());
        }
        QCOMPARE(data.stored(), QList<Item>{item("a")});
    }
};

QTEST_MAIN(TestMoji)
#include "tst_moji.moc"
