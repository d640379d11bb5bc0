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
    ++modalDepth_;
    screen->exec();
    --modalDepth_;
    delete guard.data();
    if (modalDepth_ > 0)
        return;
    // This screen was closed or deleted while the modal screen was up (a
    // program ending, an assistive tool pressing a button of a blocked
    // screen): that happens now, and it is not activated again.
    if (deleteWaiting_) {
        deleteLater();
        return;
    }
    if (unloadWaiting_) {
        unloadWaiting_ = false;
        Unload();
        return;
    }
    // The opener is the program's active screen again, also where no window
    // manager hands the activation back.
    activateWindow();
    Activate();
}

void Form::Unload() {
    if (modalDepth_ > 0) {
        unloadWaiting_ = true;
        return;
    }
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
    if (event->type() == QEvent::DeferredDelete && modalDepth_ > 0) {
        // Deleted once the modal screen above it has returned (ExecModal).
        deleteWaiting_ = true;
        return true;
    }
    if (event->type() == QEvent::WindowActivate && shownOnce_) {
        // The window system gives the focus back right after this event, with
        // the same reason whether the screen has just opened or the user comes
        // back from another window; see then whether it moved meanwhile.
        QMetaObject::invokeMethod(
            this, [this] { CatchUpFocus(); }, Qt::QueuedConnection);
    }
    return QDialog::event(event);
}

void Form::RaiseGained(QWidget* control) {
    const auto it = watches_.constFind(control);
    if (it == watches_.constEnd())
        return;
    focusReported_ = control;
    if (it->gained)
        it->gained();
}

void Form::RaiseLost(QWidget* control) {
    if (focusReported_ == control)
        focusReported_ = nullptr;
    const auto it = watches_.constFind(control);
    if (it == watches_.constEnd() || !it->lost || !isVisible() || unloading_)
        return;
    ++focusLossDepth;
    const auto lost = it->lost;
    lost();
    --focusLossDepth;
}

void Form::CatchUpFocus() {
    if (!isActiveWindow() || unloading_)
        return;
    QWidget* now = focusWidget();
    if (now == focusReported_.data())
        return;
    // The focus reached a control while another window was active: the first
    // focus of a screen that has just opened, or a focus the program moved
    // while a message box was up. Both are moves between controls.
    if (focusReported_)
        RaiseLost(focusReported_);
    if (now && focusWidget() == now)
        RaiseGained(now);
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
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        event->accept();
        // A held key presses once.
        if (event->isAutoRepeat())
            return;
        // A push button with the focus ignores Enter (none is auto-default),
        // so it arrives here; a text box, a list or the grid either use it or
        // press the default button, if the screen has one.
        auto* focused = qobject_cast<QPushButton*>(focusWidget());
        QPushButton* pressed = focused && isAncestorOf(focused) ? focused : defaultButton_;
        if (pressed && pressed->isEnabled())
            pressed->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Form::WatchFocus(QWidget* control, std::function<void()> gained, std::function<void()> lost) {
    watches_.insert(control, Watch{std::move(gained), std::move(lost)});
    control->installEventFilter(this);
}

bool Form::eventFilter(QObject* watched, QEvent* event) {
    if ((event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) &&
        watches_.contains(watched)) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        auto* control = static_cast<QWidget*>(watched);
        // A message box or a window switch taking the focus away and giving it
        // back is no focus event; CatchUpFocus() sees to a focus that moved
        // between controls meanwhile.
        const bool windowSwitch =
            reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
        if (event->type() == QEvent::FocusIn) {
            if (!windowSwitch)
                RaiseGained(control);
            else if (control != focusReported_.data())
                CatchUpFocus();
        } else if (!windowSwitch) {
            RaiseLost(control);
        }
    }
    return QDialog::eventFilter(watched, event);
}
