// Number conversions, coded messages and character counting, as every screen uses them.
#include "TestSupport.h"
#include "common/Messages.h"
#include "common/Numbers.h"
#include "common/TextUnits.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

class TestCommon : public QObject {
    Q_OBJECT
private slots:
    void numbersAndCharacters();
    void realMessageBox_data();
    void realMessageBox();
};

// Plain decimal literals only, whatever the locale, pasted trimmed; 16-bit
// values at their limits; texts written back read as the value (15 digits).
void TestCommon::numbersAndCharacters() {
    for (const auto& [text, value] :
         QList<std::pair<QString, double>>{{"1.5", 1.5}, {"  -2 ", -2.0}, {"1.5e2", 150.0}}) {
        QCOMPARE(TextToDouble(text), value);
        QCOMPARE(NumericLiteral(text), text.trimmed());
    }
    for (const QString text : {"", "inf", "0x10", "1e999", "1,5"}) {
        QVERIFY(!IsNumber(text));
        QVERIFY_THROWS_EXCEPTION(ConversionError, NumericLiteral(text));
    }
    QCOMPARE(TextToInt16("-32768"), qint16(-32768));
    QVERIFY_THROWS_EXCEPTION(ConversionError, TextToInt16("32767.5")); // rounds out of range
    for (const auto& [value, text] : {std::pair{-0.0, "0"},
                                      {100.0 / 33.0, "3.03030303030303"},
                                      {123456789012345.0, "123456789012345"}})
        QCOMPARE(DoubleToText(value), QString(text));
    MessageRecorder recorder; // a body longer than 100 characters shows its first 100
    ShowMessage(QString(), QStringLiteral("後"), "020" + QString(99, u'あ') + "𠮷いう");
    QCOMPARE(recorder.shown.first().text, QString(99, u'あ') + "𠮷" + "\r" + "後");
    // A surrogate pair, a variation sequence and a combining mark count as one.
    const QString text = QStringLiteral("𠮷葛\U000E0100か\u3099x");
    QCOMPARE(CharacterCount(text), 4);
    QCOMPARE(SplitCharacters(text, 3),
             QStringList({QStringLiteral("𠮷葛\U000E0100か\u3099"), QStringLiteral("x")}));
    QCOMPARE(LeftCharacters(text, 2), QStringLiteral("𠮷葛\U000E0100"));
}

// A coded message's box: the digits, its buttons (the default, with the focus,
// starred), then what Enter, Esc, the close box or a click answers (0: the box
// stays). A box with details answers the same.
void TestCommon::realMessageBox_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("result");
    QTest::newRow("OK, Enter") << "020 *OK > Enter" << 1;
    QTest::newRow("ARI, third, Enter") << "202 中止 再試行 *無視 > Enter" << 5;
    QTest::newRow("ARI, Esc") << "200 *中止 再試行 無視 > Esc" << 0;
    QTest::newRow("YNC, No") << "300 *はい(&Y) いいえ(&N) キャンセル > いいえ(&N)" << 7;
    QTest::newRow("Yes No, second, Enter") << "401 はい(&Y) *いいえ(&N) > Enter" << 7;
    QTest::newRow("Retry Cancel, Esc") << "500 *再試行 キャンセル > Esc" << 2;
    QTest::newRow("default past the last") << "403 *はい(&Y) いいえ(&N) > Enter" << 6;
    QTest::newRow("details, Enter") << "101 OK *キャンセル > details Enter" << 2;
    QTest::newRow("details, Yes No, close") << "410 *はい(&Y) いいえ(&N) > details close" << 7;
    QTest::newRow("details, ARI, close") << "200 *中止 再試行 無視 > details close" << 0;
}

void TestCommon::realMessageBox() {
    QFETCH(QString, line);
    QFETCH(int, result);
    const QString digits = line.left(3), buttons = line.section(" > ", 0, 0).mid(4);
    const QString action = line.section(" > ", 1).remove("details ");
    const QStringList texts = QString(buttons).remove(u'*').split(u' ');
    const QString defaultWanted = buttons.section(u'*', 1).section(u' ', 0, 0);
    const QString detail = line.contains("details") ? QStringLiteral("プリンターがありません") : "";
    auto previous = SetMessageBoxResponder({}); // the real box in place of the guard
    const auto restore = qScopeGuard([&] { SetMessageBoxResponder(std::move(previous)); });
    QStringList seen;
    QString shown, defaultText, detailed;
    bool stayed = false;
    QTimer drive;
    connect(&drive, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        drive.stop();
        const auto click = [box](const QString& text) {
            for (QAbstractButton* b : box->buttons())
                if (b->text() == text)
                    QTest::mouseClick(b, Qt::LeftButton);
        };
        detailed = box->detailedText();
        for (QAbstractButton* b : box->buttons())
            if (box->buttonRole(b) != QMessageBox::ActionRole) // not "Show Details..."
                seen.append(b->text());
        shown = box->windowTitle() + ": " + box->text() + (box->icon() ? " (icon)" : "");
        QWidget* focus = box->focusWidget() ? box->focusWidget() : box;
        if (focus == static_cast<QWidget*>(box->defaultButton()))
            defaultText = box->defaultButton()->text();
        if (action == "Enter" || action == "Esc")
            QTest::keyClick(focus, action == "Enter" ? Qt::Key_Return : Qt::Key_Escape);
        else if (action == "close")
            box->close();
        else
            click(action);
        if ((stayed = box->isVisible()))
            click(texts.first()); // ends a box that took no answer
    });
    drive.start(10);
    const qint16 answer = ShowMessage(QString(), QString(), digits + "一行目\r二行目", detail);
    QCOMPARE(QSet<QString>(seen.begin(), seen.end()), QSet<QString>(texts.begin(), texts.end()));
    QCOMPARE(defaultText, defaultWanted); // the default has the focus
    QCOMPARE(detailed, detail);
    QCOMPARE(shown, QString("VESK: 一行目\n二行目")); // line breaks for carriage returns, no icon
    QCOMPARE(int(answer), result ? result : 3);       // Abort ended the box that stayed
    QCOMPARE(stayed, result == 0);
}

QTEST_MAIN(TestCommon)
#include "tst_common.moc"
