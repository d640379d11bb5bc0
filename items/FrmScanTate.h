// Image placement for portrait pages: the picture area stands for the page's
// sheet in portrait.
#pragma once

#include "items/ScanScreen.h"

class FrmScanTate : public ScanScreen {
    Q_OBJECT
public:
    explicit FrmScanTate(QWidget* parent = nullptr);
};
