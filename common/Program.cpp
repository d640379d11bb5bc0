#include "common/Program.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QWidget>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
int instanceFd = -1;
bool ended = false;
} // namespace

bool AcquireSingleInstance(const QString& folder) {
    if (instanceFd >= 0)
        return true;
    const QByteArray path = QFile::encodeName(folder);
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return true; // no folder to lock: the start-up fails on its files instead
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    instanceFd = fd;
    return true;
}

void ReleaseSingleInstance() {
    if (instanceFd >= 0) {
        ::close(instanceFd);
        instanceFd = -1;
    }
}

void EndProgram() {
    ended = true;
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows)
        w->hide();
    for (QWidget* w : windows)
        w->deleteLater();
    ReleaseSingleInstance();
    QCoreApplication::exit(0);
}

bool ProgramEnded() {
    return ended;
}
void ResetProgramEnded() {
    ended = false;
}

void RegisterFontSubstitutions() {
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐ明朝"), QStringLiteral("IPAPMincho"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
}

void SetProgramFont() {
    QApplication::setFont(QFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));
}
