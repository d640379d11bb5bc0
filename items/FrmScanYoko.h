// Image placement for landscape pages: the picture area stands for a sheet
// 300 mm wide and 212.12 mm high.
#pragma once

#include "items/ScanScreen.h"

class FrmScanYoko : public ScanScreen {
    Q_OBJECT
public:
    explicit FrmScanYoko(QWidget* parent = nullptr);
};
