// The print preview ("印刷プレビュー"): the sheets that 印刷 prints, each on
// its own paper and direction, as laid out: the text at its millimetres from
// the sheet's edge, without printer offsets or margins, over the scanned form
// of its page while "フォームを表示" is ticked (a form is never printed). From
// here the user prints exactly these sheets, or saves them as one PDF file.
// With a merge list read ("差し込みデータ…"), every record is the whole set
// of sheets with that record's values in its fields; the preview turns the
// records as well as the sheets, and prints or saves a range of records. The
// list's file and encoding are remembered for the template and read again
// when its preview opens next.
// Modal and maximised, opened by the page setup screen; Esc closes it.
#pragma once

#include "common/Form.h"
#include "merge/MergeList.h"
#include "platform/FileOpenDialog.h"
#include "print/LayoutSheets.h"
#include "print/MergePrint.h"
#include "print/SheetPaper.h"
#include "print/SheetPlan.h"

#include <QList>
#include <QPageLayout>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class SheetView;

class FrmPreview : public Form {
    Q_OBJECT
public:
    // `plan`: at least one sheet. `templateName` suggests the PDF file's name.
    // `forms` gives each page's form (a null image for none). `templateId`
    // names the template whose merge file is read again and remembered; empty
    // for none.
    FrmPreview(const SheetPlan& plan, const QString& templateName, FormProvider forms,
               const QString& templateId = QString(), QWidget* parent = nullptr);

    // The sheet on view, from 0, within the record on view.
    int CurrentSheet() const { return current_; }
    // The sheet on view, with the record's values in its fields.
    const Sheet& SheetOnView() const { return shown_[current_]; }
    // The merge list read, if any, and the record on view, from 0.
    const std::optional<MergeList>& MergeData() const { return list_; }
    int CurrentRecord() const { return record_; }
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
    void CmdMerge_Click();
    void CboEncoding_Click();
    void CmdPrevRecord_Click();
    void CmdNextRecord_Click();
    void TxtFirst_GotFocus();
    void TxtFirst_LostFocus();
    void TxtLast_GotFocus();
    void TxtLast_LostFocus();

    void ShowSheet(int index);
    // Shows record `index` (from 0) of the list, on the same sheet.
    void ShowRecord(int index);
    // Reads the merge file `path` in `encoding`; on success it becomes the
    // list on view from its first record (remembered for the template when
    // `remember`), otherwise this throws and nothing changes.
    void ReadMergeFile(const QString& path, MergeEncoding encoding, bool remember);
    // Reads the template's remembered merge file; a missing or unreadable file
    // is said on the warning line.
    void ReadRememberedFile();
    MergeEncoding ChosenEncoding() const;
    void ChooseEncoding(MergeEncoding encoding);
    // A range box's record number (from 1), or nullopt for anything but a
    // whole number from 1 to the number of records.
    std::optional<int> RecordNumber(const QLineEdit* box) const;
    // Refuses a range box that holds no record number; true when it holds one.
    bool CheckRangeBox(QLineEdit* box);
    // The range to print or save, or nullopt after refusing it.
    std::optional<RecordRange> CheckedRange();
    // While a field names a column the list lacks, asks whether to go on.
    bool ConfirmUnknownFields();
    void ShowWarning();
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
    // The merge: the template's id, the file last read or remembered and its
    // encoding as chosen, the list read from it, the record on view, the
    // sheets of that record, the fields the list lacks and what the warning
    // line says of the remembered file.
    QString templateId_;
    QString mergePath_;
    MergeEncoding mergeEncoding_ = MergeEncoding::Auto;
    std::optional<MergeList> list_;
    int record_ = 0;
    SheetPlan shown_;
    QStringList unknownFields_;
    QString fileNote_;
    FileOpenDialog CmnDlg;

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
    QPushButton* CmdMerge;
    QLabel* LblEncoding;
    QComboBox* CboEncoding;
    QPushButton* CmdPrevRecord;
    QLabel* LblRecord;
    QPushButton* CmdNextRecord;
    QLabel* LblFirst;
    QLineEdit* TxtFirst;
    QLabel* LblLast;
    QLineEdit* TxtLast;
    QLabel* LblMergeWarning;
    QScrollArea* SheetArea;
    SheetView* View;
};
