// The base of every screen. It raises the screen events the handlers are
// written for, which are narrower than Qt's window and focus events:
//  - loading: once, before the screen is first shown (or when loaded hidden);
//  - activation: the screen was just shown, or a modal screen it opened with
//    ExecModal() closed. Never because a message box closed or the user came
//    back from another application;
//  - gaining and losing focus between controls of the screen (WatchFocus);
//  - the close box does what the screen's back or end button does.
// No screen reacts to Enter or Esc by itself unless it names a default or a
// cancel button; Enter on a push button that has the focus presses it, as
// Space does.
// A screen with a modal screen open above it (ExecModal) is neither closed nor
// deleted until that screen returns: its frames are still on the stack.
#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>

class QPushButton;

class Form : public QDialog {
    Q_OBJECT
public:
    explicit Form(QWidget* parent = nullptr);

    // Raises the loading event if it has not been raised yet.
    void Load();
    // Shows `screen` modally, deletes it when it closes, then raises this
    // screen's activation; or, when this screen was unloaded or deleted while
    // `screen` was open, carries that out now instead.
    void ExecModal(Form* screen);
    // Raises the activation event now.
    void Activate();

protected:
    virtual void Form_Load() {}
    virtual void Form_Activate() {}
    // What the close box does; by default it unloads the screen.
    virtual void CloseBox_Click() { Unload(); }

    // Calls gained/lost when the focus moves between controls of this screen
    // (keyboard, mouse or the program), including the first focus on opening.
    void WatchFocus(QWidget* control, std::function<void()> gained, std::function<void()> lost);
    // The buttons that Enter and Esc press; none unless set.
    void SetDefaultButton(QPushButton* button) { defaultButton_ = button; }
    void SetCancelButton(QPushButton* button) { cancelButton_ = button; }
    // Closes the screen for good: the close box's handler is not asked again.
    // With a modal screen open above it, that happens when the modal screen
    // returns.
    void Unload();

    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    void reject() override {}

private:
    void RaiseGained(QWidget* control);
    void RaiseLost(QWidget* control);
    // Raises what the focus did while another window was active.
    void CatchUpFocus();

    struct Watch {
        std::function<void()> gained;
        std::function<void()> lost;
    };
    QHash<QObject*, Watch> watches_;
    bool loaded_ = false;
    bool shownOnce_ = false;
    // The watched control whose gaining of the focus was raised last, until
    // its losing is raised.
    QPointer<QWidget> focusReported_;
    bool unloading_ = false;
    // Modal screens open above this one, and what waits for them to return.
    int modalDepth_ = 0;
    bool unloadWaiting_ = false;
    bool deleteWaiting_ = false;
    QPushButton* defaultButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};

// Runs `refusal` (a message and a focus change back) for input refused while
// a control loses the focus: from a queued call, with the mouse click that
// moved the focus dropped. Outside a focus change it runs at once.
void RunRefusal(std::function<void()> refusal);
