// The layout database: id allocation, recordsets, the delivered file's rules,
// the error trap with its transaction guard, and the exclusive open.
#include "TestSupport.h"
#include "common/ErrorTrap.h"
#include "common/Globals.h"
#include "common/LayoutFiles.h"
#include "common/Messages.h"
#include "layout/LayoutStore.h"
#include "platform/Database.h"

#include <QtTest>

class TestLayoutDb : public QObject {
    Q_OBJECT
private slots:
    void nextIdRules();
    void nextIdOverflowReachesTheTrap();
    void recordsetKeepsNullApartFromEmpty();
    void deletesCascade();
    void engineErrorsCarryTheEngineMessage();
    void keyIsRequired();
    void exclusiveOpenKeepsOtherProcessesOut();
};

namespace {
qint16 NextId(const QString& table, const QString& column) {
    return Layout().NextId(table, column);
}
} // namespace

void TestLayoutDb::nextIdRules() {
    OpenAppFolder app;
    QCOMPARE(NextId("template", "template_id"), qint16(1));
    app.Exec("insert into template (template_id) select 3");
    app.Exec("insert into template (template_id) select 41");
    QCOMPARE(NextId("template", "template_id"), qint16(42));
    app.Exec("insert into page (page_id, template_id, page_no) select 7, 41, 1");
    QCOMPARE(NextId("page", "page_id"), qint16(8));
    QCOMPARE(NextId("moji", "moji_id"), qint16(1));
    // The highest id comes back once its row is deleted.
    app.Exec("delete from template where template_id = 41");
    QCOMPARE(NextId("template", "template_id"), qint16(4));
}

void TestLayoutDb::nextIdOverflowReachesTheTrap() {
    OpenAppFolder app;
    app.Exec("insert into template (template_id) select 32767");
    MessageRecorder recorder;
    const bool ok = Trap(Msg::InsertFailed, [&] {
        Transaction t(LayoutWorkspace);
        app.Exec("insert into template (template_id) select 100");
        CurrentTemplateId = QString::number(NextId("template", "template_id"));
        app.Exec("insert into template (template_id) select " + CurrentTemplateId);
        t.Commit();
    });
    QVERIFY(!ok);
    QCOMPARE(recorder.texts(), QStringList{"データ登録に失敗しました。\r"});
    // The guard rolled back the row inserted before the failure.
    QCOMPARE(app.Scalar("select count(*) as n from template"), 1);
    QVERIFY(!LayoutWorkspace->InTransaction());
}

void TestLayoutDb::recordsetKeepsNullApartFromEmpty() {
    OpenAppFolder app;
    // A template inserted with its id only reads as the empty name.
    app.Exec("insert into template (template_id) select 1");
    app.Exec("insert into page (page_id, template_id, page_no) select 2, 1, 1");
    auto rs = LayoutDatabase->OpenRecordset("select * from template where template_id = 1");
    QVERIFY(!rs->EOF_());
    QCOMPARE(rs->Field("TEMPLATE_NAME").toString(), QString());
    QVERIFY(!rs->IsNull("template_name"));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, rs->Field("no_such_column"));
    rs->MoveNext();
    QVERIFY(rs->EOF_());
    QVERIFY_THROWS_EXCEPTION(DatabaseError, rs->Field("template_name"));
    rs->Close();
    QCOMPARE(Layout().TemplateName("1"), QString());

    // A Null is no value: the page's paper size was never written.
    auto page = LayoutDatabase->OpenRecordset("select * from page where template_id = 1");
    QVERIFY(page->IsNull("paper_size"));
    QVERIFY(!page->IsNull("page_no"));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, Layout().Pages("1"));
}

void TestLayoutDb::deletesCascade() {
    OpenAppFolder app;
    app.Exec("insert into template (template_id) select 1");
    for (const char* page : {"1", "2"})
        app.Exec(
            QString("insert into page (page_id, template_id, page_no) select %1, 1, %1").arg(page));
    for (const char* item : {"1", "2"})
        app.Exec(QString("insert into moji (moji_id, page_id, moji) select %1, %1, 'x'").arg(item));
    app.Exec("delete from page where page_id = 2");
    QCOMPARE(app.Scalar("select count(*) as n from moji"), 1);
    app.Exec("delete from template where template_id = 1");
    QCOMPARE(app.Scalar("select count(*) as n from page"), 0);
    QCOMPARE(app.Scalar("select count(*) as n from moji"), 0);
    // So a template made after the deleted highest one inherits nothing.
    QCOMPARE(Layout().CreateTemplate(), QString("1"));
    QCOMPARE(app.Scalar("select count(*) as n from page where template_id = 1"), 0);
    // Ids stay within 16 bits, and an orphan page is refused.
    QVERIFY_THROWS_EXCEPTION(DatabaseError,
                             app.Exec("insert into template (template_id) select 32768"));
    QVERIFY_THROWS_EXCEPTION(
        DatabaseError,
        app.Exec("insert into page (page_id, template_id, page_no) select 9, 77, 1"));
}

void TestLayoutDb::engineErrorsCarryTheEngineMessage() {
    OpenAppFolder app;
    try {
        app.Exec("select * from nowhere");
        QFAIL("no error");
    } catch (const DatabaseError& e) {
        QVERIFY2(QString(e.what()).contains("no such table: nowhere"), e.what());
    }
    QVERIFY_THROWS_EXCEPTION(DatabaseError, LayoutWorkspace->CommitTrans());
}

void TestLayoutDb::keyIsRequired() {
    AppFolderFixture app;
    QVERIFY_THROWS_EXCEPTION(DatabaseError,
                             Database(app.file(LayoutFiles::Data), false, false, ";pwd=wrong"));
    int code = 0;
    const QString keyed = RunSqlcipherShell(
        app.file(LayoutFiles::Data),
        "PRAGMA key='4817k205';\nselect 'rows:' || count(*) from template;\n", &code);
    QVERIFY2(keyed.contains("rows:0"), qPrintable(keyed));
}

void TestLayoutDb::exclusiveOpenKeepsOtherProcessesOut() {
    OpenAppFolder app;
    app.Exec("insert into template (template_id) select 1");
    int code = 0;
    const QString sql = "PRAGMA key='4817k205';\nselect 'rows:' || count(*) from template;\n";
    const QString held = RunSqlcipherShell(app.file(LayoutFiles::Data), sql, &code);
    QVERIFY2(!held.contains("rows:"), qPrintable(held));
    QVERIFY2(held.contains("locked", Qt::CaseInsensitive), qPrintable(held));
    const QString write = RunSqlcipherShell(
        app.file(LayoutFiles::Data), "PRAGMA key='4817k205';\ndelete from template;\n", &code);
    QVERIFY2(write.contains("locked", Qt::CaseInsensitive), qPrintable(write));
    app.CloseLayoutDatabase();
    const QString released = RunSqlcipherShell(app.file(LayoutFiles::Data), sql, &code);
    QVERIFY2(released.contains("rows:1"), qPrintable(released));
}

QTEST_MAIN(TestLayoutDb)
#include "tst_layoutdb.moc"
