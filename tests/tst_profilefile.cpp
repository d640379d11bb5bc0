#include "platform/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void WriteRaw(const QString& path, const QByteArray& data) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(data), data.size());
}

QByteArray ReadRaw(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QString Read(const QString& section, const QString& key, const QString& path) {
    QString value;
    const int n = GetPrivateProfileString(section, key, value, path);
    if (n != value.size())
        return QStringLiteral("<length %1 for '%2'>").arg(n).arg(value);
    return value;
}

} // namespace

class TestProfileFile : public QObject {
    Q_OBJECT

private slots:
    void readsValuesAndMissingOnes();
    void readsFirstOfDuplicatedKey();
    void writeCreatesFileSectionAndKey();
    void writeKeepsTheRestOfTheFile();
    void writeReplacesOnlyTheFirstDuplicate();
    void writeRefusesUnreadableFile();
    void writeFailsWhereFileCannotBeWritten();
};

void TestProfileFile::readsValuesAndMissingOnes() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("vesk.ini"));
    WriteRaw(path, "; settings\n"
                   "[Print]\n"
                   "Offset=12\n"
                   "  Margin  =  \t 3 mm \t \n"
                   "Empty=\n"
                   "Name=用紙 A\r\n"
                   "[用紙]\n"
                   "Width=210\n");

    QCOMPARE(Read("Print", "Offset", path), QStringLiteral("12"));
    QCOMPARE(Read("Print", "Margin", path), QStringLiteral("3 mm"));
    QCOMPARE(Read("Print", "Name", path), QStringLiteral("用紙 A"));
    QCOMPARE(Read("用紙", "Width", path), QStringLiteral("210"));

    // Names ignore case.
    QCOMPARE(Read("PRINT", "offset", path), QStringLiteral("12"));
    QCOMPARE(Read("print", "MARGIN", path), QStringLiteral("3 mm"));

    // Anything missing reads as empty with 0, and clears what the caller passed in.
    for (const auto& [section, key, file] :
         {std::tuple{"Print", "Empty", path}, std::tuple{"Print", "Nothing", path},
          std::tuple{"Other", "Offset", path}, std::tuple{"用紙", "Offset", path},
          std::tuple{"Print", "Offset", dir.filePath(QStringLiteral("none.ini"))},
          std::tuple{"Print", "Offset", dir.path()}}) {
        QString value = QStringLiteral("stale");
        QCOMPARE(GetPrivateProfileString(section, key, value, file), 0);
        QVERIFY2(value.isEmpty(), qPrintable(QStringLiteral("%1/%2").arg(section, key)));
    }
}

void TestProfileFile::readsFirstOfDuplicatedKey() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("dup.ini"));
    WriteRaw(path, "[A]\nKey=first\nOther=x\nkey=second\nKEY=third\n"
                   "[B]\nKey=b\n"
                   "[a]\nKey=fourth\n");
    QCOMPARE(Read("A", "Key", path), QStringLiteral("first"));
    QCOMPARE(Read("B", "Key", path), QStringLiteral("b"));
}

void TestProfileFile::writeCreatesFileSectionAndKey() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("new.ini"));

    QVERIFY(WritePrivateProfileString("Print", "Offset", "12", path));
    QCOMPARE(Read("Print", "Offset", path), QStringLiteral("12"));
    QVERIFY(WritePrivateProfileString("Print", "Title", "請求書", path));
    QVERIFY(WritePrivateProfileString("表示", "Zoom", "150", path));
    QVERIFY(WritePrivateProfileString("print", "OFFSET", "15", path));

    QCOMPARE(Read("Print", "Offset", path), QStringLiteral("15"));
    QCOMPARE(Read("Print", "Title", path), QStringLiteral("請求書"));
    QCOMPARE(Read("表示", "Zoom", path), QStringLiteral("150"));

    // Written as plain UTF-8 key=value lines, one per key, with nothing left beside it.
    const QByteArray text = ReadRaw(path);
    QVERIFY2(text.contains("Title=\xe8\xab\x8b\xe6\xb1\x82\xe6\x9b\xb8\n"), text.constData());
    QCOMPARE(text.toLower().count("[print]"), 1);
    QCOMPARE(text.toLower().count("offset="), 1);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("new.ini")});
}

void TestProfileFile::writeKeepsTheRestOfTheFile() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("keep.ini"));
    WriteRaw(path, "\xef\xbb\xbf"
                   "[Print]\n"
                   "; left edge in mm\n"
                   "Offset=12\n"
                   "# written by an older version\n"
                   "Legacy=on\n"
                   "[Window]\n"
                   "Left=100\n"
                   "Top=200\n");

    QVERIFY(WritePrivateProfileString("Print", "Offset", "20", path));
    QVERIFY(WritePrivateProfileString("Print", "Copies", "2", path));

    QCOMPARE(Read("Print", "Offset", path), QStringLiteral("20"));
    QCOMPARE(Read("Print", "Copies", path), QStringLiteral("2"));
    QCOMPARE(Read("Print", "Legacy", path), QStringLiteral("on"));
    QCOMPARE(Read("Window", "Left", path), QStringLiteral("100"));
    QCOMPARE(Read("Window", "Top", path), QStringLiteral("200"));

    const QByteArray text = ReadRaw(path);
    QVERIFY2(text.startsWith("\xef\xbb\xbf[Print]\n"), text.constData());
    QVERIFY2(text.contains("; left edge in mm\nOffset=20\n"), text.constData());
    QVERIFY2(text.contains("# written by an older version\nLegacy=on\n"), text.constData());
}

void TestProfileFile::writeReplacesOnlyTheFirstDuplicate() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("dup.ini"));
    WriteRaw(path, "[A]\nKey=first\nKey=second\n");

    // Writing another key must not change what the duplicated one reads as.
    QVERIFY(WritePrivateProfileString("A", "Other", "x", path));
    QCOMPARE(Read("A", "Key", path), QStringLiteral("first"));
    QCOMPARE(ReadRaw(path).count("Key="), 2);

    QVERIFY(WritePrivateProfileString("A", "Key", "new", path));
    QCOMPARE(Read("A", "Key", path), QStringLiteral("new"));
    QCOMPARE(ReadRaw(path).count("Key="), 2);
}

void TestProfileFile::writeRefusesUnreadableFile() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    // A directory in the file's place.
    const QString asDir = dir.filePath(QStringLiteral("dir.ini"));
    QVERIFY(QDir().mkdir(asDir));
    QVERIFY(!WritePrivateProfileString("A", "Key", "v", asDir));
    QVERIFY(QFileInfo(asDir).isDir());

    // Line breaks would make new sections or keys of their own.
    const QString path = dir.filePath(QStringLiteral("plain.ini"));
    const QByteArray original = "[A]\nKey=old\n";
    WriteRaw(path, original);
    QVERIFY(!WritePrivateProfileString("A", "Key", "v\n[B]\nX=1", path));
    QVERIFY(!WritePrivateProfileString("A\r", "Key", "v", path));
    QVERIFY(!WritePrivateProfileString("A", "K\ney", "v", path));
    QCOMPARE(ReadRaw(path), original);

    // A file without read permission; root reads it anyway.
    QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
    QFile probe(path);
    if (probe.open(QIODevice::ReadOnly)) {
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QSKIP("Permissions do not stop this user reading the file");
    }
    QVERIFY(!WritePrivateProfileString("A", "Other", "v", path));
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QCOMPARE(ReadRaw(path), original);
}

void TestProfileFile::writeFailsWhereFileCannotBeWritten() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString missing = dir.filePath(QStringLiteral("no/such/folder/vesk.ini"));
    QVERIFY(!WritePrivateProfileString("A", "Key", "v", missing));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("no"))));

    // A folder without write permission; root writes there anyway.
    const QString locked = dir.filePath(QStringLiteral("locked"));
    QVERIFY(QDir().mkdir(locked));
    const QString path = locked + QStringLiteral("/vesk.ini");
    const QByteArray original = "[A]\nKey=old\n";
    WriteRaw(path, original);
    QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    QFile probe(locked + QStringLiteral("/probe"));
    if (probe.open(QIODevice::WriteOnly)) {
        probe.remove();
        QFile::setPermissions(locked, QFile::permissions(dir.path()));
        QSKIP("Permissions do not stop this user writing in the folder");
    }
    const bool written = WritePrivateProfileString("A", "Key", "new", path);
    QVERIFY(QFile::setPermissions(locked, QFile::permissions(dir.path())));
    QVERIFY(!written);
    QCOMPARE(ReadRaw(path), original);
}

QTEST_MAIN(TestProfileFile)
#include "tst_profilefile.moc"
