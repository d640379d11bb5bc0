#include "templates/FrmTemplateDlg.h"

#include "common/Controls.h"
#include "common/ErrorTrap.h"
#include "common/Globals.h"
#include "common/InputHelpers.h"
#include "common/Messages.h"
#include "common/Twips.h"
#include "layout/LayoutStore.h"
#include "pages/FrmPage.h"
#include "templates/FrmMenu.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace {
constexpr int TemplateIdRole = Qt::UserRole;
} // namespace

FrmTemplateDlg::FrmTemplateDlg(QWidget* parent) : Form(parent) {
    setWindowTitle(QStringLiteral("テンプレート選択"));
    setFixedSize(TwipsSize(4215, 3465));

    LblPreview = MakeLabel(this, "LblPreview", QStringLiteral("テンプレート一覧"),
                           QRect(360, 240, 3495, 255));
    QFont previewFont(QStringLiteral("ＭＳ Ｐゴシック"));
    previewFont.setPointSizeF(10.5);
    LblPreview->setFont(previewFont);

    LstPreview = new QListWidget(this);
    LstPreview->setGeometry(TwipsRect(360, 480, 3495, 2220));
    LstPreview->setSelectionMode(QAbstractItemView::SingleSelection);
    LstPreview->setSortingEnabled(false);
    LblPreview->setBuddy(LstPreview);
    LstPreview->installEventFilter(this);

    CmdOK = MakeButton(this, "CmdOK", QStringLiteral("ＯＫ"), QRect(1560, 2880, 1000, 375));
    CmdCancel =
        MakeButton(this, "CmdCancel", QStringLiteral("ＣＡＮＣＥＬ"), QRect(2760, 2880, 1000, 375));
    LstPreview->setObjectName(QStringLiteral("LstPreview"));
    setTabOrder(LstPreview, CmdOK);
    setTabOrder(CmdOK, CmdCancel);

    connect(CmdOK, &QPushButton::clicked, this, [this] { CmdOK_Click(); });
    connect(CmdCancel, &QPushButton::clicked, this, [this] { CmdCancel_Click(); });
    connect(LstPreview, &QListWidget::itemDoubleClicked, this, [this] { LstPreview_DblClick(); });
}

bool FrmTemplateDlg::eventFilter(QObject* watched, QEvent* event) {
    // With no entry selected, Down selects the first entry. The list's cursor
    // sits on the first entry already (Qt puts it there with the focus), so
    // Down alone would select the second.
    if (watched == LstPreview && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Down &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
            LstPreview->selectedItems().isEmpty() && LstPreview->count() > 0) {
            LstPreview->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
            return true;
        }
    }
    return Form::eventFilter(watched, event);
}

void FrmTemplateDlg::Form_Load() {
    Trap(Msg::GeneralFailure, [&] { ListTemplates(); });
}

void FrmTemplateDlg::Form_Activate() {
    Trap(Msg::GeneralFailure, [&] { CenterForm(this); });
}

void FrmTemplateDlg::CmdOK_Click() {
    Trap(Msg::GeneralFailure, [&] { ChooseTemplate(); });
}

void FrmTemplateDlg::LstPreview_DblClick() {
    Trap(Msg::GeneralFailure, [&] { ChooseTemplate(); });
}

void FrmTemplateDlg::CmdCancel_Click() {
    Trap(Msg::GeneralFailure, [&] {
        Unload();
        auto* menu = new FrmMenu;
        menu->show();
    });
}

void FrmTemplateDlg::ListTemplates() {
    const QList<Template> templates = Layout().Templates();
    LstPreview->clear();
    for (const Template& t : templates) {
        auto* entry = new QListWidgetItem(t.name);
        LstPreview->addItem(entry);
        entry->setData(TemplateIdRole, t.id.toInt());
    }
}

void FrmTemplateDlg::ChooseTemplate() {
    QListWidgetItem* selected = LstPreview->currentItem();
    if (!selected || !selected->isSelected()) {
        ShowMessage(QStringLiteral("テンプレート"), QString(), Msg::NotSelected);
        LstPreview->setFocus(Qt::OtherFocusReason);
        return;
    }
    CurrentTemplateId = QString::number(selected->data(TemplateIdRole).toInt());

    switch (TemplateMode) {
    case 1:
        CopyTemplate();
        ShowPageSetup();
        Unload();
        break;
    case 2:
        ShowPageSetup();
        Unload();
        break;
    case 3:
        if (ShowMessage(selected->text(), QString(), Msg::ConfirmDelete) == IdNo) {
            LstPreview->setFocus(Qt::OtherFocusReason);
        } else {
            DeleteData();
            ListTemplates();
        }
        break;
    default:
        break;
    }
}

void FrmTemplateDlg::DeleteData() {
    Layout().DeleteTemplate(CurrentTemplateId);
}

void FrmTemplateDlg::CopyTemplate() {
    CurrentTemplateId = Layout().CopyTemplate(CurrentTemplateId);
}
