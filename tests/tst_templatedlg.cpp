// The template dialog driven as a user does: listing, choosing, copying and
// deleting templates, and what each failure leaves behind.
#include "TestSupport.h"
#include "common/Globals.h"
#include "layout/LayoutStore.h"
#include "pages/FrmPage.h"
#include "platform/Database.h"
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
    void select(int row) const {
        list()->setCurrentRow(row);
        list()->item(row)->setSelected(true);
    }
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
void makeTemplate(AppFolderFixture& app, int id, const QString& name, int pages, int items) {
    app.AddTemplate(QString::number(id));
    app.NameTemplate(name, QString::number(id));
    for (int p = 1; p <= pages; ++p) {
        const QString pageId = QString::number(Layout().NextId("page", "page_id"));
        app.AddPage(pageId, QString::number(id), QString::number(31 - p), qint16(p % 2),
                    qint16(p % 5));
        for (int i = 1; i <= items; ++i)
            app.AddItem(QString::number(Layout().NextId("moji", "moji_id")), pageId,
                        QString("'%1' 御中 %2").arg(p).arg(i), "10.5", "3.03030303030303",
                        QString::number(20 + i), "35", "10", "2", qint16(i % 3));
    }
}

} // namespace

class TestTemplateDlg : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { CloseAllScreens(); }
    void entriesActOnTheirOwnIds();
    void deleteAnsweredNoThenYes();
    void copyUpToThirtyPages();
};

void TestTemplateDlg::entriesActOnTheirOwnIds() {
    OpenAppFolder app;
    makeTemplate(app, 3, "請求書", 1, 1);
    makeTemplate(app, 7, "請求書", 0, 0);
    MessageRecorder recorder;
    TemplateMode = 0;
    {
        // Outside the template modes OK only chooses; Cancel returns to the menu.
        Dialog d;
        QCOMPARE(d.entries(), QStringList({"請求書", "請求書"}));
        d.select(1);
        d.ok();
        QCOMPARE(CurrentTemplateId, QString("7"));
        QVERIFY(recorder.shown.isEmpty() && d.form->isVisible() && !VisibleScreen<FrmPage>());
        QCOMPARE(app.Scalar("select count(*) as n from template"), 2);
        QTest::mouseClick(d.form->findChild<QPushButton*>("CmdCancel"), Qt::LeftButton);
        QTRY_VERIFY(d.form.isNull());
        QVERIFY(VisibleScreen<FrmMenu>());
    }
    CloseAllScreens();
    TemplateMode = 2;
    {
        // A double click (a click, then the second press) does what OK does.
        Dialog d;
        const QRect r = d.list()->visualItemRect(d.list()->item(0));
        QTest::mouseClick(d.list()->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(d.list()->viewport(), Qt::LeftButton, {}, r.center());
        QApplication::processEvents();
        QCOMPARE(CurrentTemplateId, QString("3"));
        QVERIFY(VisibleScreen<FrmPage>());
        QTRY_VERIFY(d.form.isNull()); // the dialog closed and was released
    }
}

void TestTemplateDlg::deleteAnsweredNoThenYes() {
    OpenAppFolder app;
    makeTemplate(app, 1, "O'Brien商事", 2, 3);
    makeTemplate(app, 2, "納品書", 1, 1);
    makeTemplate(app, 3, "t3", 0, 0);
    TemplateMode = 3;
    Dialog d;
    MessageRecorder recorder;
    auto selected = [&] {
        const auto items = d.list()->selectedItems();
        return items.size() == 1 ? items.first()->text() : QString::number(items.size());
    };
    d.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(d.form));
    recorder.answer = QMessageBox::No;
    d.select(0);
    d.ok();
    QCOMPARE(recorder.texts(), QStringList{"O'Brien商事を削除してよろしいですか？\r"});
    QCOMPARE(recorder.shown.first().buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(recorder.shown.first().defaultButton, QMessageBox::Yes);
    QCOMPARE(d.entries(), QStringList({"O'Brien商事", "納品書", "t3"}));
    QCOMPARE(app.Scalar("select count(*) as n from template"), 3);
    QCOMPARE(QApplication::focusWidget(), d.list());

    recorder.answer = QMessageBox::Yes;
    d.select(0);
    d.ok();
    QCOMPARE(d.entries(), QStringList({"納品書", "t3"}));
    QVERIFY(d.form->isVisible());
    // After a delete nothing is selected again: Down starts from the top.
    QCOMPARE(selected(), QString("0"));
    d.list()->setFocus();
    PressKey(Qt::Key_Down);
    QCOMPARE(selected(), QString("納品書"));
    QCOMPARE(app.Scalar("select count(*) as n from moji"), 1);
    // A further delete needs a new selection; with none OK says so and gives
    // the focus to the list.
    d.ok();
    QCOMPARE(d.entries(), QStringList({"t3"}));
    recorder.shown.clear();
    d.ok();
    QCOMPARE(recorder.texts(), QStringList{"テンプレートが選択されていません。\r"});
    QCOMPARE(recorder.shown.first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(QApplication::focusWidget(), d.list());
}

// Up to 30 pages copy whole; more fail and leave no trace.
void TestTemplateDlg::copyUpToThirtyPages() {
    OpenAppFolder app;
    makeTemplate(app, 1, "source", 30, 3);
    makeTemplate(app, 2, "big", 31, 1);
    makeTemplate(app, 3, "空", 0, 0);
    const QStringList source = dumpTemplate("1");
    QCOMPARE(source.size(), 30);
    QVERIFY(source.first().contains("|3.03030303030303|") && source.first().contains("' 御中"));
    const qlonglong pages = app.Scalar("select count(*) as n from page");
    TemplateMode = 1;
    MessageRecorder recorder;
    {
        Dialog d;
        d.select(1);
        d.ok();
        QCOMPARE(recorder.texts(), QStringList{"処理中、異常が発生しました。\r"});
        QCOMPARE(CurrentTemplateId, QString("2"));
        QCOMPARE(app.Scalar("select count(*) as n from template"), 3);
        QCOMPARE(app.Scalar("select count(*) as n from page"), pages);
        QVERIFY(d.form->isVisible() && !VisibleScreen<FrmPage>());
        d.select(0);
        d.ok();
        QApplication::processEvents();
        QCOMPARE(CurrentTemplateId, QString("4"));
        QCOMPARE(dumpTemplate("4"), source);
        CloseAllScreens();
    }
    // A template without pages copies as its row alone, with no name yet.
    Dialog d;
    d.select(2);
    d.ok();
    QCOMPARE(CurrentTemplateId, QString("5"));
    QCOMPARE(Layout().TemplateName("5"), QString());
    QCOMPARE(dumpTemplate("5"), QStringList());
}

QTEST_MAIN(TestTemplateDlg)
#include "tst_templatedlg.moc"
