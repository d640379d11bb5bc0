// The main menu: its template buttons, settings read at each activation, modal screens, end.
#include "TestSupport.h"
#include "common/Globals.h"
#include "common/Program.h"
#include "pages/FrmPage.h"
#include "templates/FrmMenu.h"
#include "templates/FrmTemplateDlg.h"

#include <QPushButton>
#include <QtTest>
#include <functional>
#include <optional>

class TestMenu : public QObject {
    Q_OBJECT

    std::optional<OpenAppFolder> app_;
    std::optional<MessageRecorder> messages_;
    QPointer<FrmMenu> menu_;
    void Open() {
        menu_ = new FrmMenu;
        menu_->Load();
        menu_->show();
        QVERIFY(QTest::qWaitForWindowActive(menu_));
        QTest::qWait(20); // the activation is a queued call after the first show
    }
    void Click(const QString& name) {
        QTest::mouseClick(menu_->findChild<QPushButton*>(name), Qt::LeftButton);
    }
    // Clicks; once the modal screen is up, acts and closes it by its close box.
    void ClickWithModal(const QString& button, const std::function<void()>& act) {
        QTimer::singleShot(0, this, [&] {
            QVERIFY(QApplication::activeModalWidget());
            act();
            QApplication::activeModalWidget()->close();
        });
        Click(button);
    }

private slots:
    void init() {
        app_.emplace();
        messages_.emplace();
        ResetProgramEnded();
    }

    void buttonsHandOverAndEnd() {
        app_->AddTemplate("1");
        QFile::remove(app_->file("vesk.ini"));
        Open();
        QTRY_COMPARE(messages_->texts(), // the first activation read the settings
                     QStringList({"設定ファイル読み込みに失敗しました。\r",
                                  "処理中、異常が発生しました。\r"}));
        // The settings are read again after a modal screen; a menu deleted under one goes after it.
        WriteBytes(app_->file("vesk.ini"),
                   "[limit]\nleft=2.5\ntop=0\n[default]\nfont=1\ncol=2\nrow=3\nalign=0\n");
        ClickWithModal("CmdGosa", [] {});
        QCOMPARE(OffsetLeft, 2.5);
        ClickWithModal("CmdVersion", [&] {
            menu_->deleteLater();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(menu_);
        });
        QTRY_VERIFY(menu_.isNull());
        const QStringList buttons = {"CmdInsert", "CmdCopy", "CmdUpdate", "CmdDelete"};
        for (qint16 mode = 0; mode < buttons.size(); ++mode) {
            Open();
            Click(buttons[mode]);
            QCOMPARE(TemplateMode, mode);
            QTRY_VERIFY(menu_.isNull()); // handed over and released
            QVERIFY(mode ? bool(VisibleScreen<FrmTemplateDlg>()) : bool(VisibleScreen<FrmPage>()));
            CloseAllScreens();
        }
        QCOMPARE(CurrentTemplateId, QString("2"));
        app_->Exec("insert into template (template_id) values (32767)"); // the last id
        Open();
        Click("CmdInsert");
        QCOMPARE(messages_->texts().last(), "データ登録に失敗しました。\r");
        CloseAllScreens();
        for (const bool closeBox : {false, true}) { // last: the program has ended afterwards
            init();
            Open();
            closeBox ? (void)menu_->close() : Click("CmdEnd"); // the close box is "終了"
            QTRY_VERIFY(ProgramEnded() && LayoutDatabase == nullptr);
        }
    }
};

QTEST_MAIN(TestMenu)
#include "tst_menu.moc"
