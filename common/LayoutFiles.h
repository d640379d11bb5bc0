// Fixed names of the layout database, its form file and how they are opened.
#pragma once

#include <QString>

namespace LayoutFiles {
inline const QString Data = QStringLiteral("data.vsk");
inline const QString Backup = QStringLiteral("databak.vsk");
inline const QString Compacted = QStringLiteral("better.vsk");
// The pages' form images, keyed like data.vsk, and their copy.
inline const QString Forms = QStringLiteral("forms.vsk");
inline const QString FormsBackup = QStringLiteral("formsbak.vsk");
// The connect string; its password is the database's encryption key.
inline const QString Connect = QStringLiteral(";pwd=4817k205");
} // namespace LayoutFiles
