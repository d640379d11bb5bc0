#include "templates/FrmMenu.h"

#include "common/Controls.h"
#include "common/ErrorTrap.h"
#include "common/Globals.h"
#include "common/InputHelpers.h"
#include "common/Messages.h"
#include "common/Navigation.h"
#include "common/Program.h"
#include "common/Settings.h"
#include "common/Twips.h"
#include "layout/LayoutStore.h"
#include "platform/Database.h"
#include "screens/FrmAbout.h"
#include "screens/FrmGosaEntry.h"

#include <QGroupBox>
#include <QPushButton>

FrmMenu::FrmMenu(QWidget* parent) : Form(parent) {
    setWindowTitle(QStringLiteral("メインメニュー"));
    setWindowIcon(ProgramIcon());
    setFixedSize(TwipsSize(6690, 2610));

    // Created in tab order, which starts at the version button.
    CmdVersion = MakeButton(this, "CmdVersion", QStringLiteral("バージョン情報"),
                            QRect(3000, 1680, 1575, 495));
    CmdEnd = MakeButton(this, "CmdEnd", QStringLiteral("終了"), QRect(4800, 1680, 1575, 495));
    QFont lowerRight(QStringLiteral("ＭＳ Ｐゴシック"));
    lowerRight.setPointSizeF(9.75);
    CmdVersion->setFont(lowerRight);
    CmdEnd->setFont(lowerRight);

    FraTemplate =
        MakeFrame(this, "FraTemplate", QStringLiteral("テンプレート"), QRect(240, 240, 6135, 975));
    CmdCopy =
        MakeButton(FraTemplate, "CmdCopy", QStringLiteral("複写登録"), QRect(1800, 360, 1125, 350));
    CmdUpdate =
        MakeButton(FraTemplate, "CmdUpdate", QStringLiteral("修正"), QRect(3240, 360, 1125, 350));
    CmdDelete =
        MakeButton(FraTemplate, "CmdDelete", QStringLiteral("削除"), QRect(4680, 360, 1125, 350));
    CmdInsert = MakeButton(FraTemplate, "CmdInsert", QStringLiteral("新規登録"),
                           QRect(360, 350, 1125, 350));

    FraIni = MakeFrame(this, "FraIni", QStringLiteral("その他の業務"), QRect(240, 1440, 2265, 945));
    CmdGosa = MakeButton(FraIni, "CmdGosa", QStringLiteral("誤差設定"), QRect(240, 360, 1800, 350));

    setTabOrder(CmdVersion, CmdEnd);
    setTabOrder(CmdEnd, CmdCopy);
    setTabOrder(CmdCopy, CmdUpdate);
    setTabOrder(CmdUpdate, CmdDelete);
    setTabOrder(CmdDelete, CmdInsert);
    setTabOrder(CmdInsert, CmdGosa);

    connect(CmdInsert, &QPushButton::clicked, this, [this] { CmdInsert_Click(); });
    connect(CmdCopy, &QPushButton::clicked, this, [this] { CmdCopy_Click(); });
    connect(CmdUpdate, &QPushButton::clicked, this, [this] { CmdUpdate_Click(); });
    connect(CmdDelete, &QPushButton::clicked, this, [this] { CmdDelete_Click(); });
    connect(CmdGosa, &QPushButton::clicked, this, [this] { CmdGosa_Click(); });
    connect(CmdVersion, &QPushButton::clicked, this, [this] { CmdVersion_Click(); });
    connect(CmdEnd, &QPushButton::clicked, this, [this] { CmdEnd_Click(); });
}

void FrmMenu::Form_Activate() {
    Trap(Msg::GeneralFailure, [&] {
        CenterForm(this);
        LoadSettings();
    });
}

void FrmMenu::CmdInsert_Click() {
    Trap(Msg::InsertFailed, [&] {
        CurrentTemplateId = Layout().CreateTemplate();
        Unload();
        ShowPageSetup();
    });
}

void FrmMenu::LeaveForTemplateDialog() {
    Unload();
    ShowTemplateDialog();
}

void FrmMenu::CmdCopy_Click() {
    Trap(Msg::GeneralFailure, [&] {
        TemplateMode = 1;
        LeaveForTemplateDialog();
    });
}

void FrmMenu::CmdUpdate_Click() {
    Trap(Msg::GeneralFailure, [&] {
        TemplateMode = 2;
        LeaveForTemplateDialog();
    });
}

void FrmMenu::CmdDelete_Click() {
    Trap(Msg::GeneralFailure, [&] {
        TemplateMode = 3;
        LeaveForTemplateDialog();
    });
}

void FrmMenu::CmdGosa_Click() {
    // The menu's activation follows when the screen closes: the settings it
    // saved are read at once.
    Trap(Msg::GeneralFailure, [&] { ExecModal(new FrmGosaEntry(this)); });
}

void FrmMenu::CmdVersion_Click() {
    Trap(Msg::GeneralFailure, [&] { ExecModal(new FrmAbout(this)); });
}

void FrmMenu::CmdEnd_Click() {
    // The program ends even when closing the database fails.
    Trap(Msg::GeneralFailure, [&] {
        if (LayoutDatabase)
            LayoutDatabase->Close();
        LayoutDatabase = nullptr;
        if (LayoutWorkspace)
            LayoutWorkspace->Close();
    });
    EndProgram();
}
