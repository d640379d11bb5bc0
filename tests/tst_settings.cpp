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

// Messages and globals (from 9): delivered; no col (the load stops); halves, align past 16 bits.
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
    WriteBytes(path,
               "\xef\xbb\xbf; settings\n[Print]\n  Margin  =  \t 3 mm \t \nEmpty=\n"
               "Name=用紙 A\r\n[A]\n# older\nKey=first\nkey=second\n[Quotes]\n"
               "Double=\"1.5\"\nSingle=' 2 '\nTwice=\"\"x\"\"\nMixed=\"x'\n"); // 1 quote pair goes
    const QList<std::array<QString, 3>> cases = {
        {"print", "MARGIN", "3 mm"}, {"PRINT", "name", "用紙 A"},  {"a", "KEY", "first"},
        {"Print", "Empty", ""},      {"A", "Margin", ""},          {"Quotes", "Double", "1.5"},
        {"Quotes", "Single", " 2 "}, {"Quotes", "Twice", "\"x\""}, {"Quotes", "Mixed", "\"x'"}};
    for (const auto& [section, key, value] : cases)
        QCOMPARE(Read(section, key, path), value);
    QVERIFY(WritePrivateProfileString("表示", "Zoom", "150", created));
    QVERIFY(WritePrivateProfileString("a", "KEY", "third", path)); // the first of the duplicates
    QVERIFY(WritePrivateProfileString("Quotes", "Top", "5", path));
    const QByteArray text = ReadBytes(path);
    for (const char* kept : {"\xef\xbb\xbf", "; settings\n", "# older\nKey=third\n", "=second\n",
                             "Mixed=\"x'\nTop=5\n"})
        QVERIFY2(text.contains(kept), text.constData());
    QVERIFY(!WritePrivateProfileString("A", "Key", "v\n[B]\nX=1", path)); // no line of its own
    // Nor is an unreadable file (its keys would be lost), by whom permissions bind (or "nobody").
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
    QVERIFY(child < 0 || (::waitpid(child, &status, 0) == child && WIFEXITED(status)));
    QCOMPARE(child < 0 ? body() : WEXITSTATUS(status), 0); // 1: binds not, 2: unwritten, 4: written
    QVERIFY(!mode(path, 0600) && !mode(app.path(), 0700));
    QCOMPARE(ReadBytes(path), text);
    QCOMPARE(ReadBytes(created).simplified(), QByteArray("[表示] Zoom=150 [A] Other=v"));
    QVERIFY(QDir(app.path()).mkdir("vesk.ini")); // each key's failure shown, the next goes on
    MessageRecorder recorder;
    WriteSettings([](const Setting&) { return QStringLiteral("1"); });
    const QString failed = QStringLiteral("設定ファイル書き込みに失敗しました。\r");
    QCOMPARE(recorder.texts(), QStringList(SettingKeys().size(), failed));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
