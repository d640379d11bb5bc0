// The item detail dialog ("イメージ登録詳細"): proposes a new text item from
// the dragged edges and the item defaults of the settings, stores it on its
// page and tells whoever listens (the text item grid underneath). Opened
// modally by the image placement screens.
#pragma once

#include "common/Form.h"

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class FrmScanDlg : public Form {
    Q_OBJECT
public:
    // Edges in millimetres from the sheet's top-left corner.
    struct Selection {
        double left = 0;
        double top = 0;
        double right = 0;
    };

    // Proposes an item of the saved page `pageId` in `selection`.
    FrmScanDlg(const QString& pageId, const Selection& selection, QWidget* parent = nullptr);

    // Called with the stored item's id once the dialog has closed.
    std::function<void(const QString& mojiId)> ItemStored;

protected:
    void Form_Load() override;
    void Form_Activate() override;
    void CloseBox_Click() override { CmdCancel_Click(); }

private:
    void CmdOK_Click();
    void CmdCancel_Click();

    const QString pageId_;
    const Selection selection_;

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
