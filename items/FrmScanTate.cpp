#include "items/FrmScanTate.h"

#include "layout/PaperSizes.h"

FrmScanTate::FrmScanTate(const QString& pageId, qint16 paperSize, QWidget* parent)
    : ScanScreen({QSize(7590, 10920), QRect(240, 240, 7000, 9900), QRect(4320, 10320, 1335, 375),
                  QRect(5880, 10320, 1335, 375)},
                 pageId, PaperDirections::Portrait, paperSize, parent) {}
