// Every screen against its layout table: the controls, their places and sizes
// in twips, captions, fonts, tab order and first focus, compared with the
// running widgets; Enter on each screen's buttons and boxes; the keys that
// close the version screen and the splash screen ignoring them.
#include "TestSupport.h"
#include "common/Form.h"
#include "common/Globals.h"
#include "common/Twips.h"
#include "items/FrmMoji.h"
#include "items/FrmScanDlg.h"
#include "items/FrmScanTate.h"
#include "items/FrmScanYoko.h"
#include "pages/FrmPage.h"
#include "platform/SpreadGrid.h"
#include "screens/FrmAbout.h"
#include "screens/FrmGosaEntry.h"
#include "screens/FrmSplash.h"
#include "templates/FrmMenu.h"
#include "templates/FrmTemplateDlg.h"

#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>
#include <functional>
#include <memory>

namespace {

constexpr int None = -1; // a size the layout leaves to the implementation
const QString Gothic = QStringLiteral("ＭＳ Ｐゴシック");
constexpr double Face = 9; // the screens' own face, where no font is laid down

enum Flags {
    NumberBox = 1,   // text right-aligned, input method off
    TextBox = 2,     // input method on, for Japanese
    GrowsToLeft = 4, // keeps its right edge and top, grows to show its text whole
};

// One control as laid out: its kind (a Qt class it is), its container (empty:
// the screen), left, top, width, height in twips, its caption (a button's or
// label's text, a frame's title, a list's items or a grid's headers joined by
// "|"; null: not compared), its font size, its tab order (-1: none) and flags.
struct Control {
    const char* name;
    const char* kind;
    const char* parent;
    int left, top, width, height;
    QString caption;
    double points;
    int tab;
    int flags;
};

struct ScreenTable {
    const char* name;
    QString title;
    QSize client; // twips; empty: the whole display
    std::function<Form*()> make;
    QList<Control> controls;
};

const QString AlignItems = QStringLiteral("左詰め|中央揃え|右詰め");

QList<ScreenTable> Tables() {
    QList<ScreenTable> t;
    t.append(
        {"FrmMenu",
         "メインメニュー",
         {6690, 2610},
         [] { return new FrmMenu; },
         {
             {"FraTemplate", "QGroupBox", "", 240, 240, 6135, 975, "テンプレート", Face, 2, 0},
             {"CmdInsert", "QPushButton", "FraTemplate", 360, 350, 1125, 350, "新規登録", Face, 6,
              0},
             {"CmdCopy", "QPushButton", "FraTemplate", 1800, 360, 1125, 350, "複写登録", Face, 3,
              0},
             {"CmdUpdate", "QPushButton", "FraTemplate", 3240, 360, 1125, 350, "修正", Face, 4, 0},
             {"CmdDelete", "QPushButton", "FraTemplate", 4680, 360, 1125, 350, "削除", Face, 5, 0},
             {"FraIni", "QGroupBox", "", 240, 1440, 2265, 945, "その他の業務", Face, 7, 0},
             {"CmdGosa", "QPushButton", "FraIni", 240, 360, 1800, 350, "誤差設定", Face, 8, 0},
             {"CmdVersion", "QPushButton", "", 3000, 1680, 1575, 495, "バージョン情報", 9.75, 0, 0},
             {"CmdEnd", "QPushButton", "", 4800, 1680, 1575, 495, "終了", 9.75, 1, 0},
         }});
    t.append(
        {"FrmTemplateDlg",
         "テンプレート選択",
         {4215, 3465},
         [] { return new FrmTemplateDlg; },
         {
             {"LblPreview", "QLabel", "", 360, 240, 3495, 255, "テンプレート一覧", 10.5, None, 0},
             {"LstPreview", "QListWidget", "", 360, 480, 3495, 2220, {}, Face, 0, 0},
             {"CmdOK", "QPushButton", "", 1560, 2880, 1000, 375, "ＯＫ", Face, 1, 0},
             {"CmdCancel", "QPushButton", "", 2760, 2880, 1000, 375, "ＣＡＮＣＥＬ", Face, 2, 0},
         }});
    t.append(
        {"FrmPage",
         "ページ設定",
         {8805, 2940},
         [] { return new FrmPage; },
         {
             {"LblTemplate", "QLabel", "", 360, 240, 1335, 255, "テンプレート名", Face, None, 0},
             {"TxtTemplate", "QLineEdit", "", 1920, 240, 3975, 270, {}, Face, 0, TextBox},
             {"vaSpread", "SpreadGrid", "", 360, 840, 6615, 1380,
              "ページNO|用紙の向き|用紙のサイズ|印刷指定|詳細", Face, 1, 0},
             {"CmdPrint", "QPushButton", "", 7200, 600, 1335, 375, "印刷", Face, 2, 0},
             {"CmdOK", "QPushButton", "", 7200, 1200, 1335, 375, "登録", Face, 3, 0},
             {"CmdBack", "QPushButton", "", 7200, 1800, 1335, 375, "戻る", Face, 4, 0},
             {"CmdPreview", "QPushButton", "", 7200, 2400, 1335, 375, "プレビュー", Face, 5, 0},
         }});
    // The item grid covers the display: its layout follows the display's size.
    const QRect display = QGuiApplication::primaryScreen()->geometry();
    const int w = qRound(ToTwips(display.width()));
    const int h = qRound(ToTwips(display.height()));
    t.append({"FrmMoji",
              "文字設定",
              {},
              [] { return new FrmMoji("1", 0, 1); },
              {
                  {"vaSpread", "SpreadGrid", "", 400, 400, w - 800, h - 3000,
                   "文字|大きさ|左端|右端|上端|１行の文字数|行数|文字の場所", Face, 0, 0},
                  {"CmdOK", "QPushButton", "", w - 3500, h - 2000, 1335, 375, "登録", Face, 1, 0},
                  {"CmdBack", "QPushButton", "", w - 2000, h - 2000, 1335, 375, "戻る", Face, 2, 0},
                  {"CmdImage", "QPushButton", "", w - 5000, h - 2000, 1335, 375, "イメージ登録",
                   Face, 3, 0},
              }});
    t.append({"FrmScanTate",
              "文字設定",
              {7590, 10920},
              [] { return new FrmScanTate("1", 1); },
              {
                  {"ImageArea", "QWidget", "", 240, 240, 7000, 9900, {}, Face, None, 0},
                  {"CmdOK", "QPushButton", "", 4320, 10320, 1335, 375, "画像取込", Face, 1, 0},
                  {"CmdBack", "QPushButton", "", 5880, 10320, 1335, 375, "戻る", Face, 0, 0},
              }});
    t.append({"FrmScanYoko",
              "文字設定",
              {10425, 8085},
              [] { return new FrmScanYoko("1", 1); },
              {
                  {"ImageArea", "QWidget", "", 240, 240, 9900, 7000, {}, Face, None, 0},
                  {"CmdOK", "QPushButton", "", 7080, 7440, 1335, 375, "画像取込", Face, 1, 0},
                  {"CmdBack", "QPushButton", "", 8640, 7440, 1335, 375, "戻る", Face, 0, 0},
              }});
    t.append(
        {"FrmScanDlg",
         "イメージ登録詳細",
         {5955, 3375},
         [] {
             return new FrmScanDlg("1", {10, 10, 10});
         },
         {
             {"LblMoji", "QLabel", "", 480, 240, None, None, "文字", Face, None, 0},
             {"LblLeft", "QLabel", "", 480, 720, None, None, "左端", Face, None, 0},
             {"LblRight", "QLabel", "", 480, 1080, None, None, "右端", Face, None, 0},
             {"LblTop", "QLabel", "", 480, 1440, None, None, "上端", Face, None, 0},
             {"LblFont", "QLabel", "", 480, 1800, None, None, "フォント", Face, None, 0},
             {"LblCol", "QLabel", "", 480, 2160, None, None, "１行の文字数", Face, None, 0},
             {"LblRow", "QLabel", "", 480, 2520, None, None, "行数", Face, None, 0},
             {"LblAlign", "QLabel", "", 480, 2880, None, None, "文字の位置", Face, None, 0},
             {"TxtMoji", "QLineEdit", "", 1200, 240, 4455, None, {}, Face, 9, TextBox},
             {"TxtLeft", "QLineEdit", "", 1920, 720, 1500, None, {}, Face, 8, NumberBox},
             {"TxtRight", "QLineEdit", "", 1920, 1080, 1500, None, {}, Face, 7, NumberBox},
             {"TxtTop", "QLineEdit", "", 1920, 1440, 1500, None, {}, Face, 6, NumberBox},
             {"TxtFont", "QLineEdit", "", 1920, 1800, 855, None, {}, Face, 5, NumberBox},
             {"TxtCol", "QLineEdit", "", 1920, 2160, 855, None, {}, Face, 4, NumberBox},
             {"TxtRow", "QLineEdit", "", 1920, 2520, 855, None, {}, Face, 3, NumberBox},
             {"CmbAlign", "QComboBox", "", 1920, 2880, 1335, None, AlignItems, Face, 2, 0},
             {"CmdOK", "QPushButton", "", 4200, 1680, 1000, 375, "ＯＫ", Face, 0, 0},
             {"CmdCancel", "QPushButton", "", 4200, 2280, 1000, 375, "ＣＡＮＣＥＬ", Face, 1, 0},
         }});
    t.append(
        {"FrmGosaEntry",
         "誤差設定",
         {4065, 3810},
         [] { return new FrmGosaEntry; },
         {
             {"LblLeft", "QLabel", "", 240, 240, 1000, None, "左の誤差", Face, None, 0},
             {"LblTop", "QLabel", "", 240, 600, 1000, None, "上の誤差", Face, None, 0},
             {"LblFont", "QLabel", "", 240, 1080, 2000, None, "フォントの初期値", Face, None, 0},
             {"LblCol", "QLabel", "", 240, 1440, 2000, None, "１行の文字数の初期値", Face, None, 0},
             {"LblRow", "QLabel", "", 240, 1800, 2000, None, "行数の初期値", Face, None, 0},
             {"LblAlign", "QLabel", "", 240, 2160, 2000, None, "文字の位置の初期値", Face, None, 0},
             {"TxtLeft", "QLineEdit", "", 1560, 240, 855, 270, {}, Face, 0, NumberBox},
             {"TxtTop", "QLineEdit", "", 1560, 600, 855, 270, {}, Face, 1, NumberBox},
             {"TxtFont", "QLineEdit", "", 2400, 1080, 855, 270, {}, Face, 2, NumberBox},
             {"TxtCol", "QLineEdit", "", 2400, 1440, 855, 270, {}, Face, 3, NumberBox},
             {"TxtRow", "QLineEdit", "", 2400, 1800, 855, 270, {}, Face, 4, NumberBox},
             {"CmbAlign", "QComboBox", "", 2400, 2160, 1335, 300, AlignItems, Face, 5, 0},
             {"CmdEntry", "QPushButton", "", 480, 2640, 1400, 375, "登録", Face, 6, 0},
             {"CmdBack", "QPushButton", "", 2160, 2640, 1400, 375, "メニューに戻る", Face, 7, 0},
             {"CmdCalibrate", "QPushButton", "", 480, 3195, 3080, 375, "調整用紙印刷", Face, 8, 0},
         }});
    t.append({"FrmSplash",
              "",
              {7695, 5640},
              [] { return new FrmSplash; },
              {
                  {"Image", "QLabel", "", 120, 120, 7500, 4500, {}, Face, None, 0},
                  {"lblPlatform", "QLabel", "", 4050, 4740, 3480, 315, "ﾌﾟﾗｯﾄﾎｰﾑ Linux", 15.75,
                   None, GrowsToLeft},
                  {"lblVersion", "QLabel", "", 6720, 5160, 795, 240, "ﾊﾞｰｼﾞｮﾝ 2.0", 12, None,
                   GrowsToLeft},
              }});
    t.append({"FrmAbout",
              "VESKのバージョン情報",
              {5250, 3285},
              [] { return new FrmAbout; },
              {
                  {"picIcon", "QLabel", "", 240, 120, 540, 540, {}, Face, None, 0},
                  {"lblTitle", "QLabel", "", 1050, 240, 3765, 480, "VESK", Face, None, 0},
                  {"lblVersion", "QLabel", "", 1050, 780, 3765, 225, "ﾊﾞｰｼﾞｮﾝ 2.0", Face, None, 0},
                  {"lblDescription", "QLabel", "", 1050, 1125, 3885, 1290,
                   "使用上の注意\n\nプリンタにより多少のずれが発生しますので\n"
                   "誤差を調整して使用して下さい。",
                   Face, None, 0},
                  {"cmdOK", "QPushButton", "", 1920, 2640, 1310, 345, "OK", Face, 0, 0},
              }});
    return t;
}

// The text a control shows, in the table's terms.
QString CaptionOf(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* f = qobject_cast<QGroupBox*>(w))
        return f->title();
    QStringList parts;
    if (auto* c = qobject_cast<QComboBox*>(w)) {
        for (int i = 0; i < c->count(); ++i)
            parts.append(c->itemText(i));
    } else if (auto* g = qobject_cast<SpreadGrid*>(w)) {
        for (int col = 0; col < g->columnCount(); ++col)
            parts.append(g->horizontalHeaderItem(col)->text());
    }
    return parts.join(u'|');
}

bool TakesFocus(const QWidget* w) {
    return (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(w->window());
}

// The controls that Tab visits, in its order, from the screen itself round.
QStringList TabChain(QWidget* screen) {
    QStringList chain;
    for (QWidget* w = screen->nextInFocusChain(); w && w != screen; w = w->nextInFocusChain())
        if (TakesFocus(w))
            chain.append(w->objectName());
    return chain;
}

} // namespace

class TestScreens : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { tables_ = Tables(); }
    void init() {
        app_ = std::make_unique<OpenAppFolder>();
        app_->Exec("insert into template (template_id) select 1");
        app_->Exec("insert into page (page_id, template_id, page_no, paper_direction, paper_size) "
                   "select 1, 1, 1, 0, 1");
        CurrentTemplateId = QStringLiteral("1");
        OffsetLeft = OffsetTop = 0;
        DefaultFontSize = 10.5;
        DefaultColCount = 20;
        DefaultRowCount = 1;
        DefaultAlign = 0;
    }
    void cleanup() {
        delete screen_.data();
        CloseAllScreens();
        app_.reset();
    }
    void screenMatchesItsTable_data();
    void screenMatchesItsTable();
    void enterPressesTheFocusedButtonOnly_data() { screenMatchesItsTable_data(); }
    void enterPressesTheFocusedButtonOnly();
    void versionAndSplashScreenKeys();

private:
    // Shows the screen of table row `index` as its opener does and waits for
    // its first activation.
    const ScreenTable& Open(int index) {
        const ScreenTable& table = tables_[index];
        screen_ = table.make();
        screen_->Load();
        screen_->show();
        if (screen_->focusPolicy() != Qt::NoFocus)
            (void)QTest::qWaitForWindowActive(screen_);
        else
            (void)QTest::qWaitForWindowExposed(screen_);
        QTest::qWait(20); // the queued activation
        return table;
    }

    QList<ScreenTable> tables_;
    std::unique_ptr<OpenAppFolder> app_;
    QPointer<Form> screen_;
};

void TestScreens::screenMatchesItsTable_data() {
    QTest::addColumn<int>("index");
    const QList<ScreenTable> tables = Tables();
    for (int i = 0; i < tables.size(); ++i)
        QTest::newRow(tables[i].name) << i;
}

void TestScreens::screenMatchesItsTable() {
    QFETCH(int, index);
    const ScreenTable& table = Open(index);
    QCOMPARE(screen_->windowTitle(), table.title);
    if (table.client.isEmpty()) {
        QCOMPARE(screen_->frameGeometry(), screen_->screen()->geometry());
    } else {
        QCOMPARE(screen_->size(), TwipsSize(table.client.width(), table.client.height()));
        QCOMPARE(screen_->minimumSize(), screen_->maximumSize()); // fixed size
    }

    QList<const Control*> inTabOrder;
    for (const Control& c : table.controls) {
        const QString name = QString::fromLatin1(c.name);
        auto* w = screen_->findChild<QWidget*>(name);
        QVERIFY2(w, c.name);
        QVERIFY2(w->inherits(c.kind), c.name);
        QWidget* container = *c.parent ? screen_->findChild<QWidget*>(c.parent) : screen_;
        QVERIFY2(w->parentWidget() == container, c.name);
        // Places and sizes in twips, as far as the layout lays them down.
        const QRect g = w->geometry();
        const QRect want = TwipsRect(c.left, c.top, qMax(0, c.width), qMax(0, c.height));
        if (c.flags & GrowsToLeft) {
            QCOMPARE(QPoint(g.right(), g.top()), QPoint(want.right(), want.top()));
            QVERIFY2(g.width() >= want.width() && g.height() >= want.height(), c.name);
            QVERIFY2(g.width() >= w->sizeHint().width(), c.name); // shows its text whole
        } else {
            QCOMPARE(g.topLeft(), want.topLeft());
            if (c.width != None)
                QCOMPARE(g.width(), want.width());
            if (c.height != None)
                QCOMPARE(g.height(), want.height());
        }
        if (!c.caption.isNull())
            QCOMPARE(CaptionOf(w), c.caption);
        QCOMPARE(w->font().family(), Gothic);
        QCOMPARE(w->font().pointSizeF(), c.points);
        if (auto* box = qobject_cast<QLineEdit*>(w)) {
            QCOMPARE(box->alignment() & Qt::AlignHorizontal_Mask,
                     c.flags & NumberBox ? Qt::AlignRight : Qt::AlignLeft);
            QCOMPARE(box->testAttribute(Qt::WA_InputMethodEnabled), bool(c.flags & TextBox));
        }
        if (c.tab >= 0 && TakesFocus(w))
            inTabOrder.append(&c);
        else
            QVERIFY2(!TakesFocus(w), c.name);
    }
    std::stable_sort(inTabOrder.begin(), inTabOrder.end(),
                     [](const Control* a, const Control* b) { return a->tab < b->tab; });
    QStringList expected;
    for (const Control* c : inTabOrder)
        expected.append(QString::fromLatin1(c->name));
    // Tab visits the controls in their order, round, and nothing else; the
    // first one has the focus when the screen opens.
    QStringList chain = TabChain(screen_);
    if (const qsizetype first = chain.indexOf(expected.value(0)); first > 0)
        chain = chain.mid(first) + chain.first(first);
    QCOMPARE(chain, expected);
    QCOMPARE(screen_->focusWidget() ? screen_->focusWidget()->objectName() : QString(),
             expected.value(0));
}

void TestScreens::enterPressesTheFocusedButtonOnly() {
    QFETCH(int, index);
    const ScreenTable& table = Open(index);
    // The buttons' handlers stay out of it: only the presses are counted.
    const QList<QPushButton*> buttons = screen_->findChildren<QPushButton*>();
    QList<std::shared_ptr<QSignalSpy>> spies;
    for (QPushButton* b : buttons) {
        disconnect(b, &QAbstractButton::clicked, nullptr, nullptr);
        spies.append(std::make_shared<QSignalSpy>(b, &QAbstractButton::clicked));
    }
    auto pressed = [&] {
        QStringList names;
        for (int i = 0; i < buttons.size(); ++i) {
            for (int n = 0; n < spies[i]->size(); ++n)
                names.append(buttons[i]->objectName());
            spies[i]->clear();
        }
        return names;
    };
    // Only the version screen has a default button.
    const QString byDefault =
        table.name == QLatin1String("FrmAbout") ? QStringLiteral("cmdOK") : QString();
    for (const QString& name : TabChain(screen_)) {
        auto* w = screen_->findChild<QWidget*>(name);
        w->setFocus(Qt::TabFocusReason);
        QCOMPARE(screen_->focusWidget(), w);
        QTest::keyClick(w, Qt::Key_Return);
        QTest::keyClick(w, Qt::Key_Enter, Qt::KeypadModifier);
        // A held key presses once.
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(w, &repeat);
        QStringList want;
        if (qobject_cast<QPushButton*>(w))
            want = QStringList(2, name);
        else if (!byDefault.isEmpty())
            want = QStringList(2, byDefault);
        QCOMPARE(pressed(), want);
    }
}

void TestScreens::versionAndSplashScreenKeys() {
    // Esc and Enter close the version screen (its OK has the first focus);
    // other keys do not.
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_A}) {
        QPointer<FrmAbout> about = new FrmAbout;
        about->show();
        QVERIFY(QTest::qWaitForWindowActive(about));
        QTest::keyClick(about->findChild<QWidget*>(QStringLiteral("cmdOK")), key);
        QCOMPARE(!about || !about->isVisible(), key != Qt::Key_A);
        delete about.data();
    }
    // The splash screen takes no input: neither a key nor a close request
    // takes it away.
    FrmSplash splash;
    splash.Load();
    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    QTest::keyClick(&splash, Qt::Key_Escape);
    splash.close();
    QCoreApplication::processEvents();
    QVERIFY(splash.isVisible());
    // The screens' face names resolve to the installed IPA families.
    QCOMPARE(QFontInfo(QFont(QStringLiteral("ＭＳ Ｐ明朝"))).family(), QString("IPAPMincho"));
    QCOMPARE(QFontInfo(QFont(Gothic)).family(), QString("IPAPGothic"));
}

QTEST_MAIN(TestScreens)
#include "tst_screens.moc"
