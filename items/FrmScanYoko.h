// Image placement for landscape pages: the picture area stands for the page's
// sheet in landscape.
#pragma once

#include "items/ScanScreen.h"

class FrmScanYoko : public ScanScreen {
    Q_OBJECT
public:
    // For the saved page `pageId` of paper size code `paperSize`.
    FrmScanYoko(const QString& pageId, qint16 paperSize, QWidget* parent = nullptr);
};
