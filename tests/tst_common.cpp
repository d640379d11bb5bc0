// Number conversions, coded messages and character counting, as every screen uses them.
#include "TestSupport.h"
#include "common/Messages.h"
#include "common/Numbers.h"
#include "common/TextUnits.h"

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

void TestCommon::numbersAndCharacters() {
    for (const auto& [text, value] :
         QList<std::pair<QString, double>>{{"1.5", 1.5}, {"  -2 ", -2.0}, {"1.5e2", 150.0}}) {
        QCOMPARE(TextToDouble(text), value);
        QCOMPARE(NumericLiteral(text), text.trimmed());
    }
    for (const QString text : {"", "inf", "0x10", "1e999", "1,5"}) { // any locale
        QVERIFY(!IsNumber(text));
        QVERIFY_THROWS_EXCEPTION(ConversionError, NumericLiteral(text));
    }
    QCOMPARE(TextToInt16("-32768"), qint16(-32768));
    QVERIFY_THROWS_EXCEPTION(ConversionError, TextToInt16("32767.5")); // rounds out of range
    QCOMPARE(DoubleToText(-0.0), QString("0"));
    QCOMPARE(DoubleToText(100.0 / 33.0), QString("3.03030303030303"));
    QCOMPARE(DoubleToText(123456789012345.0), QString("123456789012345"));
    MessageRecorder recorder; // a body longer than 100 characters shows its first 100
    ShowMessage(QString(), QStringLiteral("後"), "020" + QString(99, u'あ') + "𠮷いう");
    QCOMPARE(recorder.shown.first().text, QString(99, u'あ') + "𠮷" + "\r" + "後");
    const QString text = QStringLiteral("𠮷葛\U000E0100か\u3099x"); // clusters, not units
    QCOMPARE(CharacterCount(text), 4);
    QCOMPARE(SplitCharacters(text, 3).join(u'|'), QStringLiteral("𠮷葛\U000E0100か\u3099|x"));
    QCOMPARE(LeftCharacters(text, 2), QStringLiteral("𠮷葛\U000E0100"));
}

// Digits, buttons (* the default, with the focus), what Enter, Esc, close or a click answers.
void TestCommon::realMessageBox_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("result");
    QTest::newRow("OK, Enter") << "020 *OK > Enter" << 1;
    QTest::newRow("ARI, Esc") << "200 *中止 再試行 無視 > Esc" << 0;
    QTest::newRow("YNC, No") << "300 *はい(&Y) いいえ(&N) キャンセル > いいえ(&N)" << 7;
    QTest::newRow("Yes No, second, Enter") << "401 はい(&Y) *いいえ(&N) > Enter" << 7;
    QTest::newRow("details, Enter") << "101 OK *キャンセル > details Enter" << 2;
    QTest::newRow("details, Yes No, close") << "410 *はい(&Y) いいえ(&N) > details close" << 7;
}

void TestCommon::realMessageBox() {
    QFETCH(QString, line);
    QFETCH(int, result);
    const QStringList buttons = line.section(" > ", 0, 0).mid(4).split(u' ');
    const QString action = line.section(" > ", 1).remove("details ");
    const QString detail = line.contains("details") ? QStringLiteral("プリンターがありません") : "";
    auto previous = SetMessageBoxResponder({}); // the real box in place of the guard
    const auto restore = qScopeGuard([&] { SetMessageBoxResponder(std::move(previous)); });
    QSet<QString> seen;
    QString shown;
    bool stayed = false;
    QTimer drive;
    connect(&drive, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        drive.stop();
        QWidget* focus = box->focusWidget() ? box->focusWidget() : box;
        for (QAbstractButton* b : box->buttons())
            if (box->buttonRole(b) != QMessageBox::ActionRole) // not "Show Details..."
                seen.insert((b == focus && b == box->defaultButton() ? "*" : "") + b->text());
        shown = box->windowTitle() + ": " + box->text() + (box->icon() ? " (icon)" : "") + " | " +
                box->detailedText();
        if (action == "Enter" || action == "Esc")
            QTest::keyClick(focus, action == "Enter" ? Qt::Key_Return : Qt::Key_Escape);
        else if (action == "close")
            box->close();
        else
            for (QAbstractButton* b : box->buttons())
                if (b->text() == action)
                    QTest::mouseClick(b, Qt::LeftButton);
        if ((stayed = box->isVisible()))
            box->button(QMessageBox::Abort)->click(); // ends a box that took no answer
    });
    drive.start(10);
    const qint16 answer =
        ShowMessage(QString(), QString(), line.left(3) + "一行目\r二行目", detail);
    QCOMPARE(seen, QSet<QString>(buttons.begin(), buttons.end()));
    QCOMPARE(shown,
             "VESK: 一行目\n二行目 | " + detail); // line breaks for carriage returns, no icon
    QCOMPARE(int(answer), result ? result : 3);   // Abort ended the box that stayed
    QCOMPARE(stayed, result == 0);
}

QTEST_MAIN(TestCommon)
#include "tst_common.moc"
