// Image placement for portrait pages: the picture area stands for a sheet
// 212.12 mm wide and 300 mm high.
#pragma once

#include "items/ScanScreen.h"

class FrmScanTate : public ScanScreen {
    Q_OBJECT
public:
    explicit FrmScanTate(QWidget* parent = nullptr);
};
