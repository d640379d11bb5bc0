// The layout database: id allocation, recordsets, the delivered file's rules,
// the error trap with its transaction guard, and the exclusive open.
#include "TestSupport.h"
#include "common/ErrorTrap.h"
#include "common/Globals.h"
#include "common/LayoutDb.h"
#include "common/LayoutFiles.h"
#include "common/Messages.h"
#include "common/Statements.h"
#include "platform/Database.h"

#include <QtTest>

class TestLayoutDb : public QObject {
    Q_OBJECT
private slots:
    void nextIdRules();
    void nextIdOverflowReachesTheTrap();
    void recordsetKeepsNullApartFromEmpty();
    void textsRoundTrip();
    void deletesCascade();
    void engineErrorsCarryTheEngineMessage();
    void keyIsRequired();
    void exclusiveOpenKeepsOtherProcessesOut();
};

void TestLayoutDb::nextIdRules() {
    OpenAppFolder app;
    QCOMPARE(NextId("template", "template_id"), qint16(1));
    QCOMPARE(SqlText, QString("select max(template.template_id) as max_id from template"));
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
        LayoutDatabase->Execute(Statements::InsertTemplate("100"));
        CurrentTemplateId = QString::number(NextId("template", "template_id"));
        LayoutDatabase->Execute(Statements::InsertTemplate(CurrentTemplateId));
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
    app.Exec(Statements::InsertTemplate("1"));
    app.Exec("insert into page (page_id, template_id, page_no) select 2, 1, 1");
    auto rs = LayoutDatabase->OpenRecordset(Statements::SelectTemplate("1"));
    QVERIFY(!rs->EOF_());
    QCOMPARE(rs->Field("template_name").toString(), QString());
    QVERIFY(!rs->IsNull("template_name"));
    QCOMPARE(FieldText(*rs, "TEMPLATE_NAME"), QString());
    QVERIFY_THROWS_EXCEPTION(DatabaseError, rs->Field("no_such_column"));
    rs->MoveNext();
    QVERIFY(rs->EOF_());
    QVERIFY_THROWS_EXCEPTION(DatabaseError, rs->Field("template_name"));
    rs->Close();

    auto page = LayoutDatabase->OpenRecordset(Statements::SelectPagesByNo("1"));
    QVERIFY(page->IsNull("paper_size"));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, FieldText(*page, "paper_size"));
    QCOMPARE(FieldNumberText(*page, "page_no"), QString("1"));
}

void TestLayoutDb::textsRoundTrip() {
    OpenAppFolder app;
    app.Exec(Statements::InsertTemplate("1"));
    app.Exec(Statements::UpdateTemplateName("O'Hara 御中 '", "1"));
    app.Exec(Statements::InsertPage("1", "1", "1", 0, 1));
    app.Exec(Statements::InsertItem("1", "1", "'御中'", "10.5", "3.03030303030303", "80", "35",
                                    "10", "1", -1));
    auto t = LayoutDatabase->OpenRecordset(Statements::SelectTemplate("1"));
    QCOMPARE(FieldText(*t, "template_name"), QString("O'Hara 御中 '"));
    auto m = LayoutDatabase->OpenRecordset(Statements::SelectItemsOrdered("1"));
    QCOMPARE(FieldText(*m, "moji"), QString("'御中'"));
    QCOMPARE(FieldNumberText(*m, "p_size"), QString("10.5"));
    QCOMPARE(FieldNumberText(*m, "p_left"), QString("3.03030303030303"));
    QCOMPARE(FieldNumberText(*m, "p_right"), QString("80"));
    QCOMPARE(FieldInt16(*m, "p_position"), qint16(-1));
}

void TestLayoutDb::deletesCascade() {
    OpenAppFolder app;
    app.Exec(Statements::InsertTemplate("1"));
    app.Exec(Statements::InsertPage("1", "1", "1", 0, 1));
    app.Exec(Statements::InsertPage("2", "1", "2", 0, 1));
    app.Exec(Statements::InsertItem("1", "1", "x", "10", "1", "2", "3", "4", "1", 0));
    app.Exec(Statements::InsertItem("2", "2", "y", "10", "1", "2", "3", "4", "1", 0));
    app.Exec(Statements::DeletePage("2"));
    QCOMPARE(app.Scalar("select count(*) as n from moji"), 1);
    app.Exec(Statements::DeleteTemplate("1"));
    QCOMPARE(app.Scalar("select count(*) as n from page"), 0);
    QCOMPARE(app.Scalar("select count(*) as n from moji"), 0);
    // So a template made after the deleted highest one inherits nothing.
    app.Exec(Statements::InsertTemplate(QString::number(NextId("template", "template_id"))));
    QCOMPARE(app.Scalar("select count(*) as n from page where template_id = 1"), 0);
    // Ids stay within 16 bits, and an orphan page is refused.
    QVERIFY_THROWS_EXCEPTION(DatabaseError, app.Exec(Statements::InsertTemplate("32768")));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, app.Exec(Statements::InsertPage("9", "77", "1", 0, 0)));
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
    app.Exec(Statements::InsertTemplate("1"));
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
