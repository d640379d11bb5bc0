// The settings file: how its keys and values are read and written, what a
// load puts into the globals, which messages the user sees, and what a failed
// write keeps.
#include "TestSupport.h"
#include "common/ErrorTrap.h"
#include "common/Messages.h"
#include "common/Settings.h"
#include "platform/ProfileFile.h"

#include <QtTest>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Every setting's global, in the table's order, after setting each to `set`.
QList<double> globals(std::optional<double> set = {}) {
    QList<double> values;
    for (const Setting& setting : SettingKeys())
        std::visit([&](auto* global) { values.append(set ? * global = *set : *global); },
                   setting.global);
    return values;
}

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

const QString ReadFailed = QStringLiteral("設定ファイル読み込みに失敗しました。\r");
const QString General = QStringLiteral("処理中、異常が発生しました。\r");

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void load_data();
    void load();
    void readsAndWrites();
    void failedWritesLeaveTheFileAlone();
};

void TestSettings::load_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("messages");
    // The globals in the table's order after the load (they start at 9): left, top,
    // font, col, row, align.
    QTest::addColumn<QList<double>>("values");
    // The file a new installation gets.
    QTest::newRow("delivered") << ReadBytes(DeliveredSettings()) << QStringList()
                               << QList<double>{0, 0, 10.5, 20, 1, 0};
    QTest::newRow("col missing")
        << QByteArray("[limit]\nleft=1.5\ntop=-0.5\n[default]\nfont=10.5\nrow=2\nalign=1\n")
        << QStringList{ReadFailed, General} << QList<double>{1.5, -0.5, 10.5, 9, 9, 9};
    QTest::newRow("2.5 loads as 2, 3.5 as 4")
        << QByteArray("[limit]\nleft=0\ntop=0\n[default]\nfont=1\ncol=2.5\nrow=3.5\nalign=0\n")
        << QStringList() << QList<double>{0, 0, 1, 2, 4, 0};
    QTest::newRow("40000 fails at col")
        << QByteArray("[limit]\nleft=0\ntop=0\n[default]\nfont=1\ncol=40000\nrow=3\nalign=0\n")
        << QStringList{General} << QList<double>{0, 0, 1, 9, 9, 9};
}

void TestSettings::load() {
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, messages);
    QFETCH(QList<double>, values);
    AppFolderFixture app(false, false);
    WriteBytes(app.file("vesk.ini"), ini);
    globals(9);
    MessageRecorder recorder;
    Trap(Msg::GeneralFailure, [] { LoadSettings(); }); // as the menu's activation does
    QCOMPARE(recorder.texts(), messages);
    QCOMPARE(globals(), values);
}

void TestSettings::readsAndWrites() {
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

    const QString created = dir.filePath(QStringLiteral("new.ini"));
    QVERIFY(WritePrivateProfileString("Print", "Offset", "12", created));
    QVERIFY(WritePrivateProfileString("表示", "Zoom", "150", created));
    QVERIFY(WritePrivateProfileString("print", "OFFSET", "15", created));
    QCOMPARE(QString::fromUtf8(ReadBytes(created)).split(u'\n', Qt::SkipEmptyParts),
             (QStringList{"[Print]", "Offset=15", "[表示]", "Zoom=150"}));
    // The first of a duplicated key is replaced; comments and other keys are kept.
    WriteBytes(path, "\xef\xbb\xbf[Print]\n; left edge in mm\nOffset=12\n"
                     "# older\nLegacy=on\nOFFSET=99\n[Window]\nLeft=100\n");
    QVERIFY(WritePrivateProfileString("Print", "Offset", "20", path));
    const QByteArray text = ReadBytes(path);
    QVERIFY2(text.startsWith("\xef\xbb\xbf[Print]\n") &&
                 text.contains("; left edge in mm\nOffset=20\n") &&
                 text.contains("# older\nLegacy=on\n") && text.contains("[Window]\nLeft=100\n") &&
                 text.toLower().count("offset=") == 2,
             text.constData());
    // No temporary file is left beside them.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             (QStringList{"new.ini", "vesk.ini"}));
}

void TestSettings::failedWritesLeaveTheFileAlone() {
    AppFolderFixture app(false, false);
    // A folder in place of the settings file: it can be neither read nor
    // replaced; each key's failure is reported and the next key goes on.
    QVERIFY(QDir(app.path()).mkdir("vesk.ini"));
    MessageRecorder recorder;
    WriteSettings([](const Setting&) { return QStringLiteral("1"); });
    QCOMPARE(recorder.texts(),
             QStringList(SettingKeys().size(),
                         QStringLiteral("設定ファイル書き込みに失敗しました。\r")));
    QVERIFY(QFileInfo(app.file("vesk.ini")).isDir());
    QVERIFY(!WritePrivateProfileString("A", "Key", "v", app.file("no/x.ini")));

    const QString path = app.file("x.ini");
    const QByteArray original = "[A]\nKey=old\n";
    WriteBytes(path, original);
    // Line breaks would make sections or keys of their own.
    QVERIFY(!WritePrivateProfileString("A", "Key", "v\n[B]\nX=1", path));
    QVERIFY(!WritePrivateProfileString("A\r", "K\ney", "v", path));
    QCOMPARE(ReadBytes(path), original);

    // Nor is a file that cannot be read first, though it could be replaced: the
    // write would lose the keys it could not read. A readable file beside it
    // shows that the same account can write there.
    const QString readable = app.file("readable.ini");
    WriteBytes(readable, original);
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0222), 0);
    QCOMPARE(::chmod(QFile::encodeName(readable).constData(), 0666), 0);
    QCOMPARE(::chmod(QFile::encodeName(app.path()).constData(), 0733), 0);
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
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0600), 0);
    QCOMPARE(outcome, 0);
    QCOMPARE(ReadBytes(path), original);
    QCOMPARE(ReadBytes(readable), QByteArray("[A]\nKey=old\nOther=v\n"));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
