// Alignment codes: the index of the item chosen in an alignment list (-1 when
// none). Every alignment list of the program holds these items in this order.
#pragma once

#include <QStringList>

namespace AlignCodes {
inline const QStringList Items = {QStringLiteral("左詰め"), QStringLiteral("中央揃え"),
                                  QStringLiteral("右詰め")};
} // namespace AlignCodes
