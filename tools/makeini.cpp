// Writes the delivered settings file: every key of the settings table with
// its delivered value, each section once, in the order the table first names
// it, as `key=value` lines.
#include "common/Settings.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: makeini <new vesk.ini>\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    if (QFile::exists(path)) {
        std::fprintf(stderr, "makeini: %s exists; it is never overwritten\n", argv[1]);
        return 1;
    }
    QList<QByteArray> sections;
    for (const Setting& setting : SettingKeys()) {
        if (!sections.contains(setting.section))
            sections.append(setting.section);
    }
    QByteArray text;
    for (const QByteArray& section : sections) {
        text += '[' + section + "]\n";
        for (const Setting& setting : SettingKeys()) {
            if (section == setting.section)
                text += QByteArray(setting.key) + '=' + setting.delivered + '\n';
        }
    }
    QFile file(path);
    if (!file.open(QIODevice::NewOnly) || file.write(text) != text.size() || !file.flush()) {
        std::fprintf(stderr, "makeini: %s: %s\n", argv[1], qPrintable(file.errorString()));
        file.remove();
        return 1;
    }
    return 0;
}
