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
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QtTest>
#include <functional>
#include <memory>

namespace {

constexpr int None = -1; // a size the layout leaves to the implementation; no tab stop
const QString Gothic = QStringLiteral("ＭＳ Ｐゴシック");
constexpr double Face = 9; // the screens' own face, where no font is laid down

enum Flags {
    NumberBox = 1,   // text right-aligned, input method off
    TextBox = 2,     // input method on, for Japanese
    GrowsToLeft = 4, // keeps its right edge and top, grows to show its text whole
};

// One control as laid out: its name ("Frame/Name" inside a frame), left, top,
// width, height in twips, its caption (a button's or label's text, a frame's
// title, a list's items or a grid's headers joined by "|"; null: not
// compared), its tab order, flags and font size.
struct Control {
    const char* path;
    int left, top, width, height;
    QString caption;
    int tab = None;
    int flags = 0;
    double points = Face;
};

struct ScreenTable {
    const char* name;
    QString title;
    QSize client; // twips; empty: the whole display
    std::function<Form*()> make;
    QList<Control> controls = {};
};

// The Qt class a control is, by its name's prefix.
const char* KindOf(const QString& name) {
    const std::pair<const char*, const char*> kinds[] = {
        {"cmd", "QPushButton"}, {"lbl", "QLabel"},         {"pic", "QLabel"},
        {"txt", "QLineEdit"},   {"cmb", "QComboBox"},      {"fra", "QGroupBox"},
        {"lst", "QListWidget"}, {"vaSpread", "SpreadGrid"}};
    for (const auto& [prefix, kind] : kinds)
        if (name.startsWith(QLatin1String(prefix), Qt::CaseInsensitive))
            return kind;
    return "QWidget";
}

const QString Align = QStringLiteral("左詰め|中央揃え|右詰め");
const QString About = QStringLiteral("使用上の注意\n\nプリンタにより多少のずれが発生しますので\n"
                                     "誤差を調整して使用して下さい。");

QList<ScreenTable> Tables() {
    // The item grid covers the display: its layout follows the display's size.
    const QRect display = QGuiApplication::primaryScreen()->geometry();
    const int w = qRound(ToTwips(display.width()));
    const int h = qRound(ToTwips(display.height()));
    const QString mojiHeaders =
        QStringLiteral("文字|大きさ|左端|右端|上端|１行の文字数|行数|文字の場所");
    QList<ScreenTable> t;
    t.append({"FrmMenu", "メインメニュー", {6690, 2610}, [] { return new FrmMenu; }});
    t.last().controls = {{"FraTemplate", 240, 240, 6135, 975, "テンプレート", 2},
                         {"FraTemplate/CmdInsert", 360, 350, 1125, 350, "新規登録", 6},
                         {"FraTemplate/CmdCopy", 1800, 360, 1125, 350, "複写登録", 3},
                         {"FraTemplate/CmdUpdate", 3240, 360, 1125, 350, "修正", 4},
                         {"FraTemplate/CmdDelete", 4680, 360, 1125, 350, "削除", 5},
                         {"FraIni", 240, 1440, 2265, 945, "その他の業務", 7},
                         {"FraIni/CmdGosa", 240, 360, 1800, 350, "誤差設定", 8},
                         {"CmdVersion", 3000, 1680, 1575, 495, "バージョン情報", 0, 0, 9.75},
                         {"CmdEnd", 4800, 1680, 1575, 495, "終了", 1, 0, 9.75}};
    t.append(
        {"FrmTemplateDlg", "テンプレート選択", {4215, 3465}, [] { return new FrmTemplateDlg; }});
    t.last().controls = {{"LblPreview", 360, 240, 3495, 255, "テンプレート一覧", None, 0, 10.5},
                         {"LstPreview", 360, 480, 3495, 2220, {}, 0},
                         {"CmdOK", 1560, 2880, 1000, 375, "ＯＫ", 1},
                         {"CmdCancel", 2760, 2880, 1000, 375, "ＣＡＮＣＥＬ", 2}};
    t.append({"FrmPage", "ページ設定", {8805, 2940}, [] { return new FrmPage; }});
    t.last().controls = {
        {"LblTemplate", 360, 240, 1335, 255, "テンプレート名"},
        {"TxtTemplate", 1920, 240, 3975, 270, {}, 0, TextBox},
        {"vaSpread", 360, 840, 6615, 1380, "ページNO|用紙の向き|用紙のサイズ|印刷指定|詳細", 1},
        {"CmdPrint", 7200, 600, 1335, 375, "印刷", 2},
        {"CmdOK", 7200, 1200, 1335, 375, "登録", 3},
        {"CmdBack", 7200, 1800, 1335, 375, "戻る", 4},
        {"CmdPreview", 7200, 2400, 1335, 375, "プレビュー", 5}};
    t.append({"FrmMoji", "文字設定", {}, [] { return new FrmMoji("1", 0, 1); }});
    t.last().controls = {{"vaSpread", 400, 400, w - 800, h - 3000, mojiHeaders, 0},
                         {"CmdOK", w - 3500, h - 2000, 1335, 375, "登録", 1},
                         {"CmdBack", w - 2000, h - 2000, 1335, 375, "戻る", 2},
                         {"CmdImage", w - 5000, h - 2000, 1335, 375, "イメージ登録", 3}};
    t.append({"FrmScanTate", "文字設定", {7590, 10920}, [] { return new FrmScanTate("1", 1); }});
    t.last().controls = {{"ImageArea", 240, 240, 7000, 9900, {}},
                         {"CmdOK", 4320, 10320, 1335, 375, "画像取込", 1},
                         {"CmdBack", 5880, 10320, 1335, 375, "戻る", 0}};
    t.append({"FrmScanYoko", "文字設定", {10425, 8085}, [] { return new FrmScanYoko("1", 1); }});
    t.last().controls = {{"ImageArea", 240, 240, 9900, 7000, {}},
                         {"CmdOK", 7080, 7440, 1335, 375, "画像取込", 1},
                         {"CmdBack", 8640, 7440, 1335, 375, "戻る", 0}};
    t.append({"FrmScanDlg", "イメージ登録詳細", {5955, 3375}, [] {
                  return new FrmScanDlg("1", {10, 10, 10});
              }});
    t.last().controls = {{"LblMoji", 480, 240, None, None, "文字"},
                         {"LblLeft", 480, 720, None, None, "左端"},
                         {"LblRight", 480, 1080, None, None, "右端"},
                         {"LblTop", 480, 1440, None, None, "上端"},
                         {"LblFont", 480, 1800, None, None, "フォント"},
                         {"LblCol", 480, 2160, None, None, "１行の文字数"},
                         {"LblRow", 480, 2520, None, None, "行数"},
                         {"LblAlign", 480, 2880, None, None, "文字の位置"},
                         {"TxtMoji", 1200, 240, 4455, None, {}, 9, TextBox},
                         {"TxtLeft", 1920, 720, 1500, None, {}, 8, NumberBox},
                         {"TxtRight", 1920, 1080, 1500, None, {}, 7, NumberBox},
                         {"TxtTop", 1920, 1440, 1500, None, {}, 6, NumberBox},
                         {"TxtFont", 1920, 1800, 855, None, {}, 5, NumberBox},
                         {"TxtCol", 1920, 2160, 855, None, {}, 4, NumberBox},
                         {"TxtRow", 1920, 2520, 855, None, {}, 3, NumberBox},
                         {"CmbAlign", 1920, 2880, 1335, None, Align, 2},
                         {"CmdOK", 4200, 1680, 1000, 375, "ＯＫ", 0},
                         {"CmdCancel", 4200, 2280, 1000, 375, "ＣＡＮＣＥＬ", 1}};
    t.append({"FrmGosaEntry", "誤差設定", {4065, 3810}, [] { return new FrmGosaEntry; }});
    t.last().controls = {{"LblLeft", 240, 240, 1000, None, "左の誤差"},
                         {"LblTop", 240, 600, 1000, None, "上の誤差"},
                         {"LblFont", 240, 1080, 2000, None, "フォントの初期値"},
                         {"LblCol", 240, 1440, 2000, None, "１行の文字数の初期値"},
                         {"LblRow", 240, 1800, 2000, None, "行数の初期値"},
                         {"LblAlign", 240, 2160, 2000, None, "文字の位置の初期値"},
                         {"TxtLeft", 1560, 240, 855, 270, {}, 0, NumberBox},
                         {"TxtTop", 1560, 600, 855, 270, {}, 1, NumberBox},
                         {"TxtFont", 2400, 1080, 855, 270, {}, 2, NumberBox},
                         {"TxtCol", 2400, 1440, 855, 270, {}, 3, NumberBox},
                         {"TxtRow", 2400, 1800, 855, 270, {}, 4, NumberBox},
                         {"CmbAlign", 2400, 2160, 1335, 300, Align, 5},
                         {"CmdEntry", 480, 2640, 1400, 375, "登録", 6},
                         {"CmdBack", 2160, 2640, 1400, 375, "メニューに戻る", 7},
                         {"CmdCalibrate", 480, 3195, 3080, 375, "調整用紙印刷", 8}};
    t.append({"FrmSplash", "", {7695, 5640}, [] { return new FrmSplash; }});
    t.last().controls = {
        {"Image", 120, 120, 7500, 4500, {}},
        {"lblPlatform", 4050, 4740, 3480, 315, "ﾌﾟﾗｯﾄﾎｰﾑ Linux", None, GrowsToLeft, 15.75},
        {"lblVersion", 6720, 5160, 795, 240, "ﾊﾞｰｼﾞｮﾝ 2.0", None, GrowsToLeft, 12}};
    t.append({"FrmAbout", "VESKのバージョン情報", {5250, 3285}, [] { return new FrmAbout; }});
    t.last().controls = {{"picIcon", 240, 120, 540, 540, {}},
                         {"lblTitle", 1050, 240, 3765, 480, "VESK"},
                         {"lblVersion", 1050, 780, 3765, 225, "ﾊﾞｰｼﾞｮﾝ 2.0"},
                         {"lblDescription", 1050, 1125, 3885, 1290, About},
                         {"cmdOK", 1920, 2640, 1310, 345, "OK", 0}};
    return t;
}

// The text a control shows, in the table's terms.
QString CaptionOf(QWidget* w) {
    QStringList parts;
    if (auto* f = qobject_cast<QGroupBox*>(w))
        return f->title();
    if (auto* c = qobject_cast<QComboBox*>(w)) {
        for (int i = 0; i < c->count(); ++i)
            parts.append(c->itemText(i));
    } else if (auto* g = qobject_cast<SpreadGrid*>(w)) {
        for (int col = 0; col < g->columnCount(); ++col)
            parts.append(g->horizontalHeaderItem(col)->text());
    } else {
        return w->property("text").toString(); // a button's or a label's
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

    std::unique_ptr<OpenAppFolder> app_;
    QPointer<Form> screen_;

private slots:
    void init() {
        app_ = std::make_unique<OpenAppFolder>();
        app_->Exec("insert into template (template_id) select 1");
        app_->Exec("insert into page (page_id, template_id, page_no, paper_direction, paper_size) "
                   "select 1, 1, 1, 0, 1");
        CurrentTemplateId = QStringLiteral("1");
        OffsetLeft = OffsetTop = 0;
        std::tie(DefaultFontSize, DefaultColCount, DefaultRowCount, DefaultAlign) =
            std::tuple(10.5, 20, 1, 0);
    }
    void cleanup() {
        delete screen_.data();
        CloseAllScreens();
        app_.reset();
    }
    void screenMatchesItsTable_data();
    void screenMatchesItsTable();
    void versionAndSplashScreenKeys();

private:
    void CheckControls(const ScreenTable& table);
    void CheckEnter();
};

void TestScreens::screenMatchesItsTable_data() {
    QTest::addColumn<int>("index");
    const QList<ScreenTable> tables = Tables();
    for (int i = 0; i < tables.size(); ++i)
        QTest::newRow(tables[i].name) << i;
}

// Shows the screen as its opener does and, once it is first activated,
// compares it with its table, then presses Enter on each control Tab visits.
void TestScreens::screenMatchesItsTable() {
    QFETCH(int, index);
    const ScreenTable table = Tables()[index];
    screen_ = table.make();
    screen_->Load();
    screen_->show();
    if (screen_->focusPolicy() != Qt::NoFocus)
        (void)QTest::qWaitForWindowActive(screen_);
    else
        (void)QTest::qWaitForWindowExposed(screen_);
    QTest::qWait(20); // the queued activation
    QCOMPARE(screen_->windowTitle(), table.title);
    if (table.client.isEmpty()) {
        QCOMPARE(screen_->frameGeometry(), screen_->screen()->geometry());
    } else {
        QCOMPARE(screen_->size(), TwipsSize(table.client.width(), table.client.height()));
        QCOMPARE(screen_->minimumSize(), screen_->maximumSize()); // fixed size
    }
    CheckControls(table);
    if (QTest::currentTestFailed())
        return;
    CheckEnter();
}

void TestScreens::CheckControls(const ScreenTable& table) {
    QList<const Control*> inTabOrder;
    for (const Control& c : table.controls) {
        const QStringList path = QString::fromLatin1(c.path).split(u'/');
        auto* w = screen_->findChild<QWidget*>(path.last());
        QVERIFY2(w, c.path);
        QVERIFY2(w->inherits(KindOf(path.last())), c.path);
        QWidget* container = path.size() > 1 ? screen_->findChild<QWidget*>(path[0]) : screen_;
        QVERIFY2(w->parentWidget() == container, c.path);
        // Places and sizes in twips, as far as the layout lays them down.
        const QRect g = w->geometry();
        const QRect want = TwipsRect(c.left, c.top, qMax(0, c.width), qMax(0, c.height));
        if (c.flags & GrowsToLeft) {
            QCOMPARE(QPoint(g.right(), g.top()), QPoint(want.right(), want.top()));
            QVERIFY2(g.width() >= want.width() && g.height() >= want.height(), c.path);
            QVERIFY2(g.width() >= w->sizeHint().width(), c.path); // shows its text whole
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
            QVERIFY2(!TakesFocus(w), c.path); // a frame keeps its tab index only
    }
    std::stable_sort(inTabOrder.begin(), inTabOrder.end(),
                     [](const Control* a, const Control* b) { return a->tab < b->tab; });
    QStringList expected;
    for (const Control* c : inTabOrder)
        expected.append(QString::fromLatin1(c->path).section(u'/', -1));
    // Tab visits the controls in their order, round, and nothing else; the
    // first one has the focus when the screen opens.
    QStringList chain = TabChain(screen_);
    if (const qsizetype first = chain.indexOf(expected.value(0)); first > 0)
        chain = chain.mid(first) + chain.first(first);
    QCOMPARE(chain, expected);
    QCOMPARE(screen_->focusWidget() ? screen_->focusWidget()->objectName() : QString(),
             expected.value(0));
}

// Enter, and the keypad's Enter, press the focused button only; in a box they
// press the default button, which only the version screen has. A held key
// presses once. The buttons' handlers stay out of it: only presses count.
void TestScreens::CheckEnter() {
    QStringList pressed;
    for (QPushButton* b : screen_->findChildren<QPushButton*>()) {
        disconnect(b, &QAbstractButton::clicked, nullptr, nullptr);
        connect(b, &QAbstractButton::clicked, this,
                [&pressed, b] { pressed.append(b->objectName()); });
    }
    const QString byDefault = qobject_cast<FrmAbout*>(screen_) ? "cmdOK" : "";
    for (const QString& name : TabChain(screen_)) {
        auto* w = screen_->findChild<QWidget*>(name);
        w->setFocus(Qt::TabFocusReason);
        QCOMPARE(screen_->focusWidget(), w);
        QTest::keyClick(w, Qt::Key_Return);
        QTest::keyClick(w, Qt::Key_Enter, Qt::KeypadModifier);
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(w, &repeat);
        const QString want = qobject_cast<QPushButton*>(w) ? name : byDefault;
        QCOMPARE(pressed, want.isEmpty() ? QStringList() : QStringList(2, want));
        pressed.clear();
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
