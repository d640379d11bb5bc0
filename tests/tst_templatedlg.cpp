// The template dialog driven as a user does: listing, choosing, copying and
// deleting templates, and what each failure leaves behind.
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
        QApplication::processEvents();
    }
    QListWidget* list() const { return form->findChild<QListWidget*>("LstPreview"); }
    QStringList entries() const {
        QStringList texts;
        for (int i = 0; i < list()->count(); ++i)
            texts.append(list()->item(i)->text());
        return texts;
    }
    void select(int row) const { list()->setCurrentRow(row); }
    void ok() const { QTest::mouseClick(form->findChild<QPushButton*>("CmdOK"), Qt::LeftButton); }
};

// A template's pages, "no/direction/size:" then each item's texts.
QStringList dumpTemplate(const QString& templateId) {
    QStringList out;
    for (const Page& page : Layout().Pages(templateId)) {
        out.append(QString("%1/%2/%3:").arg(page.pageNo).arg(page.direction).arg(page.size));
        for (const TextItemTexts& item : Layout().Items(page.id))
            out.last() += QStringList(item.numbers.begin(), item.numbers.end()).join('|') +
                          QString("|%1|%2;").arg(item.align).arg(item.text);
    }
    return out;
}

// Template `id` named `name` with `pages` pages of `items` items each.
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
    void cleanup() { CloseAllScreens(); }

    void chooseAndCopy() {
        OpenAppFolder app;
        makeTemplate(app, "3", "請求書", 30, 3);
        makeTemplate(app, "7", "請求書", 0, 0);
        const QStringList source = dumpTemplate("3");
        QCOMPARE(source.size(), 30);
        TemplateMode = 0; // outside the template modes OK only chooses; Cancel returns to the menu
        Dialog choose;
        QCOMPARE(choose.entries(), QStringList({"請求書", "請求書"}));
        choose.select(1);
        choose.ok();
        QCOMPARE(CurrentTemplateId, QString("7"));
        QVERIFY(choose.form->isVisible() && !VisibleScreen<FrmPage>());
        QTest::mouseClick(choose.form->findChild<QPushButton*>("CmdCancel"), Qt::LeftButton);
        QTRY_VERIFY(choose.form.isNull());
        QVERIFY(VisibleScreen<FrmMenu>());
        CloseAllScreens();
        TemplateMode = 1;
        Dialog d;
        // A double click (a click, then the second press) does what OK does.
        const QRect r = d.list()->visualItemRect(d.list()->item(0));
        QTest::mouseClick(d.list()->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(d.list()->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(CurrentTemplateId, QString("8"));
        QCOMPARE(dumpTemplate("8"), source);
        QVERIFY(VisibleScreen<FrmPage>());
        QTRY_VERIFY(d.form.isNull());                       // the dialog closed and was released
        QCOMPARE(Layout().CopyTemplate("7"), QString("9")); // no pages: its row, no name yet
        QVERIFY(Layout().TemplateName("9").isEmpty() && dumpTemplate("9").isEmpty());
        makeTemplate(app, "10", "big", 31, 1); // past 30 pages: fails, leaves no trace
        QVERIFY_THROWS_EXCEPTION(std::exception, Layout().CopyTemplate("10"));
        QCOMPARE(app.Scalar("select count(*) as n from template"), 5);
    }

    void deleteAnsweredNoThenYes() {
        OpenAppFolder app;
        makeTemplate(app, "1", "O'Brien商事", 2, 3);
        makeTemplate(app, "2", "納品書", 1, 1);
        makeTemplate(app, "3", "t3", 0, 0);
        TemplateMode = 3;
        Dialog d;
        MessageRecorder recorder;
        QVERIFY(QTest::qWaitForWindowActive(d.form));
        recorder.answer = QMessageBox::No;
        d.select(0);
        d.ok();
        QCOMPARE(recorder.texts(), QStringList{"O'Brien商事を削除してよろしいですか？\r"});
        QCOMPARE(recorder.shown.first().buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(app.Scalar("select count(*) as n from template"), 3);
        recorder.answer = QMessageBox::Yes;
        d.ok();
        QCOMPARE(d.entries(), QStringList({"納品書", "t3"}));
        d.ok(); // nothing is selected again: OK says so and gives the focus to the list
        QCOMPARE(recorder.texts().last(), "テンプレートが選択されていません。\r");
        QCOMPARE(QApplication::focusWidget(), d.list());
        PressKey(Qt::Key_Down); // from the top
        d.ok();
        QCOMPARE(d.entries(), QStringList({"t3"}));
    }
};

QTEST_MAIN(TestTemplateDlg)
#include "tst_templatedlg.moc"
