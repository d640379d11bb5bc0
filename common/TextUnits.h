// Characters as the user sees them: grapheme clusters, so a surrogate pair, a
// variation sequence or a combining mark never comes apart from its base.
#pragma once

#include <QString>
#include <QStringList>

qsizetype CharacterCount(const QString& text);
// The first `count` characters of `text`.
QString LeftCharacters(const QString& text, qsizetype count);
// `text` cut into pieces of `count` characters (the last may be shorter).
QStringList SplitCharacters(const QString& text, qsizetype count);
