// The version screen and the splash screen: the version text, the keys that
// close the version screen, and the splash screen ignoring them.
#include "TestSupport.h"
#include "screens/FrmAbout.h"
#include "screens/FrmSplash.h"

#include <QFontInfo>
#include <QPointer>
#include <QtTest>

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
    // OK, the only control, has the first focus, so the keys reach it.
    QTest::keyClick(screen->findChild<QWidget*>(QStringLiteral("cmdOK")), Qt::Key(key));
    QCOMPARE(!screen || !screen->isVisible(), closes);
    delete screen.data();
}

void TestAbout::splashScreen() {
    FrmSplash splash;
    splash.Load();
    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
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
