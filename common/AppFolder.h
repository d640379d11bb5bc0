// The application folder: the folder that holds the program file, where the
// database and the settings file live.
#pragma once

#include <QString>

QString AppPath();
// Full path of a file in the application folder.
QString AppFile(const QString& name);
// Points the program at another folder (tests run on a temporary one).
void SetAppPath(const QString& path);
