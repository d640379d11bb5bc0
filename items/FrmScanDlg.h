// The item detail dialog ("イメージ登録詳細"): proposes a new text item from
// the dragged edges (SelectionLeft, SelectionRight, SelectionTop) and the item
// defaults of the settings, stores it on CurrentPageId and adds it to the open
// text item grid. Opened modally by the image placement screens.
#pragma once

#include "common/Form.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class FrmScanDlg : public Form {
    Q_OBJECT
public:
    explicit FrmScanDlg(QWidget* parent = nullptr);

protected:
    void Form_Load() override;
    void Form_Activate() override;
    void CloseBox_Click() override { CmdCancel_Click(); }

private:
    void CmdOK_Click();
    void CmdCancel_Click();

    QLabel* LblMoji;
    QLabel* LblLeft;
    QLabel* LblRight;
    QLabel* LblTop;
    QLabel* LblFont;
    QLabel* LblCol;
    QLabel* LblRow;
    QLabel* LblAlign;
    QLineEdit* TxtMoji;
    QLineEdit* TxtLeft;
    QLineEdit* TxtRight;
    QLineEdit* TxtTop;
    QLineEdit* TxtFont;
    QLineEdit* TxtCol;
    QLineEdit* TxtRow;
    QComboBox* CmbAlign;
    QPushButton* CmdOK;
    QPushButton* CmdCancel;
};
