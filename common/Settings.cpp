#include "common/Settings.h"

#include "common/AppFolder.h"
#include "common/Globals.h"
#include "common/Messages.h"
#include "common/Numbers.h"
#include "platform/ProfileFile.h"

namespace {

// A new key is one row here: the delivered vesk.ini is written from this
// table, the load and the offsets screen go through it.
const Setting Keys[] = {
    {"limit", "left", &OffsetLeft, "0"},           // mm taken off every item's left
    {"limit", "top", &OffsetTop, "0"},             // mm taken off every item's top
    {"default", "font", &DefaultFontSize, "10.5"}, // a new item's font size in points
    {"default", "col", &DefaultColCount, "20"},    // a new item's characters per line
    {"default", "row", &DefaultRowCount, "1"},     // a new item's lines
    {"default", "align", &DefaultAlign, "0"},      // a new item's alignment code
};

QString settingsPath() {
    return AppFile(QStringLiteral("vesk.ini"));
}

template <class... F> struct Overloaded : F... { using F::operator()...; };

// The typed text as the setting's kind keeps it in the file.
QString textForm(const Setting& setting, const QString& typed) {
    return std::visit(Overloaded{[&](double*) { return DoubleToText(TextToDouble(typed)); },
                                 [&](qint16*) { return QString::number(TextToInt16(typed)); }},
                      setting.global);
}

} // namespace

std::span<const Setting> SettingKeys() {
    return Keys;
}

QString ReadSetting(const QString& section, const QString& key) {
    QString value;
    const int n = GetPrivateProfileString(section, key, value, settingsPath());
    if (n > 0)
        return value.left(n);
    ShowMessage(QString(), QString(), Msg::SettingsReadFailed,
                QStringLiteral("[%1] の %2 を読めません（ファイルがないか、値が空です）: %3")
                    .arg(section, key, settingsPath()));
    return QString();
}

void WriteSetting(const QString& section, const QString& key, const QString& value) {
    if (!WritePrivateProfileString(section, key, value, settingsPath()))
        ShowMessage(
            QString(), QString(), Msg::SettingsWriteFailed,
            QStringLiteral("[%1] の %2 を書き込めません: %3").arg(section, key, settingsPath()));
}

void LoadSettings() {
    for (const Setting& setting : Keys) {
        const QString text = ReadSetting(setting.section, setting.key);
        std::visit(Overloaded{[&](double* global) { *global = TextToDouble(text); },
                              [&](qint16* global) { *global = TextToInt16(text); }},
                   setting.global);
    }
}

void WriteSettings(const std::function<QString(const Setting&)>& typed) {
    for (const Setting& setting : Keys)
        WriteSetting(setting.section, setting.key, textForm(setting, typed(setting)));
}

QString SettingText(const Setting& setting) {
    return std::visit(Overloaded{[](double* global) { return DoubleToText(*global); },
                                 [](qint16* global) { return QString::number(*global); }},
                      setting.global);
}
