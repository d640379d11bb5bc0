// Loading and writing the settings file: what reaches the globals, which
// messages the user sees, and what a write keeps.
#include "TestSupport.h"
#include "common/ErrorTrap.h"
#include "common/Messages.h"
#include "common/Settings.h"

#include <QtTest>

namespace {

void setGlobals(double v) {
    for (const Setting& setting : SettingKeys())
        std::visit([v](auto* global) { *global = v; }, setting.global);
}

// Every setting's global, in the table's order.
QList<double> globals() {
    QList<double> values;
    for (const Setting& setting : SettingKeys())
        std::visit([&](auto* global) { values.append(*global); }, setting.global);
    return values;
}

// The menu's activation: the load inside the general failure trap.
void loadAsTheMenuDoes() {
    Trap(Msg::GeneralFailure, [] { LoadSettings(); });
}

const QString ReadFailed = QStringLiteral("設定ファイル読み込みに失敗しました。\r");
const QString General = QStringLiteral("処理中、異常が発生しました。\r");

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void load_data();
    void load();
    void failedWriteIsReportedAndTheNextKeyGoesOn();
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
    setGlobals(9);
    MessageRecorder recorder;
    loadAsTheMenuDoes();
    QCOMPARE(recorder.texts(), messages);
    QCOMPARE(globals(), values);
}

void TestSettings::failedWriteIsReportedAndTheNextKeyGoesOn() {
    AppFolderFixture app(false, false);
    // A folder in place of the file: it can be neither read nor replaced.
    QVERIFY(QDir(app.path()).mkdir("vesk.ini"));
    MessageRecorder recorder;
    WriteSettings([](const Setting&) { return QStringLiteral("1"); });
    QCOMPARE(recorder.texts(),
             QStringList(SettingKeys().size(),
                         QStringLiteral("設定ファイル書き込みに失敗しました。\r")));
    QVERIFY(QFileInfo(app.file("vesk.ini")).isDir());
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
