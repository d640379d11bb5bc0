// Failure messages say why in their details: the database engine's words,
// CUPS's answer, the picture reader's error, and the box a typed number was
// refused in. The message texts themselves stay as they are.
#include "TestSupport.h"
#include "common/Globals.h"
#include "items/FrmScanDlg.h"
#include "items/FrmScanTate.h"
#include "platform/FileOpenDialog.h"
#include "print/PrintEngine.h"
#include "screens/FrmGosaEntry.h"

#include <QFile>
#include <QImageReader>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>
#include <cups/cups.h>
#include <optional>

namespace {

const QString Failed = QStringLiteral("処理中、異常が発生しました。\r");

void click(QWidget* form, const char* button) {
    QTest::mouseClick(form->findChild<QPushButton*>(button), Qt::LeftButton);
}

// Shows a screen, released when closed, and waits until it is active.
template <class T> T* Show(T* screen) {
    screen->setAttribute(Qt::WA_DeleteOnClose);
    screen->Load();
    screen->show();
    (void)QTest::qWaitForWindowActive(screen);
    return screen;
}

} // namespace

class TestMessages : public QObject {
    Q_OBJECT

    std::optional<AppFolderFixture> app_;
    std::optional<MessageRecorder> recorder_;
    QTemporaryDir dir_;

private slots:
    void initTestCase() {
        // A scheduler that is not there: no default printer can be found, and
        // nothing can reach a real printer. Set before CUPS is first asked.
        qputenv("CUPS_SERVER", QFile::encodeName(dir_.filePath("no-scheduler.sock")));
        qunsetenv("LPDEST");
        qunsetenv("PRINTER");
    }

    void init() {
        app_.emplace();
        app_->OpenLayoutDatabase();
        app_->Exec("insert into template (template_id) select 1");
        app_->Exec("insert into page (page_id, template_id, page_no, paper_direction, paper_size) "
                   "select 12, 1, 1, 0, 1");
        std::tie(DefaultFontSize, DefaultColCount, DefaultRowCount, DefaultAlign) =
            std::tuple(10.5, 20, 1, 0);
        recorder_.emplace();
        ResetRunPrinter();
    }

    void cleanup() {
        CloseAllScreens();
        SetFileOpenResponder({});
        recorder_.reset();
        app_.reset();
    }

    // A bad number in the detail dialog names its box; a good one that the
    // database refuses shows the engine's message.
    void detailDialogSaysWhy() {
        // Opened without a parent, as the placement screen opens it.
        auto* dialog = Show(new FrmScanDlg("12", FrmScanDlg::Selection{10, 20, 50}));
        dialog->findChild<QLineEdit*>("TxtRight")->setText("abc");
        click(dialog, "CmdOK");
        QCOMPARE(recorder_->texts(), QStringList{Failed});
        QCOMPARE(recorder_->shown[0].detail, QString("右端: 数値（例 120）"));
        QCOMPARE(app_->Scalar("select count(*) as n from moji"), 0);

        recorder_->shown.clear();
        dialog->findChild<QLineEdit*>("TxtRight")->setText("50");
        app_->Exec("create trigger refuse before insert on moji "
                   "begin select raise(abort, 'the form is full'); end");
        click(dialog, "CmdOK");
        QCOMPARE(recorder_->texts(), QStringList{Failed});
        QCOMPARE(recorder_->shown[0].detail,
                 QString("データベースの処理に失敗しました: the form is full"));
        QVERIFY(dialog->isVisible());
    }

    // Without a default printer the calibration sheet fails with CUPS's own
    // answer after VESK's lead-in, and the offsets screen stays open.
    void noDefaultPrinterShowsCupsAnswer() {
        QPointer<FrmGosaEntry> screen = Show(new FrmGosaEntry);
        click(screen, "CmdCalibrate");
        QCOMPARE(recorder_->texts(), QStringList{Failed});
        const QString cups = QString::fromUtf8(cupsLastErrorString());
        QVERIFY(!cups.isEmpty());
        QCOMPARE(recorder_->shown[0].detail, "既定のプリンターがありません: " + cups);
        QVERIFY(screen && screen->isVisible());
    }

    // A file that holds no picture: its path and the reader's error.
    void unreadablePictureShowsReaderError() {
        const QString fake = dir_.filePath("scan.jpg"); // a text file renamed
        QFile::remove(fake);
        QVERIFY(QFile::copy(app_->file("vesk.ini"), fake));
        SetFileOpenResponder([fake](const FileOpenRequest&) { return fake; });
        auto* scan = Show(new FrmScanTate("12", -1));
        click(scan, "CmdOK");
        QImageReader reader(fake);
        QVERIFY(reader.read().isNull());
        QVERIFY(!reader.errorString().isEmpty());
        QCOMPARE(recorder_->texts(), QStringList{Failed});
        QCOMPARE(recorder_->shown[0].detail,
                 QString("画像を読み込めません: %1: %2").arg(fake, reader.errorString()));
    }
};

QTEST_MAIN(TestMessages)
#include "tst_messages.moc"
