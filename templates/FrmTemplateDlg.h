// The template dialog ("テンプレート選択"): the user picks a stored template
// to copy, open or delete, as the main menu's mode says.
#pragma once

#include "common/Form.h"

class QLabel;
class QListWidget;
class QPushButton;

class FrmTemplateDlg : public Form {
    Q_OBJECT
public:
    explicit FrmTemplateDlg(QWidget* parent = nullptr);

    // Deletes the template whose id is in CurrentTemplateId.
    void DeleteData();

protected:
    void Form_Load() override;
    void Form_Activate() override;
    void CloseBox_Click() override { CmdCancel_Click(); }
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CmdOK_Click();
    void CmdCancel_Click();
    void LstPreview_DblClick();

    void ListTemplates();
    void ChooseTemplate();
    void CopyTemplate();

    QLabel* LblPreview;
    QListWidget* LstPreview;
    QPushButton* CmdOK;
    QPushButton* CmdCancel;
};
