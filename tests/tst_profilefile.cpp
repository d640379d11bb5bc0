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
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The value, or a marker when the returned count disagrees with it.
QString Read(const QString& section, const QString& key, const QString& path) {
    QString value;
    const int n = GetPrivateProfileString(section, key, value, path);
    return n == value.size() ? value : QStringLiteral("<%1 for '%2'>").arg(n).arg(value);
}

} // namespace

class TestProfileFile : public QObject {
    Q_OBJECT

private slots:
    void readsValuesAndMissingOnes();
    void writeCreatesAndKeeps();
    void duplicatedKeyUsesTheFirst();
    void failedWriteLeavesFileAlone();
};

void TestProfileFile::readsValuesAndMissingOnes() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("vesk.ini"));
    WriteRaw(path, "; settings\n[Print]\nOffset=12\n  Margin  =  \t 3 mm \t \nEmpty=\n"
                   "Name=用紙 A\r\n[用紙]\nWidth=210\n");

    QCOMPARE(Read("Print", "Offset", path), QStringLiteral("12"));
    QCOMPARE(Read("print", "MARGIN", path), QStringLiteral("3 mm"));
    QCOMPARE(Read("PRINT", "name", path), QStringLiteral("用紙 A"));
    QCOMPARE(Read("用紙", "Width", path), QStringLiteral("210"));

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

void TestProfileFile::writeCreatesAndKeeps() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString created = dir.filePath(QStringLiteral("new.ini"));
    QVERIFY(WritePrivateProfileString("Print", "Offset", "12", created));
    QVERIFY(WritePrivateProfileString("Print", "Title", "請求書", created));
    QVERIFY(WritePrivateProfileString("表示", "Zoom", "150", created));
    QVERIFY(WritePrivateProfileString("print", "OFFSET", "15", created));
    QCOMPARE(Read("Print", "Offset", created), QStringLiteral("15"));
    QCOMPARE(Read("Print", "Title", created), QStringLiteral("請求書"));
    QCOMPARE(Read("表示", "Zoom", created), QStringLiteral("150"));
    const QByteArray text = ReadRaw(created);
    QVERIFY2(text.contains("Title=\xe8\xab\x8b\xe6\xb1\x82\xe6\x9b\xb8\n"), text.constData());
    QCOMPARE(text.toLower().count("[print]"), 1);
    QCOMPARE(text.toLower().count("offset="), 1);
    // No temporary file is left beside it.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("new.ini")});

    const QString kept = dir.filePath(QStringLiteral("keep.ini"));
    WriteRaw(kept, "\xef\xbb\xbf[Print]\n; left edge in mm\nOffset=12\n"
                   "# written by an older version\nLegacy=on\n[Window]\nLeft=100\nTop=200\n");
    QVERIFY(WritePrivateProfileString("Print", "Offset", "20", kept));
    QVERIFY(WritePrivateProfileString("Print", "Copies", "2", kept));
    QCOMPARE(Read("Print", "Offset", kept), QStringLiteral("20"));
    QCOMPARE(Read("Print", "Copies", kept), QStringLiteral("2"));
    QCOMPARE(Read("Print", "Legacy", kept), QStringLiteral("on"));
    QCOMPARE(Read("Window", "Left", kept), QStringLiteral("100"));
    QCOMPARE(Read("Window", "Top", kept), QStringLiteral("200"));
    const QByteArray keptText = ReadRaw(kept);
    QVERIFY2(keptText.startsWith("\xef\xbb\xbf[Print]\n"), keptText.constData());
    QVERIFY2(keptText.contains("; left edge in mm\nOffset=20\n"), keptText.constData());
    QVERIFY2(keptText.contains("# written by an older version\nLegacy=on\n"), keptText.constData());
}

void TestProfileFile::duplicatedKeyUsesTheFirst() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("dup.ini"));
    WriteRaw(path, "[A]\nKey=first\nOther=x\nkey=second\n[B]\nKey=b\n[a]\nKEY=third\n");
    QCOMPARE(Read("A", "Key", path), QStringLiteral("first"));
    QCOMPARE(Read("B", "Key", path), QStringLiteral("b"));

    // Writing another key keeps both lines and what the key reads as.
    QVERIFY(WritePrivateProfileString("A", "More", "y", path));
    QCOMPARE(Read("A", "Key", path), QStringLiteral("first"));
    QCOMPARE(ReadRaw(path).toLower().count("key="), 4);

    // Writing the key itself replaces the first value without adding a line.
    QVERIFY(WritePrivateProfileString("A", "Key", "new", path));
    QCOMPARE(Read("A", "Key", path), QStringLiteral("new"));
    QCOMPARE(ReadRaw(path).toLower().count("key="), 4);
}

void TestProfileFile::failedWriteLeavesFileAlone() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString asDir = dir.filePath(QStringLiteral("dir.ini"));
    QVERIFY(QDir().mkdir(asDir));
    QVERIFY(!WritePrivateProfileString("A", "Key", "v", asDir));
    QVERIFY(QFileInfo(asDir).isDir());
    QVERIFY(!WritePrivateProfileString("A", "Key", "v", dir.filePath(QStringLiteral("no/x.ini"))));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("no"))));

    const QString locked = dir.filePath(QStringLiteral("locked"));
    QVERIFY(QDir().mkdir(locked));
    const QString path = locked + QStringLiteral("/vesk.ini");
    const QByteArray original = "[A]\nKey=old\n";
    WriteRaw(path, original);
    // Line breaks would make sections or keys of their own.
    QVERIFY(!WritePrivateProfileString("A", "Key", "v\n[B]\nX=1", path));
    QVERIFY(!WritePrivateProfileString("A\r", "Key", "v", path));
    QVERIFY(!WritePrivateProfileString("A", "K\ney", "v", path));
    QCOMPARE(ReadRaw(path), original);

    const auto rw = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
    if (QFile probe(path); probe.open(QIODevice::ReadOnly)) {
        QVERIFY(QFile::setPermissions(path, rw));
        QSKIP("Permissions do not bind this user");
    }
    const bool unreadable = WritePrivateProfileString("A", "Other", "v", path);
    QVERIFY(QFile::setPermissions(path, rw));
    QVERIFY(!unreadable);
    QCOMPARE(ReadRaw(path), original);

    QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const bool readOnlyFolder = WritePrivateProfileString("A", "Key", "new", path);
    QVERIFY(QFile::setPermissions(locked, rw | QFileDevice::ExeOwner));
    QVERIFY(!readOnlyFolder);
    QCOMPARE(ReadRaw(path), original);
}

QTEST_MAIN(TestProfileFile)
#include "tst_profilefile.moc"
