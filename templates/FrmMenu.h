// The main menu ("メインメニュー"): the hub from which every task starts.
// Each activation centres it and reloads the settings file.
#pragma once

#include "common/Form.h"

class QGroupBox;
class QPushButton;

class FrmMenu : public Form {
    Q_OBJECT
public:
    explicit FrmMenu(QWidget* parent = nullptr);

protected:
    void Form_Activate() override;
    // The close box ends the program as "終了" does.
    void CloseBox_Click() override { CmdEnd_Click(); }

private:
    void CmdInsert_Click();
    void CmdCopy_Click();
    void CmdUpdate_Click();
    void CmdDelete_Click();
    void CmdGosa_Click();
    void CmdVersion_Click();
    void CmdEnd_Click();
    // Unloads the menu and shows the template dialog, not modal.
    void LeaveForTemplateDialog();

    QPushButton* CmdVersion;
    QPushButton* CmdEnd;
    QGroupBox* FraTemplate;
    QPushButton* CmdCopy;
    QPushButton* CmdUpdate;
    QPushButton* CmdDelete;
    QPushButton* CmdInsert;
    QGroupBox* FraIni;
    QPushButton* CmdGosa;
};
