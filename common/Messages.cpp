#include "common/Messages.h"

#include "common/Globals.h"
#include "common/TextUnits.h"
#include "platform/MessageBox.h"

qint16 ShowMessage(const QString& prefix, const QString& suffix, const QString& coded) {
    const QChar buttonDigit = coded.size() > 0 ? coded[0] : QChar(u'0');
    const QChar defaultDigit = coded.size() > 2 ? coded[2] : QChar(u'0');
    int buttons = 0;
    if (buttonDigit >= u'0' && buttonDigit <= u'5')
        buttons = buttonDigit.unicode() - u'0';
    int defaultButton = 0;
    if (defaultDigit >= u'0' && defaultDigit <= u'3')
        defaultButton = (defaultDigit.unicode() - u'0') * 256;
    const int style = buttons + defaultButton + 4096;

    const QString text = prefix + LeftCharacters(coded.mid(3), 100) + QChar(13) + suffix;
    return qint16(MsgBox(text, style, AppTitle()));
}
