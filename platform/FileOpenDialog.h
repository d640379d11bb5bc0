// The file open dialog: Qt's own dialog (never the desktop's native one), set
// up by a title, an initial file name, one name filter and a default extension.
// It keeps the chosen file name from one showing to the next; a cancel leaves
// the name as it was.
#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

struct FileOpenRequest {
    QString title;
    // The name the dialog starts with: the initial name, or the last chosen file.
    QString fileName;
    // One Qt name filter, "description (*.a *.b)": the dialog shows the
    // description alone and lists the files the patterns match.
    QString filter;
    // Given to a chosen name that has no extension, without the point.
    QString defaultExt;
};

class FileOpenDialog {
public:
    QString DialogTitle;
    QString FileName;
    QString Filter;
    QString DefaultExt;

    // Shows the dialog modally over `parent`. On a choice, FileName becomes the
    // chosen file's path (with DefaultExt added when it has no extension) and
    // the result is true; on a cancel FileName is unchanged and it is false.
    bool ShowOpen(QWidget* parent);
};

// Tests install a responder that sees the request and answers for the user:
// a file name as typed or chosen, or nullopt for a cancel. An empty function
// restores the real dialog.
using FileOpenResponder = std::function<std::optional<QString>(const FileOpenRequest&)>;
void SetFileOpenResponder(FileOpenResponder responder);
