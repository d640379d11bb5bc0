// The version screen: the application's title, its version and a usage note
// about printer misalignment. Opened modally from the main menu.
#pragma once

#include "common/Form.h"

#include <QIcon>
#include <QString>

class QLabel;
class QPushButton;

// "ﾊﾞｰｼﾞｮﾝ " + major + "." + minor, the numbers in plain decimal; the
// splash screen and the version screen show the same text.
QString VersionText(int major, int minor);
// The program's own version text.
QString VersionText();
// The usage note, its lines joined by carriage returns.
QString UsageNote();
// The program's 32 x 32 icon (also makes sure the picture resources are in).
QIcon ProgramIcon();

class FrmAbout : public Form {
    Q_OBJECT
public:
    explicit FrmAbout(QWidget* parent = nullptr);

protected:
    void Form_Load() override;
    void Form_Activate() override;
    void CloseBox_Click() override { cmdOK_Click(); }

private:
    void cmdOK_Click();

    QLabel* picIcon;
    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* lblDescription;
    QPushButton* cmdOK;
};
