// 印刷 and プレビュー on the page setup screen, and PDF保存.
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
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QtTest>

namespace {

// Template 1's direction and size codes; one outside the lists keeps what is in force.
const QList<QPoint> Pages{{-1, -1}, {0, 1}, {1, 0}, {-1, 4}, {0, 7}};
// The paper each prints on, in whole millimetres, after a B4 landscape command.
const QStringList Papers{"364x257", "210x297", "420x297", "257x182", "182x257"};
const auto pageId = [](int p) { return QString::number(10 + p); };
const auto apart = [](QPointF d) { return qMax(qAbs(d.x()), qAbs(d.y())); };

// A generated form, dark all over; page 2 has none.
QImage formOf(const QString& id) {
    QImage form(827, 1169, QImage::Format_RGB32); // A4 at 100 dpi
    form.fill(QColor(40, 40, 40));
    return id == pageId(2) ? QImage() : form;
}

QString mm(QSizeF size) {
    return QString("%1x%2").arg(qRound(size.width())).arg(qRound(size.height()));
}

// A sheet's two opposite corners: "d" dark (the form) or "w" white.
QString corners(const QImage& sheet) {
    auto at = [&](int x, int y) { return sheet.pixelColor(x, y).lightness() < 80 ? 'd' : 'w'; };
    return QString(at(3, 3)) + at(sheet.width() - 4, sheet.height() - 4);
}

} // namespace

class TestPreview : public QObject {
    Q_OBJECT
    QTemporaryDir out_;
    OpenAppFolder app_;
    MessageRecorder recorder_;
    QPointer<FrmPage> page_;

    QString file(const QString& name) const { return out_.filePath(name); }
    void click(QWidget* screen, const char* name) {
        QTest::mouseClick(screen->findChild<QAbstractButton*>(name), Qt::LeftButton);
    }
    // Presses プレビュー and runs `body` on the modal preview, if one opens.
    void withPreview(const std::function<void(FrmPreview*)>& body) {
        QTimer::singleShot(0, this, [&] {
            if (auto* preview = qobject_cast<FrmPreview*>(QApplication::activeModalWidget())) {
                body(preview);
                preview->close();
            }
        });
        click(page_, "CmdPreview");
        QCoreApplication::processEvents();
    }

private slots:
    // PDF保存: ".pdf" added, an older file replaced by a readable one, items at mm; 印刷 and
    // プレビュー: the ticked saved rows as the lists show them; previewed over the form, ink as
    // printed.
    void pdfPrintAndPreview() {
        const auto n = [](int v) { return QString::number(v); };
        app_.AddTemplate("1");
        for (int p = 1; p <= Pages.size(); ++p) {
            app_.AddPage(pageId(p), "1", n(p), Pages[p - 1].x(), Pages[p - 1].y());
            // Left, centred and right, two lines each, lower on every page.
            for (int align = 0; align < 3; ++align)
                app_.AddItem(n(p * 3 + align), pageId(p), QString("御中%1ページ帳票ABCDE").arg(p),
                             n(9 + align * 2), n(15 + 30 * align), n(80 + 30 * align),
                             n(20 + 10 * p + 25 * align), "6", "2", align);
        }
        std::tie(OffsetLeft, OffsetTop) = std::pair(3.5, -2.25);
        ResetRunPrinter();
        PrintToPdfFile(file("before.pdf"));
        PrintSheets({Sheet{1, 3, {}}}); // B4 landscape stays in force
        PrintToPdfFile(file("printed.pdf"));
        CurrentTemplateId = "1";
        ShowPageSetup();
        page_ = VisibleScreen<FrmPage>();
        QTest::qWait(20);
        WriteBytes(file("model"), "");
        for (auto [name, suggested, typed, written, forms] :
             {std::tuple("請求書/控え", "請求書_控え.pdf", "out", "out.pdf", false),
              {"", "VESK.pdf", "out.v2", "out.v2.pdf", true}}) {
            SetFileSaveResponder([&](const FileSaveRequest& r) { // cancelled unless suggested
                const bool named = QFileInfo(r.fileName).fileName() == suggested;
                return named ? std::optional<QString>(file(typed)) : std::nullopt;
            });
            WriteBytes(file(written), "an older file");
            auto* preview = new FrmPreview(page_->SheetsToPrint(), name, formOf);
            preview->show();
            preview->findChild<QCheckBox*>("ChkPdfForm")->setChecked(forms);
            click(preview, "CmdPdf");
            QCOMPARE(QFileInfo(file(written)).permissions(),
                     QFileInfo(file("model")).permissions());
            QCOMPARE(PdfSheets::run("pdfimages", {"-list", file(written)}).count('\n'),
                     forms ? 6 : 2); // two heading lines, one per form (pages 1, 3, 4, 5)
        }
        const QList<PdfSheets::Sheet> pdf = PdfSheets::ReadSheets(file("out.v2.pdf"));
        for (int s = 0; s < Pages.size(); ++s) {
            const TextItem item = page_->SheetsToPrint()[s].items[0]; // left aligned
            const PdfSheets::Word first = pdf.value(s).words.value(0);
            QVERIFY(mm(pdf.value(s).size) == Papers[s] &&
                    first.text == item.moji.left(item.pColCount) &&
                    apart(first.box.topLeft() - QPointF(item.pLeft, item.pTop)) < 0.001);
        }
        SpreadGrid* grid = page_->findChild<SpreadGrid*>("vaSpread");
        for (int r = 1; r <= Pages.size(); ++r)
            grid->SetCellText(FrmPage::ColPrint, r, "0");
        withPreview([](FrmPreview*) { QFAIL("a preview opened"); });
        QCOMPARE(std::exchange(recorder_.shown, {}).value(0).text,
                 "印刷対象ページが選択されていません。\r");
        for (int r : {1, 3, 4, 6})
            grid->SetCellText(FrmPage::ColPrint, r, "1");
        grid->SetCellText(FrmPage::ColPageNo, 6, "6"); // typed, not saved: no page to print
        // Row 3: A5 shown, A3 saved; "縦" chosen in the open drop-down, "横" saved.
        grid->SetListIndex(FrmPage::ColSize, 3, 2);
        grid->setFocus();
        grid->SetActiveCell(FrmPage::ColDirection, 3);
        QTest::keyClick(grid, Qt::Key_F4);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(grid->Editing() && grid->ListIndex(FrmPage::ColDirection, 3) == 1);
        for (int p : {1, 4})
            Forms().RememberForm(pageId(p), formOf(pageId(p)), QSizeF(210, 297));
        QStringList sheets;
        withPreview([&](FrmPreview* preview) {
            auto* view = preview->findChild<SheetView*>();
            // The page screen's 印刷, the preview open (it takes the paper in force).
            page_->findChild<QPushButton*>("CmdPrint")->click();
            const QList<PdfSheets::Ink> printed = PdfSheets::ReadInk(file("printed.pdf"));
            QCOMPARE(printed.size(), 3);
            auto step = [&](const std::function<void()>& action) {
                action();
                sheets.append(preview->findChild<QLabel*>("LblPage")->text() + " " +
                              mm(view->SheetMm()) + " " + corners(view->Picture()));
                click(preview, "ChkForm");
                const QImage picture = view->Picture();
                click(preview, "ChkForm");
                const int dpi = qRound(picture.dotsPerMeterX() * 0.0254);
                const QRectF ink = PdfSheets::InkBox(picture, dpi);
                const QRectF inkPrinted =
                    printed[preview->CurrentSheet()].box.translated(OffsetLeft, OffsetTop);
                QVERIFY(apart(ink.topLeft() - inkPrinted.topLeft()) < 2 * 25.4 / dpi &&
                        apart(ink.bottomRight() - inkPrinted.bottomRight()) < 2 * 25.4 / dpi);
            };
            step([] {});
            step([&] { QTest::keyClick(preview, Qt::Key_PageDown); });
            step([&] { click(preview, "CmdNext"); });
            step([&] { QTest::keyClick(preview->findChild<QScrollArea*>(), Qt::Key_PageUp); });
            step([&] { click(preview, "CmdPrev"); });

            QFile::remove(file("printed.pdf"));
            click(preview, "CmdPrint");
            const QList<PdfSheets::Ink> again = PdfSheets::ReadInk(file("printed.pdf"));
            QCOMPARE(again.size(), printed.size());
            for (int s = 0; s < again.size(); ++s)
                QVERIFY(again[s].sheet == printed[s].sheet && again[s].box == printed[s].box);
            // 100 % is the sheet's real size; Ctrl + wheel zooms a notch; 全体表示 fits again.
            auto* zoom = preview->findChild<QLabel*>("LblZoom");
            const QString fit = zoom->text();
            click(preview, "CmdZoom100");
            QStringList zooms{zoom->text()};
            QCOMPARE(view->Scale() * 25.4 / view->logicalDpiX(), 1.0);
            QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 120), Qt::NoButton,
                              Qt::ControlModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(preview->findChild<QScrollArea*>()->viewport(), &wheel);
            zooms.append(zoom->text());
            click(preview, "CmdZoom200");
            zooms.append(zoom->text());
            click(preview, "CmdFit");
            QCOMPARE(zooms << zoom->text(), QStringList({"100 %", "125 %", "200 %", fit}));
            QTest::keyClick(preview, Qt::Key_Escape); // closes it, as 閉じる does
            QVERIFY(!preview->isVisible());
        });
        const QString p1 = "1 / 3 " + Papers[0] + " dd", p3 = "2 / 3 148x210 ww";
        QCOMPARE(sheets, QStringList({p1, p3, "3 / 3 182x257 dd", p3, p1}));

        // A PDF that cannot be written whole is not written; the older file stays.
        const QByteArray older = ReadBytes(file("out.pdf"));
        for (const char* typed : {"missing/out.pdf", "out.pdf"}) {
            if (typed == QString("out.pdf")) // an item that cannot be drawn
                app_.AddItem("99", pageId(4), "x", "0", "20", "80", "50", "20", "1", 0);
            SetFileSaveResponder(
                [&](const FileSaveRequest&) { return std::optional<QString>(file(typed)); });
            auto* preview = new FrmPreview(page_->SheetsToPrint(), "請求書", formOf);
            preview->show();
            click(preview, "CmdPdf");
            QCOMPARE(std::exchange(recorder_.shown, {}).value(0).text,
                     "処理中、異常が発生しました。\r");
        }
        QCOMPARE(ReadBytes(file("out.pdf")), older);
        QVERIFY(!QFileInfo::exists(file("missing")) && recorder_.shown.isEmpty());
        SetFileSaveResponder({});
        CloseAllScreens();
        QCOMPARE(QDir(out_.path()).entryList(QDir::Hidden | QDir::Files).filter("vesk-print"),
                 QStringList()); // no drawing or partial PDF left behind
    }
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
