#include "platform/FileOpenDialog.h"

#include "platform/QtFileDialog.h"

#include <QFileInfo>

namespace {

FileOpenResponder& responder() {
    static FileOpenResponder r;
    return r;
}

std::optional<QString> runDialog(const FileOpenRequest& request, QWidget* parent) {
    // Only the filter's description shows, not its patterns.
    return RunQtFileDialog({request.title,
                            request.fileName,
                            request.filter,
                            QFileDialog::AcceptOpen,
                            QFileDialog::HideNameFilterDetails,
                            {}},
                           parent);
}

} // namespace

void SetFileOpenResponder(FileOpenResponder r) {
    responder() = std::move(r);
}

bool FileOpenDialog::ShowOpen(QWidget* parent) {
    const FileOpenRequest request{DialogTitle, FileName, Filter, DefaultExt};
    const std::optional<QString> chosen =
        responder() ? responder()(request) : runDialog(request, parent);
    if (!chosen)
        return false;
    QString name = *chosen;
    if (!DefaultExt.isEmpty() && !QFileInfo(name).fileName().contains(u'.'))
        name += u'.' + DefaultExt;
    FileName = name;
    return true;
}
