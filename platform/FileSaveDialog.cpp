#include "platform/FileSaveDialog.h"

#include "platform/QtFileDialog.h"

namespace {

FileSaveResponder& responder() {
    static FileSaveResponder r;
    return r;
}

std::optional<QString> runDialog(const FileSaveRequest& request, QWidget* parent) {
    return RunQtFileDialog({request.title,
                            request.fileName,
                            request.filter,
                            QFileDialog::AcceptSave,
                            {},
                            request.extension},
                           parent);
}

} // namespace

void SetFileSaveResponder(FileSaveResponder r) {
    responder() = std::move(r);
}

bool FileSaveDialog::ShowSave(QWidget* parent) {
    const FileSaveRequest request{DialogTitle, FileName, Filter, Extension};
    const std::optional<QString> chosen =
        responder() ? responder()(request) : runDialog(request, parent);
    if (!chosen)
        return false;
    QString name = *chosen;
    const QString ending = u'.' + Extension;
    if (!Extension.isEmpty() && !name.endsWith(ending, Qt::CaseInsensitive))
        name += ending;
    FileName = name;
    return true;
}
