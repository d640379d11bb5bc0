// The print preview ("印刷プレビュー"): the sheets that 印刷 prints, each on
// its own paper and direction, as laid out: the text at its millimetres from
// the sheet's edge, without printer offsets or margins, over the scanned form
// of its page while "フォームを表示" is ticked (a form is never printed). From
// here the user prints exactly these sheets, or saves them as one PDF file.
// Modal and maximised, opened by the page setup screen; Esc closes it.
#pragma once

#include "common/Form.h"
#include "print/LayoutSheets.h"
#include "print/SheetPaper.h"
#include "print/SheetPlan.h"

#include <QList>
#include <QPageLayout>

class QCheckBox;
class QLabel;
class QPushButton;
class QScrollArea;
class SheetView;

class FrmPreview : public Form {
    Q_OBJECT
public:
    // `plan`: at least one sheet. `templateName` suggests the PDF file's name.
    // `forms` gives each page's form (a null image for none).
    FrmPreview(const SheetPlan& plan, const QString& templateName, FormProvider forms,
               QWidget* parent = nullptr);

    // The sheet on view, from 0.
    int CurrentSheet() const { return current_; }
    // The paper of each sheet as printing resolves it, and as a page layout.
    const QList<SheetPaper>& Papers() const { return papers_; }
    const QList<QPageLayout>& Layouts() const { return layouts_; }
    // The name PDF保存 suggests: the template's name with "/" and control
    // characters replaced by "_", "VESK" when it is empty.
    static QString PdfFileName(const QString& templateName);

protected:
    void CloseBox_Click() override { CmdClose_Click(); }
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CmdPrev_Click();
    void CmdNext_Click();
    void CmdFit_Click();
    void CmdZoom_Click(double zoom);
    void ChkForm_Click();
    void CmdPrint_Click();
    void CmdPdf_Click();
    void CmdClose_Click();

    void ShowSheet(int index);
    // Zoom 0 fits the sheet into the window; otherwise 1 is the sheet's real size.
    void SetZoom(double zoom);
    void ApplyZoom();
    double FitZoom() const;
    double RealSizeScale() const;

    SheetPlan plan_;
    QList<SheetPaper> papers_;
    QList<QPageLayout> layouts_;
    QString templateName_;
    FormProvider forms_;
    int current_ = 0;
    double zoom_ = 0;

    QPushButton* CmdPrev;
    QLabel* LblPage;
    QPushButton* CmdNext;
    QPushButton* CmdFit;
    QPushButton* CmdZoom100;
    QPushButton* CmdZoom200;
    QLabel* LblZoom;
    QCheckBox* ChkForm;
    QPushButton* CmdPrint;
    QPushButton* CmdPdf;
    QCheckBox* ChkPdfForm;
    QPushButton* CmdClose;
    QScrollArea* SheetArea;
    SheetView* View;
};
