#include "platform/ProfileFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <string>

// The packaged header keeps its template bodies behind SI_IMPLEMENTATION; compiling them
// here saves linking the prebuilt library.
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

namespace {

enum class Load { Missing, Loaded, Failed };

// Loads the whole file. Duplicate keys are all kept, so that the first of them can be
// found and none are lost when the file is saved again.
Load LoadProfile(const QString& path, CSimpleIniA& ini) {
    ini.SetMultiKey(true);
    ini.SetSpaces(false);
    const QFileInfo info(path);
    if (!info.exists())
        return Load::Missing;
    if (!info.isFile()) // a folder, pipe or device in its place
        return Load::Failed;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Load::Failed;
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Load::Failed;
    if (ini.LoadData(data.constData(), size_t(data.size())) < 0)
        return Load::Failed;
    return Load::Loaded;
}

bool HasLineBreak(const QString& text) {
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

} // namespace

int GetPrivateProfileString(const QString& section, const QString& key, QString& result,
                            const QString& path) {
    result.clear();
    CSimpleIniA ini;
    if (LoadProfile(path, ini) != Load::Loaded)
        return 0;
    const QByteArray sectionName = section.toUtf8();
    const QByteArray keyName = key.toUtf8();
    CSimpleIniA::TNamesDepend values;
    if (!ini.GetAllValues(sectionName.constData(), keyName.constData(), values))
        return 0;
    values.sort(CSimpleIniA::Entry::LoadOrder());
    result = QString::fromUtf8(values.front().pItem);
    // One pair of matching quotes around the whole value is not part of it.
    if (result.size() >= 2 && (result.front() == u'"' || result.front() == u'\'') &&
        result.back() == result.front())
        result = result.mid(1, result.size() - 2);
    return int(result.size());
}

bool WritePrivateProfileString(const QString& section, const QString& key, const QString& value,
                               const QString& path) {
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value))
        return false;
    CSimpleIniA ini;
    if (LoadProfile(path, ini) == Load::Failed)
        return false;

    // With multikey off, setting a duplicated key replaces its first value rather than
    // adding another line. Saving needs it back on, or only the first of each duplicated
    // key would be written out.
    const QByteArray sectionName = section.toUtf8();
    const QByteArray keyName = key.toUtf8();
    const QByteArray valueText = value.toUtf8();
    ini.SetMultiKey(false);
    const SI_Error set =
        ini.SetValue(sectionName.constData(), keyName.constData(), valueText.constData());
    ini.SetMultiKey(true);
    if (set < 0)
        return false;

    std::string text;
    // A file that began with a byte order mark keeps it.
    if (ini.Save(text, ini.IsUnicode()) < 0)
        return false;

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(text.data(), qint64(text.size())) != qint64(text.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
