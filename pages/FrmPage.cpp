#include "pages/FrmPage.h"

#include "common/Controls.h"
#include "common/ErrorTrap.h"
#include "common/Globals.h"
#include "common/InputHelpers.h"
#include "common/Messages.h"
#include "common/Navigation.h"
#include "common/Twips.h"
#include "items/FrmMoji.h"
#include "layout/FormStore.h"
#include "layout/LayoutStore.h"
#include "layout/PaperSizes.h"
#include "pages/FrmPreview.h"
#include "platform/SpreadGrid.h"
#include "print/PrintEngine.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <stdexcept>

namespace {

// True when `text` is a whole number; its value goes to `value`.
bool wholeNumber(const QString& text, long* value) {
    bool ok = false;
    const long v = text.trimmed().toLong(&ok);
    if (ok)
        *value = v;
    return ok;
}

// True when a print mark holds the value 1.
bool printTicked(const QString& text) {
    bool ok = false;
    const long value = text.trimmed().toLong(&ok);
    return ok && value == 1;
}

} // namespace

FrmPage::FrmPage(QWidget* parent) : Form(parent) {
    setWindowTitle(QStringLiteral("ページ設定"));
    setFixedSize(TwipsSize(8805, 2940));

    LblTemplate = MakeLabel(this, "LblTemplate", QStringLiteral("テンプレート名"),
                            QRect(360, 240, 1335, 255));
    TxtTemplate = MakeTextBox(this, "TxtTemplate", QRect(1920, 240, 3975, 270));
    LblTemplate->setBuddy(TxtTemplate);

    vaSpread = new SpreadGrid(this);
    vaSpread->setGeometry(TwipsRect(360, 840, 6615, 1380));
    vaSpread->SetMaxCols(5);
    vaSpread->SetMaxRows(PageRowCount);
    vaSpread->SetColumnHeader(ColPageNo, QStringLiteral("ページNO"));
    vaSpread->SetColumnHeader(ColDirection, QStringLiteral("用紙の向き"));
    vaSpread->SetColumnHeader(ColSize, QStringLiteral("用紙のサイズ"));
    vaSpread->SetColumnHeader(ColPrint, QStringLiteral("印刷指定"));
    vaSpread->SetColumnHeader(ColDetail, QStringLiteral("詳細"));
    vaSpread->SetColumnType(ColPageNo, SpreadGrid::IntegerCell(1, PageRowCount));
    vaSpread->SetColumnType(ColDirection, SpreadGrid::ListCell(PaperDirections::Items()));
    vaSpread->SetColumnType(ColSize, SpreadGrid::ListCell(PaperSizes::Items()));
    vaSpread->SetColumnType(ColPrint, SpreadGrid::CheckCell());
    vaSpread->SetColumnType(ColDetail, SpreadGrid::ButtonCell(QStringLiteral("詳細設定")));
    vaSpread->SetColumnWidthChars(ColPageNo, 8);
    vaSpread->SetColumnWidthChars(ColDirection, 10);
    vaSpread->SetColumnWidthChars(ColSize, 11);
    vaSpread->SetColumnWidthChars(ColPrint, 8);
    vaSpread->SetColumnWidthChars(ColDetail, 10);
    // Rows as low as their text allows, so more pages show at once.
    vaSpread->verticalHeader()->setDefaultSectionSize(Px(315));
    // Every page is to be printed until the user says otherwise.
    for (int r = 1; r <= PageRowCount; ++r)
        vaSpread->SetCellText(ColPrint, r, QStringLiteral("1"));

    CmdPrint = MakeButton(this, "CmdPrint", QStringLiteral("印刷"), QRect(7200, 600, 1335, 375));
    CmdOK = MakeButton(this, "CmdOK", QStringLiteral("登録"), QRect(7200, 1200, 1335, 375));
    CmdBack = MakeButton(this, "CmdBack", QStringLiteral("戻る"), QRect(7200, 1800, 1335, 375));
    CmdPreview =
        MakeButton(this, "CmdPreview", QStringLiteral("プレビュー"), QRect(7200, 2400, 1335, 375));
    vaSpread->setObjectName(QStringLiteral("vaSpread"));
    setTabOrder(TxtTemplate, vaSpread);
    setTabOrder(vaSpread, CmdPrint);
    setTabOrder(CmdPrint, CmdOK);
    setTabOrder(CmdOK, CmdBack);
    setTabOrder(CmdBack, CmdPreview);
    TxtTemplate->setFocus(Qt::OtherFocusReason);

    WatchFocus(TxtTemplate, [this] { TxtTemplate_GotFocus(); }, {});
    connect(vaSpread, &SpreadGrid::LeaveCell, this,
            [this](int col, int row, int newCol, int newRow, bool* cancel) {
                vaSpread_LeaveCell(col, row, newCol, newRow, cancel);
            });
    connect(vaSpread, &SpreadGrid::ButtonClicked, this,
            [this](int col, int row) { vaSpread_ButtonClicked(col, row); });
    connect(CmdPrint, &QPushButton::clicked, this, [this] { CmdPrint_Click(); });
    connect(CmdOK, &QPushButton::clicked, this, [this] { CmdOK_Click(); });
    connect(CmdBack, &QPushButton::clicked, this, [this] { CmdBack_Click(); });
    connect(CmdPreview, &QPushButton::clicked, this, [this] { CmdPreview_Click(); });
}

void FrmPage::Form_Load() {
    Trap(Msg::GeneralFailure, [&] {
        TxtTemplate->setText(Layout().TemplateName(CurrentTemplateId));
        FillPageGrid();
    });
}

void FrmPage::Form_Activate() {
    Trap(Msg::GeneralFailure, [&] { CenterForm(this); });
}

void FrmPage::TxtTemplate_GotFocus() {
    Trap(Msg::GeneralFailure, [&] { SelectAllText(TxtTemplate); });
}

void FrmPage::FillPageGrid() {
    for (int r = 1; r <= PageRowCount; ++r)
        pageIds_[r].clear();
    const QList<Page> pages = Layout().Pages(CurrentTemplateId);
    // The print marks of column 4 stay with the row positions.
    vaSpread->ClearRange(ColPageNo, 1, ColSize, PageRowCount);
    int r = 0;
    for (const Page& page : pages) {
        if (++r > PageRowCount)
            throw std::runtime_error("The template has more pages than the grid rows");
        pageIds_[r] = page.id;
        vaSpread->SetCellText(ColPageNo, r, page.pageNo);
        vaSpread->SetListIndex(ColDirection, r, page.direction);
        vaSpread->SetListIndex(ColSize, r, page.size);
    }
}

void FrmPage::vaSpread_LeaveCell(int col, int row, int /*newCol*/, int /*newRow*/, bool* cancel) {
    Trap(Msg::GeneralFailure, [&] {
        if (col != ColPageNo)
            return;
        long number = 0;
        if (!wholeNumber(vaSpread->CellText(ColPageNo, row), &number))
            return;
        for (int i = 1; i <= PageRowCount; ++i) {
            if (i == row)
                continue;
            long other = 0;
            if (wholeNumber(vaSpread->CellText(ColPageNo, i), &other) && other == number) {
                ShowMessage(QString(), QString(), Msg::BadInput);
                *cancel = true;
                return;
            }
        }
    });
}

void FrmPage::vaSpread_ButtonClicked(int col, int row) {
    Trap(Msg::GeneralFailure, [&] {
        if (col != ColDetail)
            return;
        vaSpread->CommitEditor();
        if (pageIds_[row].isEmpty()) {
            ShowMessage(QStringLiteral("データ"), QString(), Msg::NotRegistered);
            return;
        }
        // The text item grid of the page, with the direction and the size as
        // the row shows them; nothing is reloaded when it closes.
        ExecModal(new FrmMoji(pageIds_[row], qint16(vaSpread->ListIndex(ColDirection, row)),
                              qint16(vaSpread->ListIndex(ColSize, row))));
    });
}

void FrmPage::CmdPrint_Click() {
    Trap(Msg::GeneralFailure, [&] { PrintSheets(SheetsToPrint()); });
}

void FrmPage::CmdPreview_Click() {
    Trap(Msg::GeneralFailure, [&] {
        const SheetPlan plan = SheetsToPrint();
        if (plan.isEmpty()) {
            ShowNothingToPrint();
            return;
        }
        // Each sheet over its page's remembered form; white paper without one.
        // The template's merge file, if it has one, is read again.
        ExecModal(new FrmPreview(
            plan, TxtTemplate->text(),
            [](const QString& pageId) {
                const std::optional<StoredForm> form = Forms().Form(pageId);
                return form ? form->Decode() : QImage();
            },
            CurrentTemplateId));
    });
}

SheetPlan FrmPage::SheetsToPrint() {
    vaSpread->CommitEditor();
    SheetPlan plan;
    // The saved pages fill the rows from the top: the first row without one ends them.
    for (int r = 1; r <= PageRowCount && !pageIds_[r].isEmpty(); ++r) {
        if (!printTicked(vaSpread->CellText(ColPrint, r)))
            continue;
        // The lists as shown, even where the row's changes are not saved yet.
        plan.append(Sheet{qint16(vaSpread->ListIndex(ColDirection, r)),
                          qint16(vaSpread->ListIndex(ColSize, r)),
                          Layout().ItemsToPrint(pageIds_[r]), pageIds_[r]});
    }
    return plan;
}

void FrmPage::CmdOK_Click() {
    Trap(Msg::UpdateFailed, [&] {
        vaSpread->CommitEditor();
        QList<Page> rows;
        for (int r = 1; r <= PageRowCount; ++r)
            rows.append(Page{pageIds_[r], vaSpread->CellText(ColPageNo, r),
                             qint16(vaSpread->ListIndex(ColDirection, r)),
                             qint16(vaSpread->ListIndex(ColSize, r))});
        Layout().SaveTemplate(CurrentTemplateId, TxtTemplate->text(), rows);
        FillPageGrid();
    });
}

void FrmPage::CmdBack_Click() {
    Trap(Msg::GeneralFailure, [&] {
        Unload();
        ShowMenu();
    });
}
