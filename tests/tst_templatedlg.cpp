// The template dialog driven as a user does: choosing, copying and deleting templates.
#include "TestSupport.h"
#include "common/Globals.h"
#include "layout/LayoutStore.h"
#include "pages/FrmPage.h"
#include "templates/FrmMenu.h"
#include "templates/FrmTemplateDlg.h"

#include <QListWidget>
#include <QPushButton>
#include <QtTest>

namespace {

struct Dialog {
    QPointer<FrmTemplateDlg> form = new FrmTemplateDlg;
    Dialog() {
        form->show();
        (void)QTest::qWaitForWindowActive(form);
    }
    QListWidget* list() const { return form->findChild<QListWidget*>("LstPreview"); }
    QStringList entries() const {
        QStringList texts;
        for (int i = 0; i < list()->count(); ++i)
            texts.append(list()->item(i)->text());
        return texts;
    }
    void ok() const { QTest::mouseClick(form->findChild<QPushButton*>("CmdOK"), Qt::LeftButton); }
};

// A template's pages and items, their stored values in order, without the ids.
QList<QVariantList> dumpTemplate(AppFolderFixture& app, const QString& id) {
    return app.Rows("select * from page left join moji using (page_id) where template_id = " + id +
                        " order by page_id, moji_id",
                    {"page_no", "paper_direction", "paper_size", "moji", "p_size", "p_left",
                     "p_right", "p_top", "p_col_count", "p_row_count", "p_position"});
}

void makeTemplate(AppFolderFixture& app, const QString& id, const QString& name, int pages,
                  int items) {
    app.AddTemplate(id);
    app.NameTemplate(name, id);
    for (int p = 1; p <= pages; ++p) {
        const QString pageId = QString::number(Layout().NextId("page", "page_id"));
        app.AddPage(pageId, id, QString::number(31 - p), p % 2, p % 5);
        for (int i = 1; i <= items; ++i)
            app.AddItem(QString::number(Layout().NextId("moji", "moji_id")), pageId,
                        QString("'%1' 御中 %2").arg(p).arg(i), "10.5", "3.03030303030303",
                        QString::number(20 + i), "35", "10", "2", i % 3);
    }
}

} // namespace

class TestTemplateDlg : public QObject {
    Q_OBJECT
private slots:
    void chooseCopyDelete() {
        OpenAppFolder app;
        makeTemplate(app, "3", "O'Brien商事", 30, 3);
        makeTemplate(app, "7", "請求書", 0, 0);
        const QList<QVariantList> source = dumpTemplate(app, "3");
        TemplateMode = 0; // outside the template modes OK only chooses; Cancel returns to the menu
        Dialog choose;
        QCOMPARE(choose.entries(), QStringList({"O'Brien商事", "請求書"}));
        choose.list()->setCurrentRow(1);
        choose.ok();
        QVERIFY(CurrentTemplateId == "7" && choose.form->isVisible() && !VisibleScreen<FrmPage>());
        QTest::mouseClick(choose.form->findChild<QPushButton*>("CmdCancel"), Qt::LeftButton);
        QTRY_VERIFY(choose.form.isNull());
        QVERIFY(VisibleScreen<FrmMenu>());
        TemplateMode = 1;
        Dialog d;
        // A double click (a click, then the second press) does what OK does.
        const QRect r = d.list()->visualItemRect(d.list()->item(0));
        QTest::mouseClick(d.list()->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(d.list()->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(CurrentTemplateId, QString("8"));
        QCOMPARE(dumpTemplate(app, "8"), source);
        QVERIFY(VisibleScreen<FrmPage>());
        QTRY_VERIFY(d.form.isNull());                       // the dialog closed and was released
        QCOMPARE(Layout().CopyTemplate("7"), QString("9")); // no pages: its row, no name yet
        QVERIFY(Layout().TemplateName("9").isEmpty() && dumpTemplate(app, "9").isEmpty());
        makeTemplate(app, "10", "big", 31, 1); // past 30 pages: fails, leaves no trace
        QVERIFY_THROWS_EXCEPTION(std::exception, Layout().CopyTemplate("10"));
        QCOMPARE(app.Scalar("select count(*) as n from template"), 5);
        CloseAllScreens();
        TemplateMode = 3;
        Dialog del;
        MessageRecorder recorder;
        recorder.answer = QMessageBox::No;
        del.list()->setCurrentRow(0);
        del.ok();
        QCOMPARE(recorder.texts(), QStringList{"O'Brien商事を削除してよろしいですか？\r"});
        QCOMPARE(recorder.shown.first().buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(app.Scalar("select count(*) as n from template"), 5);
        recorder.answer = QMessageBox::Yes;
        del.ok();
        QCOMPARE(del.entries(), QStringList({"請求書", "", "", "big"}));
        del.ok(); // nothing is selected again: OK says so and gives the focus to the list
        QCOMPARE(recorder.texts().last(), "テンプレートが選択されていません。\r");
        QCOMPARE(QApplication::focusWidget(), del.list());
        PressKey(Qt::Key_Down); // from the top
        del.ok();
        QCOMPARE(del.entries(), QStringList({"", "", "big"}));
    }
};

QTEST_MAIN(TestTemplateDlg)
#include "tst_templatedlg.moc"
