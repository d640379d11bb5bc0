// The offsets and defaults screen driven as the user drives it.
#include "PdfSheets.h"
#include "TestSupport.h"
#include "common/Globals.h"
#include "print/PrintEngine.h"
#include "screens/FrmGosaEntry.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QtTest>
#include <optional>

const QString BadInput = QStringLiteral("入力データが正しくありません。\r");
const QString Failed = QStringLiteral("データ修正に失敗しました。\r");

class TestGosaEntry : public QObject {
    Q_OBJECT

    std::optional<AppFolderFixture> app_;
    std::optional<MessageRecorder> messages_;
    QPointer<FrmGosaEntry> screen_;
    inline static const QStringList Boxes = {"TxtLeft", "TxtTop", "TxtFont", "TxtCol", "TxtRow"};

    void Open() {
        std::tie(OffsetLeft, OffsetTop, DefaultFontSize) = std::tuple(1234.5, 1e-7, 12.0);
        std::tie(DefaultColCount, DefaultRowCount, DefaultAlign) = std::tuple(0, 1, 1);
        screen_ = new FrmGosaEntry;
        screen_->show();
        QVERIFY(QTest::qWaitForWindowActive(screen_));
    }
    template <class T = QLineEdit> T* Find(const QString& n) { return screen_->findChild<T*>(n); }
    void Click(const QString& b) { QTest::mouseClick(Find<QPushButton>(b), Qt::LeftButton); }
    // Types over the box's text (selected on entry), then Tab or a click on `button`.
    void TypeInto(const QString& box, const QString& text, const QString& button = {}) {
        QLineEdit* edit = Find(box);
        edit->setFocus(Qt::TabFocusReason);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
        button.isEmpty() ? QTest::keyClick(edit, Qt::Key_Tab) : Click(button);
    }
    QStringList Said() { // each message's text and detail since the last call
        QStringList said;
        for (const MessageBoxRequest& r : std::exchange(messages_->shown, {}))
            said << r.text << r.detail;
        return said;
    }
    QStringList IniValues() const { // left, top, font, col, row, align in vesk.ini
        const QSettings ini(app_->file(QStringLiteral("vesk.ini")), QSettings::IniFormat);
        QStringList values;
        for (const char* key : {"limit/left", "limit/top", "default/font", "default/col",
                                "default/row", "default/align"})
            values << ini.value(key).toString();
        return values;
    }
    QString Pdf() const { return app_->file(QStringLiteral("sheet.pdf")); }
    QByteArray Ini() const { return ReadBytes(app_->file(QStringLiteral("vesk.ini"))); }

private slots:
    // A bad number is refused as its box is left (by Tab, or a click, dropped) or by the buttons;
    // 調整用紙印刷 prints the offsets as typed, unregistered; メニューに戻る writes nothing;
    // 登録 writes canonical forms, a count out of range stopping it after what came before.
    void offsetsScreen() {
        app_.emplace(false, true);
        messages_.emplace();
        ResetRunPrinter();
        PrintToPdfFile(Pdf()); // whatever is pressed, nothing reaches a printer
        Open();
        const QByteArray before = Ini();
        QWidget other; // takes the activation while a message is up
        messages_->onShow = [&](const MessageBoxRequest&) {
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
        };
        auto back = [&] { // the message box gone: the box with the focus
            other.hide();
            screen_->activateWindow();
            return screen_->focusWidget()->objectName();
        };
        TypeInto("TxtCol", "abc");
        QTRY_COMPARE(back(), QString("TxtCol"));
        QCOMPARE(Said(), (QStringList{BadInput, "１行の文字数の初期値: 数値（例 20）"}));
        Find("TxtLeft")->setText("1,5");
        Click("CmdEntry");
        QCOMPARE(Said(), (QStringList{Failed, "左の誤差: 数値（例 -1.5）"}));
        Click("CmdCalibrate");
        QTRY_COMPARE(back(), QString("TxtLeft"));
        QCOMPARE(Said().value(0), BadInput);
        TypeInto("TxtLeft", "1.5mm", "CmdCalibrate");
        QTRY_COMPARE(back(), QString("TxtLeft"));
        QCOMPARE(Said().value(0), BadInput);
        QVERIFY(Ini() == before && !QFile::exists(Pdf()));
        messages_->onShow = nullptr;

        Open();
        for (int i = 0; i < Boxes.size(); ++i) // as the globals were
            QCOMPARE(Find(Boxes[i])->text(), QStringList({"1234.5", "1E-07", "12", "0", "1"})[i]);
        TypeInto("TxtLeft", "");
        TypeInto("TxtTop", " +2.25 ");
        TypeInto("TxtFont", "14", "CmdCalibrate");
        QVERIFY(PdfSheets::ReadSheets(Pdf()).value(0).lines().contains(
            "この用紙を印刷した誤差：左の誤差0mm、上の誤差2.25mm"));
        QCOMPARE(QPointF(OffsetLeft, OffsetTop), QPointF(1234.5, 1e-7));
        Click("CmdBack");
        QTRY_VERIFY(!screen_->isVisible());
        QCOMPARE(Ini(), before);

        Open();
        for (int i = 0; i < Boxes.size(); ++i)
            Find(Boxes[i])->setText(QStringList({"1.50", "-1.5", "+2", "40000", "3.5"})[i]);
        Find<QComboBox>("CmbAlign")->setCurrentIndex(2);
        Click("CmdEntry");
        QCOMPARE(Said().value(0), Failed);
        QCOMPARE(IniValues(), (QStringList{"1.5", "-1.5", "2", "20", "1", "0"}));
        Find("TxtCol")->setText("2.5");
        Click("CmdEntry");
        QVERIFY(!screen_ || !screen_->isVisible());
        QCOMPARE(IniValues(), (QStringList{"1.5", "-1.5", "2", "2", "4", "2"}));
    }
};

QTEST_MAIN(TestGosaEntry)
#include "tst_gosaentry.moc"
