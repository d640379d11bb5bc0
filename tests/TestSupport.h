// Shared fixtures of the test suites: a temporary application folder holding
// the delivered files, the layout database opened on it, and a recorder of
// the messages the program would show.
#pragma once

#include <QApplication>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>
#include <memory>

#include "platform/MessageBox.h"

// Every suite starts with a guard in the real message box's place: a box that
// no MessageRecorder is there to answer fails the running test and is answered
// with its escape answer (Cancel, No or OK; else its default button), so no
// test waits for a user.

// Records every message box request and answers with `answer` (or with the
// answers queued in `answers`, first to last). Recorders nest: the one made
// last answers, and its end gives the answering back to the one before (or to
// the guard).
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;
    QList<MessageBoxRequest> shown;
    QList<QMessageBox::StandardButton> answers;
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    QStringList texts() const;
    // Called after recording, before answering (to look at the screen then).
    std::function<void(const MessageBoxRequest&)> onShow;

private:
    MessageBoxResponder previous_;
};

// A temporary application folder with the delivered data.vsk and vesk.ini.
class AppFolderFixture {
public:
    explicit AppFolderFixture(bool withDatabase = true, bool withSettings = true);
    ~AppFolderFixture();
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const;
    // Opens data.vsk as start-up does, with forms.vsk attached (made when
    // missing), and sets the layout globals.
    void OpenLayoutDatabase();
    void CloseLayoutDatabase();
    // Runs statements on the open layout database.
    void Exec(const QString& sql);
    qlonglong Scalar(const QString& sql);
    // Rows written straight into the tables, to set up a case: numbers are
    // pasted as given, texts quoted.
    void AddTemplate(const QString& id);
    void NameTemplate(const QString& name, const QString& id);
    void AddPage(const QString& id, const QString& templateId, const QString& pageNo, int direction,
                 int size);
    void AddItem(const QString& id, const QString& pageId, const QString& text, const QString& size,
                 const QString& left, const QString& right, const QString& top,
                 const QString& colCount, const QString& rowCount, int align);
    // The stored values of `columns` in each row `sql` returns, first to last.
    QList<QVariantList> Rows(const QString& sql, const QStringList& columns);

private:
    QTemporaryDir dir_;
};

// An application folder whose layout database is open, as after start-up.
class OpenAppFolder : public AppFolderFixture {
public:
    OpenAppFolder() { OpenLayoutDatabase(); }
};

// Copies the built program into `folder` (a separate process's application
// folder) and returns its path.
QString CopyProgramInto(const QString& folder);
// Runs the `sqlcipher` shell on `file` with `sql` on its input; returns
// standard output and error joined, and sets `exitCode`.
QString RunSqlcipherShell(const QString& file, const QString& sql, int* exitCode);

// The visible top-level screen of type T (nullptr when none).
template <class T> T* VisibleScreen() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<T*>(w); s && s->isVisible())
            return s;
    return nullptr;
}
// Keys as the user types them: to the widget with the focus (a grid's open
// editor, an open drop-down). TypeText sends one key event per character,
// carrying its text as a keyboard or an input method does.
void PressKey(Qt::Key key);
void TypeText(const QString& text);
// A file's bytes (empty when it cannot be read), and writing them anew.
QByteArray ReadBytes(const QString& path);
void WriteBytes(const QString& path, const QByteArray& bytes);
// Deletes every top-level window a test left open.
void CloseAllScreens();

QString DeliveredSettings();
