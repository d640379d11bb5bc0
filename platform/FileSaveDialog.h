// The file save dialog: Qt's own dialog (never the desktop's native one), set
// up by a title, a suggested file name, one filter and an extension that a
// chosen name is given when it does not end with it. An existing file is
// replaced only after the dialog has asked.
#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

struct FileSaveRequest {
    QString title;
    // The name (a path, or a bare name in the dialog's starting folder) the
    // dialog starts with.
    QString fileName;
    // One Qt name filter: "PDF (*.pdf)".
    QString filter;
    // Without the point.
    QString extension;
};

class FileSaveDialog {
public:
    QString DialogTitle;
    QString FileName;
    // A Qt name filter: "PDF (*.pdf)".
    QString Filter;
    QString Extension;

    // Shows the dialog modally over `parent`. On a choice, FileName becomes
    // the chosen path, with "." + Extension added unless it already ends so
    // (in any case), and the result is true; on a cancel it is false.
    bool ShowSave(QWidget* parent);
};

// Tests install a responder that sees the request and answers for the user:
// a path as typed or chosen, or nullopt for a cancel. An empty function
// restores the real dialog.
using FileSaveResponder = std::function<std::optional<QString>(const FileSaveRequest&)>;
void SetFileSaveResponder(FileSaveResponder responder);
