// Number conversions, coded messages and character counting: the rules every
// screen relies on.
#include "TestSupport.h"
#include "common/Messages.h"
#include "common/Numbers.h"
#include "common/TextUnits.h"
#include "platform/MessageBox.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

class TestCommon : public QObject {
    Q_OBJECT
private slots:
    void textToDouble();
    void int16AndDoubleToText();
    void realMessageBox_data();
    void realMessageBox();
    void charactersAreGraphemes();
};

// Plain decimal literals only, whatever the locale; each accepted text is
// pasted as it is, trimmed.
void TestCommon::textToDouble() {
    const QList<std::pair<QString, double>> numbers = {
        {"1.5", 1.5}, {"  -2 ", -2.0}, {"1.5e2", 150.0}};
    for (const auto& [text, value] : numbers) {
        QVERIFY(IsNumber(text));
        QCOMPARE(TextToDouble(text), value);
        QCOMPARE(NumericLiteral(text), text.trimmed());
    }
    for (const QString text : {"", "inf", "0x10", "1e999", "1,5"}) {
        QVERIFY(!IsNumber(text));
        QVERIFY_THROWS_EXCEPTION(ConversionError, TextToDouble(text));
        QVERIFY_THROWS_EXCEPTION(ConversionError, NumericLiteral(text));
    }
}

// 16-bit values at their limits, and texts written back that read as the
// value, up to 15 significant digits.
void TestCommon::int16AndDoubleToText() {
    QCOMPARE(TextToInt16("32767"), qint16(32767));
    QCOMPARE(TextToInt16("-32768"), qint16(-32768));
    QVERIFY_THROWS_EXCEPTION(ConversionError, TextToInt16("32767.5")); // rounds out of range
    QVERIFY_THROWS_EXCEPTION(ConversionError, TextToInt16("x"));
    const QList<std::pair<double, QString>> cases = {{0.0, "0"},
                                                     {-0.0, "0"},
                                                     {-0.75, "-0.75"},
                                                     {100.0 / 33.0, "3.03030303030303"},
                                                     {123456789012345.0, "123456789012345"}};
    for (const auto& [value, text] : cases) {
        QCOMPARE(DoubleToText(value), text);
        QVERIFY(qAbs(TextToDouble(text) - value) <= 1e-14 * qMax(1.0, qAbs(value)));
    }
}

// A coded message's box: its buttons, the default (with the focus), no icon,
// and what Enter, Esc, the close box and a click answer. A box with details
// hides them until asked for and answers as the same box without them.
void TestCommon::realMessageBox_data() {
    QTest::addColumn<QString>("digits");    // a coded message's three digits
    QTest::addColumn<QStringList>("texts"); // the buttons in the order the digits count them
    QTest::addColumn<int>("defaultIndex");  // into texts
    QTest::addColumn<QString>("action");    // Enter, Esc, close, details, or the button to click
    QTest::addColumn<int>("result");        // 0: the box stays open
    const QStringList ok = {"OK"};
    const QStringList okCancel = {"OK", "キャンセル"};
    const QStringList abortRetryIgnore = {"中止", "再試行", "無視"};
    const QStringList yesNoCancel = {"はい(&Y)", "いいえ(&N)", "キャンセル"};
    const QStringList yesNo = {"はい(&Y)", "いいえ(&N)"};
    QTest::newRow("OK, Enter") << "020" << ok << 0 << "Enter" << 1;
    QTest::newRow("OK Cancel, Esc") << "100" << okCancel << 0 << "Esc" << 2;
    QTest::newRow("Abort Retry Ignore, third default, Enter")
        << "202" << abortRetryIgnore << 2 << "Enter" << 5;
    QTest::newRow("Abort Retry Ignore, Retry") << "200" << abortRetryIgnore << 0 << "再試行" << 4;
    QTest::newRow("Abort Retry Ignore, Esc") << "200" << abortRetryIgnore << 0 << "Esc" << 0;
    QTest::newRow("Yes No Cancel, No") << "300" << yesNoCancel << 0 << "いいえ(&N)" << 7;
    QTest::newRow("Yes No, second default, Enter") << "401" << yesNo << 1 << "Enter" << 7;
    QTest::newRow("Retry Cancel, Esc")
        << "500" << QStringList{"再試行", "キャンセル"} << 0 << "Esc" << 2;
    QTest::newRow("digit 7 is OK") << "700" << ok << 0 << "Enter" << 1;
    QTest::newRow("default past the last") << "403" << yesNo << 0 << "Enter" << 6;
    QTest::newRow("details, OK Cancel, second default, Enter")
        << "101" << okCancel << 1 << "details Enter" << 2;
    QTest::newRow("details, Yes No, close") << "410" << yesNo << 0 << "details close" << 7;
    QTest::newRow("details, Abort Retry Ignore, close")
        << "200" << abortRetryIgnore << 0 << "details close" << 0;
}

void TestCommon::realMessageBox() {
    QFETCH(QString, digits);
    QFETCH(QStringList, texts);
    QFETCH(int, defaultIndex);
    QFETCH(QString, action);
    QFETCH(int, result);
    const bool withDetail = action.startsWith("details ");
    if (withDetail)
        action = action.mid(8);
    const QString detail =
        withDetail ? QStringLiteral("既定のプリンターがありません: x") : QString();
    // The real message box in place of the suite's guard.
    auto previous = SetMessageBoxResponder({});
    const auto restore = qScopeGuard([&] { SetMessageBoxResponder(std::move(previous)); });
    // What the box showed, looked at while it is up and compared once it has
    // gone (a failed comparison must not leave the box waiting).
    QStringList seen;
    QString shownText, defaultText;
    bool defaultHasFocus = false, noIcon = false, stayed = false;
    bool hiddenFirst = false, shownAfter = false;
    QTimer drive; // answers the box as a user does once it is up
    connect(&drive, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        drive.stop();
        auto* details = box->findChild<QTextEdit*>();
        hiddenFirst = details && !details->isVisible();
        for (QAbstractButton* b : box->buttons())
            if (box->buttonRole(b) != QMessageBox::ActionRole)
                seen.append(b->text());
            else
                QTest::mouseClick(b, Qt::LeftButton); // shows the details
        shownAfter = details && details->isVisible() && details->toPlainText() == detail;
        shownText = box->windowTitle() + ": " + box->text();
        noIcon = box->icon() == QMessageBox::NoIcon;
        if (QPushButton* def = box->defaultButton()) {
            defaultText = def->text();
            defaultHasFocus = box->focusWidget() == static_cast<QWidget*>(def);
        }
        QWidget* focus = box->focusWidget() ? box->focusWidget() : box;
        if (action == "Enter")
            QTest::keyClick(focus, Qt::Key_Return);
        else if (action == "Esc")
            QTest::keyClick(focus, Qt::Key_Escape);
        else if (action == "close")
            box->close();
        else
            for (QAbstractButton* b : box->buttons())
                if (b->text() == action)
                    QTest::mouseClick(b, Qt::LeftButton);
        // A box that took no answer is ended by the first of its buttons.
        stayed = box->isVisible();
        if (stayed)
            for (QAbstractButton* b : box->buttons())
                if (b->text() == texts.first())
                    b->click();
    });
    drive.start(10);
    const qint16 answer = ShowMessage(QString(), QString(), digits + "一行目\r二行目", detail);
    QCOMPARE(QSet<QString>(seen.begin(), seen.end()), QSet<QString>(texts.begin(), texts.end()));
    QCOMPARE(defaultText, texts.at(defaultIndex));
    QVERIFY(defaultHasFocus);
    QVERIFY(noIcon);
    QCOMPARE(hiddenFirst, withDetail);
    QCOMPARE(shownAfter, withDetail);
    // Line breaks for carriage returns, none at the end.
    QCOMPARE(shownText, QString("VESK: 一行目\n二行目"));
    QCOMPARE(stayed, result == 0);
    QCOMPARE(int(answer), result ? result : 3); // Abort ended the box that stayed
}

void TestCommon::charactersAreGraphemes() {
    MessageRecorder recorder;
    // A body longer than 100 characters shows its first 100.
    const QString body = QString(99, u'あ') + QStringLiteral("𠮷いう");
    ShowMessage(QString(), QStringLiteral("後"), "020" + body);
    QCOMPARE(recorder.shown.first().text, QString(99, u'あ') + "𠮷" + "\r" + "後");

    // A surrogate pair, a variation sequence and a combining mark count as one.
    const QString text = QStringLiteral("𠮷葛\U000E0100か\u3099x");
    QCOMPARE(CharacterCount(text), 4);
    QCOMPARE(SplitCharacters(text, 3),
             QStringList({QStringLiteral("𠮷葛\U000E0100か\u3099"), QStringLiteral("x")}));
    QCOMPARE(LeftCharacters(text, 2), QStringLiteral("𠮷葛\U000E0100"));
}

QTEST_MAIN(TestCommon)
#include "tst_common.moc"
