#include "items/FrmScanTate.h"

FrmScanTate::FrmScanTate(QWidget* parent)
    : ScanScreen({QSize(7590, 10920), QRect(240, 240, 7000, 9900), QRect(4320, 10320, 1335, 375),
                  QRect(5880, 10320, 1335, 375)},
                 parent) {}
