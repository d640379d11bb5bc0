// Alignment codes of a text item: the index of the item chosen in an
// alignment list (-1 when none). Every alignment list of the program holds
// these items in this order.
#pragma once

#include <QComboBox>
#include <QStringList>
#include <stdexcept>
#include <string>

namespace Alignments {
inline constexpr qint16 Left = 0;
inline constexpr qint16 Centre = 1;
inline constexpr qint16 Right = 2;

inline const QStringList Items = {QStringLiteral("左詰め"), QStringLiteral("中央揃え"),
                                  QStringLiteral("右詰め")};

// Chooses the item of `code` in an alignment list; -1 chooses none. A code the
// list cannot show leaves nothing chosen and fails.
inline void Choose(QComboBox* list, qint16 code) {
    if (code < -1 || code >= list->count()) {
        list->setCurrentIndex(-1);
        throw std::out_of_range("Invalid property value: alignment " + std::to_string(code));
    }
    list->setCurrentIndex(code);
}
} // namespace Alignments
