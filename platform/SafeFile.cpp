#include "platform/SafeFile.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace {

[[noreturn]] void fail(const QString& what, const QString& path) {
    throw std::runtime_error(
        (what + " " + path + ": " + QString::fromLocal8Bit(strerror(errno))).toStdString());
}

void syncPath(const QString& path, int flags) {
    const QByteArray p = QFile::encodeName(path);
    const int fd = ::open(p.constData(), flags | O_CLOEXEC);
    if (fd < 0)
        fail(QStringLiteral("cannot open"), path);
    const int rc = ::fsync(fd);
    ::close(fd);
    if (rc != 0)
        fail(QStringLiteral("cannot flush"), path);
}

} // namespace

void CopyFileDurably(const QString& from, const QString& to) {
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        throw std::runtime_error(
            ("cannot read " + from + ": " + source.errorString()).toStdString());
    QFile target(to);
    if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error(
            ("cannot write " + to + ": " + target.errorString()).toStdString());
    QByteArray buffer;
    while (!(buffer = source.read(1 << 20)).isEmpty()) {
        if (target.write(buffer) != buffer.size())
            throw std::runtime_error(
                ("cannot write " + to + ": " + target.errorString()).toStdString());
    }
    if (source.error() != QFileDevice::NoError)
        throw std::runtime_error(
            ("cannot read " + from + ": " + source.errorString()).toStdString());
    if (!target.flush() || ::fsync(target.handle()) != 0)
        fail(QStringLiteral("cannot flush"), to);
    target.close();
}

void ReplaceFile(const QString& from, const QString& to) {
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        fail(QStringLiteral("cannot rename ") + from + " to", to);
}

void SyncFile(const QString& path) {
    syncPath(path, O_RDONLY);
}
void SyncFolder(const QString& path) {
    syncPath(path, O_RDONLY | O_DIRECTORY);
}
