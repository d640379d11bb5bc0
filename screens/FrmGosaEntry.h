// The offsets and defaults screen ("誤差設定"): the two printer offsets and
// the defaults for new text items, read from the settings globals and
// written back to vesk.ini. Opened modally from the main menu. It also prints
// a calibration sheet with the offsets as typed, before they are registered.
#pragma once

#include "common/Form.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
struct Setting;

class FrmGosaEntry : public Form {
    Q_OBJECT
public:
    explicit FrmGosaEntry(QWidget* parent = nullptr);

protected:
    void Form_Load() override;
    void Form_Activate() override;
    void CloseBox_Click() override { CmdBack_Click(); }

private:
    void CmdEntry_Click();
    void CmdBack_Click();
    void CmdCalibrate_Click();

    // The control that shows and edits each setting; every setting has one.
    QWidget* ControlOf(const Setting& setting) const;
    // What a refusal of a number box says of it: the box's label and what it
    // takes.
    QString RuleOf(const QLineEdit* box) const;
    // Accepts the number in `box` as leaving it does, or refuses it naming it.
    bool CheckBox(QLineEdit* box);

    void TxtLeft_GotFocus();
    void TxtLeft_LostFocus();
    void TxtTop_GotFocus();
    void TxtTop_LostFocus();
    void TxtFont_GotFocus();
    void TxtFont_LostFocus();
    void TxtCol_GotFocus();
    void TxtCol_LostFocus();
    void TxtRow_GotFocus();
    void TxtRow_LostFocus();

    QLineEdit* TxtLeft;
    QLineEdit* TxtTop;
    QLineEdit* TxtFont;
    QLineEdit* TxtCol;
    QLineEdit* TxtRow;
    QComboBox* CmbAlign;
    QPushButton* CmdEntry;
    QPushButton* CmdBack;
    QPushButton* CmdCalibrate;
    QLabel* LblLeft;
    QLabel* LblTop;
    QLabel* LblFont;
    QLabel* LblCol;
    QLabel* LblRow;
    QLabel* LblAlign;
};
