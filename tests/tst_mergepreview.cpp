// The merge in the print preview: a list chosen there is read in the chosen
// encoding and shown record by record; a range of records is printed or
// saved, after a question while a field names a column the list lacks; the
// list is remembered for the template and read again on the next preview.
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

const QString Failure = "処理中、異常が発生しました。\r";
const QString Refused = "入力データが正しくありません。\r";

// Three records of every column the template's fields name.
const QByteArray Complete = "氏名,住所,会社,電話\n"
                            "山田太郎,東京都,山田商事,03-1111\n"
                            "佐藤花子,大阪市,佐藤工業,06-2222\n"
                            "鈴木一郎,名古屋市,鈴木物産,052-3333\n";
const QStringList Names{"山田太郎", "佐藤花子", "鈴木一郎"};

// What the sheets on view say, item by item, sheet after sheet.
QStringList texts(const Sheet& sheet) {
    QStringList result;
    for (const TextItem& item : sheet.items)
        result.append(item.moji);
    return result;
}

QString allText(const PdfSheets::Sheet& sheet) {
    return sheet.lines().join('|');
}

} // namespace

class TestMergePreview : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> out_;
    std::unique_ptr<OpenAppFolder> app_;
    std::unique_ptr<MessageRecorder> recorder_;
    QPointer<FrmPage> page_;
    QList<FileOpenRequest> asked_;
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
    // Chooses `path` through 差し込みデータ….
    void choose(FrmPreview* preview, const QString& path) {
        chosen_ = path;
        click(preview, "CmdMerge");
    }
    QString label(FrmPreview* preview, const char* name) {
        return preview->findChild<QLabel*>(name)->text();
    }
    QComboBox* encoding(FrmPreview* preview) {
        return preview->findChild<QComboBox*>("CboEncoding");
    }
    std::optional<MergeSource> remembered() { return Layout().TemplateMergeSource("1"); }
    // The names on the first sheet of each record of a PDF of two sheets a record.
    QStringList namesIn(const QString& pdf) {
        QStringList names;
        const QList<PdfSheets::Sheet> sheets = PdfSheets::ReadSheets(pdf);
        for (int s = 0; s < sheets.size(); s += 2)
            for (const QString& name : Names)
                if (allText(sheets[s]).contains(name + "様"))
                    names.append(name);
        return names;
    }

private slots:
    void init() {
        out_ = std::make_unique<QTemporaryDir>();
        app_ = std::make_unique<OpenAppFolder>();
        recorder_ = std::make_unique<MessageRecorder>();
        app_->AddTemplate("1");
        // Two A4 portrait pages: an address page, and a page whose second
        // item names 電話, which only some lists have.
        app_->AddPage("11", "1", "1", 0, 1);
        app_->AddPage("12", "1", "2", 0, 1);
        app_->AddItem("1", "11", "{{氏名}} 様", "10.5", "20", "120", "20", "20", "1", 0);
        app_->AddItem("2", "11", "｛｛住所｝｝", "10.5", "20", "120", "40", "20", "2", 0);
        app_->AddItem("3", "12", "{{会社}} 御中", "10.5", "20", "120", "20", "20", "1", 0);
        app_->AddItem("4", "12", "TEL {{電話}} {{電話}}", "10.5", "20", "120", "40", "30", "1", 0);
        asked_.clear();
        SetFileOpenResponder([this](const FileOpenRequest& r) {
            asked_.append(r);
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

    // Choosing a list shows its first record on the first sheet, "レコード 1 /
    // N" and the range 1 to N, and remembers the file; the records turn with
    // their own buttons, each keeping the sheet on view, the sheets within
    // the record. A second list starts again at its first record.
    void chooseAndTurnRecords() {
        FrmPreview* preview = openPreview();
        QVERIFY(!preview->findChild<QPushButton*>("CmdNextRecord")->isEnabled());
        QVERIFY(!preview->findChild<QLineEdit*>("TxtFirst")->isEnabled());
        chosen_.clear();
        click(preview, "CmdMerge"); // cancelled: nothing changes
        QVERIFY(!preview->MergeData());
        QCOMPARE(asked_.size(), 1);
        QCOMPARE(asked_[0].title, QString("差し込みデータ選択"));
        QCOMPARE(asked_[0].filter, QString("CSV/TSV (*.csv *.tsv *.txt)"));

        const QString list = write("宛先.csv", Complete);
        click(preview, "CmdNext");
        choose(preview, list);
        QCOMPARE(recorder_->texts(), QStringList());
        QCOMPARE(label(preview, "LblRecord"), QString("レコード 1 / 3"));
        QCOMPARE(label(preview, "LblPage"), QString("1 / 2"));
        QCOMPARE(texts(preview->SheetOnView()), QStringList({"山田太郎 様", "東京都"}));
        QCOMPARE(preview->findChild<QLineEdit*>("TxtFirst")->text(), QString("1"));
        QCOMPARE(preview->findChild<QLineEdit*>("TxtLast")->text(), QString("3"));
        QVERIFY(!preview->findChild<QLabel*>("LblMergeWarning")->isVisibleTo(preview));
        QVERIFY(remembered() && remembered()->path == list && remembered()->encoding == "auto");

        QStringList seen;
        auto look = [&] {
            seen.append(label(preview, "LblRecord") + " " + label(preview, "LblPage") + " " +
                        texts(preview->SheetOnView()).join('/'));
        };
        click(preview, "CmdNext");
        look();
        click(preview, "CmdNextRecord");
        look();
        click(preview, "CmdNextRecord");
        look();
        QVERIFY(!preview->findChild<QPushButton*>("CmdNextRecord")->isEnabled());
        click(preview, "CmdPrev");
        look();
        click(preview, "CmdPrevRecord");
        look();
        QCOMPARE(seen, QStringList({"レコード 1 / 3 2 / 2 山田商事 御中/TEL 03-1111 03-1111",
                                    "レコード 2 / 3 2 / 2 佐藤工業 御中/TEL 06-2222 06-2222",
                                    "レコード 3 / 3 2 / 2 鈴木物産 御中/TEL 052-3333 052-3333",
                                    "レコード 3 / 3 1 / 2 鈴木一郎 様/名古屋市",
                                    "レコード 2 / 3 1 / 2 佐藤花子 様/大阪市"}));

        // A tab-separated list of one record replaces it.
        const QString other =
            write("one.txt", "氏名\t住所\t会社\t電話\n高橋\t札幌市\t高橋社\t011\n");
        click(preview, "CmdNext");
        choose(preview, other);
        QCOMPARE(label(preview, "LblRecord") + " " + label(preview, "LblPage"),
                 QString("レコード 1 / 1 1 / 2"));
        QCOMPARE(texts(preview->SheetOnView()), QStringList({"高橋 様", "札幌市"}));
        QVERIFY(!preview->findChild<QPushButton*>("CmdPrevRecord")->isEnabled());
        QCOMPARE(remembered()->path, other);
        QCOMPARE(recorder_->texts(), QStringList());
    }

    // "文字コード" reads the file on view again at once and is remembered with
    // it. A list that cannot be read (in the encoding chosen, or at all) is
    // the failure message with its cause in the details; the preview keeps
    // the list, the record, the encoding and the remembered file it had.
    void encodingAndFailures() {
        FrmPreview* preview = openPreview();
        QStringEncoder cp932("windows-31j");
        const QByteArray shiftJis =
            cp932(QString::fromUtf8(Complete).replace("山田太郎", "髙①㈱表"));
        QVERIFY(!cp932.hasError());
        const QString list = write("sjis.csv", shiftJis);
        choose(preview, list);
        click(preview, "CmdNextRecord");
        QCOMPARE(recorder_->texts(), QStringList());
        click(preview, "CmdPrevRecord");
        QCOMPARE(texts(preview->SheetOnView()).first(), QString("髙①㈱表 様"));
        QCOMPARE(preview->MergeData()->encoding, MergeEncoding::ShiftJis);

        const QString recordOnView = label(preview, "LblRecord");
        const QStringList textOnView = texts(preview->SheetOnView());
        auto keptAfter = [&](const std::function<void()>& action, const QString& why) {
            recorder_->shown.clear();
            action();
            QCOMPARE(recorder_->texts(), QStringList{Failure});
            QVERIFY2(!recorder_->shown[0].detail.isEmpty(), qPrintable(why));
            QCOMPARE(label(preview, "LblRecord"), recordOnView);
            QCOMPARE(texts(preview->SheetOnView()), textOnView);
            QCOMPARE(encoding(preview)->currentText(), QString("自動"));
            QVERIFY2(remembered()->path == list && remembered()->encoding == "auto",
                     qPrintable(why));
        };
        // Shift_JIS bytes are no UTF-8.
        keptAfter([&] { encoding(preview)->setCurrentIndex(1); }, "UTF-8 chosen");
        keptAfter([&] { choose(preview, write("empty.csv", "")); }, "empty");
        keptAfter([&] { choose(preview, write("wide.csv", "a,b\n1,2,3\n")); }, "too many fields");
        keptAfter([&] { choose(preview, write("header.csv", "氏名,住所\n")); }, "no records");
        keptAfter([&] { choose(preview, file("missing.csv")); }, "missing");

        // UTF-8 bytes that Shift_JIS also reads, as other names and values:
        // the fields then name no column of the list.
        const QByteArray both = "氏名,住所\nアイ,x\n";
        QStringDecoder fromCp932("windows-31j");
        const QStringList asShiftJis = QString(fromCp932(both)).split('\n').first().split(',');
        QVERIFY(!fromCp932.hasError() && asShiftJis.first() != "氏名");
        choose(preview, write("both.csv", both));
        QCOMPARE(texts(preview->SheetOnView()).first(), QString("アイ 様"));
        encoding(preview)->setCurrentIndex(2);
        QCOMPARE(preview->MergeData()->columns, asShiftJis);
        QCOMPARE(texts(preview->SheetOnView()).first(), QString("{{氏名}} 様"));
        QVERIFY(preview->findChild<QLabel*>("LblMergeWarning")->text().contains("氏名"));
        QCOMPARE(remembered()->encoding, QString("shift_jis"));
        encoding(preview)->setCurrentIndex(1);
        QCOMPARE(texts(preview->SheetOnView()).first(), QString("アイ 様"));
        QCOMPARE(remembered()->encoding, QString("utf-8"));
        QCOMPARE(recorder_->texts(), QStringList{Failure}); // the last one above
    }

    // 開始 and 終了 take whole numbers with 1 <= 開始 <= 終了 <= N. Anything else
    // is refused as a typed number is, naming the box, with the focus back in
    // it, on leaving the box and again at 印刷 (which then prints nothing).
    void range_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("refused"); // the box refused, "" for none
        QTest::addColumn<QStringList>("printed");
        QTest::newRow("all") << "1"
                             << "3"
                             << "" << Names;
        QTest::newRow("one, with blanks") << " 2 "
                                          << "2"
                                          << "" << QStringList{Names[1]};
        QTest::newRow("the last two") << "2"
                                      << "3"
                                      << "" << Names.mid(1);
        QTest::newRow("zero") << "0"
                              << "3"
                              << "TxtFirst" << QStringList();
        QTest::newRow("past the end") << "1"
                                      << "4"
                                      << "TxtLast" << QStringList();
        QTest::newRow("backwards") << "3"
                                   << "2"
                                   << "TxtFirst" << QStringList();
        QTest::newRow("blank") << ""
                               << "3"
                               << "TxtFirst" << QStringList();
        QTest::newRow("fraction") << "1"
                                  << "2.5"
                                  << "TxtLast" << QStringList();
        QTest::newRow("negative") << "-1"
                                  << "3"
                                  << "TxtFirst" << QStringList();
        QTest::newRow("full-width") << "１"
                                    << "3"
                                    << "TxtFirst" << QStringList();
        QTest::newRow("huge") << "1"
                              << "99999999999"
                              << "TxtLast" << QStringList();
    }

    void range() {
        QFETCH(QString, first);
        QFETCH(QString, last);
        QFETCH(QString, refused);
        QFETCH(QStringList, printed);
        FrmPreview* preview = openPreview();
        choose(preview, write("list.csv", Complete));
        auto* txtFirst = preview->findChild<QLineEdit*>("TxtFirst");
        auto* txtLast = preview->findChild<QLineEdit*>("TxtLast");
        txtLast->setFocus();
        txtLast->setText(last);
        txtFirst->setFocus();
        txtFirst->setText(first);
        QTest::keyClick(txtFirst, Qt::Key_Tab);
        QTest::qWait(20);
        const bool leavingRefuses = refused == "TxtLast" || (refused == "TxtFirst" && first != "3");
        QCOMPARE(recorder_->texts(), leavingRefuses ? QStringList{Refused} : QStringList());
        if (leavingRefuses)
            QCOMPARE(QApplication::focusWidget()->objectName(), refused);

        recorder_->shown.clear();
        click(preview, "CmdPrint");
        QTest::qWait(20);
        QCOMPARE(recorder_->texts(), refused.isEmpty() ? QStringList() : QStringList{Refused});
        if (!refused.isEmpty()) {
            QVERIFY(!QFileInfo::exists(file("printed.pdf")));
            QCOMPARE(QApplication::focusWidget()->objectName(), refused);
            QVERIFY(
                recorder_->shown[0].detail.startsWith(refused == "TxtFirst" ? "開始: " : "終了: "));
        } else {
            QCOMPARE(PdfSheets::ReadSheets(file("printed.pdf")).size(), 2 * printed.size());
            QCOMPARE(namesIn(file("printed.pdf")), printed);
        }
    }

    // A field whose column the list lacks is named once on the warning line;
    // 印刷 and PDF保存 then ask first, No being the default: No writes
    // nothing (PDF保存 does not even ask for a file), Yes writes the range
    // with the field as written.
    void unknownColumnsAsk() {
        FrmPreview* preview = openPreview();
        choose(preview,
               write("list.csv", "氏名,住所,会社\n山田太郎,東京都,山田商事\n"
                                 "佐藤花子,大阪市,佐藤工業\n鈴木一郎,名古屋市,鈴木物産\n"));
        QLabel* warning = preview->findChild<QLabel*>("LblMergeWarning");
        QVERIFY(warning->isVisibleTo(preview));
        QCOMPARE(warning->text().count("電話"), 1);
        QCOMPARE(recorder_->texts(), QStringList());
        preview->findChild<QLineEdit*>("TxtFirst")->setText("2");

        int saveAsked = 0;
        SetFileSaveResponder([&](const FileSaveRequest&) {
            ++saveAsked;
            return std::optional<QString>(file("saved.pdf"));
        });
        for (const char* command : {"CmdPrint", "CmdPdf"}) {
            recorder_->shown.clear();
            recorder_->answer = QMessageBox::No;
            click(preview, command);
            QCOMPARE(recorder_->shown.size(), 1);
            const MessageBoxRequest& asked = recorder_->shown[0];
            QVERIFY2(asked.text.endsWith("よろしいですか？\r"), qPrintable(asked.text));
            QCOMPARE(asked.buttons, QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(asked.defaultButton, QMessageBox::No);
            QVERIFY(asked.detail.contains("電話"));
        }
        QCOMPARE(saveAsked, 0);
        QVERIFY(!QFileInfo::exists(file("printed.pdf")) && !QFileInfo::exists(file("saved.pdf")));

        recorder_->answer = QMessageBox::Yes;
        click(preview, "CmdPrint");
        click(preview, "CmdPdf");
        QCOMPARE(saveAsked, 1);
        for (const QString& pdf : {file("printed.pdf"), file("saved.pdf")}) {
            QCOMPARE(namesIn(pdf), Names.mid(1));
            const QList<PdfSheets::Sheet> sheets = PdfSheets::ReadSheets(pdf);
            QCOMPARE(sheets.size(), 4);
            QVERIFY2(allText(sheets[1]).contains("TEL{{電話}}{{電話}}"),
                     qPrintable(allText(sheets[1])));
        }

        // A list with every column asks nothing.
        choose(preview, write("complete.csv", Complete));
        QVERIFY(!warning->isVisibleTo(preview));
        recorder_->shown.clear();
        QFile::remove(file("printed.pdf"));
        click(preview, "CmdPrint");
        QCOMPARE(recorder_->texts(), QStringList());
        QCOMPARE(namesIn(file("printed.pdf")), Names);
    }

    // The page screen's preview reads the template's remembered list again in
    // its encoding; a file no longer there leaves the template unmerged and
    // says so on the warning line, without a message box.
    void rememberedList() {
        QStringEncoder cp932("windows-31j");
        const QString list =
            write("sjis.txt", cp932(QString("氏名\t住所\t会社\t電話\n髙橋\t東京都\t\t\n")));
        Layout().SaveTemplateMergeSource("1", MergeSource{list, "shift_jis"});
        QStringList seen;
        auto previewFromButton = [&] {
            QTimer::singleShot(0, this, [&] {
                auto* preview = qobject_cast<FrmPreview*>(QApplication::activeModalWidget());
                QVERIFY(preview);
                const QLabel* warning = preview->findChild<QLabel*>("LblMergeWarning");
                seen.append(label(preview, "LblRecord") + "|" +
                            texts(preview->SheetOnView()).first() + "|" +
                            encoding(preview)->currentText() + "|" +
                            (warning->isVisibleTo(preview) ? warning->text() : QString()));
                preview->close();
            });
            click(page_, "CmdPreview");
            QCoreApplication::processEvents();
        };
        previewFromButton();
        QVERIFY(QFile::remove(list));
        previewFromButton();
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen[0], QString("レコード 1 / 1|髙橋 様|Shift_JIS|"));
        QVERIFY2(seen[1].startsWith("|{{氏名}} 様|Shift_JIS|") && seen[1].contains(list),
                 qPrintable(seen[1]));
        QCOMPARE(recorder_->texts(), QStringList());
        QCOMPARE(remembered()->path, list);
    }
};

QTEST_MAIN(TestMergePreview)
#include "tst_mergepreview.moc"
