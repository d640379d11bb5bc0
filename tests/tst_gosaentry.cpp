// The offsets and defaults screen driven as the user drives it.
#include "TestSupport.h"
#include "common/Globals.h"
#include "screens/FrmGosaEntry.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QtTest>
#include <memory>

class TestGosaEntry : public QObject {
    Q_OBJECT

private slots:
    void init() {
        app_ = std::make_unique<AppFolderFixture>(false, true);
        messages_ = std::make_unique<MessageRecorder>();
    }
    void cleanup() {
        delete screen_.data();
        messages_.reset();
        app_.reset();
    }
    void opensWithTheGlobals_data();
    void opensWithTheGlobals();
    void leavingABoxChecksTheNumber_data();
    void leavingABoxChecksTheNumber();
    void registerWritesCanonicalForms_data();
    void registerWritesCanonicalForms();
    void backWritesNothing();

private:
    inline static const QStringList Boxes = {"TxtLeft", "TxtTop", "TxtFont", "TxtCol", "TxtRow"};
    // Opens the screen on these globals: left, top, font, col, row, align.
    void Open(const QList<double>& g = {1.5, -0.75, 0, 20, 2, 1}) {
        std::tie(OffsetLeft, OffsetTop, DefaultFontSize) = std::tuple(g[0], g[1], g[2]);
        std::tie(DefaultColCount, DefaultRowCount, DefaultAlign) =
            std::tuple(qint16(g[3]), qint16(g[4]), qint16(g[5]));
        screen_ = new FrmGosaEntry;
        screen_->show();
        QVERIFY(QTest::qWaitForWindowActive(screen_));
    }
    bool Closed() const { return !screen_ || !screen_->isVisible(); }
    template <class T = QLineEdit> T* Control(const QString& name) const {
        return screen_->findChild<T*>(name);
    }
    QByteArray IniText() const {
        QFile file(app_->file(QStringLiteral("vesk.ini")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    std::unique_ptr<AppFolderFixture> app_;
    std::unique_ptr<MessageRecorder> messages_;
    QPointer<FrmGosaEntry> screen_;
};

void TestGosaEntry::opensWithTheGlobals_data() {
    QTest::addColumn<QList<double>>("globals");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<int>("chosen");
    QTest::newRow("unknown alignment, none chosen")
        << QList<double>{1234.5, 1e-7, 12, 0, 1, 3}
        << QStringList{"1234.5", "1E-07", "12", "0", "1"} << -1;
}

void TestGosaEntry::opensWithTheGlobals() {
    QFETCH(QList<double>, globals);
    QFETCH(QStringList, shown);
    QFETCH(int, chosen);
    Open(globals);

    for (int i = 0; i < Boxes.size(); ++i)
        QCOMPARE(Control(Boxes[i])->text(), shown[i]);
    QCOMPARE(Control<QComboBox>("CmbAlign")->currentIndex(), chosen);
    QCOMPARE(messages_->texts().size(), globals[5] == chosen ? 0 : 1);
    // The first box has the focus with its whole text selected, ready to be typed over.
    QTRY_COMPARE(screen_->focusWidget(), Control("TxtLeft"));
    QCOMPARE(Control("TxtLeft")->selectedText(), shown[0]);
}

void TestGosaEntry::leavingABoxChecksTheNumber_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed"); // over the text that the focus selected
    QTest::addColumn<bool>("byClick");  // leaving by a click on "登録", else by Tab
    QTest::addColumn<bool>("refused");
    auto row = [](const char* name, const char* box, const char* typed, bool byClick,
                  bool refused) {
        QTest::newRow(name) << QString(box) << QString(typed) << byClick << refused;
    };
    row("letters", "TxtLeft", "abc", false, true);
    row("letters, the click is dropped", "TxtRow", "x", true, true);
    row("inf", "TxtTop", "inf", false, true);
    row("nan", "TxtFont", "nan", false, true);
    row("hexadecimal", "TxtCol", "0x10", false, true);
    row("not finite", "TxtRow", "1e999", false, true);
    row("blank becomes 0", "TxtCol", "", false, false);
    row("fraction in a count", "TxtCol", "2.5", false, false);
}

void TestGosaEntry::leavingABoxChecksTheNumber() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(bool, byClick);
    QFETCH(bool, refused);
    Open();
    const QByteArray before = IniText();
    // A real message box takes the activation while it is up, so the focus
    // goes back into the box while the screen is inactive.
    QWidget other;
    messages_->onShow = [&](const MessageBoxRequest&) {
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
    };
    QLineEdit* edit = Control(box);
    edit->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), typed);
    for (const int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
        QTest::keyClick(edit, Qt::Key(key)); // neither registers nor goes back
    if (byClick)
        QTest::mouseClick(Control<QPushButton>("CmdEntry"), Qt::LeftButton);
    else
        QTest::keyClick(edit, Qt::Key_Tab);
    QTest::qWait(20);
    other.hide();
    screen_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(screen_));
    QTRY_COMPARE(screen_->focusWidget() == edit, refused);
    QCOMPARE(edit->text(), typed.isEmpty() ? QStringLiteral("0") : typed);
    if (refused) // back in the box, its text is selected for typing over
        QTRY_COMPARE(edit->selectedText(), typed);
    const QStringList shown = {QStringLiteral("入力データが正しくありません。\r")};
    QCOMPARE(messages_->texts(), refused ? shown : QStringList());
    QVERIFY(!Closed());
    QCOMPARE(IniText(), before);
}

void TestGosaEntry::registerWritesCanonicalForms_data() {
    QTest::addColumn<QStringList>("typed");   // left, top, font, col, row
    QTest::addColumn<QStringList>("written"); // left, top, font, col, row, align
    QTest::addColumn<bool>("fails");
    QTest::newRow("canonical forms") << QStringList{"1.50", "-1.5", "+2", "2.5", "3.5"}
                                     << QStringList{"1.5", "-1.5", "2", "2", "4", "2"} << false;
    // Stops at the count: what came before is written, the rest is as delivered.
    QTest::newRow("col too large") << QStringList{"7", "8", "9", "40000", "5"}
                                   << QStringList{"7", "8", "9", "20", "1", "0"} << true;
}

void TestGosaEntry::registerWritesCanonicalForms() {
    QFETCH(QStringList, typed);
    QFETCH(QStringList, written);
    QFETCH(bool, fails);
    Open();
    for (int i = 0; i < Boxes.size(); ++i)
        Control(Boxes[i])->setText(typed[i]);
    Control<QComboBox>("CmbAlign")->setCurrentIndex(2);
    QTest::mouseClick(Control<QPushButton>("CmdEntry"), Qt::LeftButton);
    QTest::qWait(20);
    const QStringList failed = {QStringLiteral("データ修正に失敗しました。\r")};
    QCOMPARE(messages_->texts(), fails ? failed : QStringList());
    QCOMPARE(Closed(), !fails);
    const QSettings ini(app_->file(QStringLiteral("vesk.ini")), QSettings::IniFormat);
    const QStringList keys = {"limit/left",  "limit/top",   "default/font",
                              "default/col", "default/row", "default/align"};
    for (int i = 0; i < keys.size(); ++i)
        QCOMPARE(ini.value(keys[i]).toString(), written[i]);
}

void TestGosaEntry::backWritesNothing() {
    Open();
    const QByteArray before = IniText();
    Control("TxtFont")->setText("14");
    Control<QComboBox>("CmbAlign")->setCurrentIndex(2);
    QTest::mouseClick(Control<QPushButton>("CmdBack"), Qt::LeftButton);
    QTRY_VERIFY(Closed());
    QCOMPARE(IniText(), before);
}

QTEST_MAIN(TestGosaEntry)
#include "tst_gosaentry.moc"
