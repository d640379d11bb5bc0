#include "common/Messages.h"

#include "common/Globals.h"
#include "common/TextUnits.h"
#include "platform/MessageBox.h"

#include <QList>

namespace {

using Button = QMessageBox::StandardButton;

// The buttons a coded message's first digit chooses, in the order its third
// digit counts them.
QList<Button> ButtonsOf(QChar digit) {
    using B = QMessageBox;
    switch (digit.unicode()) {
    case u'1':
        return {B::Ok, B::Cancel};
    case u'2':
        return {B::Abort, B::Retry, B::Ignore};
    case u'3':
        return {B::Yes, B::No, B::Cancel};
    case u'4':
        return {B::Yes, B::No};
    case u'5':
        return {B::Retry, B::Cancel};
    default:
        return {B::Ok};
    }
}

qint16 AnswerOf(Button button) {
    switch (button) {
    case QMessageBox::Cancel:
        return IdCancel;
    case QMessageBox::Abort:
        return IdAbort;
    case QMessageBox::Retry:
        return IdRetry;
    case QMessageBox::Ignore:
        return IdIgnore;
    case QMessageBox::Yes:
        return IdYes;
    case QMessageBox::No:
        return IdNo;
    default:
        return IdOk;
    }
}

} // namespace

qint16 ShowMessage(const QString& prefix, const QString& suffix, const QString& coded,
                   const QString& detail) {
    const QList<Button> order = ButtonsOf(coded.size() > 0 ? coded[0] : QChar());
    const QChar defaultDigit = coded.size() > 2 ? coded[2] : QChar();
    const int defaultIndex =
        defaultDigit >= u'0' && defaultDigit <= u'9' ? defaultDigit.unicode() - u'0' : 0;

    MessageBoxRequest request;
    request.text = prefix + LeftCharacters(coded.mid(3), 100) + QChar(13) + suffix;
    request.title = AppTitle();
    request.buttons = {};
    for (Button b : order)
        request.buttons |= b;
    request.defaultButton = order.value(defaultIndex, order.first());
    request.icon = QMessageBox::NoIcon; // whatever kind the second digit names
    request.detail = detail;
    return AnswerOf(MsgBox(request));
}
