// Image placement ("文字設定"): the user loads a scan of the paper form and
// drags a rectangle where a text belongs; the press and the release become
// millimetres on the sheet and the item detail dialog stores the item. The
// picture area stands for the whole sheet of the current page (its paper size
// in the screen's direction), so a scan stretched over it gives the places of
// the real form. The portrait and the landscape screens differ only in the
// sizes and places this base is built with.
#pragma once

#include "common/Form.h"
#include "items/FrmScanDlg.h"
#include "layout/TextItem.h"
#include "platform/FileOpenDialog.h"

#include <QLineF>
#include <QList>
#include <QRect>
#include <functional>

class QPushButton;
class PictureArea;
class LineOverlay;

class ScanScreen : public Form {
    Q_OBJECT
public:
    // A paper size code without a sheet (none chosen, or beyond the list):
    // the picture area stands for the paper at this many twips per millimetre.
    static constexpr double FallbackTwipsPerMm = 33;

    // The page's items as they stand, drawn over the picture in their boxes.
    void SetItems(const QList<TextItem>& items);

    // Called with the id of each item the detail dialog stores.
    std::function<void(const QString& mojiId)> ItemStored;

    // The mouse on the picture area, positions in twips from its top-left
    // corner. A release belongs to the press before it, wherever it happens.
    void ImageArea_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x,
                             double y);
    void ImageArea_MouseMove(Qt::MouseButtons button, Qt::KeyboardModifiers shift, double x,
                             double y);
    void ImageArea_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double y);

    // The rubber band: line 0..3 from its first to its second end point, in
    // twips from the client area's top-left corner, and whether it shows.
    QLineF LineSetLine(int index) const { return lines_[index]; }
    bool LineSetVisible() const { return linesVisible_; }

protected:
    // Sizes and places in twips.
    struct Layout {
        QSize client;
        QRect imageArea;
        QRect cmdOK;
        QRect cmdBack;
    };
    // The screen for the saved page `pageId`, whose sheet is the paper size
    // `paperSize` lying as `direction` has it.
    ScanScreen(const Layout& layout, const QString& pageId, qint16 direction, qint16 paperSize,
               QWidget* parent);

    // Shows the page's remembered form, if it has one.
    void Form_Load() override;
    void Form_Activate() override;
    void CloseBox_Click() override { CmdBack_Click(); }

private:
    void CmdOK_Click();
    void CmdBack_Click();
    void ShowLines(bool visible);

    const Layout layout_;
    const QString pageId_;
    // The page's sheet; empty for a size code outside the paper table.
    const QSizeF sheetMm_;
    // Twips of the picture area per millimetre of the sheet, across and down.
    QSizeF twipsPerMm_;
    PictureArea* ImageArea;
    QPushButton* CmdOK;
    QPushButton* CmdBack;
    LineOverlay* LineSet;
    FileOpenDialog CmnDlg;

    QLineF lines_[4];
    bool linesVisible_ = false;
    // The dragged edges: left and top from the press, right from the release.
    FrmScanDlg::Selection selection_;
};
