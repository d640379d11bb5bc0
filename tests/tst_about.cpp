// The version screen and the splash screen: version, title, usage note and the
// keys that close the version screen.
#include "TestSupport.h"
#include "screens/FrmAbout.h"
#include "screens/FrmSplash.h"

#include <QFontInfo>
#include <QLabel>
#include <QPointer>
#include <QtTest>

namespace {

QString Text(const QWidget& screen, const char* label) {
    return screen.findChild<QLabel*>(QLatin1String(label))->text();
}

} // namespace

class TestAbout : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QCOMPARE(messages_.texts(), QStringList()); }
    void versionScreen_data();
    void versionScreen();
    void splashScreen();
    void fontNamesResolveToTheIpaFamilies();

private:
    MessageRecorder messages_;
};

void TestAbout::versionScreen_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("closes");
    QTest::newRow("Esc") << int(Qt::Key_Escape) << true;
    QTest::newRow("Enter") << int(Qt::Key_Return) << true;
    QTest::newRow("a letter") << int(Qt::Key_A) << false;
}

void TestAbout::versionScreen() {
    QFETCH(int, key);
    QFETCH(bool, closes);
    QPointer<FrmAbout> screen = new FrmAbout;
    screen->show();
    QVERIFY(QTest::qWaitForWindowActive(screen));
    QCOMPARE(VersionText(3, 12), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 3.12"));
    QCOMPARE(screen->windowTitle(), QStringLiteral("VESKのバージョン情報"));
    QCOMPARE(Text(*screen, "lblTitle"), QStringLiteral("VESK"));
    QCOMPARE(Text(*screen, "lblVersion"), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 2.0"));
    // The note's carriage returns are line breaks on screen.
    QCOMPARE(Text(*screen, "lblDescription").split(u'\n'),
             (QStringList{"使用上の注意", "", "プリンタにより多少のずれが発生しますので",
                          "誤差を調整して使用して下さい。"}));
    // OK, the only control, has the focus, so the keys reach it.
    QTRY_COMPARE(screen->focusWidget(), screen->findChild<QWidget*>(QStringLiteral("cmdOK")));
    QTest::keyClick(screen->focusWidget(), Qt::Key(key));
    QCOMPARE(!screen || !screen->isVisible(), closes);
    delete screen.data();
}

void TestAbout::splashScreen() {
    FrmSplash splash;
    splash.Load();
    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    QCOMPARE(Text(splash, "lblVersion"), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 2.0"));
    QCOMPARE(Text(splash, "lblPlatform"), QStringLiteral("ﾌﾟﾗｯﾄﾎｰﾑ Linux"));
    // It takes no input: neither a key nor a close request takes it away.
    QTest::keyClick(&splash, Qt::Key_Escape);
    splash.close();
    QTest::qWait(30);
    QVERIFY(splash.isVisible());
}

void TestAbout::fontNamesResolveToTheIpaFamilies() {
    // The suite's start registered the program's substitutions.
    QCOMPARE(QFontInfo(QFont(QStringLiteral("ＭＳ Ｐ明朝"))).family(), QString("IPAPMincho"));
    QCOMPARE(QFontInfo(QFont(QStringLiteral("ＭＳ Ｐゴシック"))).family(), QString("IPAPGothic"));
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
