// Image placement for portrait pages: the picture area stands for the page's
// sheet in portrait.
#pragma once

#include "items/ScanScreen.h"

class FrmScanTate : public ScanScreen {
    Q_OBJECT
public:
    // For the saved page `pageId` of paper size code `paperSize`.
    FrmScanTate(const QString& pageId, qint16 paperSize, QWidget* parent = nullptr);
};
