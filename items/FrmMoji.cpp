#include "items/FrmMoji.h"

#include "common/Controls.h"
#include "common/ErrorTrap.h"
#include "common/InputHelpers.h"
#include "common/Messages.h"
#include "common/Numbers.h"
#include "common/Twips.h"
#include "items/FrmScanTate.h"
#include "items/FrmScanYoko.h"
#include "layout/Alignments.h"
#include "layout/LayoutStore.h"
#include "layout/PaperSizes.h"
#include "platform/SpreadGrid.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>

namespace {

// Buttons keep their designed size wherever the layout puts them.
constexpr int ButtonWidth = 1335;
constexpr int ButtonHeight = 375;

// The grid's number columns and the item numbers they show.
struct NumberColumn {
    FrmMoji::Column col;
    TextItemTexts::Number number;
};
const NumberColumn NumberColumns[] = {
    {FrmMoji::ColSize, TextItemTexts::Size},
    {FrmMoji::ColLeft, TextItemTexts::Left},
    {FrmMoji::ColRight, TextItemTexts::Right},
    {FrmMoji::ColTop, TextItemTexts::Top},
    {FrmMoji::ColColCount, TextItemTexts::ColCount},
    {FrmMoji::ColRowCount, TextItemTexts::RowCount},
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

FrmMoji::FrmMoji(const QString& pageId, qint16 direction, qint16 paperSize, QWidget* parent)
    : Form(parent), pageId_(pageId), direction_(direction), paperSize_(paperSize) {
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
        {ColAlign, "文字の場所", 10, SpreadGrid::ListCell(Alignments::Items)},
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
    int row = 0;
    for (const TextItemTexts& item : Layout().Items(pageId_))
        WriteRow(++row, item);
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
    WriteRow(last + 1, Layout().Item(pageId_, mojiId));
}

void FrmMoji::WriteRow(int row, const TextItemTexts& item) {
    // Image placement adds items without a limit: the grid grows so that
    // every stored item shows and the next save keeps it.
    if (row > vaSpread->MaxRows())
        vaSpread->SetMaxRows(row);
    vaSpread->SetCellText(ColText, row, item.text);
    for (const NumberColumn& n : NumberColumns) {
        const QString& shown = item.numbers[n.number];
        vaSpread->SetCellText(n.col, row, shown);
        // A stored value wider than the column (more decimals than a cell
        // takes) widens it, so that it shows whole.
        if (vaSpread->columnWidth(n.col - 1) < widthOf(vaSpread, shown))
            vaSpread->SetColumnWidthPixels(n.col, widthOf(vaSpread, shown));
        // A stored double the shown text would not give back is kept aside,
        // so that a save writes it back unchanged.
        const quint64 key = cellKey(n.col, row);
        exactStored_.remove(key);
        if (!item.exact[n.number].isEmpty())
            exactStored_.insert(key, item.exact[n.number]);
    }
    vaSpread->SetListIndex(ColAlign, row, item.align);
}

QList<TextItem> FrmMoji::PlacedItems() {
    vaSpread->CommitEditor();
    QList<TextItem> items;
    for (int r = 1; r <= vaSpread->MaxRows(); ++r) {
        // The rows a save keeps: those with a text.
        const QString text = vaSpread->CellText(ColText, r);
        if (text.isEmpty())
            continue;
        try {
            TextItem item;
            item.moji = text;
            item.pSize = TextToDouble(NumberToSave(ColSize, r));
            item.pLeft = TextToDouble(NumberToSave(ColLeft, r));
            item.pRight = TextToDouble(NumberToSave(ColRight, r));
            item.pTop = TextToDouble(NumberToSave(ColTop, r));
            item.pColCount = TextToInt16(NumberToSave(ColColCount, r));
            item.pRowCount = TextToInt16(NumberToSave(ColRowCount, r));
            item.pPosition = qint16(vaSpread->ListIndex(ColAlign, r));
            items.append(item);
        } catch (const ConversionError&) {
            continue; // a number the user has not finished typing
        }
    }
    return items;
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
        QList<TextItemTexts> items;
        for (int r = 1; r <= vaSpread->MaxRows(); ++r) {
            // No trimming: a text of blanks is a text.
            const QString text = vaSpread->CellText(ColText, r);
            if (text.isEmpty())
                continue;
            TextItemTexts item;
            item.text = text;
            // A blank number cell is no literal: the save fails as a whole,
            // naming the row and the column.
            for (const NumberColumn& n : NumberColumns) {
                item.numbers[n.number] = NumberToSave(n.col, r);
                if (!IsNumber(item.numbers[n.number]))
                    throw ConversionError(
                        FieldRule(QStringLiteral("%1行目の%2")
                                      .arg(r)
                                      .arg(vaSpread->horizontalHeaderItem(n.col - 1)->text()),
                                  QStringLiteral("数値（空欄は不可）"))
                            .toStdString());
            }
            item.align = qint16(vaSpread->ListIndex(ColAlign, r));
            items.append(item);
        }
        Layout().SaveItems(pageId_, items);
        Unload();
    });
}

void FrmMoji::CmdImage_Click() {
    Trap(Msg::GeneralFailure, [&] {
        ScanScreen* scan = nullptr;
        switch (direction_) {
        case PaperDirections::Portrait:
            scan = new FrmScanTate(pageId_, paperSize_);
            break;
        case PaperDirections::Landscape:
            scan = new FrmScanYoko(pageId_, paperSize_);
            break;
        default:
            // No direction chosen, or a code beyond the list: nothing happens.
            return;
        }
        // The rows as they stand show on the picture; each item its detail
        // dialog stores shows here and there at once.
        scan->SetItems(PlacedItems());
        scan->ItemStored = [grid = QPointer<FrmMoji>(this),
                            screen = QPointer<ScanScreen>(scan)](const QString& mojiId) {
            if (!grid)
                return;
            grid->ListAdd(mojiId);
            if (screen)
                screen->SetItems(grid->PlacedItems());
        };
        ExecModal(scan);
    });
}

void FrmMoji::CmdBack_Click() {
    Trap(Msg::GeneralFailure, [&] { Unload(); });
}
