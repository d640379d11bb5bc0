#include "layout/PaperSizes.h"

namespace PaperSizes {

const QList<PaperSize>& All() {
    static const QList<PaperSize> sizes = {
        {0, QStringLiteral("Ａ３"), 297, 420, QPageSize::A3},
        {1, QStringLiteral("A４"), 210, 297, QPageSize::A4},
        {2, QStringLiteral("A５"), 148, 210, QPageSize::A5},
        {3, QStringLiteral("Ｂ４"), 257, 364, QPageSize::JisB4},
        {4, QStringLiteral("Ｂ５"), 182, 257, QPageSize::JisB5},
    };
    return sizes;
}

const PaperSize* Find(int code) {
    const QList<PaperSize>& sizes = All();
    return code >= 0 && code < sizes.size() ? &sizes[code] : nullptr;
}

QStringList Items() {
    QStringList items;
    for (const PaperSize& size : All())
        items << size.item;
    return items;
}

} // namespace PaperSizes

namespace PaperDirections {
QStringList Items() {
    return {QStringLiteral("縦"), QStringLiteral("横")};
}
} // namespace PaperDirections

QSizeF SheetSizeMm(int sizeCode, int direction) {
    const PaperSize* size = PaperSizes::Find(sizeCode);
    if (!size)
        return {};
    if (direction == PaperDirections::Landscape)
        return {size->heightMm, size->widthMm};
    return {size->widthMm, size->heightMm};
}
