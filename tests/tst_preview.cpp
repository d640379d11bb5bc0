// The print preview and PDF保存: the preview shows the sheets that 印刷
// prints, on the same paper, less the printer offsets, over each page's form;
// its 印刷 prints them; the PDF holds them at their millimetres from the
// sheet's edge, with or without the forms, and appears only when complete.
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

    // Each previewed sheet, drawn at 200 %, has the paper and the ink of the
    // printed one, moved back by the printer offsets, over its form (which
    // "ChkForm" hides); the form is never printed. The preview's own 印刷
    // prints exactly what the page screen's prints.
    void previewShowsWhatPrintPrints() {
        FrmPreview* preview = openPreview();
        click(page_, "CmdPrint");
        const QList<PdfSheets::Ink> printed = PdfSheets::ReadInk(file("printed.pdf"));
        const QList<PdfSheets::Sheet> printedText = PdfSheets::ReadSheets(file("printed.pdf"));
        QCOMPARE(printed.size(), Pages.size());

        auto* view = preview->findChild<SheetView*>();
        click(preview, "CmdZoom200");
        for (int s = 0; s < Pages.size(); ++s) {
            QCOMPARE(preview->CurrentSheet(), s);
            click(preview, "ChkForm");
            const QImage picture = view->Picture();
            click(preview, "ChkForm");
            const int dpi = qRound(picture.dotsPerMeterX() * 0.0254);
            QVERIFY(apart(QPointF(picture.width(), picture.height()) * 25.4 / dpi -
                          QPointF(printed[s].sheet.width(), printed[s].sheet.height())) < 0.3);
            const QRectF ink = PdfSheets::InkBox(picture, dpi);
            const QRectF inkPrinted = printed[s].box.translated(OffsetLeft, OffsetTop);
            QVERIFY2(apart(ink.topLeft() - inkPrinted.topLeft()) < 2 * 25.4 / dpi &&
                         apart(ink.bottomRight() - inkPrinted.bottomRight()) < 2 * 25.4 / dpi,
                     qPrintable(QString("sheet %1: ").arg(s + 1) + QDebug::toString(ink) +
                                " previewed, " + QDebug::toString(inkPrinted) + " printed"));
            QTest::keyClick(preview, Qt::Key_PageDown);
        }

        QFile::remove(file("printed.pdf"));
        click(preview, "CmdPrint");
        QCOMPARE(recorder_->texts(), QStringList());
        const QList<PdfSheets::Sheet> again = PdfSheets::ReadSheets(file("printed.pdf"));
        QCOMPARE(again.size(), printedText.size());
        for (int s = 0; s < again.size(); ++s)
            QVERIFY(again[s].size == printedText[s].size &&
                    again[s].words.first().box == printedText[s].words.first().box &&
                    again[s].lines() == printedText[s].lines());
        QCOMPARE(PdfSheets::run("pdfimages", {"-list", file("printed.pdf")}).count('\n'), 2);
    }

    // PDF保存: the suggested name; ".pdf" added when the name lacks it; each
    // page on its sheet's paper, every item's first line at its millimetres
    // from the sheet's edge (no offsets), text as text; the forms only when
    // asked for, one image on each sheet that has one. An older file of the
    // name is replaced by a file as readable as any new one.
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
        QList<FileSaveRequest> asked;
        SetFileSaveResponder([&](const FileSaveRequest& r) {
            asked.append(r);
            return std::optional<QString>(file(typed));
        });
        WriteBytes(file(written), "an older file");
        FrmPreview* preview = openPreview(templateName);
        preview->findChild<QCheckBox*>("ChkPdfForm")->setChecked(forms);
        click(preview, "CmdPdf");
        QCOMPARE(recorder_->texts(), QStringList());
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].filter, QString("PDF (*.pdf)"));
        QCOMPARE(QFileInfo(asked[0].fileName).fileName(), suggested);

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
            // Each item's first line: its top at p_top, its left end, middle
            // or right end at p_left, the box's middle or p_right.
            for (const TextItem& item : plan[s].items) {
                const QString text = item.moji.left(item.pColCount);
                const auto first =
                    std::find_if(sheets[s].words.cbegin(), sheets[s].words.cend(),
                                 [&](const PdfSheets::Word& w) {
                                     return w.text == text && qAbs(w.box.top() - item.pTop) < 1;
                                 });
                QVERIFY(first != sheets[s].words.cend());
                const QRectF& box = first->box;
                const double x = QList{box.left(), box.center().x(), box.right()}[item.pPosition];
                const double want =
                    QList{item.pLeft, (item.pLeft + item.pRight) / 2, item.pRight}[item.pPosition];
                QVERIFY2(qAbs(box.top() - item.pTop) < 0.001 && qAbs(x - want) < 0.001,
                         qPrintable(text + QDebug::toString(box)));
            }
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
    // of a failure, and the older file, if any, as it was.
    void pdfFailureLeavesNoFile_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("badItem");
        QTest::newRow("a folder that does not exist") << "missing/out.pdf" << false;
        QTest::newRow("a folder in the file's place") << "folder.pdf" << false;
        QTest::newRow("an item that cannot be drawn") << "out.pdf" << true;
    }

    void pdfFailureLeavesNoFile() {
        QFETCH(QString, typed);
        QFETCH(bool, badItem);
        QVERIFY(QDir(out_->path()).mkdir("folder.pdf"));
        WriteBytes(file("out.pdf"), "an older file");
        if (badItem)
            app_->AddItem("99", pageId(4), "x", "0", "20", "80", "50", "20", "1", 0);
        SetFileSaveResponder(
            [&](const FileSaveRequest&) { return std::optional<QString>(file(typed)); });
        FrmPreview* preview = openPreview();
        click(preview, "CmdPdf");
        QCOMPARE(recorder_->texts(), QStringList{"処理中、異常が発生しました。\r"});
        QCOMPARE(ReadBytes(file("out.pdf")), QByteArray("an older file"));
        QVERIFY(QFileInfo(file("folder.pdf")).isDir());
        QVERIFY(!QFileInfo::exists(file("missing")));
    }

    // プレビュー on the page screen: nothing ticked is the print command's
    // message and no preview; otherwise the ticked rows' sheets, turned by
    // the buttons and PageUp/PageDown (also where the sheet's area has the
    // focus), zoomed by the buttons and Ctrl + wheel; every control named
    // in Japanese; each sheet over the form its page remembers, stretched
    // over the whole sheet, or white paper; the template's name as typed
    // suggests the PDF's; Esc closes it.
    void previewFromThePageScreen() {
        SpreadGrid* grid = page_->findChild<SpreadGrid*>("vaSpread");
        for (int r = 1; r <= Pages.size(); ++r)
            grid->SetCellText(FrmPage::ColPrint, r, "0");
        QVERIFY(!withPreviewFromButton([](FrmPreview*) {}));
        QCOMPARE(recorder_->texts(), QStringList{"印刷対象ページが選択されていません。\r"});
        recorder_->shown.clear();

        for (int r : {1, 3, 4})
            grid->SetCellText(FrmPage::ColPrint, r, "1");
        for (int p : {1, 4})
            Forms().RememberForm(pageId(p), formOf(pageId(p)), QSizeF(210, 297));
        page_->findChild<QLineEdit*>("TxtTemplate")->setText("見積/2024");
        QString suggested;
        SetFileSaveResponder([&](const FileSaveRequest& r) {
            suggested = QFileInfo(r.fileName).fileName();
            return std::nullopt;
        });
        QStringList labels, papers, unnamed;
        QList<double> zooms;
        bool escClosed = false;
        QVERIFY(withPreviewFromButton([&](FrmPreview* preview) {
            auto* label = preview->findChild<QLabel*>("LblPage");
            auto* area = preview->findChild<QScrollArea*>();
            auto* view = preview->findChild<SheetView*>();
            auto step = [&](const std::function<void()>& action) {
                action();
                labels.append(label->text());
                const QSizeF mm = view->SheetMm();
                papers.append(QString("%1x%2 ").arg(qRound(mm.width())).arg(qRound(mm.height())) +
                              backdrop(view->Picture()));
            };
            step([] {});
            step([&] { QTest::keyClick(preview, Qt::Key_PageDown); });
            step([&] { click(preview, "CmdNext"); });
            step([&] { QTest::keyClick(preview, Qt::Key_PageDown); });
            step([&] { QTest::keyClick(area, Qt::Key_PageUp); });
            step([&] { click(preview, "CmdPrev"); });
            QVERIFY(!preview->findChild<QPushButton*>("CmdPrev")->isEnabled());

            // Fit: the sheet whole in the area; then real size, twice, and a
            // notch of the wheel with Ctrl, a quarter larger.
            const QRect sheet = view->SheetRect().translated(view->pos());
            QVERIFY(area->viewport()->rect().contains(sheet));
            const double real = view->logicalDpiX() / 25.4;
            click(preview, "CmdZoom100");
            zooms.append(view->Scale() / real);
            click(preview, "CmdZoom200");
            zooms.append(view->Scale() / real);
            QWheelEvent wheel(QPointF(10, 10), area->viewport()->mapToGlobal(QPointF(10, 10)),
                              QPoint(), QPoint(0, 120), Qt::NoButton, Qt::ControlModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(area->viewport(), &wheel);
            zooms.append(view->Scale() / real);
            click(preview, "CmdFit");
            QCOMPARE(view->SheetRect().translated(view->pos()), sheet);

            for (QWidget* w : preview->findChildren<QWidget*>()) {
                const bool control = qobject_cast<QAbstractButton*>(w) ||
                                     qobject_cast<QLabel*>(w) || w == area || w == view;
                const QString name = w->accessibleName();
                if (control && !std::any_of(name.cbegin(), name.cend(),
                                            [](QChar c) { return c.unicode() >= 0x3000; }))
                    unnamed.append(w->objectName());
            }
            click(preview, "CmdPdf");
            QTest::keyClick(preview, Qt::Key_Escape);
            escClosed = !preview->isVisible();
        }));
        QCOMPARE(labels, QStringList({"1 / 3", "2 / 3", "3 / 3", "3 / 3", "2 / 3", "1 / 3"}));
        const QString p1 = Papers[0] + " ddddb", p3 = Papers[2] + " wwwww",
                      p4 = Papers[3] + " ddddb";
        QCOMPARE(papers, QStringList({p1, p3, p4, p4, p3, p1}));
        QCOMPARE(zooms, QList<double>({1, 2, 2.5}));
        QCOMPARE(unnamed, QStringList());
        QCOMPARE(suggested, QString("見積_2024.pdf"));
        QVERIFY(escClosed);
        QCOMPARE(recorder_->texts(), QStringList());
        QVERIFY(page_ && page_->isVisible());
    }
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
