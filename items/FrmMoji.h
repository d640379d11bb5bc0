// The text item grid ("文字設定"): every text item of the page CurrentPageId,
// one per row, edited together and saved in one transaction. Opened modally
// from the page setup screen's detail button.
#pragma once

#include "common/Form.h"

#include <QHash>

class QPushButton;
class Recordset;
class SpreadGrid;

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

    explicit FrmMoji(QWidget* parent = nullptr);
    ~FrmMoji() override;

    // The open text item grid, or nullptr: the item detail dialog adds to it.
    static FrmMoji* OpenInstance();

    // Writes the stored items of CurrentPageId into rows 1 to n in moji_id
    // order; rows below keep what they hold. No trap of its own: a failure
    // reaches the caller's.
    void ListSet();
    // Shows the stored item `mojiId` of CurrentPageId, read back as ListSet
    // reads items, in the row after the last row that holds anything; every
    // other row keeps what it holds, typed or not. No trap of its own.
    void ListAdd(const QString& mojiId);

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
    // Writes the current record of `rs` into `row`, growing the grid to it.
    void WriteRow(int row, const Recordset& rs);
    // What the save pastes for a number cell: the exact stored value while the
    // user has not touched the cell, else the cell's text.
    QString NumberToSave(int col, int row) const;

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
