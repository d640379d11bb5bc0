#include "TestSupport.h"
#include "platform/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <array>

namespace {

// The value, or a marker when the returned count disagrees with it or a stale
// value passed in is left.
QString Read(const QString& section, const QString& key, const QString& path) {
    QString value = QStringLiteral("stale");
    const int n = GetPrivateProfileString(section, key, value, path);
    return n == value.size() ? value : QStringLiteral("<%1 for '%2'>").arg(n).arg(value);
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
    WriteBytes(path,
               "; settings\n[Print]\nOffset=12\n  Margin  =  \t 3 mm \t \nEmpty=\n"
               "Name=用紙 A\r\n[用紙]\nWidth=210\n[A]\nKey=first\nkey=second\n[a]\nKEY=third\n"
               "[Quotes]\nDouble=\"1.5\"\nSingle=' 2 '\nBlanks = \t\"用紙 B\" \nTwice=\"\"x\"\"\n"
               "Inner=a \"b\" c\nMixed=\"x'\nOpen=\"x\nLone=\"\nEmpty=\"\"\n");
    // In [Quotes], one pair of matching quotes around the whole value goes.
    const QList<std::array<QString, 4>> cases = {
        {"Print", "Offset", path, "12"},     {"print", "MARGIN", path, "3 mm"},
        {"PRINT", "name", path, "用紙 A"},   {"用紙", "Width", path, "210"},
        {"a", "KEY", path, "first"},         {"Print", "Empty", path, ""},
        {"Print", "Nothing", path, ""},      {"Other", "Offset", path, ""},
        {"用紙", "Offset", path, ""},        {"Print", "Offset", dir.filePath("none.ini"), ""},
        {"Print", "Offset", dir.path(), ""}, {"Quotes", "Double", path, "1.5"},
        {"Quotes", "Single", path, " 2 "},   {"Quotes", "Blanks", path, "用紙 B"},
        {"Quotes", "Twice", path, "\"x\""},  {"Quotes", "Inner", path, "a \"b\" c"},
        {"Quotes", "Mixed", path, "\"x'"},   {"Quotes", "Open", path, "\"x"},
        {"Quotes", "Lone", path, "\""},      {"Quotes", "Empty", path, ""}};
    for (const auto& [section, key, file, value] : cases)
        QCOMPARE(Read(section, key, file), value);
}

void TestProfileFile::writesCreateAndKeep() {
    QTemporaryDir dir;
    const QString created = dir.filePath(QStringLiteral("new.ini"));
    QVERIFY(WritePrivateProfileString("Print", "Offset", "12", created));
    QVERIFY(WritePrivateProfileString("Print", "Title", "請求書", created));
    QVERIFY(WritePrivateProfileString("表示", "Zoom", "150", created));
    QVERIFY(WritePrivateProfileString("print", "OFFSET", "15", created));
    QCOMPARE(QString::fromUtf8(ReadBytes(created)).split(u'\n', Qt::SkipEmptyParts),
             (QStringList{"[Print]", "Offset=15", "Title=請求書", "[表示]", "Zoom=150"}));
    // No temporary file is left beside it.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("new.ini")});

    // The first of a duplicated key is replaced; comments and other keys are kept.
    const QString kept = dir.filePath(QStringLiteral("keep.ini"));
    WriteBytes(kept, "\xef\xbb\xbf[Print]\n; left edge in mm\nOffset=12\n"
                     "# older\nLegacy=on\nOFFSET=99\n[Window]\nLeft=100\n");
    QVERIFY(WritePrivateProfileString("Print", "Offset", "20", kept));
    QCOMPARE(Read("Print", "Offset", kept), QStringLiteral("20"));
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
    QVERIFY(!WritePrivateProfileString("A\r", "Key", "v", path));
    QVERIFY(!WritePrivateProfileString("A", "K\ney", "v", path));
    QCOMPARE(ReadBytes(path), original);

    // Nor is a file that cannot be read first.
    const auto rw = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
    const bool readable = QFile(path).open(QIODevice::ReadOnly);
    const bool written = WritePrivateProfileString("A", "Other", "v", path);
    QVERIFY(QFile::setPermissions(path, rw));
    if (readable)
        QSKIP("Permissions do not bind this user");
    QVERIFY(!written);
    QCOMPARE(ReadBytes(path), original);
}

QTEST_MAIN(TestProfileFile)
#include "tst_profilefile.moc"
