#include "screens/FrmGosaEntry.h"

#include "common/Controls.h"
#include "common/ErrorTrap.h"
#include "common/Globals.h"
#include "common/InputHelpers.h"
#include "common/Messages.h"
#include "common/Numbers.h"
#include "common/Settings.h"
#include "common/Twips.h"
#include "layout/Alignments.h"
#include "print/PrintEngine.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <stdexcept>
#include <string>
#include <utility>

FrmGosaEntry::FrmGosaEntry(QWidget* parent) : Form(parent) {
    setWindowTitle(QStringLiteral("誤差設定"));
    // Taller than the registered layout by the row of the calibration button.
    setFixedSize(TwipsSize(4065, 3810));

    // Created in tab order.
    TxtLeft = MakeNumberBox(this, "TxtLeft", QRect(1560, 240, 855, 270));
    TxtTop = MakeNumberBox(this, "TxtTop", QRect(1560, 600, 855, 270));
    TxtFont = MakeNumberBox(this, "TxtFont", QRect(2400, 1080, 855, 270));
    TxtCol = MakeNumberBox(this, "TxtCol", QRect(2400, 1440, 855, 270));
    TxtRow = MakeNumberBox(this, "TxtRow", QRect(2400, 1800, 855, 270));
    CmbAlign = new QComboBox(this);
    CmbAlign->setObjectName(QStringLiteral("CmbAlign"));
    CmbAlign->setGeometry(TwipsRect(2400, 2160, 1335, 300));
    CmbAlign->addItems(Alignments::Items);
    CmdEntry = MakeButton(this, "CmdEntry", QStringLiteral("登録"), QRect(480, 2640, 1400, 375));
    CmdBack =
        MakeButton(this, "CmdBack", QStringLiteral("メニューに戻る"), QRect(2160, 2640, 1400, 375));
    // Below the two buttons, as wide as both.
    CmdCalibrate = MakeButton(this, "CmdCalibrate", QStringLiteral("調整用紙印刷"),
                              QRect(480, 3195, 3080, 375));
    setTabOrder(TxtLeft, TxtTop);
    setTabOrder(TxtTop, TxtFont);
    setTabOrder(TxtFont, TxtCol);
    setTabOrder(TxtCol, TxtRow);
    setTabOrder(TxtRow, CmbAlign);
    setTabOrder(CmbAlign, CmdEntry);
    setTabOrder(CmdEntry, CmdBack);
    setTabOrder(CmdBack, CmdCalibrate);

    LblLeft = MakeLabel(this, "LblLeft", QStringLiteral("左の誤差"), QRect(240, 240, 1000, 270));
    LblTop = MakeLabel(this, "LblTop", QStringLiteral("上の誤差"), QRect(240, 600, 1000, 270));
    LblFont =
        MakeLabel(this, "LblFont", QStringLiteral("フォントの初期値"), QRect(240, 1080, 2000, 270));
    LblCol = MakeLabel(this, "LblCol", QStringLiteral("１行の文字数の初期値"),
                       QRect(240, 1440, 2000, 270));
    LblRow = MakeLabel(this, "LblRow", QStringLiteral("行数の初期値"), QRect(240, 1800, 2000, 270));
    LblAlign = MakeLabel(this, "LblAlign", QStringLiteral("文字の位置の初期値"),
                         QRect(240, 2160, 2000, 300));

    connect(CmdEntry, &QPushButton::clicked, this, [this] { CmdEntry_Click(); });
    connect(CmdBack, &QPushButton::clicked, this, [this] { CmdBack_Click(); });
    connect(CmdCalibrate, &QPushButton::clicked, this, [this] { CmdCalibrate_Click(); });
    WatchFocus(
        TxtLeft, [this] { TxtLeft_GotFocus(); }, [this] { TxtLeft_LostFocus(); });
    WatchFocus(
        TxtTop, [this] { TxtTop_GotFocus(); }, [this] { TxtTop_LostFocus(); });
    WatchFocus(
        TxtFont, [this] { TxtFont_GotFocus(); }, [this] { TxtFont_LostFocus(); });
    WatchFocus(
        TxtCol, [this] { TxtCol_GotFocus(); }, [this] { TxtCol_LostFocus(); });
    WatchFocus(
        TxtRow, [this] { TxtRow_GotFocus(); }, [this] { TxtRow_LostFocus(); });
}

QWidget* FrmGosaEntry::ControlOf(const Setting& setting) const {
    const std::pair<decltype(Setting::global), QWidget*> controls[] = {
        {&OffsetLeft, TxtLeft},     {&OffsetTop, TxtTop},       {&DefaultFontSize, TxtFont},
        {&DefaultColCount, TxtCol}, {&DefaultRowCount, TxtRow}, {&DefaultAlign, CmbAlign}};
    for (const auto& [global, control] : controls) {
        if (global == setting.global)
            return control;
    }
    throw std::logic_error(std::string("no control for the setting ") + setting.key);
}

QString FrmGosaEntry::RuleOf(const QLineEdit* box) const {
    const struct {
        const QLineEdit* box;
        const QLabel* label;
        const char* example;
    } rules[] = {{TxtLeft, LblLeft, "-1.5"},
                 {TxtTop, LblTop, "-1.5"},
                 {TxtFont, LblFont, "10.5"},
                 {TxtCol, LblCol, "20"},
                 {TxtRow, LblRow, "1"}};
    for (const auto& r : rules) {
        if (r.box == box)
            return FieldRule(r.label->text(), NumberAllowed(QString::fromLatin1(r.example)));
    }
    throw std::logic_error("no label for the box " + box->objectName().toStdString());
}

bool FrmGosaEntry::CheckBox(QLineEdit* box) {
    return CheckNumericInput(box, RuleOf(box));
}

void FrmGosaEntry::Form_Load() {
    Trap(Msg::GeneralFailure, [&] {
        for (const Setting& setting : SettingKeys()) {
            QWidget* control = ControlOf(setting);
            if (auto* list = qobject_cast<QComboBox*>(control))
                Alignments::Choose(list, *std::get<qint16*>(setting.global));
            else
                static_cast<QLineEdit*>(control)->setText(SettingText(setting));
        }
    });
}

void FrmGosaEntry::Form_Activate() {
    Trap(Msg::GeneralFailure, [&] { CenterForm(this); });
}

void FrmGosaEntry::TxtLeft_GotFocus() {
    Trap(Msg::GeneralFailure, [&] { SelectAllText(TxtLeft); });
}

void FrmGosaEntry::TxtLeft_LostFocus() {
    Trap(Msg::GeneralFailure, [&] { CheckBox(TxtLeft); });
}

void FrmGosaEntry::TxtTop_GotFocus() {
    Trap(Msg::GeneralFailure, [&] { SelectAllText(TxtTop); });
}

void FrmGosaEntry::TxtTop_LostFocus() {
    Trap(Msg::GeneralFailure, [&] { CheckBox(TxtTop); });
}

void FrmGosaEntry::TxtFont_GotFocus() {
    Trap(Msg::GeneralFailure, [&] { SelectAllText(TxtFont); });
}

void FrmGosaEntry::TxtFont_LostFocus() {
    Trap(Msg::GeneralFailure, [&] { CheckBox(TxtFont); });
}

void FrmGosaEntry::TxtCol_GotFocus() {
    Trap(Msg::GeneralFailure, [&] { SelectAllText(TxtCol); });
}

void FrmGosaEntry::TxtCol_LostFocus() {
    Trap(Msg::GeneralFailure, [&] { CheckBox(TxtCol); });
}

void FrmGosaEntry::TxtRow_GotFocus() {
    Trap(Msg::GeneralFailure, [&] { SelectAllText(TxtRow); });
}

void FrmGosaEntry::TxtRow_LostFocus() {
    Trap(Msg::GeneralFailure, [&] { CheckBox(TxtRow); });
}

void FrmGosaEntry::CmdEntry_Click() {
    Trap(Msg::UpdateFailed, [&] {
        WriteSettings([this](const Setting& setting) {
            QWidget* control = ControlOf(setting);
            if (auto* list = qobject_cast<QComboBox*>(control))
                return QString::number(list->currentIndex());
            // A box that holds no number fails the registration where it
            // would fail being converted, naming the box.
            const auto* box = static_cast<QLineEdit*>(control);
            if (!IsNumber(box->text()))
                throw ConversionError(RuleOf(box).toStdString());
            return box->text();
        });
        Unload();
    });
}

void FrmGosaEntry::CmdBack_Click() {
    Trap(Msg::GeneralFailure, [&] { Unload(); });
}

void FrmGosaEntry::CmdCalibrate_Click() {
    Trap(Msg::GeneralFailure, [&] {
        // The offsets as typed, checked as leaving their boxes checks them:
        // a text that is not a number is refused there and nothing is printed.
        if (!CheckBox(TxtLeft) || !CheckBox(TxtTop))
            return;
        PrintCalibrationSheet(QPointF(TextToDouble(TxtLeft->text()), TextToDouble(TxtTop->text())));
    });
}
