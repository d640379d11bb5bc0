#include "platform/SafeFile.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void fail(const QString& what, const QString& path) {
    throw std::runtime_error(
        (what + ": " + path + ": " + QString::fromLocal8Bit(strerror(errno))).toStdString());
}

void syncPath(const QString& path, int flags) {
    const QByteArray p = QFile::encodeName(path);
    const int fd = ::open(p.constData(), flags | O_CLOEXEC);
    if (fd < 0)
        fail(QStringLiteral("ファイルを開けません"), path);
    const int rc = ::fsync(fd);
    ::close(fd);
    if (rc != 0)
        fail(QStringLiteral("ファイルを書き出せません"), path);
}

mode_t permissionBits(int fd, const QString& path) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        fail(QStringLiteral("ファイルの状態を読めません"), path);
    return st.st_mode & (S_IRWXU | S_IRWXG | S_IRWXO);
}

// Opens `target` as a new file, readable by its owner only until it is given
// `bits`: no other account can open it in between and read what follows.
void createNew(QFile& target, mode_t bits) {
    if (!target.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        throw std::runtime_error((QStringLiteral("ファイルを作れません: ") + target.fileName() +
                                  ": " + target.errorString())
                                     .toStdString());
    if (::fchmod(target.handle(), bits) != 0)
        fail(QStringLiteral("ファイルの権限を設定できません"), target.fileName());
}

} // namespace

void CopyFileDurably(const QString& from, const QString& to) {
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        throw std::runtime_error(
            (QStringLiteral("ファイルを読めません: ") + from + ": " + source.errorString())
                .toStdString());
    // A file already there may be open elsewhere with its own bits: start anew.
    if (::unlink(QFile::encodeName(to).constData()) != 0 && errno != ENOENT)
        fail(QStringLiteral("ファイルを置き換えられません"), to);
    QFile target(to);
    createNew(target, permissionBits(source.handle(), from));
    QByteArray buffer;
    while (!(buffer = source.read(1 << 20)).isEmpty()) {
        if (target.write(buffer) != buffer.size())
            throw std::runtime_error(
                (QStringLiteral("ファイルに書き込めません: ") + to + ": " + target.errorString())
                    .toStdString());
    }
    if (source.error() != QFileDevice::NoError)
        throw std::runtime_error(
            (QStringLiteral("ファイルを読めません: ") + from + ": " + source.errorString())
                .toStdString());
    if (!target.flush() || ::fsync(target.handle()) != 0)
        fail(QStringLiteral("ファイルを書き出せません"), to);
    target.close();
}

void CreateFileLike(const QString& path, const QString& model) {
    // The model is looked at without opening it: closing a descriptor on a
    // file drops every lock this process holds on it, such as the exclusive
    // database's.
    struct stat st {};
    if (::stat(QFile::encodeName(model).constData(), &st) != 0)
        fail(QStringLiteral("ファイルの属性を読めません"), model);
    QFile target(path);
    createNew(target, st.st_mode & (S_IRWXU | S_IRWXG | S_IRWXO));
    target.close();
}

void ReplaceFile(const QString& from, const QString& to) {
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        fail(QStringLiteral("ファイルを置き換えられません（%1 から）").arg(from), to);
}

void SyncFile(const QString& path) {
    syncPath(path, O_RDONLY);
}
void SyncFolder(const QString& path) {
    syncPath(path, O_RDONLY | O_DIRECTORY);
}
