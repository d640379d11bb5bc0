// Every screen against its layout: places and sizes in twips, captions, faces, Tab, Enter, Esc.
#include "TestSupport.h"
#include "common/Globals.h"
#include "common/Twips.h"
#include "items/FrmMoji.h"
#include "items/FrmScanDlg.h"
#include "items/FrmScanTate.h"
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
#include <QPushButton>
#include <QScreen>
#include <QtTest>
#include <functional>
#include <optional>

namespace {

constexpr int None = -1; // a size the layout leaves to the implementation; no tab stop

enum Flags { NumberBox = 1, TextBox = 2 }; // right-aligned, input method off; input method on

// A control: "Frame/Name" inside a frame; left, top, width, height in twips; caption (a list's
// items or a grid's headers joined by "|"; null: not compared); tab order, flags.
struct Control {
    const char* path;
    int left, top, width, height;
    QString caption;
    int tab = None, flags = 0;
};

struct ScreenTable {
    QString title;
    QSize client; // twips; empty: the whole display
    std::function<Form*()> make;
    QList<Control> controls = {};
};

QList<ScreenTable> Tables() {
    const QSize d = QGuiApplication::primaryScreen()->geometry().size() * TwipsPerPixel;
    QList<ScreenTable> t;
    t.append({"メインメニュー", {6690, 2610}, [] { return new FrmMenu; }});
    t.last().controls = {{"FraTemplate", 240, 240, 6135, 975, "テンプレート", 2},
                         {"FraTemplate/CmdInsert", 360, 350, 1125, 350, "新規登録", 6},
                         {"FraTemplate/CmdCopy", 1800, 360, 1125, 350, "複写登録", 3},
                         {"FraTemplate/CmdUpdate", 3240, 360, 1125, 350, "修正", 4},
                         {"FraTemplate/CmdDelete", 4680, 360, 1125, 350, "削除", 5},
                         {"FraIni", 240, 1440, 2265, 945, "その他の業務", 7},
                         {"FraIni/CmdGosa", 240, 360, 1800, 350, "誤差設定", 8},
                         {"CmdVersion", 3000, 1680, 1575, 495, "バージョン情報", 0},
                         {"CmdEnd", 4800, 1680, 1575, 495, "終了", 1}};
    t.append({"テンプレート選択", {4215, 3465}, [] { return new FrmTemplateDlg; }});
    t.last().controls = {{"LstPreview", 360, 480, 3495, 2220, {}, 0},
                         {"CmdOK", 1560, 2880, 1000, 375, "ＯＫ", 1},
                         {"CmdCancel", 2760, 2880, 1000, 375, "ＣＡＮＣＥＬ", 2}};
    t.append({"ページ設定", {8805, 2940}, [] { return new FrmPage; }});
    t.last().controls = {
        {"TxtTemplate", 1920, 240, 3975, 270, {}, 0, TextBox},
        {"vaSpread", 360, 840, 6615, 1380, "ページNO|用紙の向き|用紙のサイズ|印刷指定|詳細", 1},
        {"CmdPrint", 7200, 600, 1335, 375, "印刷", 2},
        {"CmdOK", 7200, 1200, 1335, 375, "登録", 3},
        {"CmdBack", 7200, 1800, 1335, 375, "戻る", 4},
        {"CmdPreview", 7200, 2400, 1335, 375, "プレビュー", 5}};
    t.append({"文字設定", {}, [] { return new FrmMoji("1", 0, 1); }});
    t.last().controls = {
        {"vaSpread", 400, 400, d.width() - 800, d.height() - 3000,
         "文字|大きさ|左端|右端|上端|１行の文字数|行数|文字の場所", 0},
        {"CmdOK", d.width() - 3500, d.height() - 2000, 1335, 375, "登録", 1},
        {"CmdBack", d.width() - 2000, d.height() - 2000, 1335, 375, "戻る", 2},
        {"CmdImage", d.width() - 5000, d.height() - 2000, 1335, 375, "イメージ登録", 3}};
    t.append({"文字設定", {7590, 10920}, [] { return new FrmScanTate("1", 1); }});
    t.last().controls = {{"CmdOK", 4320, 10320, 1335, 375, "画像取込", 1},
                         {"CmdBack", 5880, 10320, 1335, 375, "戻る", 0}};
    t.append({"イメージ登録詳細", {5955, 3375}, [] { return new FrmScanDlg("1", {10, 10, 10}); }});
    t.last().controls = {{"TxtMoji", 1200, 240, 4455, None, {}, 9, TextBox},
                         {"TxtLeft", 1920, 720, 1500, None, {}, 8, NumberBox},
                         {"TxtRight", 1920, 1080, 1500, None, {}, 7, NumberBox},
                         {"TxtTop", 1920, 1440, 1500, None, {}, 6, NumberBox},
                         {"TxtFont", 1920, 1800, 855, None, {}, 5, NumberBox},
                         {"TxtCol", 1920, 2160, 855, None, {}, 4, NumberBox},
                         {"TxtRow", 1920, 2520, 855, None, {}, 3, NumberBox},
                         {"CmbAlign", 1920, 2880, 1335, None, "左詰め|中央揃え|右詰め", 2},
                         {"CmdOK", 4200, 1680, 1000, 375, "ＯＫ", 0},
                         {"CmdCancel", 4200, 2280, 1000, 375, "ＣＡＮＣＥＬ", 1}};
    t.append({"誤差設定", {4065, 3810}, [] { return new FrmGosaEntry; }});
    t.last().controls = {{"TxtLeft", 1560, 240, 855, 270, {}, 0, NumberBox},
                         {"TxtTop", 1560, 600, 855, 270, {}, 1, NumberBox},
                         {"TxtFont", 2400, 1080, 855, 270, {}, 2, NumberBox},
                         {"TxtCol", 2400, 1440, 855, 270, {}, 3, NumberBox},
                         {"TxtRow", 2400, 1800, 855, 270, {}, 4, NumberBox},
                         {"CmbAlign", 2400, 2160, 1335, 300, "左詰め|中央揃え|右詰め", 5},
                         {"CmdEntry", 480, 2640, 1400, 375, "登録", 6},
                         {"CmdBack", 2160, 2640, 1400, 375, "メニューに戻る", 7},
                         {"CmdCalibrate", 480, 3195, 3080, 375, "調整用紙印刷", 8}};
    t.append({"VESKのバージョン情報", {5250, 3285}, [] { return new FrmAbout; }});
    t.last().controls = {{"cmdOK", 1920, 2640, 1310, 345, "OK", 0}};
    return t;
}

// The text a control shows, in the table's terms.
QString CaptionOf(QWidget* w) {
    QStringList parts;
    if (auto* c = qobject_cast<QComboBox*>(w))
        for (int i = 0; i < c->count(); ++i)
            parts.append(c->itemText(i));
    else if (auto* g = qobject_cast<SpreadGrid*>(w))
        for (int col = 0; col < g->columnCount(); ++col)
            parts.append(g->horizontalHeaderItem(col)->text());
    else // a frame's title, a button's or a label's text
        return w->property(qobject_cast<QGroupBox*>(w) ? "title" : "text").toString();
    return parts.join(u'|');
}

} // namespace

class TestScreens : public QObject {
    Q_OBJECT
    std::optional<OpenAppFolder> app_;

private slots:
    void init() {
        app_.emplace();
        app_->AddTemplate("1");
        app_->AddPage("1", "1", "1", 0, 1);
        CurrentTemplateId = QStringLiteral("1");
    }
    void cleanup() { CloseAllScreens(); }
    void screenMatchesItsTable_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; const ScreenTable& table : Tables())
            QTest::addRow("%s %d", qPrintable(table.title), table.client.width()) << i++;
    }

    // Once first activated, each screen matches its table; Tab goes round from the first focus.
    void screenMatchesItsTable() {
        QFETCH(int, index);
        const ScreenTable table = Tables()[index];
        Form* screen = table.make();
        screen->Load();
        screen->show();
        QVERIFY(QTest::qWaitForWindowActive(screen));
        QTest::qWait(20); // the queued activation
        QCOMPARE(screen->windowTitle(), table.title);
        if (table.client.isEmpty())
            QCOMPARE(screen->frameGeometry(), screen->screen()->geometry());
        else // of fixed size
            for (const QSize size : {screen->minimumSize(), screen->maximumSize()})
                QCOMPARE(size, TwipsSize(table.client.width(), table.client.height()));
        QMap<int, QString> tabs;
        for (const Control& c : table.controls) {
            auto* w = screen->findChild<QWidget*>(QString(c.path).section(u'/', -1));
            QVERIFY2(w, c.path);
            const QWidget* up = w->parentWidget();
            QCOMPARE((up == screen ? "" : up->objectName() + '/') + w->objectName(), c.path);
            const QSize size(c.width == None ? 0 : w->width(), c.height == None ? 0 : w->height());
            QCOMPARE(QRect(w->pos(), size),
                     TwipsRect(c.left, c.top, qMax(0, c.width), qMax(0, c.height)));
            if (!c.caption.isNull())
                QCOMPARE(CaptionOf(w), c.caption);
            QCOMPARE(QFontInfo(w->font()).family(), QString("IPAPGothic")); // ＭＳ Ｐゴシック
            if (auto* box = qobject_cast<QLineEdit*>(w))
                QCOMPARE((box->alignment() & Qt::AlignRight ? NumberBox : 0) |
                             (box->testAttribute(Qt::WA_InputMethodEnabled) ? TextBox : 0),
                         c.flags);
            if (c.tab >= 0 && (w->focusPolicy() & Qt::TabFocus)) // a frame keeps its tab index only
                tabs.insert(c.tab, w->objectName());
        }
        QWidget* first = screen->focusWidget();
        QStringList chain{first->objectName()};
        for (QWidget* w = first->nextInFocusChain(); w != first; w = w->nextInFocusChain())
            if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(screen))
                chain.append(w->objectName());
        QCOMPARE(chain, tabs.values());
        // Enter (keypad too, held once) presses the focused button or the default; Esc the cancel.
        QStringList pressed;
        for (QPushButton* b : screen->findChildren<QPushButton*>()) {
            disconnect(b, &QAbstractButton::clicked, nullptr, nullptr);
            connect(b, &QAbstractButton::clicked, this, [&, b] { pressed << b->objectName(); });
        }
        const QString byDefault = qobject_cast<FrmAbout*>(screen) ? "cmdOK" : "";
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
        for (const QString& name : chain) {
            auto* w = screen->findChild<QWidget*>(name);
            w->setFocus(Qt::TabFocusReason);
            QTest::keyClick(w, Qt::Key_Return);
            QTest::keyClick(w, Qt::Key_Enter, Qt::KeypadModifier);
            QApplication::sendEvent(w, &repeat);
            QTest::keyClick(w, Qt::Key_Escape);
            const QString enter = qobject_cast<QPushButton*>(w) ? name : byDefault;
            QCOMPARE(std::exchange(pressed, {}).join(u' '),
                     QString("%1 %1 %2").arg(enter, byDefault).trimmed());
        }
    }

    // The splash takes no input, neither a key nor a close request; the face names resolve.
    void splashKeysAndFaces() {
        FrmSplash splash;
        splash.Load();
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        QTest::keyClick(&splash, Qt::Key_Escape);
        splash.close();
        QCoreApplication::processEvents();
        QVERIFY(splash.isVisible());
        QCOMPARE(QFontInfo(QFont(QStringLiteral("ＭＳ Ｐ明朝"))).family(), QString("IPAPMincho"));
    }
};

QTEST_MAIN(TestScreens)
#include "tst_screens.moc"
