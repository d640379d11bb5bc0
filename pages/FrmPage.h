// The page setup screen ("ページ設定"): a template's name and the grid of its
// pages, from which the user saves, prints or previews the print, and opens a
// page's text items.
#pragma once

#include "common/Form.h"
#include "common/Globals.h"
#include "print/SheetPlan.h"

class QLabel;
class QLineEdit;
class QPushButton;
class SpreadGrid;

class FrmPage : public Form {
    Q_OBJECT
public:
    // Columns of the page grid.
    enum Column { ColPageNo = 1, ColDirection, ColSize, ColPrint, ColDetail };

    explicit FrmPage(QWidget* parent = nullptr);

    // The pages to print: every row with a saved page, down to the first row
    // without one, whose print mark is ticked, with its lists as shown.
    SheetPlan SheetsToPrint();
    // The id of the saved page in grid row `row` (1 to 30); empty for none.
    const QString& PageId(int row) const { return pageIds_[row]; }

protected:
    void Form_Load() override;
    void Form_Activate() override;
    void CloseBox_Click() override { CmdBack_Click(); }

private:
    void TxtTemplate_GotFocus();
    void vaSpread_LeaveCell(int col, int row, int newCol, int newRow, bool* cancel);
    void vaSpread_ButtonClicked(int col, int row);
    void CmdPrint_Click();
    void CmdOK_Click();
    void CmdBack_Click();
    void CmdPreview_Click();

    void FillPageGrid();

    QLabel* LblTemplate;
    QLineEdit* TxtTemplate;
    SpreadGrid* vaSpread;
    QPushButton* CmdPrint;
    QPushButton* CmdOK;
    QPushButton* CmdBack;
    QPushButton* CmdPreview;

    // Slot r holds the id of the saved page in row r; slot 0 is unused.
    QString pageIds_[PageRowCount + 1];
};
