// The settings file vesk.ini in the application folder: two printer offsets
// ("limit") and the defaults for new text items ("default").
#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>
#include <span>
#include <variant>

// One key of vesk.ini and the global that holds its value during the run. The
// global's type is the key's kind: a decimal number, kept in the file in the
// standard double form, or a 16-bit whole number.
struct Setting {
    const char* section;
    const char* key;
    std::variant<double*, qint16*> global;
    // The key's value in the delivered vesk.ini.
    const char* delivered;
};

// Every key, in the order they are read, written and delivered.
std::span<const Setting> SettingKeys();

// The key's value; on a missing file, section, key or value shows
// "020設定ファイル読み込みに失敗しました。" and returns the empty text.
QString ReadSetting(const QString& section, const QString& key);
// Writes one key; on failure shows "020設定ファイル書き込みに失敗しました。"
// and returns all the same.
void WriteSetting(const QString& section, const QString& key, const QString& value);
// Reads every key into its global, in order, each stored before the next is
// read; a value that does not convert stops the load there.
void LoadSettings();
// Writes every key in order: `typed` gives the text the user typed for it,
// which is written in the key's kind's text form. A text that does not
// convert stops the writing there; the keys before it are written.
void WriteSettings(const std::function<QString(const Setting&)>& typed);
// The value of the setting's global as text, as a screen shows it.
QString SettingText(const Setting& setting);
