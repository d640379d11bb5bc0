// Fixed names of the layout database and how it is opened.
#pragma once

#include <QString>

namespace LayoutFiles {
inline const QString Data = QStringLiteral("data.vsk");
inline const QString Backup = QStringLiteral("databak.vsk");
inline const QString Compacted = QStringLiteral("better.vsk");
// The connect string; its password is the database's encryption key.
inline const QString Connect = QStringLiteral(";pwd=4817k205");
} // namespace LayoutFiles
