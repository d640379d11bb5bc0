#include "screens/FrmSplash.h"

#include "common/ErrorTrap.h"
#include "common/Messages.h"
#include "common/Twips.h"
#include "screens/FrmAbout.h"

#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

namespace {

QFont GothicFont(double points) {
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPointSizeF(points);
    return font;
}

// The two labels of the lower right corner keep their right edge and grow to
// the left (and downwards) when their text needs more room than laid out.
void FitFromRight(QLabel* label) {
    const QSize need = label->sizeHint();
    QRect r = label->geometry();
    if (need.width() > r.width())
        r.setLeft(r.right() + 1 - need.width());
    if (need.height() > r.height())
        r.setHeight(need.height());
    label->setGeometry(r);
}

} // namespace

FrmSplash::FrmSplash(QWidget* parent) : Form(parent) {
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(TwipsSize(7695, 5640));

    Image = new QLabel(this);
    Image->setObjectName(QStringLiteral("Image"));
    Image->setGeometry(TwipsRect(120, 120, 7500, 4500));
    Image->setScaledContents(true);
    ProgramIcon(); // the pictures' resources
    Image->setPixmap(QPixmap(QStringLiteral(":/vesk/splash.gif")));

    lblPlatform =
        new QLabel(QStringLiteral("ﾌﾟﾗｯﾄﾎｰﾑ ") + QStringLiteral(VESK_PLATFORM_NAME), this);
    lblPlatform->setObjectName(QStringLiteral("lblPlatform"));
    lblPlatform->setFont(GothicFont(15.75));
    lblPlatform->setGeometry(TwipsRect(4050, 4740, 3480, 315));
    lblPlatform->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    FitFromRight(lblPlatform);

    lblVersion = new QLabel(QStringLiteral("ﾊﾞｰｼﾞｮﾝ"), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setFont(GothicFont(12));
    lblVersion->setGeometry(TwipsRect(6720, 5160, 795, 240));
    lblVersion->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    FitFromRight(lblVersion);

    // The program never centres the splash; it simply opens in the middle of
    // the display.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
}

void FrmSplash::Form_Load() {
    Trap(Msg::GeneralFailure, [&] {
        lblVersion->setText(VersionText());
        FitFromRight(lblVersion);
    });
}
