// The layout database: id allocation, recordsets, the delivered file's rules,
// engine errors, and the keyed exclusive open.
#include "TestSupport.h"
#include "common/Globals.h"
#include "common/LayoutFiles.h"
#include "layout/LayoutStore.h"
#include "platform/Database.h"

#include <QtTest>

class TestLayoutDb : public QObject {
    Q_OBJECT
private slots:
    void nextIdRules();
    void recordsetKeepsNullApartFromEmpty();
    void engineErrorsCarryTheEngineMessage();
    void exclusiveOpenKeepsOtherProcessesOut();
};

void TestLayoutDb::nextIdRules() {
    OpenAppFolder app;
    QCOMPARE(Layout().NextId("moji", "moji_id"), qint16(1));
    app.Exec("insert into template (template_id) select 3");
    app.Exec("insert into template (template_id) select 41");
    QCOMPARE(Layout().NextId("template", "template_id"), qint16(42));
    // The highest id comes back once its row is deleted.
    app.Exec("delete from template where template_id = 41");
    QCOMPARE(Layout().NextId("template", "template_id"), qint16(4));
    // Ids stay within 16 bits, and an orphan page is refused.
    QVERIFY_THROWS_EXCEPTION(DatabaseError,
                             app.Exec("insert into template (template_id) select 32768"));
    QVERIFY_THROWS_EXCEPTION(
        DatabaseError,
        app.Exec("insert into page (page_id, template_id, page_no) select 9, 77, 1"));
}

void TestLayoutDb::recordsetKeepsNullApartFromEmpty() {
    OpenAppFolder app;
    // A template inserted with its id only reads as the empty name.
    app.Exec("insert into template (template_id) select 1");
    app.Exec("insert into page (page_id, template_id, page_no) select 2, 1, 1");
    auto rs = LayoutDatabase->OpenRecordset("select * from template where template_id = 1");
    QVERIFY(!rs->IsNull("TEMPLATE_NAME"));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, rs->Field("no_such_column"));
    rs->MoveNext();
    QVERIFY(rs->EOF_());
    QVERIFY_THROWS_EXCEPTION(DatabaseError, rs->Field("template_name"));
    rs->Close();

    // A Null is no value: the page's paper size was never written.
    auto page = LayoutDatabase->OpenRecordset("select * from page where template_id = 1");
    QVERIFY(page->IsNull("paper_size"));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, Layout().Pages("1"));
}

void TestLayoutDb::engineErrorsCarryTheEngineMessage() {
    OpenAppFolder app;
    try {
        app.Exec("select * from nowhere");
        QFAIL("no error");
    } catch (const DatabaseError& e) {
        QVERIFY2(QString(e.what()).contains("no such table: nowhere"), e.what());
    }
}

void TestLayoutDb::exclusiveOpenKeepsOtherProcessesOut() {
    OpenAppFolder app;
    app.Exec("insert into template (template_id) select 1");
    const QString sql = "PRAGMA key='4817k205';\nselect 'rows:' || count(*) from template;\n";
    const QString held = RunSqlcipherShell(app.file(LayoutFiles::Data), sql, nullptr);
    QVERIFY2(!held.contains("rows:") && held.contains("locked", Qt::CaseInsensitive),
             qPrintable(held));
    app.CloseLayoutDatabase();
    // Released, it opens with its key and with no other.
    QVERIFY_THROWS_EXCEPTION(DatabaseError,
                             Database(app.file(LayoutFiles::Data), false, false, ";pwd=wrong"));
    QCOMPARE(RunSqlcipherShell(app.file(LayoutFiles::Data), sql, nullptr).trimmed(),
             QString("rows:1"));
}

QTEST_MAIN(TestLayoutDb)
#include "tst_layoutdb.moc"
