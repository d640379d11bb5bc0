#include "items/FrmScanYoko.h"

#include "layout/PaperSizes.h"

FrmScanYoko::FrmScanYoko(const QString& pageId, qint16 paperSize, QWidget* parent)
    : ScanScreen({QSize(10425, 8085), QRect(240, 240, 9900, 7000), QRect(7080, 7440, 1335, 375),
                  QRect(8640, 7440, 1335, 375)},
                 pageId, PaperDirections::Landscape, paperSize, parent) {}
