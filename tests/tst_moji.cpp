// The text item grid driven as a user does: typing items, saving them all at
// once, and what survives a refused save, an unchanged save and leaving.
#include "PdfSheets.h"
#include "TestSupport.h"
#include "common/Globals.h"
#include "common/Navigation.h"
#include "items/FrmMoji.h"
#include "pages/FrmPage.h"
#include "print/PrintEngine.h"
#include "platform/SpreadGrid.h"

#include <QPushButton>
#include <QtTest>

namespace {

constexpr int kPage = 12;
const QStringList kFilled = {"請求書", "10.5", "20", "95.5", "30", "8", "1"};

// One stored item without its id, as the columns hold it.
using Item = QVariantList;
Item item(const QString& text, QVariant size = 10.5, QVariant left = 20, QVariant right = 80,
          QVariant top = 30, QVariant cols = 8, QVariant rows = 1, QVariant align = 0) {
    return {text, size, left, right, top, cols, rows, align};
}

// A template with one page.
struct Data {
    AppFolderFixture app;
    Data() {
        app.OpenLayoutDatabase();
        app.Exec("insert into template (template_id) select 1");
        app.Exec(QString("insert into page (page_id, template_id, page_no, paper_direction, "
                         "paper_size) select %1, 1, 1, 0, 1")
                     .arg(kPage));
    }
    // The page's stored items in order, and their ids.
    QList<Item> stored(QList<qlonglong>* ids = nullptr) {
        QList<Item> items =
            app.Rows(QString("select * from moji where page_id = %1 order by moji_id").arg(kPage),
                     {"moji_id", "moji", "p_size", "p_left", "p_right", "p_top", "p_col_count",
                      "p_row_count", "p_position"});
        for (Item& i : items) {
            const qlonglong id = i.takeFirst().toLongLong();
            if (ids)
                ids->append(id);
        }
        return items;
    }
    void insert(int id, const Item& i) {
        QStringList values = {QString::number(id), QString::number(kPage),
                              "'" + i[0].toString().replace("'", "''") + "'"};
        for (int n = 1; n < i.size(); ++n)
            values.append(i[n].toString());
        app.Exec("insert into moji (moji_id, page_id, moji, p_size, p_left, p_right, p_top, "
                 "p_col_count, p_row_count, p_position) select " +
                 values.join(", "));
    }
};

struct MojiScreen {
    QPointer<FrmMoji> form;
    explicit MojiScreen(qint16 direction = 0) {
        form = new FrmMoji(QString::number(kPage), direction, 1);
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form));
        QTest::qWait(10); // the activation, queued after the first showing
    }
    SpreadGrid* grid() const { return form->findChild<SpreadGrid*>("vaSpread"); }
    void click(const char* name) const {
        QTest::mouseClick(form->findChild<QPushButton*>(name), Qt::LeftButton);
    }
    // Replaces a cell's content by typing, committed with Enter.
    void typeCell(int col, int row, const QString& text) const {
        grid()->setFocus();
        grid()->SetActiveCell(col, row);
        PressKey(Qt::Key_Delete);
        TypeText(text);
        PressKey(Qt::Key_Return);
    }
    void typeRow(int row, const QStringList& cells) const {
        for (int c = 0; c < cells.size(); ++c)
            typeCell(FrmMoji::ColText + c, row, cells[c]);
    }
    QStringList row(int r) const {
        QStringList cells;
        for (int c = FrmMoji::ColText; c <= FrmMoji::ColAlign; ++c)
            cells.append(grid()->CellText(c, r));
        return cells;
    }
    // Saves; the screen closes without a message.
    void save() const {
        click("CmdOK");
        QTRY_VERIFY(form.isNull());
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
    void emptyPageOpensBlankAndAllBlankSaveDeletes() {
        Data data;
        MojiScreen moji;
        QCOMPARE(moji.grid()->MaxRows(), 40);
        for (int r = 1; r <= 40; ++r)
            QVERIFY(moji.row(r) == QStringList(8, QString()) &&
                    moji.grid()->ListIndex(FrmMoji::ColAlign, r) == -1);
        // An all-blank save deletes the page's items, even one stored meanwhile.
        data.insert(1, item("a")), moji.save();
        QCOMPARE(data.stored(), QList<Item>());
    }

    void saveKeepsFilledRowsInGridOrder() {
        Data data;
        data.insert(7, item("old"));
        data.insert(8, item("'御中'"));
        MojiScreen moji;
        moji.typeCell(FrmMoji::ColText, 1, ""); // the stored item goes
        moji.typeRow(3, {"「見積」''", "12", "15.5", "60", "40.5", "10", "2"});
        moji.grid()->SetListIndex(FrmMoji::ColAlign, 3, 2);
        moji.typeRow(5, {"   ", "9", "1", "2", "3", "4", "5"});
        moji.grid()->SetListIndex(FrmMoji::ColAlign, 5, 0);
        moji.typeRow(9, {"様", "20", "1000", "1000", "1000", "150", "30"});
        moji.save();
        // New consecutive ids in grid order.
        QList<qlonglong> ids;
        QCOMPARE(data.stored(&ids),
                 QList<Item>({item("'御中'"), item("「見積」''", 12, 15.5, 60, 40.5, 10, 2, 2),
                              item("   ", 9, 1, 2, 3, 4, 5, 0),
                              item("様", 20, 1000, 1000, 1000, 150, 30, -1)}));
        QCOMPARE(ids, QList<qlonglong>({1, 2, 3, 4}));
    }

    void blankNumberFailsTheWholeSave() {
        Data data;
        data.insert(3, item("a"));
        MojiScreen moji;
        moji.typeCell(FrmMoji::ColText, 1, "changed");
        const QStringList third = {"請求書", "10.5", "20", "95.5", "", "8", "1"};
        moji.typeRow(3, third);
        moji.click("CmdOK");

        QCOMPARE(recorder_->texts(), QStringList{"データ修正に失敗しました。\r"});
        recorder_->shown.clear();
        QCOMPARE(data.stored(), QList<Item>{item("a")});
        QVERIFY(moji.form && moji.form->isVisible() && moji.row(1).first() == "changed");
        QCOMPARE(moji.row(3).mid(0, 7), third);
    }

    void unchangedSaveKeepsEveryStoredValue() {
        Data data;
        // What image placement can store: more than 40 items, values beyond the
        // cells' precision and ranges, a 1,500-character text, an unknown code.
        QList<Item> items;
        for (int i = 1; i <= 45; ++i)
            items.append(item(QString("項目%1").arg(i), 9, i, i + 50, 2 * i, 5, 1, i % 3));
        items[0] = item("左", 36, 3.03030303030303, 0.1 + 0.2, 0.5, 200, 31, 5);
        items[1] = item(QString(1500, QChar(u'字')), 10.25, 2000, 1e-5, 20, 0, 1, 1);
        items[2] = item("O'Brien様", 9.5, 1, 2, 3, 4, 5, -1);
        for (int i = 0; i < items.size(); ++i)
            data.insert(100 + i, items[i]);

        MojiScreen().save();
        QCOMPARE(data.stored(), items);
    }

    void imageWithoutDirectionAndEscapeDoNothing() {
        Data data;
        data.insert(1, item("a"));
        for (qint16 direction : {-1, 2}) {
            MojiScreen moji{direction};
            moji.typeRow(2, kFilled);
            moji.click("CmdImage");
            moji.grid()->setFocus();
            PressKey(Qt::Key_Escape);
            PressKey(Qt::Key_Escape);
            QTest::qWait(20);
            QCOMPARE(QApplication::activeWindow(), moji.form.data());
            QCOMPARE(moji.row(2).mid(0, 7), kFilled);
            moji.click("CmdBack"); // leaves without saving or asking
            QTRY_VERIFY(moji.form.isNull());
        }
        QCOMPARE(data.stored(), QList<Item>{item("a")});
    }
    void printedWhereTyped() {
        Data data;
        MojiScreen m;
        m.typeRow(1, {"ABCDE", "10.5", "20", "80", "30", "5", "1"});
        m.grid()->SetListIndex(FrmMoji::ColAlign, 1, 0);
        m.typeRow(2, {"XYZ", "12", "40", "100.5", "55.5", "3", "1"});
        m.grid()->SetListIndex(FrmMoji::ColAlign, 2, 2);
        m.save();
        QTemporaryDir dir;
        PrintToPdfFile(dir.filePath("sheet.pdf"));
        CurrentTemplateId = "1";
        ShowPageSetup();
        QTest::mouseClick(VisibleScreen<FrmPage>()->findChild<QPushButton*>("CmdPrint"),
                          Qt::LeftButton);
        const QList<PdfSheets::Sheet> sheets = PdfSheets::ReadSheets(dir.filePath("sheet.pdf"));
        QCOMPARE(sheets[0].lines(), QStringList({"ABCDE", "XYZ"}));
        // Left-aligned from its left edge, right-aligned to its right edge, each
        // line's top at the item's top.
        const QRectF abc = sheets[0].words[0].box, xyz = sheets[0].words[1].box;
        QVERIFY(qAbs(abc.left() - 20) < 0.05 && qAbs(abc.top() - 30) < 0.05 &&
                qAbs(xyz.right() - 100.5) < 0.05 && qAbs(xyz.top() - 55.5) < 0.05);
    }
};

QTEST_MAIN(TestMoji)
#include "tst_moji.moc"
