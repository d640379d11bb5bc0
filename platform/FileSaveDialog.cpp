#include "platform/FileSaveDialog.h"

#include <QFileDialog>

namespace {

FileSaveResponder& responder() {
    static FileSaveResponder r;
    return r;
}

std::optional<QString> runDialog(const FileSaveRequest& request, QWidget* parent) {
    QFileDialog dialog(parent, request.title);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(request.filter);
    // Given before the dialog asks about replacing a file, so it asks about
    // the file that is written.
    dialog.setDefaultSuffix(request.extension);
    dialog.selectFile(request.fileName);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
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
