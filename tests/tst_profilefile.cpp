#include "TestSupport.h"
#include "platform/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <array>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The value, or a marker when the returned count disagrees with it or a stale
// value passed in is left.
QString Read(const QString& section, const QString& key, const QString& path) {
    QString value = QStringLiteral("stale");
    const int n = GetPrivateProfileString(section, key, value, path);
    return n == value.size() ? value : QStringLiteral("<%1 for '%2'>").arg(n).arg(value);
}

enum Outcome { PermissionsDoNotBind = 1, ReadableNotWritten = 2, UnreadableWritten = 4 };

// Runs `body` as an account that file permissions bind: this one, or, when the
// tests run as root, a child process that has given root up for "nobody".
// Returns what `body` returns, or a value outside its flags when the child fails.
int runBoundByPermissions(const std::function<int()>& body) {
    if (::geteuid() != 0)
        return body();
    const passwd* nobody = ::getpwnam("nobody");
    const uid_t uid = nobody ? nobody->pw_uid : 65534;
    const gid_t gid = nobody ? nobody->pw_gid : 65534;
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(64);
        ::_exit(body());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return 128;
    return WEXITSTATUS(status);
}

} // namespace

class TestProfileFile : public QObject {
    Q_OBJECT

private slots:
    void reads();
    void writesCreateAndKeep();
    void failedWritesLeaveTheFileAlone();
};

void TestProfileFile::reads() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("vesk.ini"));
    WriteBytes(path, "; settings\n[Print]\n  Margin  =  \t 3 mm \t \nEmpty=\nName=用紙 A\r\n"
                     "[A]\nKey=first\nkey=second\n[Quotes]\nDouble=\"1.5\"\nSingle=' 2 '\n"
                     "Twice=\"\"x\"\"\nMixed=\"x'\nLone=\"\n");
    // In [Quotes], one pair of matching quotes around the whole value goes.
    const QList<std::array<QString, 4>> cases = {
        {"print", "MARGIN", path, "3 mm"},   {"PRINT", "name", path, "用紙 A"},
        {"a", "KEY", path, "first"},         {"Print", "Empty", path, ""},
        {"A", "Margin", path, ""},           {"Print", "Margin", dir.filePath("none.ini"), ""},
        {"Print", "Margin", dir.path(), ""}, {"Quotes", "Double", path, "1.5"},
        {"Quotes", "Single", path, " 2 "},   {"Quotes", "Twice", path, "\"x\""},
        {"Quotes", "Mixed", path, "\"x'"},   {"Quotes", "Lone", path, "\""}};
    for (const auto& [section, key, file, value] : cases)
        QCOMPARE(Read(section, key, file), value);
}

void TestProfileFile::writesCreateAndKeep() {
    QTemporaryDir dir;
    const QString created = dir.filePath(QStringLiteral("new.ini"));
    QVERIFY(WritePrivateProfileString("Print", "Offset", "12", created));
    QVERIFY(WritePrivateProfileString("表示", "Zoom", "150", created));
    QVERIFY(WritePrivateProfileString("print", "OFFSET", "15", created));
    QCOMPARE(QString::fromUtf8(ReadBytes(created)).split(u'\n', Qt::SkipEmptyParts),
             (QStringList{"[Print]", "Offset=15", "[表示]", "Zoom=150"}));
    // No temporary file is left beside it.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("new.ini")});

    // The first of a duplicated key is replaced; comments and other keys are kept.
    const QString kept = dir.filePath(QStringLiteral("keep.ini"));
    WriteBytes(kept, "\xef\xbb\xbf[Print]\n; left edge in mm\nOffset=12\n"
                     "# older\nLegacy=on\nOFFSET=99\n[Window]\nLeft=100\n");
    QVERIFY(WritePrivateProfileString("Print", "Offset", "20", kept));
    const QByteArray text = ReadBytes(kept);
    QVERIFY2(text.startsWith("\xef\xbb\xbf[Print]\n") &&
                 text.contains("; left edge in mm\nOffset=20\n") &&
                 text.contains("# older\nLegacy=on\n") && text.contains("[Window]\nLeft=100\n") &&
                 text.toLower().count("offset=") == 2,
             text.constData());
}

void TestProfileFile::failedWritesLeaveTheFileAlone() {
    QTemporaryDir dir;
    QVERIFY(!WritePrivateProfileString("A", "Key", "v", dir.path()));
    QVERIFY(!WritePrivateProfileString("A", "Key", "v", dir.filePath(QStringLiteral("no/x.ini"))));

    const QString path = dir.filePath(QStringLiteral("vesk.ini"));
    const QByteArray original = "[A]\nKey=old\n";
    WriteBytes(path, original);
    // Line breaks would make sections or keys of their own.
    QVERIFY(!WritePrivateProfileString("A", "Key", "v\n[B]\nX=1", path));
    QVERIFY(!WritePrivateProfileString("A\r", "K\ney", "v", path));
    QCOMPARE(ReadBytes(path), original);

    // Nor is a file that cannot be read first, though it could be replaced: the
    // write would lose the keys it could not read. A readable file beside it
    // shows that the same account can write there.
    const QString readable = dir.filePath(QStringLiteral("readable.ini"));
    WriteBytes(readable, original);
    const auto writable =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    QVERIFY(QFile::setPermissions(path, writable));
    QVERIFY(QFile::setPermissions(readable, writable | QFileDevice::ReadOwner |
                                                QFileDevice::ReadGroup | QFileDevice::ReadOther));
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner | QFileDevice::WriteGroup |
                                                  QFileDevice::ExeGroup | QFileDevice::WriteOther |
                                                  QFileDevice::ExeOther));
    const int outcome = runBoundByPermissions([&] {
        int result = 0;
        if (QFile(path).open(QIODevice::ReadOnly))
            result |= PermissionsDoNotBind;
        if (!WritePrivateProfileString("A", "Other", "v", readable))
            result |= ReadableNotWritten;
        if (WritePrivateProfileString("A", "Other", "v", path))
            result |= UnreadableWritten;
        return result;
    });
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QCOMPARE(outcome, 0);
    QCOMPARE(ReadBytes(path), original);
    QCOMPARE(ReadBytes(readable), QByteArray("[A]\nKey=old\nOther=v\n"));
}

QTEST_MAIN(TestProfileFile)
#include "tst_profilefile.moc"
