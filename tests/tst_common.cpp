// Number conversions, coded messages and character counting: the rules every
// screen relies on.
#include "TestSupport.h"
#include "common/Messages.h"
#include "common/Numbers.h"
#include "common/TextUnits.h"

#include <QtTest>

class TestCommon : public QObject {
    Q_OBJECT
private slots:
    void textToDouble_data();
    void textToDouble();
    void textToInt16_data();
    void textToInt16();
    void doubleToText_data();
    void doubleToText();
    void messageStyleAndText_data();
    void messageStyleAndText();
    void charactersAreGraphemes();
};

void TestCommon::textToDouble_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");
    QTest::newRow("plain") << "1.5" << true << 1.5;
    QTest::newRow("blanks and sign") << "  -2 " << true << -2.0;
    QTest::newRow("exponent") << "1.5e2" << true << 150.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("letters") << "abc" << false << 0.0;
    QTest::newRow("inf") << "inf" << false << 0.0;
    QTest::newRow("nan") << "nan" << false << 0.0;
    QTest::newRow("hex") << "0x10" << false << 0.0;
    QTest::newRow("overflow") << "1e999" << false << 0.0;
    QTest::newRow("comma") << "1,5" << false << 0.0;
    QTest::newRow("statement") << "1); delete from moji; --" << false << 0.0;
}

void TestCommon::textToDouble() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(double, value);
    QCOMPARE(IsNumber(text), ok);
    if (ok) {
        QCOMPARE(TextToDouble(text), value);
        QCOMPARE(NumericLiteral(text), text.trimmed());
    } else {
        QVERIFY_THROWS_EXCEPTION(ConversionError, TextToDouble(text));
        QVERIFY_THROWS_EXCEPTION(ConversionError, NumericLiteral(text));
    }
}

void TestCommon::textToInt16_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("2.5 to even") << "2.5" << true << 2;
    QTest::newRow("3.5 to even") << "3.5" << true << 4;
    QTest::newRow("upper limit") << "32767" << true << 32767;
    QTest::newRow("lower limit") << "-32768" << true << -32768;
    QTest::newRow("rounds out of range") << "32767.5" << false << 0;
    QTest::newRow("40000") << "40000" << false << 0;
    QTest::newRow("letters") << "x" << false << 0;
}

void TestCommon::textToInt16() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, value);
    if (ok)
        QCOMPARE(int(TextToInt16(text)), value);
    else
        QVERIFY_THROWS_EXCEPTION(ConversionError, TextToInt16(text));
}

void TestCommon::doubleToText_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("1.5") << 1.5 << "1.5";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("-2") << -2.0 << "-2";
    QTest::newRow("-0.75") << -0.75 << "-0.75";
    QTest::newRow("100/33") << 100.0 / 33.0 << "3.03030303030303";
    QTest::newRow("large") << 123456789012345.0 << "123456789012345";
}

void TestCommon::doubleToText() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(DoubleToText(value), text);
    // The text reads back as the value, up to 15 significant digits.
    QVERIFY(qAbs(TextToDouble(DoubleToText(value)) - value) <= 1e-14 * qMax(1.0, qAbs(value)));
}

void TestCommon::messageStyleAndText_data() {
    QTest::addColumn<QString>("coded");
    QTest::addColumn<int>("style");
    QTest::newRow("notice 000") << Msg::BadInput << 4096;
    QTest::newRow("failure 020") << Msg::GeneralFailure << 4096;
    QTest::newRow("question 410") << Msg::ConfirmDelete << 4096 + 4;
}

void TestCommon::messageStyleAndText() {
    QFETCH(QString, coded);
    QFETCH(int, style);
    MessageRecorder recorder;
    recorder.answer = IdNo;
    QCOMPARE(ShowMessage("テンプレート", QString(), coded), qint16(IdNo));
    QCOMPARE(recorder.shown.size(), 1);
    const MessageBoxRequest& r = recorder.shown.first();
    QCOMPARE(r.style, style);
    QCOMPARE(r.title, QString("VESK"));
    QCOMPARE(r.text, "テンプレート" + coded.mid(3) + "\r");
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
