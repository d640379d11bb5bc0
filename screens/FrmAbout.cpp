#include "screens/FrmAbout.h"

#include "common/Controls.h"
#include "common/ErrorTrap.h"
#include "common/Globals.h"
#include "common/InputHelpers.h"
#include "common/Messages.h"
#include "common/Twips.h"

#include <QLabel>
#include <QPushButton>

namespace {

// A carriage return in a label is a line break on screen.
QString Shown(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    return text;
}

} // namespace

// The pictures live in the program library; naming their initialiser here
// links them in wherever a screen uses them.
static void InitPictures() {
    Q_INIT_RESOURCE(vesk);
}

QString VersionText(int major, int minor) {
    return QStringLiteral("ﾊﾞｰｼﾞｮﾝ ") + QString::number(major) + u'.' + QString::number(minor);
}

QString VersionText() {
    return VersionText(AppMajor(), AppMinor());
}

QString UsageNote() {
    const QChar cr(13);
    return QStringLiteral("使用上の注意") + cr + cr +
           QStringLiteral("プリンタにより多少のずれが発生しますので") + cr +
           QStringLiteral("誤差を調整して使用して下さい。");
}

QIcon ProgramIcon() {
    static const bool initialised = (InitPictures(), true);
    Q_UNUSED(initialised);
    return QIcon(QStringLiteral(":/vesk/icon.png"));
}

FrmAbout::FrmAbout(QWidget* parent) : Form(parent) {
    setWindowTitle(QStringLiteral("バージョン情報"));
    setFixedSize(TwipsSize(5250, 3285));

    // cmdOK is first in the tab order and the only control taking the focus.
    cmdOK = MakeButton(this, "cmdOK", QStringLiteral("OK"), QRect(1920, 2640, 1310, 345));

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setGeometry(TwipsRect(240, 120, 540, 540));
    picIcon->setAlignment(Qt::AlignCenter);
    picIcon->setPixmap(ProgramIcon().pixmap(QSize(32, 32)));

    lblTitle = new QLabel(QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝ ﾀｲﾄﾙ"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setGeometry(TwipsRect(1050, 240, 3765, 480));
    lblTitle->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    lblVersion = new QLabel(QStringLiteral("ﾊﾞｰｼﾞｮﾝ"), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setGeometry(TwipsRect(1050, 780, 3765, 225));
    lblVersion->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    lblDescription = new QLabel(QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝの説明"), this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setGeometry(TwipsRect(1050, 1125, 3885, 1290));
    lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    SetDefaultButton(cmdOK);
    SetCancelButton(cmdOK);
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
}

void FrmAbout::Form_Load() {
    Trap(Msg::GeneralFailure, [&] {
        setWindowTitle(AppTitle() + QStringLiteral("のバージョン情報"));
        lblTitle->setText(AppTitle());
        lblVersion->setText(VersionText());
        lblDescription->setText(Shown(UsageNote()));
    });
}

void FrmAbout::Form_Activate() {
    Trap(Msg::GeneralFailure, [&] { CenterForm(this); });
}

void FrmAbout::cmdOK_Click() {
    Trap(Msg::GeneralFailure, [&] { Unload(); });
}
