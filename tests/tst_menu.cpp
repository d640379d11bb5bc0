// The main menu driven as the user drives it: the template buttons, a new
// template, the settings read at every activation, the modal screens and the end.
#include "TestSupport.h"
#include "common/Globals.h"
#include "common/LayoutFiles.h"
#include "common/Program.h"
#include "pages/FrmPage.h"
#include "platform/Database.h"
#include "templates/FrmMenu.h"
#include "templates/FrmTemplateDlg.h"

#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace {

void WriteFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) > 0);
}

// The settings globals: left, top, font, col, row, align.
QString Globals() {
    return QString::asprintf("%g %g %g %d %d %d", OffsetLeft, OffsetTop, DefaultFontSize,
                             DefaultColCount, DefaultRowCount, DefaultAlign);
}

// The visible screen of type T, if any.
template <class T> T* Visible() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<T*>(w); s && s->isVisible())
            return s;
    return nullptr;
}

} // namespace

class TestMenu : public QObject {
    Q_OBJECT

private slots:
    void init() {
        app_ = std::make_unique<AppFolderFixture>();
        app_->OpenLayoutDatabase();
        messages_ = std::make_unique<MessageRecorder>();
        ResetProgramEnded();
        // Values that no settings file holds, to see what a load changes.
        OffsetLeft = OffsetTop = DefaultFontSize = 9;
        DefaultColCount = DefaultRowCount = 88;
        DefaultAlign = 2;
        TemplateMode = 0;
    }
    void cleanup() {
        delete menu_.data();
        for (QWidget* w : QApplication::topLevelWidgets()) // the screens it handed over to
            if (qobject_cast<Form*>(w))
                delete w;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        messages_.reset();
        app_.reset();
    }
    void modeButtonsOpenTheTemplateDialog_data();
    void modeButtonsOpenTheTemplateDialog();
    void insertCreatesTemplatesUpToTheLastId();
    void activationLoadsSettings_data();
    void activationLoadsSettings();
    void modalScreensReloadSettingsOnClosing_data();
    void modalScreensReloadSettingsOnClosing();
    void endReleasesTheDatabase();

private:
    // Shows the menu as start-up does and waits for its first activation.
    void Open() {
        menu_ = new FrmMenu;
        menu_->Load();
        menu_->show();
        QVERIFY(QTest::qWaitForWindowActive(menu_));
        QTest::qWait(20); // the activation is a queued call after the first show
    }
    QPushButton* Button(const QString& name) const { return menu_->findChild<QPushButton*>(name); }
    QString IniPath() const { return app_->file(QStringLiteral("vesk.ini")); }

    std::unique_ptr<AppFolderFixture> app_;
    std::unique_ptr<MessageRecorder> messages_;
    QPointer<FrmMenu> menu_;
};

void TestMenu::modeButtonsOpenTheTemplateDialog_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("mode");
    QTest::newRow("複写登録") << "CmdCopy" << 1;
    QTest::newRow("削除") << "CmdDelete" << 3;
}

void TestMenu::modeButtonsOpenTheTemplateDialog() {
    QFETCH(QString, button);
    QFETCH(int, mode);
    Open();
    QTest::mouseClick(Button(button), Qt::LeftButton);
    QCOMPARE(TemplateMode, qint16(mode));
    // The menu hands over to the template dialog and is released.
    QTRY_VERIFY(menu_.isNull() && Visible<FrmTemplateDlg>());
    QCOMPARE(messages_->texts(), QStringList());
}

void TestMenu::insertCreatesTemplatesUpToTheLastId() {
    TemplateMode = 2;
    for (const char* id : {"1", "2"}) {
        Open();
        QTest::mouseClick(Button("CmdInsert"), Qt::LeftButton);
        QCOMPARE(CurrentTemplateId, QString(id));
        // The menu hands over to the page setup screen on the new template.
        QTRY_VERIFY(menu_.isNull() && Visible<FrmPage>());
        delete Visible<FrmPage>();
    }
    QCOMPARE(app_->Scalar("select count(*) as n from template where template_name = ''"), 2);
    QCOMPARE(TemplateMode, qint16(2)); // the template dialog's mode is left alone

    // Past the last id nothing is added and the menu stays.
    app_->Exec("insert into template (template_id, template_name) values (32767, 'last')");
    Open();
    QTest::mouseClick(Button("CmdInsert"), Qt::LeftButton);
    QCOMPARE(messages_->texts(), QStringList{QStringLiteral("データ登録に失敗しました。\r")});
    QCOMPARE(app_->Scalar("select count(*) as n from template"), 3);
    QCOMPARE(CurrentTemplateId, QStringLiteral("2"));
    QVERIFY(!LayoutWorkspace->InTransaction());
    QTest::qWait(20);
    QVERIFY(menu_ && menu_->isVisible());
}

void TestMenu::activationLoadsSettings_data() {
    QTest::addColumn<QByteArray>("ini"); // none when empty
    QTest::addColumn<bool>("fails");
    QTest::addColumn<QString>("globals"); // afterwards
    QTest::newRow("complete") << QByteArray("[limit]\nleft=1.5\ntop=-0.5\n[default]\n"
                                            "font=10.5\ncol=20\nrow=2\nalign=1\n")
                              << false << "1.5 -0.5 10.5 20 2 1";
    QTest::newRow("no file") << QByteArray() << true << "9 9 9 88 88 2";
    QTest::newRow("col missing")
        << QByteArray("[limit]\nleft=1.5\ntop=-0.5\n[default]\nfont=12\nrow=2\nalign=1\n") << true
        << "1.5 -0.5 12 88 88 2";
}

void TestMenu::activationLoadsSettings() {
    QFETCH(QByteArray, ini);
    QFETCH(bool, fails);
    QFETCH(QString, globals);
    if (ini.isEmpty())
        QVERIFY(QFile::remove(IniPath()));
    else
        WriteFile(IniPath(), ini);
    Open();
    const QStringList shown = {QStringLiteral("設定ファイル読み込みに失敗しました。\r"),
                               QStringLiteral("処理中、異常が発生しました。\r")};
    QTRY_COMPARE(messages_->texts(), fails ? shown : QStringList());
    QCOMPARE(Globals(), globals);

    // The menu stays usable.
    QTest::mouseClick(Button("CmdUpdate"), Qt::LeftButton);
    QCOMPARE(TemplateMode, qint16(2));
    QCOMPARE(messages_->texts(), fails ? shown : QStringList());
}

void TestMenu::modalScreensReloadSettingsOnClosing_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("caption");
    QTest::newRow("誤差設定") << "CmdGosa" << QStringLiteral("誤差設定");
    QTest::newRow("バージョン情報") << "CmdVersion" << QStringLiteral("VESKのバージョン情報");
}

void TestMenu::modalScreensReloadSettingsOnClosing() {
    QFETCH(QString, button);
    QFETCH(QString, caption);
    Open();
    QString shown;
    QTimer drive; // edits the file while the modal screen is up, then closes it
    connect(&drive, &QTimer::timeout, this, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            drive.stop();
            shown = modal->windowTitle();
            WriteFile(IniPath(),
                      "[limit]\nleft=2.5\ntop=0\n[default]\nfont=1\ncol=2\nrow=3\nalign=0\n");
            modal->close(); // the close box
        }
    });
    drive.start(10);
    QTest::mouseClick(Button(button), Qt::LeftButton);
    QCOMPARE(shown, caption);
    // Back on the menu, its activation read the file at once.
    QCOMPARE(Globals(), QStringLiteral("2.5 0 1 2 3 0"));
    QCOMPARE(menu_->findChildren<Form*>().size(), 0); // the modal screen was released
    QCOMPARE(messages_->texts(), QStringList());
}

// Last, as the program has ended afterwards.
void TestMenu::endReleasesTheDatabase() {
    Open();

    // "終了" ends the program with the database file free again: it opens exclusively.
    QTest::mouseClick(Button("CmdEnd"), Qt::LeftButton);
    QTRY_VERIFY(ProgramEnded());
    QVERIFY(LayoutDatabase == nullptr);
    QCOMPARE(messages_->texts(), QStringList());
    Database reopened(app_->file(LayoutFiles::Data), true, false, LayoutFiles::Connect);
    QVERIFY(reopened.IsOpen());
    reopened.Close();
}

QTEST_MAIN(TestMenu)
#include "tst_menu.moc"
