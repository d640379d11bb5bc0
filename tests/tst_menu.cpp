// The main menu driven as the user drives it: the template buttons, the new
// template, the settings reloaded at every activation, the modal screens
// stacked on it and the end of the program.
#include "TestSupport.h"
#include "common/Globals.h"
#include "common/LayoutFiles.h"
#include "common/Program.h"
#include "pages/FrmPage.h"
#include "platform/Database.h"
#include "templates/FrmMenu.h"
#include "templates/FrmTemplateDlg.h"

#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFontInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

namespace {

const QString ReadFailedShown = QStringLiteral("設定ファイル読み込みに失敗しました。\r");
const QString GeneralFailureShown = QStringLiteral("処理中、異常が発生しました。\r");

void WriteFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(text), text.size());
}

// Calls `open`, which runs a modal screen, and drives that screen with `drive`
// once it is the active window. A screen that `drive` leaves open is closed,
// so a failing check never leaves the test waiting.
void DriveModal(const std::function<void()>& open, const std::function<void(QDialog*)>& drive) {
    bool driven = false;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!modal || !modal->isActiveWindow()) {
            if (clock.elapsed() > 5000)
                poll.stop();
            return;
        }
        poll.stop();
        driven = true;
        drive(modal);
        if (modal->isVisible())
            modal->done(QDialog::Rejected);
    });
    poll.start();
    open();
    poll.stop();
    QVERIFY2(driven, "no modal screen became active");
}

} // namespace

class TestMenu : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void fontNamesResolveToIpaFamilies();
    void layoutAndTabOrder();
    void modeButtonsSetTheMode_data();
    void modeButtonsSetTheMode();
    void insertCreatesTemplates();
    void insertFailsPastTheLastId();
    void activationLoadsSettings_data();
    void activationLoadsSettings();
    void modalScreensReloadSettingsOnClosing_data();
    void modalScreensReloadSettingsOnClosing();
    void endClosesDatabase_data();
    void endClosesDatabase();

private:
    FrmMenu* Open();
    QPushButton* Button(const char* name) const {
        auto* button = menu_ ? menu_->findChild<QPushButton*>(QLatin1String(name)) : nullptr;
        if (!button)
            qFatal("no button %s", name);
        return button;
    }
    QString IniPath() const { return app_->file(QStringLiteral("vesk.ini")); }
    void SetSentinels() {
        OffsetLeft = 7;
        OffsetTop = 8;
        DefaultFontSize = 9;
        DefaultColCount = 77;
        DefaultRowCount = 88;
        DefaultAlign = 2;
    }

    std::unique_ptr<AppFolderFixture> app_;
    std::unique_ptr<MessageRecorder> messages_;
    QPointer<FrmMenu> menu_;
};

// The visible screen of type T, if any.
template <class T> T* Visible() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<T*>(w); s && s->isVisible())
            return s;
    return nullptr;
}

void TestMenu::init() {
    app_ = std::make_unique<AppFolderFixture>();
    app_->OpenLayoutDatabase();
    messages_ = std::make_unique<MessageRecorder>();
    ResetProgramEnded();
    SetSentinels();
    TemplateMode = 0;
    CurrentTemplateId.clear();
}

void TestMenu::cleanup() {
    delete menu_.data();
    // The screens the menu handed over to.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<Form*>(w))
            delete w;
    // Windows that the end of the program scheduled for deletion go now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    messages_.reset();
    app_.reset();
    ResetProgramEnded();
}

// Shows the menu as start-up does and waits for its first activation.
FrmMenu* TestMenu::Open() {
    menu_ = new FrmMenu;
    menu_->Load();
    menu_->show();
    if (!QTest::qWaitForWindowActive(menu_))
        qWarning("the menu did not become active");
    // The activation is a queued call after the first show.
    QTest::qWait(20);
    return menu_;
}

void TestMenu::fontNamesResolveToIpaFamilies() {
    RegisterFontSubstitutions();
    QCOMPARE(QFontInfo(QFont(QStringLiteral("ＭＳ Ｐ明朝"))).family(),
             QStringLiteral("IPAPMincho"));
    QCOMPARE(QFontInfo(QFont(QStringLiteral("ＭＳ Ｐゴシック"))).family(),
             QStringLiteral("IPAPGothic"));

    // The two lower-right buttons of the menu are set in that Gothic at 9.75 points.
    Open();
    for (const char* name : {"CmdVersion", "CmdEnd"}) {
        const QFontInfo info(Button(name)->font());
        QCOMPARE(info.family(), QStringLiteral("IPAPGothic"));
        QCOMPARE(info.pointSizeF(), 9.75);
    }
}

void TestMenu::layoutAndTabOrder() {
    Open();
    QCOMPARE(menu_->windowTitle(), QStringLiteral("メインメニュー"));
    const QPixmap icon = menu_->windowIcon().pixmap(QSize(32, 32));
    QCOMPARE(icon.size(), QSize(32, 32));
    QCOMPARE(icon.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
             QImage(QStringLiteral(":/vesk/icon.png"))
                 .convertToFormat(QImage::Format_ARGB32_Premultiplied));

    // The focus starts at the version button and runs through the frames' buttons.
    QTRY_COMPARE(QApplication::focusWidget(), Button("CmdVersion"));
    QStringList order;
    for (int i = 0; i < 8; ++i) {
        order << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(order, (QStringList{"CmdVersion", "CmdEnd", "CmdCopy", "CmdUpdate", "CmdDelete",
                                 "CmdInsert", "CmdGosa", "CmdVersion"}));

    // Every caption is readable in full and every button lies inside its frame.
    const auto buttons = menu_->findChildren<QPushButton*>();
    QCOMPARE(buttons.size(), 7);
    for (QPushButton* button : buttons) {
        const QFontMetrics fm(button->font());
        QVERIFY2(fm.horizontalAdvance(button->text()) + 8 <= button->width(),
                 qPrintable(button->text()));
        QVERIFY2(fm.height() <= button->height(), qPrintable(button->text()));
        QVERIFY(button->parentWidget()->rect().contains(button->geometry()));
        QVERIFY(!button->autoDefault() && !button->isDefault());
    }
    for (QGroupBox* frame : menu_->findChildren<QGroupBox*>())
        QVERIFY2(frame->fontMetrics().horizontalAdvance(frame->title()) + 16 <= frame->width(),
                 qPrintable(frame->title()));
}

void TestMenu::modeButtonsSetTheMode_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("mode");
    QTest::newRow("複写登録") << "CmdCopy" << 1;
    QTest::newRow("修正") << "CmdUpdate" << 2;
    QTest::newRow("削除") << "CmdDelete" << 3;
}

void TestMenu::modeButtonsSetTheMode() {
    QFETCH(QString, button);
    QFETCH(int, mode);
    Open();
    QTest::mouseClick(Button(qPrintable(button)), Qt::LeftButton);
    QCOMPARE(TemplateMode, qint16(mode));
    QCOMPARE(messages_->texts(), QStringList());
    // The menu hands over to the template dialog and is released.
    QTRY_VERIFY(menu_.isNull());
    QVERIFY(Visible<FrmTemplateDlg>());
    QVERIFY(!Visible<FrmPage>());
    // The new template is not made by these buttons.
    QCOMPARE(app_->Scalar("select count(*) as n from template"), 0);
    QVERIFY(CurrentTemplateId.isEmpty());
}

void TestMenu::insertCreatesTemplates() {
    Open();
    TemplateMode = 2;
    QTest::mouseClick(Button("CmdInsert"), Qt::LeftButton);
    QCOMPARE(messages_->texts(), QStringList());
    QCOMPARE(CurrentTemplateId, QStringLiteral("1"));
    QCOMPARE(app_->Scalar("select count(*) as n from template "
                          "where template_id = 1 and template_name = ''"),
             1);
    QVERIFY(!LayoutWorkspace->InTransaction());
    // The menu hands over to the page setup screen on the new template.
    QTRY_VERIFY(menu_.isNull());
    QVERIFY(Visible<FrmPage>());
    QVERIFY(!Visible<FrmTemplateDlg>());
    delete Visible<FrmPage>();

    Open();
    QTest::mouseClick(Button("CmdInsert"), Qt::LeftButton);
    QCOMPARE(CurrentTemplateId, QStringLiteral("2"));
    QCOMPARE(app_->Scalar("select count(*) as n from template"), 2);
    QCOMPARE(app_->Scalar("select max(template_id) as n from template"), 2);
    // The new template leaves the mode of the template dialog alone.
    QCOMPARE(TemplateMode, qint16(2));
    QCOMPARE(messages_->texts(), QStringList());
}

void TestMenu::insertFailsPastTheLastId() {
    app_->Exec("insert into template (template_id, template_name) values (32767, 'last')");
    Open();
    CurrentTemplateId = QStringLiteral("5");
    QTest::mouseClick(Button("CmdInsert"), Qt::LeftButton);
    QCOMPARE(messages_->texts(), QStringList{QStringLiteral("データ登録に失敗しました。\r")});
    QCOMPARE(app_->Scalar("select count(*) as n from template"), 1);
    QCOMPARE(CurrentTemplateId, QStringLiteral("5"));
    QVERIFY(!LayoutWorkspace->InTransaction());
    QVERIFY(menu_->isVisible());

    // The transaction was rolled back: the database takes the next template.
    app_->Exec("delete from template");
    QTest::mouseClick(Button("CmdInsert"), Qt::LeftButton);
    QCOMPARE(CurrentTemplateId, QStringLiteral("1"));
    QCOMPARE(app_->Scalar("select count(*) as n from template"), 1);
    QCOMPARE(messages_->texts().size(), 1);
}

void TestMenu::activationLoadsSettings_data() {
    QTest::addColumn<bool>("withFile");
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("shown");
    // left, top, font, col, row, align afterwards (the sentinels are 7 8 9 77 88 2).
    QTest::addColumn<QList<double>>("values");
    QTest::newRow("complete") << true
                              << QByteArray("[limit]\nleft=1.5\ntop=-0.5\n[default]\n"
                                            "font=10.5\ncol=20\nrow=2\nalign=1\n")
                              << QStringList() << QList<double>{1.5, -0.5, 10.5, 20, 2, 1};
    QTest::newRow("no file") << false << QByteArray()
                             << QStringList{ReadFailedShown, GeneralFailureShown}
                             << QList<double>{7, 8, 9, 77, 88, 2};
    QTest::newRow("col missing") << true
                                 << QByteArray("[limit]\nleft=1.5\ntop=-0.5\n[default]\n"
                                               "font=12\nrow=2\nalign=1\n")
                                 << QStringList{ReadFailedShown, GeneralFailureShown}
                                 << QList<double>{1.5, -0.5, 12, 77, 88, 2};
}

void TestMenu::activationLoadsSettings() {
    QFETCH(bool, withFile);
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, shown);
    QFETCH(QList<double>, values);
    if (withFile)
        WriteFile(IniPath(), ini);
    else
        QVERIFY(QFile::remove(IniPath()));

    Open();
    QTRY_COMPARE(messages_->texts(), shown);
    const QList<double> loaded = {OffsetLeft,
                                  OffsetTop,
                                  DefaultFontSize,
                                  double(DefaultColCount),
                                  double(DefaultRowCount),
                                  double(DefaultAlign)};
    QCOMPARE(loaded, values);

    // The menu stays usable, and one failure is shown once: the message
    // closing does not activate the menu again.
    QTest::qWait(50);
    QCOMPARE(messages_->texts(), shown);
    QTest::mouseClick(Button("CmdUpdate"), Qt::LeftButton);
    QCOMPARE(TemplateMode, qint16(2));
    QCOMPARE(messages_->texts(), shown);

    // A file edited while the menu is open is read at its next activation.
    WriteFile(IniPath(), "[limit]\nleft=-2\ntop=0.25\n[default]\nfont=8\ncol=5\nrow=6\nalign=2\n");
    menu_->Activate();
    QCOMPARE(OffsetLeft, -2.0);
    QCOMPARE(OffsetTop, 0.25);
    QCOMPARE(DefaultFontSize, 8.0);
    QCOMPARE(DefaultColCount, qint16(5));
    QCOMPARE(DefaultRowCount, qint16(6));
    QCOMPARE(DefaultAlign, qint16(2));
    QCOMPARE(messages_->texts(), shown);
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
    QCOMPARE(OffsetLeft, 0.0); // the delivered file

    bool menuBlocked = false;
    DriveModal([&] { QTest::mouseClick(Button(qPrintable(button)), Qt::LeftButton); },
               [&](QDialog* modal) {
                   QCOMPARE(modal->windowTitle(), caption);
                   menuBlocked = QApplication::activeModalWidget() == modal &&
                                 !Button("CmdEnd")->isActiveWindow();
                   if (auto* left = modal->findChild<QLineEdit*>(QStringLiteral("TxtLeft"))) {
                       // The offsets screen saves a new offset and closes.
                       left->setText(QStringLiteral("2.5"));
                       QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("CmdEntry")),
                                         Qt::LeftButton);
                   } else {
                       // The version screen closes on Esc; meanwhile the file was edited.
                       WriteFile(IniPath(), "[limit]\nleft=2.5\ntop=0\n[default]\n"
                                            "font=10.5\ncol=20\nrow=1\nalign=0\n");
                       QTest::keyClick(modal->focusWidget() ? modal->focusWidget() : modal,
                                       Qt::Key_Escape);
                   }
                   QVERIFY(!modal->isVisible());
               });
    QVERIFY(menuBlocked);
    // Back on the menu, its activation read the file at once.
    QCOMPARE(OffsetLeft, 2.5);
    QCOMPARE(messages_->texts(), QStringList());
    QVERIFY(menu_->isVisible());
    // The modal screen was released.
    QCOMPARE(menu_->findChildren<QDialog*>().size(), 0);
}

void TestMenu::endClosesDatabase_data() {
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("終了") << false;
    QTest::newRow("close box") << true;
}

void TestMenu::endClosesDatabase() {
    QFETCH(bool, closeBox);
    Open();
    QVERIFY(!ProgramEnded());
    if (closeBox)
        menu_->close();
    else
        QTest::mouseClick(Button("CmdEnd"), Qt::LeftButton);
    QTRY_VERIFY(ProgramEnded());
    QCOMPARE(messages_->texts(), QStringList());
    QVERIFY(LayoutDatabase == nullptr);
    QVERIFY(!menu_ || !menu_->isVisible());

    // The file is free again: it opens exclusively beside no other handle.
    Database reopened(app_->file(LayoutFiles::Data), true, false, LayoutFiles::Connect);
    QVERIFY(reopened.IsOpen());
    reopened.Close();
}

QTEST_MAIN(TestMenu)
#include "tst_menu.moc"
