// The splash screen and the version screen: the version text, the title and
// usage note, the pictures, and the keys that close the version screen.
#include "TestSupport.h"
#include "screens/FrmAbout.h"
#include "screens/FrmSplash.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

namespace {

// Opens a version screen modally from `opener`, as the menu does, and runs
// `drive` on it once it is active. Returns whether the screen was closed by
// `drive`; a screen left open is closed afterwards.
bool DriveVersionScreen(Form& opener, const std::function<void(FrmAbout*)>& drive) {
    bool closedByDrive = false;
    bool driven = false;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* screen = qobject_cast<FrmAbout*>(QApplication::activeModalWidget());
        if (!screen || !screen->isActiveWindow()) {
            if (clock.elapsed() > 5000)
                poll.stop();
            return;
        }
        poll.stop();
        driven = true;
        drive(screen);
        QTest::qWait(20);
        closedByDrive = !screen->isVisible();
        if (screen->isVisible())
            screen->done(QDialog::Rejected);
    });
    poll.start();
    // As the menu opens it.
    opener.ExecModal(new FrmAbout(&opener));
    poll.stop();
    if (!driven)
        qWarning("no version screen became active");
    return driven && closedByDrive;
}

// Texts that do not fit their label.
QStringList Clipped(const QWidget* screen) {
    QStringList clipped;
    for (const QLabel* label : screen->findChildren<QLabel*>()) {
        if (label->text().isEmpty())
            continue;
        const QSize need = label->sizeHint();
        if (need.width() > label->width() || need.height() > label->height() ||
            !screen->rect().contains(label->geometry()))
            clipped << label->objectName();
    }
    return clipped;
}

} // namespace

class TestAbout : public QObject {
    Q_OBJECT

private slots:
    void init() { messages_ = std::make_unique<MessageRecorder>(); }
    void cleanup() { messages_.reset(); }
    void versionText_data();
    void versionText();
    void versionScreenShowsTitleVersionAndNote();
    void keysCloseTheVersionScreen_data();
    void keysCloseTheVersionScreen();
    void splashShowsPictureVersionAndPlatform();

private:
    std::unique_ptr<MessageRecorder> messages_;
};

void TestAbout::versionText_data() {
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<QString>("text");
    QTest::newRow("2.00") << 2 << 0 << QStringLiteral("ﾊﾞｰｼﾞｮﾝ 2.0");
    QTest::newRow("3.12") << 3 << 12 << QStringLiteral("ﾊﾞｰｼﾞｮﾝ 3.12");
    QTest::newRow("10.5") << 10 << 5 << QStringLiteral("ﾊﾞｰｼﾞｮﾝ 10.5");
}

void TestAbout::versionText() {
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(QString, text);
    QCOMPARE(VersionText(major, minor), text);
}

void TestAbout::versionScreenShowsTitleVersionAndNote() {
    auto screen = std::make_unique<FrmAbout>();
    auto label = [&](const char* name) { return screen->findChild<QLabel*>(QLatin1String(name)); };
    // Before loading, the design captions.
    QCOMPARE(label("lblVersion")->text(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ"));
    QCOMPARE(label("lblTitle")->text(), QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝ ﾀｲﾄﾙ"));
    QCOMPARE(label("lblDescription")->text(), QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝの説明"));

    screen->show();
    QVERIFY(QTest::qWaitForWindowExposed(screen.get()));
    QCOMPARE(screen->windowTitle(), QStringLiteral("VESKのバージョン情報"));
    QCOMPARE(label("lblTitle")->text(), QStringLiteral("VESK"));
    QCOMPARE(label("lblVersion")->text(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 2.0"));

    // The note's carriage returns are line breaks on screen: four lines, the
    // second one empty, and all of them within the label.
    const QString note = label("lblDescription")->text();
    QVERIFY(!note.contains(u'\r'));
    QCOMPARE(note.split(u'\n'),
             (QStringList{"使用上の注意", "", "プリンタにより多少のずれが発生しますので",
                          "誤差を調整して使用して下さい。"}));
    QCOMPARE(UsageNote().count(QChar(13)), 3);
    QCOMPARE(Clipped(screen.get()), QStringList());

    // The program's icon, from the program's own pictures.
    const QPixmap icon = label("picIcon")->pixmap();
    QCOMPARE(icon.size(), QSize(32, 32));
    QCOMPARE(icon.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
             QImage(QStringLiteral(":/vesk/icon.png"))
                 .convertToFormat(QImage::Format_ARGB32_Premultiplied));
    QCOMPARE(messages_->texts(), QStringList());
}

void TestAbout::keysCloseTheVersionScreen_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("closes");
    QTest::newRow("Esc") << int(Qt::Key_Escape) << true;
    QTest::newRow("Enter") << int(Qt::Key_Return) << true;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << true;
    QTest::newRow("space on OK") << int(Qt::Key_Space) << true;
    QTest::newRow("a letter") << int(Qt::Key_A) << false;
    QTest::newRow("close box") << 0 << true;
}

void TestAbout::keysCloseTheVersionScreen() {
    QFETCH(int, key);
    QFETCH(bool, closes);
    Form opener;
    QString focused;
    const bool closed = DriveVersionScreen(opener, [&](FrmAbout* screen) {
        QWidget* focus = screen->focusWidget();
        focused = focus ? focus->objectName() : QString();
        if (key == 0)
            screen->close();
        else
            QTest::keyClick(focus ? focus : screen, Qt::Key(key));
    });
    // OK is the first and only control in the tab order, so keys reach it.
    QCOMPARE(focused, QStringLiteral("cmdOK"));
    QCOMPARE(closed, closes);
    QCOMPARE(messages_->texts(), QStringList());
    // The screen was released when it closed.
    QCOMPARE(opener.findChildren<FrmAbout*>().size(), 0);
}

void TestAbout::splashShowsPictureVersionAndPlatform() {
    auto splash = std::make_unique<FrmSplash>();
    splash->Load();
    splash->show();
    QVERIFY(QTest::qWaitForWindowExposed(splash.get()));
    auto label = [&](const char* name) { return splash->findChild<QLabel*>(QLatin1String(name)); };
    QVERIFY(splash->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(splash->windowTitle().isEmpty());
    QCOMPARE(label("lblVersion")->text(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 2.0"));
    QCOMPARE(label("lblPlatform")->text(), QStringLiteral("ﾌﾟﾗｯﾄﾎｰﾑ Linux"));
    QCOMPARE(QFontInfo(label("lblPlatform")->font()).pointSizeF(), 15.75);
    QCOMPARE(QFontInfo(label("lblVersion")->font()).pointSizeF(), 12.0);

    // The picture stored with the program, 500 x 300, fills the picture area.
    const QLabel* image = label("Image");
    QCOMPARE(image->pixmap().size(), QSize(500, 300));
    QVERIFY(image->hasScaledContents());
    // The texts are readable in full below the picture.
    QCOMPARE(Clipped(splash.get()), QStringList());
    QVERIFY(label("lblPlatform")->geometry().top() > image->geometry().bottom());

    // It takes no input: neither the keys nor a close request take it away.
    QTest::keyClick(splash.get(), Qt::Key_Escape);
    QTest::keyClick(splash.get(), Qt::Key_Return);
    splash->close();
    QTest::qWait(30);
    QVERIFY(splash->isVisible());
    QCOMPARE(messages_->texts(), QStringList());
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
