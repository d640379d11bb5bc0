// The text item grid ("文字設定"): every text item of one page, one per row,
// edited together and saved in one transaction. Opened modally from the page
// setup screen's detail button, for the page of that row.
#pragma once

#include "common/Form.h"

#include <QHash>

class QPushButton;
class SpreadGrid;
struct TextItem;
struct TextItemTexts;

class FrmMoji : public Form {
    Q_OBJECT
public:
    // Columns of the item grid.
    enum Column {
        ColText = 1,
        ColSize,
        ColLeft,
        ColRight,
        ColTop,
        ColColCount,
        ColRowCount,
        ColAlign
    };
    // Rows the grid has when it opens; a page with more stored items grows it.
    static constexpr int ItemRowCount = 40;

    // The grid of the saved page `pageId`, whose row on the page setup screen
    // shows the paper direction and size codes `direction` and `paperSize`
    // (-1 for none): they choose the image placement screen and its sheet.
    FrmMoji(const QString& pageId, qint16 direction, qint16 paperSize, QWidget* parent = nullptr);

    const QString& PageId() const { return pageId_; }
    qint16 Direction() const { return direction_; }
    qint16 PaperSize() const { return paperSize_; }

    // Writes the page's stored items into rows 1 to n in the order they were
    // made; rows below keep what they hold. No trap of its own: a failure
    // reaches the caller's.
    void ListSet();
    // Shows the page's stored item `mojiId`, read back as ListSet reads
    // items, in the row after the last row that holds anything; every other
    // row keeps what it holds, typed or not. No trap of its own.
    void ListAdd(const QString& mojiId);
    // The items the rows hold now, as they would print: each row with a
    // text whose numbers all convert; any other row is left out. Reads an
    // open editor's text first.
    QList<TextItem> PlacedItems();

protected:
    void Form_Load() override;
    void Form_Activate() override;
    void CloseBox_Click() override { CmdBack_Click(); }

private:
    void CmdOK_Click();
    void CmdImage_Click();
    void CmdBack_Click();

    // Covers the whole screen and places the grid and the buttons from its size.
    void LayOut();
    // Writes `item` into `row`, growing the grid to it.
    void WriteRow(int row, const TextItemTexts& item);
    // What the save pastes for a number cell: the exact stored value while the
    // user has not touched the cell, else the cell's text.
    QString NumberToSave(int col, int row) const;

    const QString pageId_;
    const qint16 direction_;
    const qint16 paperSize_;

    SpreadGrid* vaSpread;
    QPushButton* CmdOK;
    QPushButton* CmdBack;
    QPushButton* CmdImage;

    // The designed width of the text column, in pixels: it never gets narrower.
    int textColumnWidth_ = 0;
    // Stored values whose shown text (15 significant digits) would not give
    // them back exactly, by cell, as ListSet last wrote them.
    QHash<quint64, QString> exactStored_;
};
