#include "common/Form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace {

int focusLossDepth = 0;

// Drops mouse presses, releases and double clicks until the refusal has run,
// so the click that took the focus away from a refused box does nothing.
class ClickSwallower : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return true;
        default:
            return false;
        }
    }
};

} // namespace

void RunRefusal(std::function<void()> refusal) {
    if (focusLossDepth == 0) {
        refusal();
        return;
    }
    auto* swallower = new ClickSwallower;
    qApp->installEventFilter(swallower);
    QTimer::singleShot(0, qApp, [swallower, refusal = std::move(refusal)] {
        // The click that moved the focus ends before the refusal is shown.
        qApp->removeEventFilter(swallower);
        delete swallower;
        refusal();
    });
}

Form::Form(QWidget* parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void Form::Load() {
    if (loaded_)
        return;
    loaded_ = true;
    Form_Load();
}

void Form::Activate() {
    Form_Activate();
}

void Form::ExecModal(Form* screen) {
    QPointer<Form> guard(screen);
    screen->setWindowModality(Qt::ApplicationModal);
    screen->exec();
    delete guard.data();
    Activate();
}

void Form::Unload() {
    unloading_ = true;
    close();
    // A modal screen is released by its opener once exec() returns; any other
    // screen releases itself.
    if (!testAttribute(Qt::WA_ShowModal))
        deleteLater();
}

void Form::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Load();
    if (!shownOnce_) {
        shownOnce_ = true;
        // A queued call, so the screen is on view before its activation runs.
        QMetaObject::invokeMethod(this, &Form::Activate, Qt::QueuedConnection);
    }
}

bool Form::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && shownOnce_ && !activatedOnce_) {
        // The window system hands the focus to a control right after this
        // event, with the same reason as when the user comes back from another
        // window; only this first time is it the screen's opening focus.
        activatedOnce_ = true;
        openingFocus_ = true;
        QMetaObject::invokeMethod(
            this, [this] { openingFocus_ = false; }, Qt::QueuedConnection);
    }
    return QDialog::event(event);
}

void Form::closeEvent(QCloseEvent* event) {
    if (unloading_) {
        event->accept();
        // Ends exec() of a modal screen.
        done(QDialog::Accepted);
        return;
    }
    // The close box: the screen's own back or end button decides.
    event->ignore();
    QMetaObject::invokeMethod(
        this, [this] { CloseBox_Click(); }, Qt::QueuedConnection);
}

void Form::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Escape) {
        if (cancelButton_ && cancelButton_->isEnabled())
            cancelButton_->click();
        event->accept();
        return;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        if (defaultButton_ && defaultButton_->isEnabled())
            defaultButton_->click();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Form::WatchFocus(QWidget* control, std::function<void()> gained, std::function<void()> lost) {
    watches_.insert(control, Watch{std::move(gained), std::move(lost)});
    control->installEventFilter(this);
}

bool Form::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        const auto it = watches_.constFind(watched);
        if (it != watches_.constEnd()) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            // A message box or a window switch taking the focus is no focus event.
            // The first focus a screen gives when it opens does count.
            const bool opening = openingFocus_ && event->type() == QEvent::FocusIn &&
                                 reason == Qt::ActiveWindowFocusReason;
            const bool betweenControls = opening || (reason != Qt::ActiveWindowFocusReason &&
                                                     reason != Qt::PopupFocusReason);
            if (betweenControls && event->type() == QEvent::FocusIn && it->gained) {
                it->gained();
            } else if (betweenControls && event->type() == QEvent::FocusOut && it->lost &&
                       isVisible() && !unloading_) {
                ++focusLossDepth;
                const auto lost = it->lost;
                lost();
                --focusLossDepth;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}
