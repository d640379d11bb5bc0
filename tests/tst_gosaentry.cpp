// The offsets and defaults screen driven as the user drives it.
#include "PdfSheets.h"
#include "TestSupport.h"
#include "common/Globals.h"
#include "print/PrintEngine.h"
#include "screens/FrmGosaEntry.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QtTest>
#include <memory>

const QString BadInput = QStringLiteral("入力データが正しくありません。\r");

class TestGosaEntry : public QObject {
    Q_OBJECT

private slots:
    void init() {
        app_ = std::make_unique<AppFolderFixture>(false, true);
        messages_ = std::make_unique<MessageRecorder>();
        // Whatever a test presses, nothing reaches a printer.
        ResetRunPrinter();
        PrintToPdfFile(Pdf());
    }
    void cleanup() {
        delete screen_.data();
        messages_.reset();
        app_.reset();
    }
    void opensWithTheGlobalsAndBackWritesNothing();
    void refusedNumbers_data();
    void refusedNumbers();
    void registerWritesCanonicalForms_data();
    void registerWritesCanonicalForms();
    void calibrationPrintsTheTypedOffsets_data();
    void calibrationPrintsTheTypedOffsets();

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
    QString Pdf() const { return app_->file(QStringLiteral("sheet.pdf")); }
    // Replaces the box's text as the user does: into it, the text selected
    // on entry typed over, and out of it with Tab.
    void TypeInto(const QString& box, const QString& text) {
        QLineEdit* edit = Control(box);
        edit->setFocus(Qt::TabFocusReason);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Tab);
    }
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

void TestGosaEntry::opensWithTheGlobalsAndBackWritesNothing() {
    Open({1234.5, 1e-7, 12, 0, 1, 1});
    const QStringList shown = {"1234.5", "1E-07", "12", "0", "1"};
    for (int i = 0; i < Boxes.size(); ++i)
        QCOMPARE(Control(Boxes[i])->text(), shown[i]);
    const QByteArray before = IniText();
    Control("TxtFont")->setText("14");
    QTest::mouseClick(Control<QPushButton>("CmdBack"), Qt::LeftButton);
    QTRY_VERIFY(Closed());
    QCOMPARE(IniText(), before);
}

// A box that is not a number is refused as it is left (Tab, or a click on
// "登録" or "調整用紙印刷"), the message naming the box and the focus going
// back into it; a blank box becomes 0. A text that reached the box without
// passing that check is refused when a button is pressed, the focus moved into
// the box. Nothing is printed or written either way.
void TestGosaEntry::refusedNumbers_data() {
    // The box, the text, the button that leaves it (empty: Tab), whether the
    // text is typed into the box ("typed") or set while elsewhere ("set"), the
    // message (empty: none) and its detail (empty: not compared).
    QTest::addColumn<QStringList>("row");
    const QString& bad = BadInput;
    const QString failed = QStringLiteral("データ修正に失敗しました。\r");
    const QString left = QStringLiteral("左の誤差: 数値（例 -1.5）");
    const QString col = QStringLiteral("１行の文字数の初期値: 数値（例 20）");
    QTest::newRow("letters") << QStringList{"TxtCol", "abc", "", "typed", bad, col};
    QTest::newRow("blank") << QStringList{"TxtCol", "", "", "typed", "", ""};
    QTest::newRow("register") << QStringList{"TxtLeft", "1.5mm", "CmdEntry", "typed", bad, ""};
    QTest::newRow("calibrate") << QStringList{"TxtTop", "1.5mm", "CmdCalibrate", "typed", bad, ""};
    QTest::newRow("calibrate, set") << QStringList{"TxtTop", "1mm", "CmdCalibrate", "set", bad, ""};
    QTest::newRow("register, set")
        << QStringList{"TxtLeft", "1,5", "CmdEntry", "set", failed, left};
}

void TestGosaEntry::refusedNumbers() {
    QFETCH(QStringList, row);
    const QString &box = row[0], &typed = row[1], &button = row[2], &message = row[4];
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
    if (row[3] == "typed") {
        edit->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, typed);
        QTest::keyClick(edit, Qt::Key_Return); // does not register
    } else {
        Control(box == "TxtLeft" ? "TxtTop" : "TxtLeft")->setFocus(Qt::OtherFocusReason);
        edit->setText(typed);
    }
    if (button.isEmpty())
        QTest::keyClick(edit, Qt::Key_Tab);
    else
        QTest::mouseClick(Control<QPushButton>(button), Qt::LeftButton);
    other.hide();
    screen_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(screen_));
    // Refused as input, the box gets the focus; a failed register leaves it.
    QTRY_COMPARE(screen_->focusWidget() == edit, message == BadInput);
    QCoreApplication::processEvents(); // a refusal still queued
    QCOMPARE(edit->text(), typed.isEmpty() ? QStringLiteral("0") : typed);
    QCOMPARE(messages_->texts(), message.isEmpty() ? QStringList() : QStringList{message});
    if (!row[5].isEmpty())
        QCOMPARE(messages_->shown[0].detail, row[5]);
    QVERIFY(!Closed());
    QCOMPARE(IniText(), before);
    QVERIFY(!QFile::exists(Pdf()));
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
    const QStringList failed = {QStringLiteral("データ修正に失敗しました。\r")};
    QCOMPARE(messages_->texts(), fails ? failed : QStringList());
    QCOMPARE(Closed(), !fails);
    const QSettings ini(app_->file(QStringLiteral("vesk.ini")), QSettings::IniFormat);
    const QStringList keys = {"limit/left",  "limit/top",   "default/font",
                              "default/col", "default/row", "default/align"};
    for (int i = 0; i < keys.size(); ++i)
        QCOMPARE(ini.value(keys[i]).toString(), written[i]);
}

// "調整用紙印刷" prints the sheet with the offsets as typed, before they are
// registered: nothing is written, the globals and the boxes stay as they
// are, and the screen stays open. A blank box is 0, as leaving it makes it.
void TestGosaEntry::calibrationPrintsTheTypedOffsets_data() {
    QTest::addColumn<QStringList>("typed"); // left, top, the offsets the sheet says
    QTest::newRow("typed") << QStringList{"2.25", "-1", "左の誤差2.25mm、上の誤差-1mm"};
    QTest::newRow("blank, blanks around, sign")
        << QStringList{"", " +0.5 ", "左の誤差0mm、上の誤差0.5mm"};
}

void TestGosaEntry::calibrationPrintsTheTypedOffsets() {
    QFETCH(QStringList, typed);
    Open();
    const QByteArray before = IniText();
    TypeInto("TxtLeft", typed[0]);
    TypeInto("TxtTop", typed[1]);
    TypeInto("TxtFont", "14");
    QTest::mouseClick(Control<QPushButton>("CmdCalibrate"), Qt::LeftButton);
    QCOMPARE(messages_->texts(), QStringList());
    const QList<PdfSheets::Sheet> sheets = PdfSheets::ReadSheets(Pdf());
    QCOMPARE(sheets.size(), 1);
    QVERIFY(sheets[0].lines().contains("この用紙を印刷した誤差：" + typed[2]));
    QCOMPARE(IniText(), before);
    QCOMPARE(QPointF(OffsetLeft, OffsetTop), QPointF(1.5, -0.75));
    QCOMPARE(Control("TxtLeft")->text(), typed[0].isEmpty() ? "0" : typed[0]);
    QCOMPARE(Control("TxtTop")->text(), typed[1]);
    QVERIFY(!Closed());
}

QTEST_MAIN(TestGosaEntry)
#include "tst_gosaentry.moc"
