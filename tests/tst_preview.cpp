// 印刷 and プレビュー on the page setup screen, PDF保存: the preview shows
// the sheets that 印刷 prints, on the same paper, less the printer offsets,
// over each page's form; its 印刷 prints them; the PDF holds them at their
// millimetres from the sheet's edge, with or without the forms, and appears
// only when complete.
#include "PdfSheets.h"
#include "TestSupport.h"
#include "common/Globals.h"
#include "common/Navigation.h"
#include "layout/FormStore.h"
#include "pages/FrmPage.h"
#include "pages/FrmPreview.h"
#include "pages/SheetView.h"
#include "platform/FileSaveDialog.h"
#include "platform/SpreadGrid.h"
#include "print/PrintEngine.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QtTest>

namespace {

// The pages of template 1: direction and size codes, a code outside the lists
// taking what was in force (the first page's, from the command before).
struct PageRow {
    int direction, size;
};
const QList<PageRow> Pages{{-1, -1}, {0, 1}, {1, 0}, {-1, 4}, {0, 7}};
// The paper each prints on, in whole millimetres, after a B4 landscape command.
const QStringList Papers{"364x257", "210x297", "420x297", "257x182", "182x257"};

QString pageId(int p) {
    return QString::number(10 + p);
}

// A generated form: light blue, with a dark square in each corner, a tenth of
// the form's width wide. Page 2 has none.
QImage formOf(const QString& id) {
    if (id == pageId(2))
        return QImage();
    QImage form(827, 1169, QImage::Format_RGB32); // A4 at 100 dpi
    form.fill(QColor(200, 220, 255));
    const int side = form.width() / 10;
    QPainter painter(&form);
    for (QPoint corner :
         {QPoint(0, 0), QPoint(form.width() - side, 0), QPoint(0, form.height() - side),
          QPoint(form.width() - side, form.height() - side)})
        painter.fillRect(QRect(corner, QSize(side, side)), QColor(40, 40, 40));
    return form;
}

double apart(QPointF d) {
    return qMax(qAbs(d.x()), qAbs(d.y()));
}

// What a sheet shows at its corners and between: "d" dark, "b" blue, "w"
// white; the generated form is "ddddb".
QString backdrop(const QImage& sheet) {
    const int w = sheet.width(), h = sheet.height();
    QString shades;
    for (QPoint p : {QPoint(3, 3), QPoint(w - 4, 3), QPoint(3, h - 4), QPoint(w - 4, h - 4),
                     QPoint(w / 9, h / 2)}) {
        const QColor c = sheet.pixelColor(p);
        shades += c.lightness() < 80        ? 'd'
                  : c.blue() - c.red() > 30 ? 'b'
                  : c == Qt::white          ? 'w'
                                            : '?';
    }
    return shades;
}

} // namespace

class TestPreview : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> out_;
    std::unique_ptr<OpenAppFolder> app_;
    std::unique_ptr<MessageRecorder> recorder_;
    QPointer<FrmPage> page_;

    QString file(const QString& name) const { return out_->filePath(name); }
    void click(QWidget* screen, const char* name) {
        auto* b = screen->findChild<QAbstractButton*>(name);
        QVERIFY2(b, name);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    // The preview of the sheets that 印刷 on the page screen prints now.
    FrmPreview* openPreview(const QString& templateName = "請求書") {
        auto* preview = new FrmPreview(page_->SheetsToPrint(), templateName, formOf);
        preview->show();
        if (!QTest::qWaitForWindowExposed(preview))
            qFatal("The preview did not show");
        return preview;
    }
    // Presses プレビュー on the page screen; `body` runs on the modal
    // preview, which is then closed. False when no preview opened.
    bool withPreviewFromButton(const std::function<void(FrmPreview*)>& body) {
        bool opened = false;
        QTimer::singleShot(0, this, [&] {
            auto* preview = qobject_cast<FrmPreview*>(QApplication::activeModalWidget());
            if (!preview)
                return;
            opened = true;
            body(preview);
            preview->close();
        });
        click(page_, "CmdPreview");
        QCoreApplication::processEvents();
        return opened;
    }

private slots:
    void init() {
        out_ = std::make_unique<QTemporaryDir>();
        app_ = std::make_unique<OpenAppFolder>();
        recorder_ = std::make_unique<MessageRecorder>();
        app_->AddTemplate("1");
        int item = 0;
        for (int p = 1; p <= Pages.size(); ++p) {
            app_->AddPage(pageId(p), "1", QString::number(p), Pages[p - 1].direction,
                          Pages[p - 1].size);
            // Left, centred and right, two lines each, lower on every page.
            for (int align = 0; align < 3; ++align)
                app_->AddItem(QString::number(++item), pageId(p),
                              QString("御中%1ページ帳票ABCDE").arg(p),
                              QString::number(9 + align * 2), QString::number(15 + 30 * align),
                              QString::number(80 + 30 * align),
                              QString::number(20 + 10 * p + 25 * align), "6", "2", align);
        }
        OffsetLeft = 3.5;
        OffsetTop = -2.25;
        ResetRunPrinter();
        PrintToPdfFile(file("before.pdf"));
        PrintSheets({Sheet{1, 3, {}}}); // B4 landscape stays in force
        PrintToPdfFile(file("printed.pdf"));
        CurrentTemplateId = "1";
        ShowPageSetup();
        page_ = VisibleScreen<FrmPage>();
        QVERIFY(page_);
        QTest::qWait(20);
    }

    void cleanup() {
        SetFileSaveResponder({});
        CloseAllScreens();
        recorder_.reset();
        app_.reset();
        // No drawing or partial PDF left behind.
        QCOMPARE(QDir(out_->path()).entryList(QDir::Hidden | QDir::Files).filter("vesk-print"),
                 QStringList());
    }

    // 印刷 and プレビュー on the page screen: nothing ticked is said, prints
    // nothing and opens no preview. Otherwise the ticked rows with a saved
    // page, with the lists as shown, also a choice still open in the
    // drop-down. The preview turns its sheets by the buttons and
    // PageUp/PageDown (also where the sheet's area has the focus) and zooms
    // by the buttons and Ctrl + wheel. Each sheet lies over the form its page
    // remembers, stretched over the whole sheet, or white paper; with the
    // form hidden it has the ink of the printed sheet, moved back by the
    // printer offsets; the form is never printed, and the preview's 印刷
    // prints what the page screen's does. The template's name as typed
    // suggests the PDF's; Esc closes it.
    void printAndPreviewFromThePageScreen() {
        SpreadGrid* grid = page_->findChild<SpreadGrid*>("vaSpread");
        for (int r = 1; r <= Pages.size(); ++r)
            grid->SetCellText(FrmPage::ColPrint, r, "0");
        QVERIFY(!withPreviewFromButton([](FrmPreview*) {}));
        click(page_, "CmdPrint");
        QCOMPARE(recorder_->texts(), QStringList(2, "印刷対象ページが選択されていません。\r"));
        QVERIFY(!QFile::exists(file("printed.pdf")));
        recorder_->shown.clear();

        for (int r : {1, 3, 4, 6})
            grid->SetCellText(FrmPage::ColPrint, r, "1");
        grid->SetCellText(FrmPage::ColPageNo, 6, "6"); // typed, not saved: no page to print
        // Row 3: A5 shown, A3 saved; "縦" chosen in the drop-down, not yet
        // handed to the cell; "横" saved.
        grid->SetListIndex(FrmPage::ColSize, 3, 2);
        grid->setFocus();
        grid->SetActiveCell(FrmPage::ColDirection, 3);
        QTest::keyClick(grid, Qt::Key_F4);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(grid->Editing() && grid->ListIndex(FrmPage::ColDirection, 3) == 1);
        for (int p : {1, 4})
            Forms().RememberForm(pageId(p), formOf(pageId(p)), QSizeF(210, 297));
        page_->findChild<QLineEdit*>("TxtTemplate")->setText("見積/2024");
        QString suggested;
        SetFileSaveResponder([&](const FileSaveRequest& r) {
            suggested = QFileInfo(r.fileName).fileName();
            return std::nullopt;
        });
        QStringList labels, papers;
        QList<double> zooms;
        bool escClosed = false;
        QVERIFY(withPreviewFromButton([&](FrmPreview* preview) {
            auto* label = preview->findChild<QLabel*>("LblPage");
            auto* area = preview->findChild<QScrollArea*>();
            auto* view = preview->findChild<SheetView*>();
            // The page screen's 印刷, the preview open (it takes the paper in force).
            page_->findChild<QPushButton*>("CmdPrint")->click();
            const QList<PdfSheets::Ink> printed = PdfSheets::ReadInk(file("printed.pdf"));
            const QList<PdfSheets::Sheet> printedText = PdfSheets::ReadSheets(file("printed.pdf"));
            QCOMPARE(printed.size(), 3);
            QCOMPARE(PdfSheets::run("pdfimages", {"-list", file("printed.pdf")}).count('\n'), 2);
            // Fit: the sheet whole in the area; then real size, twice, and a
            // notch of the wheel with Ctrl, a quarter larger.
            const QRect sheet = view->SheetRect().translated(view->pos());
            QVERIFY(area->viewport()->rect().contains(sheet));
            const double real = view->logicalDpiX() / 25.4;
            click(preview, "CmdZoom100");
            zooms.append(view->Scale() / real);
            QWheelEvent wheel(QPointF(10, 10), area->viewport()->mapToGlobal(QPointF(10, 10)),
                              QPoint(), QPoint(0, 120), Qt::NoButton, Qt::ControlModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(area->viewport(), &wheel);
            zooms.append(view->Scale() / real);
            click(preview, "CmdZoom200");
            zooms.append(view->Scale() / real);

            auto step = [&](const std::function<void()>& action) {
                action();
                labels.append(label->text());
                const QSizeF mm = view->SheetMm();
                papers.append(QString("%1x%2 ").arg(qRound(mm.width())).arg(qRound(mm.height())) +
                              backdrop(view->Picture()));
                click(preview, "ChkForm");
                const QImage picture = view->Picture();
                click(preview, "ChkForm");
                const int dpi = qRound(picture.dotsPerMeterX() * 0.0254);
                const int s = preview->CurrentSheet();
                const QRectF ink = PdfSheets::InkBox(picture, dpi);
                const QRectF inkPrinted = printed[s].box.translated(OffsetLeft, OffsetTop);
                QVERIFY2(apart(ink.topLeft() - inkPrinted.topLeft()) < 2 * 25.4 / dpi &&
                             apart(ink.bottomRight() - inkPrinted.bottomRight()) < 2 * 25.4 / dpi,
                         qPrintable(QString("sheet %1: ").arg(s + 1) + QDebug::toString(ink) +
                                    " previewed, " + QDebug::toString(inkPrinted) + " printed"));
            };
            step([] {});
            step([&] { QTest::keyClick(preview, Qt::Key_PageDown); });
            step([&] { click(preview, "CmdNext"); });
            step([&] { QTest::keyClick(preview, Qt::Key_PageDown); });
            step([&] { QTest::keyClick(area, Qt::Key_PageUp); });
            step([&] { click(preview, "CmdPrev"); });
            QVERIFY(!preview->findChild<QPushButton*>("CmdPrev")->isEnabled());
            click(preview, "CmdFit");
            QCOMPARE(view->SheetRect().translated(view->pos()), sheet);

            QFile::remove(file("printed.pdf"));
            click(preview, "CmdPrint");
            const QList<PdfSheets::Sheet> again = PdfSheets::ReadSheets(file("printed.pdf"));
            QCOMPARE(again.size(), printedText.size());
            for (int s = 0; s < again.size(); ++s)
                QVERIFY(again[s].size == printedText[s].size &&
                        again[s].words.first().box == printedText[s].words.first().box &&
                        again[s].lines() == printedText[s].lines());
            click(preview, "CmdPdf");
            QTest::keyClick(preview, Qt::Key_Escape);
            escClosed = !preview->isVisible();
        }));
        QCOMPARE(labels, QStringList({"1 / 3", "2 / 3", "3 / 3", "3 / 3", "2 / 3", "1 / 3"}));
        const QString p1 = Papers[0] + " ddddb", p3 = "148x210 wwwww", p4 = "182x257 ddddb";
        QCOMPARE(papers, QStringList({p1, p3, p4, p4, p3, p1}));
        QCOMPARE(zooms, QList<double>({1, 1.25, 2}));
        QCOMPARE(suggested, QString("見積_2024.pdf"));
        QVERIFY(escClosed);
        QCOMPARE(recorder_->texts(), QStringList());
        QVERIFY(page_ && page_->isVisible());
    }

    // PDF保存: the suggested name; ".pdf" added when the name lacks it; each
    // page on its sheet's paper, the items at their millimetres from the
    // sheet's edge (no offsets), text as text; the forms only when asked for,
    // one image on each sheet that has one. An older file of the name is
    // replaced by a file as readable as any new one.
    void pdfSave_data() {
        QTest::addColumn<QString>("templateName");
        QTest::addColumn<QString>("suggested");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::addColumn<bool>("forms");
        auto row = [](const char* name, const char* templateName, const char* suggested,
                      const char* typed, const char* written, bool forms) {
            QTest::newRow(name) << templateName << suggested << typed << written << forms;
        };
        row("no forms", "請求書/控え", "請求書_控え.pdf", "out", "out.pdf", false);
        row("forms", "a\tb\x7f", "a_b_.pdf", "out.PDF", "out.PDF", true);
        row("no name", "", "VESK.pdf", "out.v2", "out.v2.pdf", true);
    }

    void pdfSave() {
        QFETCH(QString, templateName);
        QFETCH(QString, suggested);
        QFETCH(QString, typed);
        QFETCH(QString, written);
        QFETCH(bool, forms);
        QStringList asked;
        SetFileSaveResponder([&](const FileSaveRequest& r) {
            asked.append(QFileInfo(r.fileName).fileName());
            return std::optional<QString>(file(typed));
        });
        WriteBytes(file(written), "an older file");
        FrmPreview* preview = openPreview(templateName);
        preview->findChild<QCheckBox*>("ChkPdfForm")->setChecked(forms);
        click(preview, "CmdPdf");
        QCOMPARE(recorder_->texts(), QStringList());
        QCOMPARE(asked, QStringList{suggested});
        // Readable as any new file of the user's, not only by its owner.
        WriteBytes(file("model"), "");
        QCOMPARE(QFileInfo(file(written)).permissions(), QFileInfo(file("model")).permissions());

        const QList<PdfSheets::Sheet> sheets = PdfSheets::ReadSheets(file(written));
        QCOMPARE(sheets.size(), Pages.size());
        const SheetPlan plan = page_->SheetsToPrint();
        for (int s = 0; s < sheets.size(); ++s) {
            const QSizeF size = sheets[s].size;
            QCOMPARE(QString("%1x%2").arg(qRound(size.width())).arg(qRound(size.height())),
                     Papers[s]);
            // The left-aligned item's first line (alignment is the renderer's).
            const TextItem& item = plan[s].items[0];
            const QRectF first = sheets[s].words.value(0).box;
            QVERIFY2(sheets[s].words.value(0).text == item.moji.left(item.pColCount) &&
                         apart(first.topLeft() - QPointF(item.pLeft, item.pTop)) < 0.001,
                     qPrintable(QDebug::toString(first)));
        }
        // pdfimages -list: two heading lines, then one line per image.
        QStringList pagesWithImages;
        for (const QString& line : PdfSheets::run("pdfimages", {"-list", file(written)})
                                       .split('\n', Qt::SkipEmptyParts)
                                       .mid(2))
            pagesWithImages.append(line.simplified().section(' ', 0, 0));
        QCOMPARE(pagesWithImages, forms ? QStringList({"1", "3", "4", "5"}) : QStringList());
    }

    // A PDF that cannot be written whole is not written at all: the message
    // of a failure, and the older file as it was.
    void pdfFailureLeavesNoFile() {
        QVERIFY(QDir(out_->path()).mkdir("folder.pdf"));
        WriteBytes(file("out.pdf"), "an older file");
        for (const char* typed : {"missing/out.pdf", "folder.pdf", "out.pdf"}) {
            if (typed == QString("out.pdf")) // an item that cannot be drawn
                app_->AddItem("99", pageId(4), "x", "0", "20", "80", "50", "20", "1", 0);
            SetFileSaveResponder(
                [&](const FileSaveRequest&) { return std::optional<QString>(file(typed)); });
            click(openPreview(), "CmdPdf");
            QCOMPARE(recorder_->texts(), QStringList{"処理中、異常が発生しました。\r"});
            recorder_->shown.clear();
        }
        QCOMPARE(ReadBytes(file("out.pdf")), QByteArray("an older file"));
        QVERIFY(QFileInfo(file("folder.pdf")).isDir() && !QFileInfo::exists(file("missing")));
    }
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
