// The settings file: loading, reading and writing keys, what a failed write keeps.
#include "TestSupport.h"
#include "common/ErrorTrap.h"
#include "common/Messages.h"
#include "common/Settings.h"
#include "platform/ProfileFile.h"

#include <QtTest>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// Every setting's global, in the table's order, after setting each to `set`.
static QList<double> globals(std::optional<double> set = {}) {
    QList<double> values;
    for (const Setting& setting : SettingKeys())
        std::visit([&](auto* global) { values.append(set ? * global = *set : *global); },
                   setting.global);
    return values;
}

// The value, or a marker when the count returned or a stale value left disagrees.
static QString Read(const QString& section, const QString& key, const QString& path) {
    QString value = QStringLiteral("stale");
    const int n = GetPrivateProfileString(section, key, value, path);
    return n == value.size() ? value : QStringLiteral("<%1 for '%2'>").arg(n).arg(value);
}

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void load();
    void readsAndWrites();
};

// The messages and globals (left, top, font, col, row; from 9) after loading the delivered
// file, one without col (the load stops), halves, an align out of 16 bits.
void TestSettings::load() {
    const QString general = QStringLiteral("処理中、異常が発生しました。\r");
    using Case = std::tuple<QByteArray, QStringList, QList<double>>;
    for (const auto& [ini, messages, values] :
         {Case{ReadBytes(DeliveredSettings()), {}, {0, 0, 10.5, 20, 1, 0}},
          Case{"[limit]\nleft=1.5\ntop=-0.5\n[default]\nfont=10.5\nrow=2\nalign=1\n",
               {QStringLiteral("設定ファイル読み込みに失敗しました。\r"), general},
               {1.5, -0.5, 10.5, 9, 9, 9}},
          Case{"[limit]\nleft=0\ntop=0\n[default]\nfont=1\ncol=2.5\nrow=3.5\nalign=40000\n",
               {general},
               {0, 0, 1, 2, 4, 9}}}) {
        AppFolderFixture app(false, false);
        WriteBytes(app.file("vesk.ini"), ini);
        globals(9);
        MessageRecorder recorder;
        Trap(Msg::GeneralFailure, [] { LoadSettings(); }); // as the menu's activation does
        QCOMPARE(recorder.texts(), messages);
        QCOMPARE(globals(), values);
    }
}

void TestSettings::readsAndWrites() {
    AppFolderFixture app(false, false);
    const QString path = app.file("x.ini"), created = app.file("new.ini");
    WriteBytes(path, "; settings\n[Print]\n  Margin  =  \t 3 mm \t \nEmpty=\nName=用紙 A\r\n"
                     "[A]\nKey=first\nkey=second\n[Quotes]\nDouble=\"1.5\"\nSingle=' 2 '\n"
                     "Twice=\"\"x\"\"\nMixed=\"x'\n");
    // In [Quotes], one pair of matching quotes around the whole value goes.
    const QList<std::array<QString, 3>> cases = {
        {"print", "MARGIN", "3 mm"}, {"PRINT", "name", "用紙 A"},  {"a", "KEY", "first"},
        {"Print", "Empty", ""},      {"A", "Margin", ""},          {"Quotes", "Double", "1.5"},
        {"Quotes", "Single", " 2 "}, {"Quotes", "Twice", "\"x\""}, {"Quotes", "Mixed", "\"x'"}};
    for (const auto& [section, key, value] : cases)
        QCOMPARE(Read(section, key, path), value);
    QCOMPARE(Read("Print", "Margin", app.file("none.ini")), QString());

    QVERIFY(WritePrivateProfileString("表示", "Zoom", "150", created));
    QCOMPARE(ReadBytes(created), QByteArray("[表示]\nZoom=150\n"));
    // The first of a duplicated key, in any case, is replaced; comments and other keys stay.
    WriteBytes(path, "\xef\xbb\xbf[Print]\n; left edge in mm\nOffset=12\n"
                     "# older\nLegacy=on\nOFFSET=99\n[Window]\nLeft=100\n");
    QVERIFY(WritePrivateProfileString("print", "OFFSET", "20", path));
    QVERIFY(WritePrivateProfileString("Window", "Top", "5", path));
    const QByteArray text = ReadBytes(path);
    QVERIFY2(text.startsWith("\xef\xbb\xbf[Print]\n") &&
                 text.contains("; left edge in mm\nOffset=20\n") &&
                 text.contains("# older\nLegacy=on\n") &&
                 text.contains("[Window]\nLeft=100\nTop=5\n") &&
                 text.toLower().count("offset=") == 2,
             text.constData());

    // Line breaks would make sections or keys of their own.
    QVERIFY(!WritePrivateProfileString("A", "Key", "v\n[B]\nX=1", path));
    QVERIFY(!WritePrivateProfileString("A\r", "K\ney", "v", path));
    // Nor is a file that cannot be read first (its keys would be lost), as an account
    // that permissions bind (this one, or a child become "nobody"); `created` may be.
    const auto mode = [](const QString& f, mode_t m) { return ::chmod(QFile::encodeName(f), m); };
    QVERIFY(!mode(path, 0222) && !mode(created, 0666) && !mode(app.path(), 0733));
    const auto body = [&] {
        return (QFile(path).open(QIODevice::ReadOnly) ? 1 : 0) |
               (WritePrivateProfileString("A", "Other", "v", created) ? 0 : 2) |
               (WritePrivateProfileString("A", "Other", "v", path) ? 4 : 0);
    };
    int status = 0;
    const pid_t child = ::geteuid() == 0 ? ::fork() : -1;
    if (child == 0)
        ::_exit(::setgroups(0, nullptr) || ::setgid(65534) || ::setuid(65534) ? 64 : body());
    const int outcome = child < 0 ? body()
                        : ::waitpid(child, &status, 0) == child && WIFEXITED(status)
                            ? WEXITSTATUS(status)
                            : 128;
    QVERIFY(!mode(path, 0600) && !mode(app.path(), 0700));
    QCOMPARE(outcome, 0); // 1: permissions do not bind, 2: not written, 4: written
    QCOMPARE(ReadBytes(path), text);
    QVERIFY(ReadBytes(created).endsWith("[A]\nOther=v\n"));

    // A folder in place of the settings file can be neither read nor replaced;
    // each key's failure is reported and the next key goes on.
    QVERIFY(QDir(app.path()).mkdir("vesk.ini"));
    MessageRecorder recorder;
    WriteSettings([](const Setting&) { return QStringLiteral("1"); });
    const QString failed = QStringLiteral("設定ファイル書き込みに失敗しました。\r");
    QCOMPARE(recorder.texts(), QStringList(SettingKeys().size(), failed));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
