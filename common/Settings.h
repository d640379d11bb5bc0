// The settings file vesk.ini in the application folder: two printer offsets
// ("limit") and the defaults for new text items ("default").
#pragma once

#include <QString>

// The key's value; on a missing file, section, key or value shows
// "020設定ファイル読み込みに失敗しました。" and returns the empty text.
QString ReadSetting(const QString& section, const QString& key);
// Writes one key; on failure shows "020設定ファイル書き込みに失敗しました。"
// and returns all the same.
void WriteSetting(const QString& section, const QString& key, const QString& value);
// Reads the six settings into their globals, in file order, each stored
// before the next is read; a conversion failure stops the load there.
void LoadSettings();
