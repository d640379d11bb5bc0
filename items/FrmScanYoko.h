// Image placement for landscape pages: the picture area stands for the page's
// sheet in landscape.
#pragma once

#include "items/ScanScreen.h"

class FrmScanYoko : public ScanScreen {
    Q_OBJECT
public:
    explicit FrmScanYoko(QWidget* parent = nullptr);
};
