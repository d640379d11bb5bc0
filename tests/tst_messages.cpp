// Failure messages say why in their details: the database engine's words,
// CUPS's answer, the picture reader's error, the box a number was refused in.
#include "TestSupport.h"
#include "items/FrmScanDlg.h"
#include "items/FrmScanTate.h"
#include "platform/FileOpenDialog.h"
#include "screens/FrmGosaEntry.h"

#include <QImageReader>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <cups/cups.h>
#include <optional>

class TestMessages : public QObject {
    Q_OBJECT

    std::optional<OpenAppFolder> app_;
    std::optional<MessageRecorder> recorder_;

    template <class T> T* Show(T* screen) {
        screen->Load();
        screen->show();
        (void)QTest::qWaitForWindowActive(screen);
        return screen;
    }
    // Presses `button` and returns the last message's detail.
    QString Press(QWidget* screen, const char* button) {
        recorder_->shown.clear();
        QTest::mouseClick(screen->findChild<QPushButton*>(button), Qt::LeftButton);
        return recorder_->shown.value(0).detail;
    }

private slots:
    void cleanupTestCase() { CloseAllScreens(); }

    void detailsSayWhy() {
        app_.emplace();
        app_->AddTemplate("1");
        app_->AddPage("12", "1", "1", 0, 1);
        recorder_.emplace();
        auto* dialog = Show(new FrmScanDlg("12", FrmScanDlg::Selection{10, 20, 50}));
        dialog->findChild<QLineEdit*>("TxtRight")->setText("abc");
        QCOMPARE(Press(dialog, "CmdOK"), "右端: 数値（例 120）");
        QCOMPARE(recorder_->texts(), QStringList{"処理中、異常が発生しました。\r"});
        dialog->findChild<QLineEdit*>("TxtRight")->setText("50");
        app_->Exec("create trigger refuse before insert on moji "
                   "begin select raise(abort, 'the form is full'); end");
        QCOMPARE(Press(dialog, "CmdOK"), "データベースの処理に失敗しました: the form is full");

        // No scheduler there: no default printer, nothing reaches a real printer.
        qputenv("CUPS_SERVER", QFile::encodeName(app_->file("no-scheduler.sock")));
        qunsetenv("LPDEST");
        qunsetenv("PRINTER");
        const QString said = Press(Show(new FrmGosaEntry), "CmdCalibrate");
        QCOMPARE(said, "既定のプリンターがありません: " + QString::fromUtf8(cupsLastErrorString()));

        const QString fake = app_->file("scan.jpg"); // a text file renamed
        QVERIFY(QFile::copy(app_->file("vesk.ini"), fake));
        SetFileOpenResponder([fake](const FileOpenRequest&) { return fake; });
        const QString unread = Press(Show(new FrmScanTate("12", -1)), "CmdOK");
        QImageReader reader(fake);
        reader.read();
        QCOMPARE(unread, QString("画像を読み込めません: %1: %2").arg(fake, reader.errorString()));
    }
};

QTEST_MAIN(TestMessages)
#include "tst_messages.moc"
