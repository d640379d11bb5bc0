#include "platform/FileOpenDialog.h"

#include <QFileDialog>
#include <QFileInfo>

namespace {

FileOpenResponder& responder() {
    static FileOpenResponder r;
    return r;
}

std::optional<QString> runDialog(const FileOpenRequest& request, QWidget* parent) {
    QFileDialog dialog(parent, request.title);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    // Only the filter's description shows, not its patterns.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Any name is accepted, as typed: a file that is missing or no picture is
    // refused by whoever opens it, with its own message.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(request.filter);
    dialog.selectFile(request.fileName);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
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
