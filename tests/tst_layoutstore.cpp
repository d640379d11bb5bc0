// The layout store on a temporary keyed database, and the table of paper sizes.
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
    void store();
};

static TextItemTexts item(const QString& text, const std::array<QString, 6>& numbers,
                          qint16 align = 0) {
    return {text, numbers, {}, align};
}
static QStringList pageNumbers(const QList<Page>& pages) {
    QStringList list;
    for (const Page& p : pages)
        list << QStringLiteral("%1:%2:%3:%4").arg(p.id, p.pageNo).arg(p.direction).arg(p.size);
    return list;
}

void TestLayoutStore::store() {
    OpenAppFolder app;
    LayoutStore store = Layout();
    store.CreateTemplate();
    QCOMPARE(store.CreateTemplate(), QString("2"));
    // New rows get the next ids in row order; the grid lists them by number.
    store.SaveTemplate("2", "O'Hara 御中 '",
                       {Page{"", "2", 1, 0}, Page{"", "", -1, -1}, Page{"", " 1 ", 0, 4}});
    QCOMPARE(store.TemplateName("2"), QString("O'Hara 御中 '"));
    QCOMPARE(pageNumbers(store.Pages("2")), (QStringList{"2:1:0:4", "1:2:1:0"}));
    store.SaveTemplate("1", "", {Page{"", "1", 0, 0}});
    // A value more precise than its shown text is kept aside, and printed so.
    store.SaveItems("1", {item("'御中'", {"10.5", "3.03030303030303", "80", "35", "10", "1"}, -1),
                          item(" ", {"9", "1", "2", "3", "4", "2"}, 2)});
    app.Exec("update moji set p_left = 3.0303030303030303 where moji_id = 1");
    const TextItemTexts added = item("新規項目", {"10.5", "1", "2", "3", "20", "1"});
    QCOMPARE(store.InsertItem("1", added), QString("3"));
    const QList<TextItemTexts> items = store.Items("1");
    QCOMPARE(items[0].text + items[1].text + items[2].text, QString("'御中' 新規項目"));
    QCOMPARE(items[0].align, qint16(-1));
    QCOMPARE(items[0].numbers[TextItemTexts::Left], QString("3.03030303030303"));
    QCOMPARE(TextToDouble(items[0].exact[TextItemTexts::Left]), 3.0303030303030303);
    QCOMPARE(store.ItemsToPrint("1").at(0).pLeft, 3.0303030303030303);
    QCOMPARE(store.Item("1", "1").exact, items[0].exact);
    // The copy's pages (after page 3) come in the order made, with their items.
    QCOMPARE(store.CopyTemplate("2"), QString("3"));
    QCOMPARE(pageNumbers(store.Pages("3")), (QStringList{"5:1:0:4", "4:2:1:0"}));
    // One item read back by its id, whatever the page's other items hold.
    app.Exec("update moji set p_size = null where moji_id = 5");
    QVERIFY_THROWS_EXCEPTION(DatabaseError, store.Items("4"));
    QCOMPARE(store.Item("4", "6").numbers, added.numbers);
    QCOMPARE(store.Item("4", "4").numbers, items[0].numbers);
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, store.Item("5", "6")); // another page's
    // A row with an id and a number updates, one with an id only deletes.
    store.SaveTemplate("2", "", {Page{"1", "3", 0, 2}, Page{"2", "", 0, 4}});
    QCOMPARE(pageNumbers(store.Pages("2")), QStringList{"1:3:0:2"});
    store.DeleteTemplate("2");
    QVERIFY(store.Pages("2").isEmpty() && store.Items("1").isEmpty());
    QCOMPARE(store.Item("4", "6").text, added.text);
    QCOMPARE(store.Templates().size(), 2);
    // A number that is no plain literal is refused, and the same write is rolled back.
    const auto all = [&] {
        return app.Rows("select * from template left join page using (template_id) left join moji "
                        "using (page_id) order by page_id, moji_id",
                        {"template_name", "page_id", "page_no", "moji", "p_size", "p_left"});
    };
    const QList<QVariantList> before = all();
    const QString x = "1 or 1=1";
    QList<std::function<void()>> attempts = {
        [&] { store.SaveTemplate(x, "", {}); }, [&] { store.DeleteTemplate(x); },
        [&] { store.CopyTemplate(x); }, [&] { store.SaveItems(x, {}); },
        [&] { store.InsertItem(x, added); }};
    for (const Page& bad : {Page{"", x, 0, 0}, Page{"4", x, 0, 0}, Page{x, "", 0, 0}})
        attempts << [&, bad] { store.SaveTemplate("3", "after", {Page{"", "2", 0, 0}, bad}); };
    for (int n = 0; n < TextItemTexts::NumberCount; ++n) {
        TextItemTexts bad = added;
        bad.numbers[n] = x;
        attempts << [&, bad] { store.SaveItems("4", {added, bad}); };
        attempts << [&, bad] { store.InsertItem("4", bad); };
    }
    for (const auto& attempt : attempts)
        QVERIFY_THROWS_EXCEPTION(ConversionError, attempt());
    QCOMPARE(all(), before);
    QVERIFY(!LayoutWorkspace->InTransaction());
    // Next ids follow the highest; ids stay within 16 bits, and an orphan page is refused.
    app.Exec("insert into template (template_id) values (41)");
    QCOMPARE(Layout().NextId("template", "template_id"), qint16(42));
    app.Exec("delete from template where template_id = 41");
    QCOMPARE(Layout().NextId("template", "template_id"), qint16(4));
    for (const char* bad : {"insert into template (template_id) select 32768",
                            "insert into page (page_id, template_id, page_no) select 9, 77, 1"})
        QVERIFY_THROWS_EXCEPTION(DatabaseError, app.Exec(bad));
    // A Null is no value: the page's paper size was never written.
    app.Exec("insert into page (page_id, template_id, page_no) select 9, 1, 7");
    QVERIFY_THROWS_EXCEPTION(DatabaseError, Layout().Pages("1"));
    // Each paper size agrees with Qt's, and turns for landscape.
    for (const PaperSize& size : PaperSizes::All()) {
        const QSizeF mm(size.widthMm, size.heightMm);
        QCOMPARE(PaperSizes::Find(size.code), &size);
        QCOMPARE(QPageSize(size.pageSizeId).size(QPageSize::Millimeter), mm);
        QCOMPARE(SheetSizeMm(size.code, PaperDirections::Landscape), mm.transposed());
    }
    QVERIFY(!PaperSizes::Find(-1) && !PaperSizes::Find(5));
}

QTEST_MAIN(TestLayoutStore)
#include "tst_layoutstore.moc"
