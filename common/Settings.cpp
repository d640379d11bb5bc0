#include "common/Settings.h"

#include "common/AppFolder.h"
#include "common/Globals.h"
#include "common/Messages.h"
#include "common/Numbers.h"
#include "platform/ProfileFile.h"

namespace {
QString settingsPath() {
    return AppFile(QStringLiteral("vesk.ini"));
}
} // namespace

QString ReadSetting(const QString& section, const QString& key) {
    QString value;
    const int n = GetPrivateProfileString(section, key, value, settingsPath());
    if (n > 0)
        return value.left(n);
    ShowMessage(QString(), QString(), Msg::SettingsReadFailed);
    return QString();
}

void WriteSetting(const QString& section, const QString& key, const QString& value) {
    if (!WritePrivateProfileString(section, key, value, settingsPath()))
        ShowMessage(QString(), QString(), Msg::SettingsWriteFailed);
}

void LoadSettings() {
    OffsetLeft = TextToDouble(ReadSetting(QStringLiteral("limit"), QStringLiteral("left")));
    OffsetTop = TextToDouble(ReadSetting(QStringLiteral("limit"), QStringLiteral("top")));
    DefaultFontSize = TextToDouble(ReadSetting(QStringLiteral("default"), QStringLiteral("font")));
    DefaultColCount = TextToInt16(ReadSetting(QStringLiteral("default"), QStringLiteral("col")));
    DefaultRowCount = TextToInt16(ReadSetting(QStringLiteral("default"), QStringLiteral("row")));
    DefaultAlign = TextToInt16(ReadSetting(QStringLiteral("default"), QStringLiteral("align")));
}
