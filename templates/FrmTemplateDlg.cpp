#include "templates/FrmTemplateDlg.h"

#include "common/Controls.h"
#include "common/ErrorTrap.h"
#include "common/Globals.h"
#include "common/InputHelpers.h"
#include "common/LayoutDb.h"
#include "common/Messages.h"
#include "common/Statements.h"
#include "common/Twips.h"
#include "pages/FrmPage.h"
#include "platform/Database.h"
#include "templates/FrmMenu.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <stdexcept>

namespace {
// A template brings at most as many pages as the page grid has rows.
constexpr int MaxCopiedPages = PageRowCount;
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
    SqlText = Statements::SelectTemplates();
    std::unique_ptr<Recordset> rs = LayoutDatabase->OpenRecordset(SqlText);
    LstPreview->clear();
    while (!rs->EOF_()) {
        auto* entry = new QListWidgetItem(FieldText(*rs, QStringLiteral("template_name")));
        LstPreview->addItem(entry);
        entry->setData(TemplateIdRole, qint32(FieldInt16(*rs, QStringLiteral("template_id"))));
        rs->MoveNext();
    }
    rs->Close();
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
    Transaction transaction(LayoutWorkspace);
    SqlText = Statements::DeleteTemplate(CurrentTemplateId);
    LayoutDatabase->Execute(SqlText);
    transaction.Commit();
}

void FrmTemplateDlg::CopyTemplate() {
    const QString newTemplateId =
        QString::number(NextId(QStringLiteral("template"), QStringLiteral("template_id")));
    QString oldPageIds[MaxCopiedPages + 1];
    QString newPageIds[MaxCopiedPages + 1];
    QString sql;

    Transaction transaction(LayoutWorkspace);
    sql = Statements::InsertTemplate(newTemplateId);
    LayoutDatabase->Execute(sql);

    int pageCount = 0;
    {
        std::unique_ptr<Recordset> pages =
            LayoutDatabase->OpenRecordset(Statements::SelectPagesById(CurrentTemplateId));
        while (!pages->EOF_()) {
            const int n = pageCount + 1;
            if (n > MaxCopiedPages)
                throw std::runtime_error("a template has more pages than the page grid holds");
            oldPageIds[n] = FieldNumberText(*pages, QStringLiteral("page_id"));
            newPageIds[n] =
                QString::number(NextId(QStringLiteral("page"), QStringLiteral("page_id")));
            sql = Statements::InsertPage(newPageIds[n], newTemplateId,
                                         FieldNumberText(*pages, QStringLiteral("page_no")),
                                         FieldInt16(*pages, QStringLiteral("paper_direction")),
                                         FieldInt16(*pages, QStringLiteral("paper_size")));
            LayoutDatabase->Execute(sql);
            pageCount = n;
            pages->MoveNext();
        }
        pages->Close();
    }

    for (int j = 1; j <= pageCount; ++j) {
        std::unique_ptr<Recordset> items =
            LayoutDatabase->OpenRecordset(Statements::SelectItems(oldPageIds[j]));
        while (!items->EOF_()) {
            const QString itemId =
                QString::number(NextId(QStringLiteral("moji"), QStringLiteral("moji_id")));
            auto number = [&](const char* column) {
                return FieldNumberText(*items, QString::fromLatin1(column));
            };
            sql = Statements::InsertItem(
                itemId, newPageIds[j], FieldText(*items, QStringLiteral("moji")), number("p_size"),
                number("p_left"), number("p_right"), number("p_top"), number("p_col_count"),
                number("p_row_count"), FieldInt16(*items, QStringLiteral("p_position")));
            LayoutDatabase->Execute(sql);
            items->MoveNext();
        }
        items->Close();
    }

    transaction.Commit();
    CurrentTemplateId = newTemplateId;
}
