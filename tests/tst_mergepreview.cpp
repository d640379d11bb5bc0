// The preview's merge bar: a list chosen, turned, printed in a range, re-read, remembered.
#include "PdfSheets.h"
#include "TestSupport.h"
#include "common/Globals.h"
#include "common/Navigation.h"
#include "layout/LayoutStore.h"
#include "pages/FrmPage.h"
#include "pages/FrmPreview.h"
#include "platform/FileOpenDialog.h"
#include "platform/FileSaveDialog.h"
#include "print/PrintEngine.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringEncoder>
#include <QTimer>
#include <QtTest>

namespace {
const QString Refused = "入力データが正しくありません。\r";
const QByteArray Complete = "氏名,住所,会社,電話\n"
                            "山田太郎,東京都,山田商事,03-1111\n"
                            "佐藤花子,大阪市,佐藤工業,06-2222\n"
                            "鈴木一郎,名古屋市,鈴木物産,052-3333\n";
} // namespace

class TestMergePreview : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> out_;
    std::unique_ptr<OpenAppFolder> app_;
    std::unique_ptr<MessageRecorder> recorder_;
    QPointer<FrmPage> page_;
    QString chosen_;
    QString file(const QString& name) const { return out_->filePath(name); }
    QString write(const QString& name, const QByteArray& bytes) {
        WriteBytes(file(name), bytes);
        return file(name);
    }
    void click(QWidget* screen, const char* name) {
        auto* b = screen->findChild<QAbstractButton*>(name);
        QVERIFY2(b && b->isEnabled(), name);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    FrmPreview* openPreview() {
        auto* preview = new FrmPreview(page_->SheetsToPrint(), "請求書", {}, "1");
        preview->show();
        preview->activateWindow();
        if (!QTest::qWaitForWindowActive(preview))
            qFatal("The preview did not show");
        return preview;
    }
    void choose(FrmPreview* preview, const QString& path) {
        chosen_ = path;
        click(preview, "CmdMerge");
    }
    QComboBox* encoding(FrmPreview* p) { return p->findChild<QComboBox*>("CboEncoding"); }
    QString moji(FrmPreview* p, int item = 0) { return p->SheetOnView().items[item].moji; }
    // The record and page shown, and the first two texts of the sheet.
    QString view(FrmPreview* p) {
        auto text = [p](const char* name) { return p->findChild<QLabel*>(name)->text(); };
        return text("LblRecord") + " " + text("LblPage") + " " + moji(p) + "/" + moji(p, 1);
    }
    std::optional<MergeSource> remembered() { return Layout().TemplateMergeSource("1"); }
private slots:
    void init() {
        out_ = std::make_unique<QTemporaryDir>();
        app_ = std::make_unique<OpenAppFolder>();
        recorder_ = std::make_unique<MessageRecorder>();
        app_->AddTemplate("1");
        // Two A4 portrait pages; 電話 is a column only some lists have.
        app_->AddPage("11", "1", "1", 0, 1);
        app_->AddPage("12", "1", "2", 0, 1);
        app_->AddItem("1", "11", "{{氏名}} 様", "10.5", "20", "120", "20", "20", "1", 0);
        app_->AddItem("2", "11", "｛｛住所｝｝", "10.5", "20", "120", "40", "20", "2", 0);
        app_->AddItem("3", "12", "{{会社}} 御中", "10.5", "20", "120", "20", "20", "1", 0);
        app_->AddItem("4", "12", "TEL {{電話}} {{電話}}", "10.5", "20", "120", "40", "30", "1", 0);
        SetFileOpenResponder([this](const FileOpenRequest&) {
            return chosen_.isEmpty() ? std::nullopt : std::optional<QString>(chosen_);
        });
        ResetRunPrinter();
        PrintToPdfFile(file("printed.pdf"));
        CurrentTemplateId = "1";
        ShowPageSetup();
        page_ = VisibleScreen<FrmPage>();
        QVERIFY(page_);
    }
    void cleanup() {
        SetFileOpenResponder({});
        SetFileSaveResponder({});
        CloseAllScreens();
        recorder_.reset();
        app_.reset();
    }
    // A list chosen (range 1 to N, remembered), a bad range refused, records turned, missing
    // fields asked about (No, the default, writes nothing), 文字コード re-reading, an unreadable
    // list keeping what was shown, the page screen's next preview with the remembered list.
    void mergeBar() {
        FrmPreview* preview = openPreview();
        choose(preview, QString()); // cancelled: nothing changes
        const QString list = write("宛先.csv", Complete);
        choose(preview, list);
        QCOMPARE(view(preview), QString("レコード 1 / 3 1 / 2 山田太郎 様/東京都"));
        QVERIFY(remembered() && remembered()->path == list && remembered()->encoding == "auto");
        QLabel* warning = preview->findChild<QLabel*>("LblMergeWarning");
        QVERIFY(!warning->isVisibleTo(preview));
        auto* txtFirst = preview->findChild<QLineEdit*>("TxtFirst");
        auto* txtLast = preview->findChild<QLineEdit*>("TxtLast");
        QCOMPARE(txtLast->text(), QString("3"));
        txtLast->setFocus();
        txtLast->setText("4");
        QTest::keyClick(txtLast, Qt::Key_Tab);
        QCoreApplication::processEvents();
        QCOMPARE(recorder_->texts(), QStringList{Refused});
        QCOMPARE(QApplication::focusWidget(), txtLast);
        // Each box the focus leaves for 印刷 holds a number that is right alone.
        const QList<std::tuple<QString, QString, QLineEdit*>> refused{
            {"0", "3", txtFirst},  {"1", "4", txtLast},   {"3", "2", txtFirst},
            {"1", "2.5", txtLast}, {"１", "3", txtFirst}, {"1", "99999999999", txtLast}};
        for (const auto& [first, last, box] : refused) {
            txtFirst->setText(first);
            txtLast->setText(last);
            recorder_->shown.clear();
            click(preview, "CmdPrint");
            QCOMPARE(recorder_->texts(), QStringList{Refused});
            QCOMPARE(QApplication::focusWidget(), box);
        }
        txtLast->setText("3");
        recorder_->shown.clear();
        click(preview, "CmdNext");
        click(preview, "CmdNextRecord");
        QCOMPARE(view(preview), QString("レコード 2 / 3 2 / 2 佐藤工業 御中/TEL 06-2222 06-2222"));
        click(preview, "CmdNextRecord");
        QVERIFY(!preview->findChild<QPushButton*>("CmdNextRecord")->isEnabled());
        click(preview, "CmdPrev");
        click(preview, "CmdPrevRecord");
        QCOMPARE(view(preview), QString("レコード 2 / 3 1 / 2 佐藤花子 様/大阪市"));
        // A tab-separated list without 電話 replaces it, from its first record.
        choose(preview,
               write("no-tel.txt", QByteArray(Complete).replace(',', '\t').replace("電話", "FAX")));
        QCOMPARE(view(preview), QString("レコード 1 / 3 1 / 2 山田太郎 様/東京都"));
        QCOMPARE(warning->text().count("電話"), 1);
        QCOMPARE(recorder_->texts(), QStringList());
        txtFirst->setText("2");
        SetFileSaveResponder(
            [&](const FileSaveRequest&) { return std::optional(file("saved.pdf")); });
        recorder_->answer = QMessageBox::No;
        for (const char* command : {"CmdPrint", "CmdPdf"}) {
            recorder_->shown.clear();
            click(preview, command);
            QCOMPARE(recorder_->shown.value(0).defaultButton, QMessageBox::No);
        }
        QVERIFY(!QFileInfo::exists(file("printed.pdf")) && !QFileInfo::exists(file("saved.pdf")));
        recorder_->answer = QMessageBox::Yes;
        click(preview, "CmdPrint");
        click(preview, "CmdPdf");
        for (const QString& pdf : {file("printed.pdf"), file("saved.pdf")}) {
            const QList<PdfSheets::Sheet> sheets = PdfSheets::ReadSheets(pdf);
            QCOMPARE(sheets.size(), 4);
            QCOMPARE(sheets[0].lines()[0] + sheets[2].lines()[0], QString("佐藤花子様鈴木一郎様"));
            QVERIFY(sheets[1].lines().contains("TEL{{電話}}{{電話}}"));
        }
        const QString sjis = write(
            "sjis.csv", QStringEncoder("windows-31j")
                            .encode(QString::fromUtf8(Complete).replace("山田太郎", "髙①㈱表")));
        choose(preview, sjis);
        QCOMPARE(moji(preview), QString("髙①㈱表 様"));
        auto keptAfter = [&](const std::function<void()>& action) {
            recorder_->shown.clear();
            action();
            QCOMPARE(recorder_->texts(), QStringList{"処理中、異常が発生しました。\r"});
            QCOMPARE(moji(preview), QString("髙①㈱表 様"));
            QCOMPARE(encoding(preview)->currentText(), QString("自動"));
            QVERIFY(remembered()->path == sjis && remembered()->encoding == "auto");
        };
        keptAfter([&] { encoding(preview)->setCurrentIndex(1); }); // Shift_JIS bytes as UTF-8
        keptAfter([&] { choose(preview, file("missing.csv")); });
        // UTF-8 that Shift_JIS reads as other names: the fields then name no column.
        const QString both = write("both.csv", "氏名,住所\nアイ,x\n");
        choose(preview, both);
        encoding(preview)->setCurrentIndex(2);
        QCOMPARE(moji(preview), QString("{{氏名}} 様"));
        QVERIFY(warning->text().contains("氏名"));
        QCOMPARE(remembered()->encoding, QString("shift_jis"));
        recorder_->shown.clear();
        QString seen;
        QTimer::singleShot(0, this, [&] {
            auto* shown = qobject_cast<FrmPreview*>(QApplication::activeModalWidget());
            QVERIFY(shown && shown != preview);
            seen = view(shown) + "|" + encoding(shown)->currentText();
            shown->close();
        });
        click(page_, "CmdPreview");
        QCOMPARE(seen, QString("レコード 1 / 1 1 / 2 {{氏名}} 様/｛｛住所｝｝|Shift_JIS"));
        QVERIFY(QFile::remove(both));
        preview = openPreview();
        QCOMPARE(moji(preview) + encoding(preview)->currentText(), QString("{{氏名}} 様Shift_JIS"));
        QVERIFY(preview->findChild<QLabel*>("LblMergeWarning")->text().contains(both));
        QCOMPARE(recorder_->texts(), QStringList());
    }
};

QTEST_MAIN(TestMergePreview)
#include "tst_mergepreview.moc"
