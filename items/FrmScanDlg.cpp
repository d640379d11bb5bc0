#include "items/FrmScanDlg.h"

#include "common/Controls.h"
#include "common/ErrorTrap.h"
#include "common/Globals.h"
#include "common/InputHelpers.h"
#include "common/Messages.h"
#include "common/Numbers.h"
#include "common/Twips.h"
#include "layout/Alignments.h"
#include "layout/LayoutStore.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int LabelLeft = 480;
constexpr int FieldLeft = 1920;
constexpr int BoxHeight = 270;

QLabel* Caption(QWidget* parent, const char* name, const QString& text, int top, int width) {
    return MakeLabel(parent, name, text, QRect(LabelLeft, top, width, BoxHeight));
}

QLineEdit* NumberBox(QWidget* parent, const char* name, int top, int width) {
    return MakeNumberBox(parent, name, QRect(FieldLeft, top, width, BoxHeight));
}

QPushButton* Button(QWidget* parent, const char* name, const QString& text, int top) {
    return MakeButton(parent, name, text, QRect(4200, top, 1000, 375));
}

} // namespace

FrmScanDlg::FrmScanDlg(const QString& pageId, const Selection& selection, QWidget* parent)
    : Form(parent), pageId_(pageId), selection_(selection) {
    setWindowTitle(QStringLiteral("イメージ登録詳細"));
    setFixedSize(TwipsSize(5955, 3375));

    LblMoji = Caption(this, "LblMoji", QStringLiteral("文字"), 240, 700);
    LblLeft = Caption(this, "LblLeft", QStringLiteral("左端"), 720, 1400);
    LblRight = Caption(this, "LblRight", QStringLiteral("右端"), 1080, 1400);
    LblTop = Caption(this, "LblTop", QStringLiteral("上端"), 1440, 1400);
    LblFont = Caption(this, "LblFont", QStringLiteral("フォント"), 1800, 1400);
    LblCol = Caption(this, "LblCol", QStringLiteral("１行の文字数"), 2160, 1400);
    LblRow = Caption(this, "LblRow", QStringLiteral("行数"), 2520, 1400);
    LblAlign = Caption(this, "LblAlign", QStringLiteral("文字の位置"), 2880, 1400);

    // The item text keeps the input method on, for Japanese.
    TxtMoji = MakeTextBox(this, "TxtMoji", QRect(1200, 240, 4455, BoxHeight));
    TxtLeft = NumberBox(this, "TxtLeft", 720, 1500);
    TxtRight = NumberBox(this, "TxtRight", 1080, 1500);
    TxtTop = NumberBox(this, "TxtTop", 1440, 1500);
    TxtFont = NumberBox(this, "TxtFont", 1800, 855);
    TxtCol = NumberBox(this, "TxtCol", 2160, 855);
    TxtRow = NumberBox(this, "TxtRow", 2520, 855);
    CmbAlign = new QComboBox(this);
    CmbAlign->setObjectName(QStringLiteral("CmbAlign"));
    CmbAlign->setGeometry(TwipsRect(FieldLeft, 2880, 1335, 300));
    CmbAlign->addItems(Alignments::Items);
    CmdOK = Button(this, "CmdOK", QStringLiteral("ＯＫ"), 1680);
    CmdCancel = Button(this, "CmdCancel", QStringLiteral("ＣＡＮＣＥＬ"), 2280);

    for (auto [label, field] : {std::pair<QLabel*, QWidget*>{LblMoji, TxtMoji},
                                {LblLeft, TxtLeft},
                                {LblRight, TxtRight},
                                {LblTop, TxtTop},
                                {LblFont, TxtFont},
                                {LblCol, TxtCol},
                                {LblRow, TxtRow},
                                {LblAlign, CmbAlign}})
        label->setBuddy(field);

    // OK first, so it has the focus when the dialog opens; the fields follow
    // from the bottom up.
    QWidget* const order[] = {CmdOK,   CmdCancel, CmbAlign, TxtRow,  TxtCol,
                              TxtFont, TxtTop,    TxtRight, TxtLeft, TxtMoji};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    CmdOK->setFocus(Qt::OtherFocusReason);

    connect(CmdOK, &QPushButton::clicked, this, [this] { CmdOK_Click(); });
    connect(CmdCancel, &QPushButton::clicked, this, [this] { CmdCancel_Click(); });
}

void FrmScanDlg::Form_Load() {
    Trap(Msg::GeneralFailure, [&] {
        TxtMoji->setText(QStringLiteral("新規項目"));
        TxtLeft->setText(DoubleToText(selection_.left));
        TxtRight->setText(DoubleToText(selection_.right));
        TxtTop->setText(DoubleToText(selection_.top));
        TxtFont->setText(DoubleToText(DefaultFontSize));
        TxtCol->setText(QString::number(DefaultColCount));
        TxtRow->setText(QString::number(DefaultRowCount));
        // A value wider than its box shows from its first digit.
        for (QLineEdit* box : {TxtLeft, TxtRight, TxtTop, TxtFont})
            box->setCursorPosition(0);
        // -1 chooses no entry, as a list with nothing chosen gives -1.
        Alignments::Choose(CmbAlign, DefaultAlign);
    });
}

void FrmScanDlg::Form_Activate() {
    Trap(Msg::GeneralFailure, [&] { CenterForm(this); });
}

void FrmScanDlg::CmdOK_Click() {
    Trap(Msg::GeneralFailure, [&] {
        using T = TextItemTexts;
        TextItemTexts item;
        item.text = TxtMoji->text();
        item.numbers[T::Size] = TxtFont->text();
        item.numbers[T::Left] = TxtLeft->text();
        item.numbers[T::Right] = TxtRight->text();
        item.numbers[T::Top] = TxtTop->text();
        item.numbers[T::ColCount] = TxtCol->text();
        item.numbers[T::RowCount] = TxtRow->text();
        item.align = qint16(CmbAlign->currentIndex());
        // A number box that holds no plain number fails here, naming the box,
        // before anything is stored; the dialog stays open with what was typed.
        const struct {
            const QLabel* label;
            const QLineEdit* box;
            const char* example;
        } numbers[] = {{LblLeft, TxtLeft, "25.5"}, {LblRight, TxtRight, "120"},
                       {LblTop, TxtTop, "40"},     {LblFont, TxtFont, "10.5"},
                       {LblCol, TxtCol, "20"},     {LblRow, TxtRow, "1"}};
        for (const auto& n : numbers) {
            if (!IsNumber(n.box->text()))
                throw ConversionError(
                    FieldRule(n.label->text(), NumberAllowed(QString::fromLatin1(n.example)))
                        .toStdString());
        }
        const QString id = Layout().InsertItem(pageId_, item);
        Unload();
        // The grid underneath shows the new item below its last filled row;
        // the rows the user typed or changed stay as they are, unsaved.
        if (ItemStored)
            ItemStored(id);
    });
}

void FrmScanDlg::CmdCancel_Click() {
    Trap(Msg::GeneralFailure, [&] { Unload(); });
}
