// The offsets and defaults screen driven as the user drives it: the boxes
// filled from the settings globals, the check on leaving a box, registering
// into vesk.ini and going back without writing.
#include "TestSupport.h"
#include "common/Globals.h"
#include "platform/ProfileFile.h"
#include "screens/FrmGosaEntry.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>
#include <memory>

namespace {

const QString BadInputShown = QStringLiteral("入力データが正しくありません。\r");
const QString UpdateFailedShown = QStringLiteral("データ修正に失敗しました。\r");
const QStringList Boxes = {"TxtLeft", "TxtTop", "TxtFont", "TxtCol", "TxtRow"};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestGosaEntry : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void opensWithTheGlobals_data();
    void opensWithTheGlobals();
    void unknownAlignmentLeavesNoneChosen();
    void focusSelectsAndBlankBecomesZero();
    void leavingABoxChecksTheNumber_data();
    void leavingABoxChecksTheNumber();
    void clickAwayFromARefusedBoxDoesNothing();
    void refusedTextIsSelectedAfterTheMessage();
    void registerWritesCanonicalForms_data();
    void registerWritesCanonicalForms();
    void registerStopsAtABadCount_data();
    void registerStopsAtABadCount();
    void backWritesNothing_data();
    void backWritesNothing();
    void enterAndEscapeDoNothing();
    void tabOrderAndLabels();

private:
    FrmGosaEntry* Open();
    // Closed, or already released.
    bool Closed() const { return !screen_ || !screen_->isVisible(); }
    template <class T = QLineEdit> T* Control(const QString& name) const {
        T* control = screen_ ? screen_->findChild<T*>(name) : nullptr;
        if (!control)
            qFatal("no control %s", qPrintable(name));
        return control;
    }
    QString Ini(const QString& section, const QString& key) const {
        QString value;
        GetPrivateProfileString(section, key, value, app_->file(QStringLiteral("vesk.ini")));
        return value;
    }

    std::unique_ptr<AppFolderFixture> app_;
    std::unique_ptr<MessageRecorder> messages_;
    QPointer<FrmGosaEntry> screen_;
};

void TestGosaEntry::init() {
    app_ = std::make_unique<AppFolderFixture>(false, true);
    messages_ = std::make_unique<MessageRecorder>();
    OffsetLeft = 1.5;
    OffsetTop = -0.75;
    DefaultFontSize = 0;
    DefaultColCount = 20;
    DefaultRowCount = 2;
    DefaultAlign = 1;
}

void TestGosaEntry::cleanup() {
    delete screen_.data();
    messages_.reset();
    app_.reset();
}

FrmGosaEntry* TestGosaEntry::Open() {
    screen_ = new FrmGosaEntry;
    screen_->show();
    if (!QTest::qWaitForWindowActive(screen_))
        qWarning("the screen did not become active");
    return screen_;
}

void TestGosaEntry::opensWithTheGlobals_data() {
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("font");
    QTest::addColumn<int>("col");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("align");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("shortest forms")
        << 1.5 << -0.75 << 0.0 << 20 << 2 << 1 << QStringList{"1.5", "-0.75", "0", "20", "2"};
    QTest::newRow("sums and whole numbers") << 0.1 + 0.2 << -3.0 << 10.5 << -32768 << 32767 << 2
                                            << QStringList{"0.3", "-3", "10.5", "-32768", "32767"};
    QTest::newRow("none chosen") << 1234.5 << 1e-7 << 12.0 << 0 << 1 << -1
                                 << QStringList{"1234.5", "1E-07", "12", "0", "1"};
}

void TestGosaEntry::opensWithTheGlobals() {
    QFETCH(double, left);
    QFETCH(double, top);
    QFETCH(double, font);
    QFETCH(int, col);
    QFETCH(int, row);
    QFETCH(int, align);
    QFETCH(QStringList, shown);
    OffsetLeft = left;
    OffsetTop = top;
    DefaultFontSize = font;
    DefaultColCount = qint16(col);
    DefaultRowCount = qint16(row);
    DefaultAlign = qint16(align);

    Open();
    QCOMPARE(screen_->windowTitle(), QStringLiteral("誤差設定"));
    for (int i = 0; i < Boxes.size(); ++i)
        QCOMPARE(Control(Boxes[i])->text(), shown[i]);
    QCOMPARE(Control<QComboBox>("CmbAlign")->currentIndex(), align);
    // The first box has the focus with its whole text selected, ready to be typed over.
    QTRY_COMPARE(screen_->focusWidget(), Control("TxtLeft"));
    QCOMPARE(Control("TxtLeft")->selectedText(), shown[0]);
    QCOMPARE(messages_->texts(), QStringList());
}

void TestGosaEntry::unknownAlignmentLeavesNoneChosen() {
    DefaultAlign = 3;
    Open();
    QCOMPARE(messages_->texts(), QStringList{QStringLiteral("処理中、異常が発生しました。\r")});
    // The boxes were filled before the list refused the value.
    QCOMPARE(Control("TxtRow")->text(), QStringLiteral("2"));
    QCOMPARE(Control<QComboBox>("CmbAlign")->currentIndex(), -1);
    QVERIFY(!Closed());

    // Registering from there writes -1 for the alignment.
    QTest::mouseClick(Control<QPushButton>("CmdEntry"), Qt::LeftButton);
    QTRY_VERIFY(Closed());
    QCOMPARE(Ini("default", "align"), QStringLiteral("-1"));
}

void TestGosaEntry::focusSelectsAndBlankBecomesZero() {
    Open();
    QLineEdit* left = Control("TxtLeft");
    QLineEdit* col = Control("TxtCol");
    QTRY_COMPARE(screen_->focusWidget(), left);

    // Gaining the focus by any way selects the whole text.
    col->setFocus(Qt::OtherFocusReason);
    QCOMPARE(col->selectedText(), QStringLiteral("20"));

    // A box left blank reads 0 when the focus moves on.
    left->setFocus(Qt::OtherFocusReason);
    left->clear();
    QTest::keyClick(left, Qt::Key_Tab);
    QCOMPARE(left->text(), QStringLiteral("0"));
    QCOMPARE(screen_->focusWidget(), Control("TxtTop"));
    QTest::qWait(20);
    QCOMPARE(messages_->texts(), QStringList());
}

void TestGosaEntry::leavingABoxChecksTheNumber_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("refused");
    QTest::newRow("letters") << "TxtLeft"
                             << "abc" << true;
    QTest::newRow("inf") << "TxtTop"
                         << "inf" << true;
    QTest::newRow("nan") << "TxtFont"
                         << "nan" << true;
    QTest::newRow("hexadecimal") << "TxtCol"
                                 << "0x10" << true;
    QTest::newRow("not finite") << "TxtRow"
                                << "1e999" << true;
    QTest::newRow("comma") << "TxtLeft"
                           << "1,5" << true;
    QTest::newRow("blanks around") << "TxtLeft"
                                   << " 1.5 " << false;
    QTest::newRow("negative") << "TxtTop"
                              << "-2" << false;
    QTest::newRow("exponent") << "TxtFont"
                              << "1e3" << false;
    QTest::newRow("fraction in a count") << "TxtCol"
                                         << "2.5" << false;
    QTest::newRow("count out of range") << "TxtRow"
                                        << "40000" << false;
}

void TestGosaEntry::leavingABoxChecksTheNumber() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(bool, refused);
    Open();
    QLineEdit* edit = Control(box);
    edit->setFocus(Qt::OtherFocusReason);
    QTest::keyClicks(edit, typed); // replaces the selected text
    QCOMPARE(edit->text(), typed);
    QTest::keyClick(edit, Qt::Key_Tab);

    if (refused) {
        QTRY_COMPARE(messages_->texts(), QStringList{BadInputShown});
        QTRY_COMPARE(screen_->focusWidget(), edit);
        QCOMPARE(edit->text(), typed);
        // Back in the box, its text is selected for typing over.
        QCOMPARE(edit->selectedText(), typed);
    } else {
        QTest::qWait(20);
        QCOMPARE(messages_->texts(), QStringList());
        QVERIFY(screen_->focusWidget() != edit);
        QCOMPARE(edit->text(), typed);
    }
}

void TestGosaEntry::clickAwayFromARefusedBoxDoesNothing() {
    Open();
    const QByteArray before = ReadAll(app_->file("vesk.ini"));
    QLineEdit* row = Control("TxtRow");
    row->setFocus(Qt::OtherFocusReason);
    QTest::keyClicks(row, "x");
    // The click on "登録" that takes the focus away is dropped by the refusal.
    QTest::mouseClick(Control<QPushButton>("CmdEntry"), Qt::LeftButton);
    QTRY_COMPARE(messages_->texts(), QStringList{BadInputShown});
    QTRY_COMPARE(screen_->focusWidget(), row);
    QTest::qWait(20);
    QVERIFY(!Closed());
    QCOMPARE(ReadAll(app_->file("vesk.ini")), before);
}

void TestGosaEntry::refusedTextIsSelectedAfterTheMessage() {
    Open();
    // A real message box takes the activation while it is up, so the focus
    // goes back into the box while the screen is inactive.
    QWidget other;
    other.resize(60, 40);
    messages_->onShow = [&](const MessageBoxRequest&) {
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
    };
    QLineEdit* left = Control("TxtLeft");
    QTRY_COMPARE(screen_->focusWidget(), left);
    QTest::keyClicks(left, "abc"); // typed over the selected value
    QTest::keyClick(left, Qt::Key_Tab);
    QTRY_COMPARE(messages_->texts(), QStringList{BadInputShown});

    // The box closes and the screen is active again: the refused text is
    // selected, ready to be typed over.
    other.hide();
    screen_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(screen_));
    QTRY_COMPARE(screen_->focusWidget(), left);
    QTRY_COMPARE(left->selectedText(), QStringLiteral("abc"));
    QTest::qWait(20);
    QCOMPARE(messages_->texts(), QStringList{BadInputShown});
}

void TestGosaEntry::registerWritesCanonicalForms_data() {
    QTest::addColumn<QStringList>("typed"); // left, top, font, col, row
    QTest::addColumn<int>("align");
    QTest::addColumn<QStringList>("written"); // left, top, font, col, row, align
    QTest::newRow("canonical forms") << QStringList{"1.50", "-1.5", "+2", "2.5", "3.5"} << 2
                                     << QStringList{"1.5", "-1.5", "2", "2", "4", "2"};
    QTest::newRow("blanks and exponents")
        << QStringList{" 0.250 ", "1e1", "10.5", "-0.5", "32767"} << 0
        << QStringList{"0.25", "10", "10.5", "0", "32767", "0"};
    QTest::newRow("none chosen") << QStringList{"-0", "0.1", "1E-7", "-32768", "4.5"} << -1
                                 << QStringList{"0", "0.1", "1E-07", "-32768", "4", "-1"};
}

void TestGosaEntry::registerWritesCanonicalForms() {
    QFETCH(QStringList, typed);
    QFETCH(int, align);
    QFETCH(QStringList, written);
    Open();
    for (int i = 0; i < Boxes.size(); ++i)
        Control(Boxes[i])->setText(typed[i]);
    Control<QComboBox>("CmbAlign")->setCurrentIndex(align);
    QTest::mouseClick(Control<QPushButton>("CmdEntry"), Qt::LeftButton);

    QTRY_VERIFY(Closed());
    QCOMPARE(messages_->texts(), QStringList());
    const QStringList keys = {"left", "top", "font", "col", "row", "align"};
    for (int i = 0; i < keys.size(); ++i)
        QCOMPARE(Ini(i < 2 ? "limit" : "default", keys[i]), written[i]);
    // The screen writes the file only; the menu reloads the globals.
    QCOMPARE(OffsetLeft, 1.5);
    QCOMPARE(DefaultColCount, qint16(20));
}

void TestGosaEntry::registerStopsAtABadCount_data() {
    QTest::addColumn<QString>("col");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("colWritten");
    QTest::addColumn<QString>("rowWritten");
    // The delivered file holds col 20, row 1, align 0.
    QTest::newRow("col too large") << "40000"
                                   << "5"
                                   << "20"
                                   << "1";
    QTest::newRow("row too small") << "6"
                                   << "-40000"
                                   << "6"
                                   << "1";
}

void TestGosaEntry::registerStopsAtABadCount() {
    QFETCH(QString, col);
    QFETCH(QString, row);
    QFETCH(QString, colWritten);
    QFETCH(QString, rowWritten);
    Open();
    Control("TxtLeft")->setText("7");
    Control("TxtTop")->setText("8");
    Control("TxtFont")->setText("9");
    Control("TxtCol")->setText(col);
    Control("TxtRow")->setText(row);
    Control<QComboBox>("CmbAlign")->setCurrentIndex(2);
    QTest::mouseClick(Control<QPushButton>("CmdEntry"), Qt::LeftButton);

    QCOMPARE(messages_->texts(), QStringList{UpdateFailedShown});
    QTest::qWait(20);
    QVERIFY(!Closed());
    QCOMPARE(Ini("limit", "left"), QStringLiteral("7"));
    QCOMPARE(Ini("limit", "top"), QStringLiteral("8"));
    QCOMPARE(Ini("default", "font"), QStringLiteral("9"));
    QCOMPARE(Ini("default", "col"), colWritten);
    QCOMPARE(Ini("default", "row"), rowWritten);
    QCOMPARE(Ini("default", "align"), QStringLiteral("0"));
    // The boxes keep what the user typed.
    QCOMPARE(Control("TxtCol")->text(), col);
    QCOMPARE(Control("TxtRow")->text(), row);
}

void TestGosaEntry::backWritesNothing_data() {
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("メニューに戻る") << false;
    QTest::newRow("close box") << true;
}

void TestGosaEntry::backWritesNothing() {
    QFETCH(bool, closeBox);
    Open();
    const QByteArray before = ReadAll(app_->file("vesk.ini"));
    QLineEdit* font = Control("TxtFont");
    font->setFocus(Qt::OtherFocusReason);
    QTest::keyClicks(font, "14");
    QTest::keyClick(font, Qt::Key_Tab);
    Control("TxtLeft")->setText("3");
    Control<QComboBox>("CmbAlign")->setCurrentIndex(2);
    if (closeBox)
        screen_->close();
    else
        QTest::mouseClick(Control<QPushButton>("CmdBack"), Qt::LeftButton);

    QTRY_VERIFY(Closed());
    QCOMPARE(ReadAll(app_->file("vesk.ini")), before);
    QCOMPARE(messages_->texts(), QStringList());
}

void TestGosaEntry::enterAndEscapeDoNothing() {
    Open();
    const QByteArray before = ReadAll(app_->file("vesk.ini"));
    QLineEdit* left = Control("TxtLeft");
    left->setFocus(Qt::OtherFocusReason);
    QTest::keyClicks(left, "5");
    for (const int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
        QTest::keyClick(left, Qt::Key(key));
    QTest::keyClick(Control<QPushButton>("CmdEntry"), Qt::Key_Return);
    QTest::qWait(50);
    QVERIFY(!Closed());
    QCOMPARE(left->text(), QStringLiteral("5"));
    QCOMPARE(ReadAll(app_->file("vesk.ini")), before);
    QCOMPARE(messages_->texts(), QStringList());
}

void TestGosaEntry::tabOrderAndLabels() {
    Open();
    QTRY_COMPARE(screen_->focusWidget(), Control("TxtLeft"));
    QStringList order;
    for (int i = 0; i < 9; ++i) {
        order << screen_->focusWidget()->objectName();
        QTest::keyClick(screen_->focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(order, (QStringList{"TxtLeft", "TxtTop", "TxtFont", "TxtCol", "TxtRow", "CmbAlign",
                                 "CmdEntry", "CmdBack", "TxtLeft"}));

    // Every caption is readable in full, and each label stands left of its box.
    const QStringList labels = {"LblLeft", "LblTop", "LblFont", "LblCol", "LblRow", "LblAlign"};
    for (int i = 0; i < labels.size(); ++i) {
        auto* label = Control<QLabel>(labels[i]);
        QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->text()));
        QWidget* box = i < Boxes.size() ? static_cast<QWidget*>(Control(Boxes[i]))
                                        : Control<QComboBox>("CmbAlign");
        QVERIFY(label->geometry().right() < box->geometry().left());
        QCOMPARE(label->y(), box->y());
    }
    for (const char* name : {"CmdEntry", "CmdBack"}) {
        auto* button = Control<QPushButton>(name);
        QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) + 8 <= button->width(),
                 name);
    }
}

QTEST_MAIN(TestGosaEntry)
#include "tst_gosaentry.moc"
