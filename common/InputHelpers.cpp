#include "common/InputHelpers.h"

#include "common/ErrorTrap.h"
#include "common/Form.h"
#include "common/Messages.h"
#include "common/Numbers.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>

QString FieldRule(const QString& field, const QString& allowed) {
    return field + QStringLiteral(": ") + allowed;
}

QString NumberAllowed(const QString& example) {
    return QStringLiteral("数値（例 %1）").arg(example);
}

void RefuseInput(QLineEdit* box, const QString& rule) {
    QPointer<QLineEdit> guard(box);
    RunRefusal([guard, rule] {
        Trap(Msg::GeneralFailure, [&] {
            ShowMessage(QString(), QString(), Msg::BadInput, rule);
            if (guard)
                guard->setFocus(Qt::OtherFocusReason);
        });
    });
}

bool CheckNumericInput(QLineEdit* box, const QString& rule) {
    if (box->text().isEmpty()) {
        box->setText(QStringLiteral("0"));
        return true;
    }
    if (IsNumber(box->text()))
        return true;
    RefuseInput(box, rule);
    return false;
}

void SelectAllText(QLineEdit* box) {
    box->setSelection(0, int(box->text().size()));
}

void CenterForm(QWidget* form) {
    QScreen* screen = form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen->geometry();
    const QSize outer = form->frameGeometry().size();
    const double top = area.height() / 2.0 - outer.height() / 2.0;
    const double left = area.width() / 2.0 - outer.width() / 2.0;
    form->move(area.left() + qRound(left), area.top() + qRound(top));
}
