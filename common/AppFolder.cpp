#include "common/AppFolder.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString& overridePath() {
    static QString path;
    return path;
}
} // namespace

QString AppPath() {
    if (!overridePath().isEmpty())
        return overridePath();
    return QCoreApplication::applicationDirPath();
}

QString AppFile(const QString& name) {
    return QDir(AppPath()).filePath(name);
}

void SetAppPath(const QString& path) {
    overridePath() = path;
}
