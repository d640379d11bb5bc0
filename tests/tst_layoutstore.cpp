// The layout store on a temporary keyed database, without screens: id
// allocation, what it writes reads back the same, a failure leaves nothing
// half-written, copies and deletes take pages and items along.
#include "TestSupport.h"
#include "common/Globals.h"
#include "common/Numbers.h"
#include "layout/LayoutStore.h"
#include "layout/PaperSizes.h"
#include "platform/Database.h"

#include <QtTest>

class TestLayoutStore : public QObject {
    Q_OBJECT
private slots:
    void idsRecordsetsAndEngineErrors();
    void templatesPagesCopiesAndDeletes();
    void itemsKeepTheirStoredValues();
    void everyPastedNumberIsChecked();
    void paperSizesAgreeWithQt();
};

namespace {
TextItemTexts item(const QString& text, QStringList numbers, qint16 align) {
    TextItemTexts t;
    t.text = text;
    t.align = align;
    for (int n = 0; n < TextItemTexts::NumberCount; ++n)
        t.numbers[n] = numbers.value(n);
    return t;
}
QStringList pageNumbers(const QList<Page>& pages) {
    QStringList list;
    for (const Page& p : pages)
        list << p.id + ":" + p.pageNo + ":" + QString::number(p.direction) + ":" +
                    QString::number(p.size);
    return list;
}
} // namespace

void TestLayoutStore::idsRecordsetsAndEngineErrors() {
    OpenAppFolder app;
    QCOMPARE(Layout().NextId("moji", "moji_id"), qint16(1));
    // A template inserted with its id only reads as the empty name.
    app.Exec("insert into template (template_id) select 3");
    app.Exec("insert into template (template_id) select 41");
    QCOMPARE(Layout().NextId("template", "template_id"), qint16(42));
    auto rs = LayoutDatabase->OpenRecordset("select * from template where template_id = 3");
    QVERIFY(!rs->IsNull("TEMPLATE_NAME"));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, rs->Field("no_such_column"));
    rs->MoveNext();
    QVERIFY(rs->EOF_());
    QVERIFY_THROWS_EXCEPTION(DatabaseError, rs->Field("template_name"));
    rs->Close();
    // The highest id comes back once its row is deleted.
    app.Exec("delete from template where template_id = 41");
    QCOMPARE(Layout().NextId("template", "template_id"), qint16(4));
    // Ids stay within 16 bits, and an orphan page is refused.
    QVERIFY_THROWS_EXCEPTION(DatabaseError,
                             app.Exec("insert into template (template_id) select 32768"));
    try {
        app.Exec("insert into page (page_id, template_id, page_no) select 9, 77, 1");
        QFAIL("no error");
    } catch (const DatabaseError& e) {
        QVERIFY2(QString(e.what()).contains("FOREIGN KEY constraint failed"), e.what());
    }
    // A Null is no value: the page's paper size was never written.
    app.Exec("insert into page (page_id, template_id, page_no) select 2, 3, 1");
    QVERIFY_THROWS_EXCEPTION(DatabaseError, Layout().Pages("3"));
}

void TestLayoutStore::templatesPagesCopiesAndDeletes() {
    OpenAppFolder app;
    LayoutStore store = Layout();
    store.CreateTemplate();
    QCOMPARE(store.CreateTemplate(), QString("2"));

    // New rows get the next ids in row order; the grid lists them by number.
    store.SaveTemplate("2", "O'Hara 御中 '",
                       {Page{"", "2", 1, 0}, Page{"", "", -1, -1}, Page{"", " 1 ", 0, 4}});
    QCOMPARE(store.TemplateName("2"), QString("O'Hara 御中 '"));
    QCOMPARE(pageNumbers(store.Pages("2")), (QStringList{"2:1:0:4", "1:2:1:0"}));
    QVERIFY(store.Pages("1").isEmpty());

    // The copy's pages (after another template's page 3) come in the order
    // they were made, with their items.
    store.SaveTemplate("1", "", {Page{"", "1", 0, 0}});
    store.SaveItems("1", {item("a", {"10", "1", "2", "3", "4", "1"}, 0)});
    QCOMPARE(store.CopyTemplate("2"), QString("3"));
    QCOMPARE(pageNumbers(store.Pages("3")), (QStringList{"5:1:0:4", "4:2:1:0"}));
    QCOMPARE(store.Items("4").at(0).numbers, store.Items("1").at(0).numbers);

    // A row with an id and a number updates, one with an id only deletes.
    store.SaveTemplate("2", "", {Page{"1", "3", 0, 2}, Page{"2", "", 0, 4}});
    QCOMPARE(pageNumbers(store.Pages("2")), QStringList{"1:3:0:2"});
    store.DeleteTemplate("2");
    QVERIFY(store.Pages("2").isEmpty() && store.Items("1").isEmpty());
    QCOMPARE(store.Items("4").size(), 1);
    QCOMPARE(store.Templates().size(), 2);
}

void TestLayoutStore::itemsKeepTheirStoredValues() {
    OpenAppFolder app;
    LayoutStore store = Layout();
    const QString t = store.CreateTemplate();
    store.SaveTemplate(t, "", {Page{"", "1", 0, 1}});
    store.SaveItems("1", {item("'御中'", {"10.5", "3.03030303030303", "80", "35", "10", "1"}, -1),
                          item(" ", {"9", "1", "2", "3", "4", "2"}, 2)});
    const QList<TextItemTexts> items = store.Items("1");
    QCOMPARE(items.size(), 2);
    QCOMPARE(items[0].text + items[1].text, QString("'御中' "));
    QCOMPARE(items[0].align, qint16(-1));
    QCOMPARE(items[0].exact, TextItemTexts().exact);

    // A value more precise than its shown text is kept aside at full precision.
    app.Exec("update moji set p_left = 3.0303030303030303 where moji_id = 1");
    const TextItemTexts precise = store.Items("1").at(0);
    QCOMPARE(precise.numbers[TextItemTexts::Left], QString("3.03030303030303"));
    QCOMPARE(TextToDouble(precise.exact[TextItemTexts::Left]), 3.0303030303030303);
    QCOMPARE(store.ItemsToPrint("1").at(0).pLeft, 3.0303030303030303);

    const TextItemTexts added = item("新規項目", {"10.5", "1", "2", "3", "20", "1"}, 0);
    QCOMPARE(store.InsertItem("1", added), QString("3"));

    // One item read back by its id, as the grid shows it, whatever the
    // page's other items hold.
    app.Exec("update moji set p_size = null where moji_id = 2");
    QVERIFY_THROWS_EXCEPTION(DatabaseError, store.Items("1"));
    const TextItemTexts one = store.Item("1", "3");
    QVERIFY(one.text == added.text && one.numbers == added.numbers && one.align == added.align);
    QCOMPARE(store.Item("1", "1").exact, precise.exact);
    // Another page's item: no item.
    store.SaveTemplate(t, "", {Page{"1", "1", 0, 1}, Page{"", "2", 0, 1}});
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, store.Item("2", "3"));
}

// Every number the store pastes into a statement, typed or passed on, is
// checked first: one that is no plain literal is refused, and what the same
// write did before it is rolled back.
void TestLayoutStore::everyPastedNumberIsChecked() {
    OpenAppFolder app;
    LayoutStore store = Layout();
    const QString t = store.CreateTemplate();
    store.SaveTemplate(t, "before", {Page{"", "1", 0, 1}});
    const QStringList good = {"10", "1", "2", "3", "4", "1"};
    store.SaveItems("1", {item("keep", good, 0)});

    const QString attack = "1 or 1=1";
    QList<std::function<void()>> attempts;
    for (int n = 0; n < TextItemTexts::NumberCount; ++n) {
        QStringList numbers = good;
        numbers[n] = attack;
        attempts << [&store, numbers] { store.SaveItems("1", {item("a", numbers, 0)}); }
                 << [&store, numbers] { store.InsertItem("1", item("a", numbers, 0)); };
    }
    // Rows before the refused one are rolled back with it.
    attempts << [&] { store.SaveItems("1", {item("a", good, 0), item("b", {attack}, 0)}); };
    attempts <<
        [&] {
            store.SaveTemplate(t, "after", {Page{"", "2", 0, 0}, Page{"", attack, 0, 0}});
        } <<
        [&] {
            store.SaveTemplate(t, "", {Page{"1", attack, 0, 0}});
        } <<
        [&] {
            store.SaveTemplate(t, "", {Page{attack, "", 0, 0}});
        }
             << [&] { store.SaveTemplate(attack, "", {}); } << [&] { store.DeleteTemplate(attack); }
             << [&] { store.CopyTemplate(attack); } << [&] { store.TemplateName(attack); }
             << [&] { store.Pages(attack); } << [&] { store.Items(attack); }
             << [&] { store.ItemsToPrint(attack); } << [&] { store.Item(attack, "1"); }
             << [&] { store.SaveItems(attack, {}); }
             << [&] { store.InsertItem(attack, item("a", good, 0)); };
    for (const auto& attempt : attempts)
        QVERIFY_THROWS_EXCEPTION(ConversionError, attempt());
    QCOMPARE(app.Scalar("select count(*) as n from template"), 1);
    QCOMPARE(store.TemplateName(t), QString("before"));
    QCOMPARE(pageNumbers(store.Pages(t)), QStringList{"1:1:0:1"});
    QCOMPARE(store.Items("1").size(), 1);
    QCOMPARE(store.Items("1").at(0).text, QString("keep"));
    QVERIFY(!LayoutWorkspace->InTransaction());
}

void TestLayoutStore::paperSizesAgreeWithQt() {
    for (const PaperSize& size : PaperSizes::All()) {
        QCOMPARE(PaperSizes::Find(size.code), &size);
        QCOMPARE(QPageSize(size.pageSizeId).size(QPageSize::Millimeter),
                 QSizeF(size.widthMm, size.heightMm));
        QCOMPARE(SheetSizeMm(size.code, PaperDirections::Landscape),
                 QSizeF(size.heightMm, size.widthMm));
    }
    QVERIFY(!PaperSizes::Find(-1) && !PaperSizes::Find(5));
}

QTEST_MAIN(TestLayoutStore)
#include "tst_layoutstore.moc"
