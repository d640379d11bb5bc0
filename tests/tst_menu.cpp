// The main menu driven as the user drives it: the template buttons, a new
// template, the settings read at every activation, the modal screens and the end.
#include "TestSupport.h"
#include "common/Globals.h"
#include "common/Program.h"
#include "pages/FrmPage.h"
#include "templates/FrmMenu.h"
#include "templates/FrmTemplateDlg.h"

#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

namespace {

// The settings globals: left, top, font, col, row, align.
QString Globals() {
    return QString::asprintf("%g %g %g %d %d %d", OffsetLeft, OffsetTop, DefaultFontSize,
                             DefaultColCount, DefaultRowCount, DefaultAlign);
}

} // namespace

class TestMenu : public QObject {
    Q_OBJECT

private slots:
    void init() {
        app_ = std::make_unique<OpenAppFolder>();
        messages_ = std::make_unique<MessageRecorder>();
        ResetProgramEnded();
        // Values that no settings file holds, to see what a load changes.
        OffsetLeft = OffsetTop = DefaultFontSize = 9;
        DefaultColCount = DefaultRowCount = 88;
        DefaultAlign = 2;
        TemplateMode = 0;
    }
    void cleanup() {
        CloseAllScreens(); // the menu and the screens it handed over to
        messages_.reset();
        app_.reset();
    }
    void templateButtonsHandOver();
    void modalScreens();
    void endReleasesTheDatabase_data();
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
    // Clicks the button and, once the modal screen it opens is up, acts on it.
    void ClickWithModal(const QString& button, const std::function<void(QWidget*)>& act) {
        QTimer drive;
        connect(&drive, &QTimer::timeout, this, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                drive.stop();
                act(modal);
            }
        });
        drive.start(10);
        QTest::mouseClick(Button(button), Qt::LeftButton);
    }

    std::unique_ptr<AppFolderFixture> app_;
    std::unique_ptr<MessageRecorder> messages_;
    QPointer<FrmMenu> menu_;
};

void TestMenu::templateButtonsHandOver() {
    app_->Exec("insert into template (template_id) values (1)");
    const QStringList buttons = {"CmdInsert", "CmdCopy", "CmdUpdate", "CmdDelete"};
    for (int mode = 0; mode < buttons.size(); ++mode) {
        Open();
        QTest::mouseClick(Button(buttons[mode]), Qt::LeftButton);
        QCOMPARE(TemplateMode, qint16(mode));
        // The menu hands over to the page setup screen on a new template, or
        // to the template dialog, and is released.
        QTRY_VERIFY(menu_.isNull());
        QWidget* next = mode ? (QWidget*)VisibleScreen<FrmTemplateDlg>() : VisibleScreen<FrmPage>();
        QVERIFY(next);
        delete next;
        if (mode == 0)
            QCOMPARE(CurrentTemplateId, QString("2"));
    }
    // Past the last id nothing is added and the menu stays.
    app_->Exec("insert into template (template_id, template_name) values (32767, 'last')");
    Open();
    QTest::mouseClick(Button("CmdInsert"), Qt::LeftButton);
    QCOMPARE(messages_->texts(), QStringList{QStringLiteral("データ登録に失敗しました。\r")});
    QCOMPARE(app_->Scalar("select count(*) as n from template"), 3);
    QVERIFY(menu_);
}

void TestMenu::modalScreens() {
    QFile::remove(IniPath());
    Open();
    // The first activation read the settings: both messages, the globals kept.
    QTRY_COMPARE(messages_->texts(),
                 QStringList({QStringLiteral("設定ファイル読み込みに失敗しました。\r"),
                              QStringLiteral("処理中、異常が発生しました。\r")}));
    QCOMPARE(Globals(), QStringLiteral("9 9 9 88 88 2"));
    // The menu stays usable; back from a modal screen (closed by its close
    // box once the file is written), its activation reads the file at once.
    ClickWithModal("CmdGosa", [&](QWidget* modal) {
        WriteBytes(IniPath(),
                   "[limit]\nleft=2.5\ntop=0\n[default]\nfont=1\ncol=2\nrow=3\nalign=0\n");
        modal->close();
    });
    QCOMPARE(Globals(), QStringLiteral("2.5 0 1 2 3 0"));
    // The program ending (or anything else) deletes the menu while the version
    // screen is open above it: the menu goes once that screen has returned.
    QStringList seen;
    ClickWithModal("CmdVersion", [&](QWidget* modal) {
        menu_->deleteLater();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        seen.append(menu_ ? "kept" : "deleted");
        modal->findChild<QPushButton*>("cmdOK")->click();
    });
    QCOMPARE(seen, QStringList{"kept"});
    QTRY_VERIFY(menu_.isNull());
}

// Last, as the program has ended afterwards.
void TestMenu::endReleasesTheDatabase_data() {
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("終了") << false;
    QTest::newRow("close box") << true;
}

void TestMenu::endReleasesTheDatabase() {
    QFETCH(bool, closeBox);
    Open();
    // "終了", and the close box as "終了", close the database and end the program.
    if (closeBox)
        menu_->close();
    else
        QTest::mouseClick(Button("CmdEnd"), Qt::LeftButton);
    QTRY_VERIFY(ProgramEnded());
    QVERIFY(LayoutDatabase == nullptr);
    QVERIFY(menu_.isNull() || !menu_->isVisible());
}

QTEST_MAIN(TestMenu)
#include "tst_menu.moc"
