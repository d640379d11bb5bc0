#include "items/FrmMoji.h"

#include "common/Controls.h"
#include "common/ErrorTrap.h"
#include "common/Globals.h"
#include "common/LayoutDb.h"
#include "common/Messages.h"
#include "common/Numbers.h"
#include "common/Statements.h"
#include "common/Twips.h"
#include "items/AlignCodes.h"
#include "items/FrmScanTate.h"
#include "items/FrmScanYoko.h"
#include "platform/Database.h"
#include "platform/SpreadGrid.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <stdexcept>

namespace {

FrmMoji* openInstance = nullptr;

// Buttons keep their designed size wherever the layout puts them.
constexpr int ButtonWidth = 1335;
constexpr int ButtonHeight = 375;

struct NumberColumn {
    FrmMoji::Column col;
    const char* field;
};
const NumberColumn NumberColumns[] = {
    {FrmMoji::ColSize, "p_size"},          {FrmMoji::ColLeft, "p_left"},
    {FrmMoji::ColRight, "p_right"},        {FrmMoji::ColTop, "p_top"},
    {FrmMoji::ColColCount, "p_col_count"}, {FrmMoji::ColRowCount, "p_row_count"},
};

quint64 cellKey(int col, int row) {
    return (quint64(quint32(col)) << 32) | quint32(row);
}

// The width a cell needs to show `text` whole.
int widthOf(const SpreadGrid* grid, const QString& text) {
    const int margin = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    return grid->fontMetrics().horizontalAdvance(text) + 2 * margin;
}

// The width a column needs to show its header, and each of its list items
// beside the drop-down arrow, whole.
int widthToShowWhole(const SpreadGrid* grid, int col, const QStringList& items) {
    int need = grid->horizontalHeader()->sectionSizeHint(col - 1);
    const int arrow = grid->verticalHeader()->defaultSectionSize();
    for (const QString& item : items)
        need = qMax(need, widthOf(grid, item) + arrow);
    return need;
}

} // namespace

FrmMoji::FrmMoji(QWidget* parent) : Form(parent) {
    openInstance = this;
    setWindowTitle(QStringLiteral("文字設定"));

    vaSpread = new SpreadGrid(this);
    vaSpread->SetMaxCols(8);
    vaSpread->SetMaxRows(ItemRowCount);
    const struct {
        Column col;
        const char* header;
        double units;
        SpreadGrid::CellType type;
    } columns[] = {
        {ColText, "文字", 50, SpreadGrid::TextCell(999)},
        {ColSize, "大きさ", 7, SpreadGrid::DecimalCell(2, 1, 1.0, 20.0)},
        {ColLeft, "左端", 7, SpreadGrid::DecimalCell(4, 1, 1.0, 1000.0)},
        {ColRight, "右端", 7, SpreadGrid::DecimalCell(4, 1, 1.0, 1000.0)},
        {ColTop, "上端", 7, SpreadGrid::DecimalCell(4, 1, 1.0, 1000.0)},
        {ColColCount, "１行の文字数", 10, SpreadGrid::IntegerCell(1, 150)},
        {ColRowCount, "行数", 7, SpreadGrid::IntegerCell(1, 30)},
        {ColAlign, "文字の場所", 10, SpreadGrid::ListCell(AlignCodes::Items)},
    };
    for (const auto& c : columns) {
        vaSpread->SetColumnHeader(c.col, QString::fromUtf8(c.header));
        vaSpread->SetColumnType(c.col, c.type);
        vaSpread->SetColumnWidthChars(c.col, c.units);
        // The units count Latin characters; a full-width header or list item
        // takes about two each, so such a column widens until it shows whole.
        const int whole = widthToShowWhole(vaSpread, c.col, c.type.items);
        if (vaSpread->columnWidth(c.col - 1) < whole)
            vaSpread->SetColumnWidthPixels(c.col, whole);
    }
    textColumnWidth_ = vaSpread->columnWidth(ColText - 1);

    // The buttons are placed from the screen size on every activation.
    CmdOK = MakeButton(this, "CmdOK", QStringLiteral("登録"), QRect());
    CmdBack = MakeButton(this, "CmdBack", QStringLiteral("戻る"), QRect());
    CmdImage = MakeButton(this, "CmdImage", QStringLiteral("イメージ登録"), QRect());
    vaSpread->setObjectName(QStringLiteral("vaSpread"));
    setTabOrder(vaSpread, CmdOK);
    setTabOrder(CmdOK, CmdBack);
    setTabOrder(CmdBack, CmdImage);
    vaSpread->setFocus(Qt::OtherFocusReason);

    connect(CmdOK, &QPushButton::clicked, this, [this] { CmdOK_Click(); });
    connect(CmdBack, &QPushButton::clicked, this, [this] { CmdBack_Click(); });
    connect(CmdImage, &QPushButton::clicked, this, [this] { CmdImage_Click(); });

    // The first showing already covers the screen; every activation lays the
    // screen out again.
    LayOut();
}

FrmMoji::~FrmMoji() {
    if (openInstance == this)
        openInstance = nullptr;
}

FrmMoji* FrmMoji::OpenInstance() {
    return openInstance;
}

void FrmMoji::Form_Load() {
    Trap(Msg::GeneralFailure, [&] { ListSet(); });
}

void FrmMoji::Form_Activate() {
    Trap(Msg::GeneralFailure, [&] { LayOut(); });
}

void FrmMoji::LayOut() {
    const QScreen* display = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect area = display->geometry();
    const int w = qRound(ToTwips(area.width()));
    const int h = qRound(ToTwips(area.height()));
    // The window, its frame included, covers the whole screen.
    const QSize frame = frameGeometry().size() - size();
    setFixedSize(qMax(0, Px(w) - frame.width()), qMax(0, Px(h) - frame.height()));
    move(area.topLeft());
    vaSpread->setGeometry(TwipsRect(400, 400, qMax(0, w - 800), qMax(0, h - 3000)));
    CmdImage->setGeometry(TwipsRect(w - 5000, h - 2000, ButtonWidth, ButtonHeight));
    CmdOK->setGeometry(TwipsRect(w - 3500, h - 2000, ButtonWidth, ButtonHeight));
    CmdBack->setGeometry(TwipsRect(w - 2000, h - 2000, ButtonWidth, ButtonHeight));
    // The text column takes what the grid has to spare beside the others.
    int spare = vaSpread->width() - 2 * vaSpread->frameWidth() -
                vaSpread->verticalHeader()->sizeHint().width() -
                vaSpread->verticalScrollBar()->sizeHint().width();
    for (int c = ColText + 1; c <= vaSpread->MaxCols(); ++c)
        spare -= vaSpread->columnWidth(c - 1);
    vaSpread->SetColumnWidthPixels(ColText, qMax(textColumnWidth_, spare));
}

void FrmMoji::ListSet() {
    SqlText = Statements::SelectItemsOrdered(CurrentPageId);
    std::unique_ptr<Recordset> rs = LayoutDatabase->OpenRecordset(SqlText);
    int row = 0;
    while (!rs->EOF_()) {
        WriteRow(++row, *rs);
        rs->MoveNext();
    }
    rs->Close();
}

void FrmMoji::ListAdd(const QString& mojiId) {
    vaSpread->CommitEditor();
    int last = vaSpread->MaxRows();
    auto holdsAnything = [this](int row) {
        for (int c = ColText; c < ColAlign; ++c)
            if (!vaSpread->CellText(c, row).isEmpty())
                return true;
        return vaSpread->ListIndex(ColAlign, row) != -1;
    };
    while (last > 0 && !holdsAnything(last))
        --last;
    SqlText = Statements::SelectItemsOrdered(CurrentPageId);
    std::unique_ptr<Recordset> rs = LayoutDatabase->OpenRecordset(SqlText);
    while (!rs->EOF_() && FieldText(*rs, QStringLiteral("moji_id")) != mojiId)
        rs->MoveNext();
    if (rs->EOF_())
        throw std::runtime_error("No stored item " + mojiId.toStdString() + " on page " +
                                 CurrentPageId.toStdString());
    WriteRow(last + 1, *rs);
    rs->Close();
}

void FrmMoji::WriteRow(int row, const Recordset& rs) {
    // Image placement adds items without a limit: the grid grows so that
    // every stored item shows and the next save keeps it.
    if (row > vaSpread->MaxRows())
        vaSpread->SetMaxRows(row);
    vaSpread->SetCellText(ColText, row, FieldText(rs, QStringLiteral("moji")));
    for (const NumberColumn& n : NumberColumns) {
        const QString field = QString::fromLatin1(n.field);
        const QString shown = FieldNumberText(rs, field);
        vaSpread->SetCellText(n.col, row, shown);
        // A stored value wider than the column (more decimals than a cell
        // takes) widens it, so that it shows whole.
        if (vaSpread->columnWidth(n.col - 1) < widthOf(vaSpread, shown))
            vaSpread->SetColumnWidthPixels(n.col, widthOf(vaSpread, shown));
        // A stored double the shown text would not give back is kept aside,
        // so that a save writes it back unchanged.
        const QVariant stored = rs.Field(field);
        const quint64 key = cellKey(n.col, row);
        exactStored_.remove(key);
        if (stored.typeId() == QMetaType::Double && TextToDouble(shown) != stored.toDouble())
            exactStored_.insert(
                key, QString::number(stored.toDouble(), 'g', QLocale::FloatingPointShortest));
    }
    vaSpread->SetListIndex(ColAlign, row, FieldInt16(rs, QStringLiteral("p_position")));
}

QString FrmMoji::NumberToSave(int col, int row) const {
    if (!vaSpread->CellEdited(col, row)) {
        const auto it = exactStored_.constFind(cellKey(col, row));
        if (it != exactStored_.constEnd())
            return *it;
    }
    return vaSpread->CellText(col, row);
}

void FrmMoji::CmdOK_Click() {
    Trap(Msg::UpdateFailed, [&] {
        vaSpread->CommitEditor();
        QString sql;
        Transaction transaction(LayoutWorkspace);
        sql = Statements::DeleteItems(CurrentPageId);
        LayoutDatabase->Execute(sql);
        for (int r = 1; r <= vaSpread->MaxRows(); ++r) {
            // No trimming: a text of blanks is a text.
            const QString text = vaSpread->CellText(ColText, r);
            if (text.isEmpty())
                continue;
            const QString id =
                QString::number(NextId(QStringLiteral("moji"), QStringLiteral("moji_id")));
            // A blank number cell is no literal: the save fails as a whole.
            sql = Statements::InsertItem(
                id, CurrentPageId, text, NumberToSave(ColSize, r), NumberToSave(ColLeft, r),
                NumberToSave(ColRight, r), NumberToSave(ColTop, r), NumberToSave(ColColCount, r),
                NumberToSave(ColRowCount, r), qint16(vaSpread->ListIndex(ColAlign, r)));
            LayoutDatabase->Execute(sql);
        }
        transaction.Commit();
        Unload();
    });
}

void FrmMoji::CmdImage_Click() {
    Trap(Msg::GeneralFailure, [&] {
        switch (CurrentPaperDirection) {
        case 0:
            // The portrait image placement screen; its item detail dialog
            // adds each stored item through OpenInstance()->ListAdd().
            ExecModal(new FrmScanTate);
            break;
        case 1:
            // The landscape image placement screen.
            ExecModal(new FrmScanYoko);
            break;
        default:
            // No direction chosen, or a code beyond the list: nothing happens.
            break;
        }
    });
}

void FrmMoji::CmdBack_Click() {
    Trap(Msg::GeneralFailure, [&] { Unload(); });
}
