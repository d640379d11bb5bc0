#include "common/Controls.h"

#include "common/Twips.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
template <class W> W* place(W* widget, const char* name, const QRect& twips) {
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(TwipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    return widget;
}
} // namespace

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QRect& twips) {
    auto* button = place(new QPushButton(caption, parent), name, twips);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QRect& twips) {
    return place(new QLabel(text, parent), name, twips);
}

QLineEdit* MakeTextBox(QWidget* parent, const char* name, const QRect& twips) {
    return place(new QLineEdit(parent), name, twips);
}

QLineEdit* MakeNumberBox(QWidget* parent, const char* name, const QRect& twips) {
    auto* box = MakeTextBox(parent, name, twips);
    box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    box->setAttribute(Qt::WA_InputMethodEnabled, false);
    return box;
}

QGroupBox* MakeFrame(QWidget* parent, const char* name, const QString& title, const QRect& twips) {
    return place(new QGroupBox(title, parent), name, twips);
}
