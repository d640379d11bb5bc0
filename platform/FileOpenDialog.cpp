#include "platform/FileOpenDialog.h"

#include <QFileDialog>
#include <QFileInfo>

namespace {

FileOpenResponder& responder() {
    static FileOpenResponder r;
    return r;
}

// "画像ファイル|*.bmp;*.jpg;*.gif" as Qt writes a name filter:
// "画像ファイル (*.bmp *.jpg *.gif)".
QString qtNameFilter(const QString& filter) {
    const qsizetype bar = filter.indexOf(u'|');
    if (bar < 0)
        return filter;
    QString patterns = filter.mid(bar + 1);
    patterns.replace(u';', u' ');
    return filter.left(bar) + QStringLiteral(" (") + patterns + u')';
}

std::optional<QString> runDialog(const FileOpenRequest& request, QWidget* parent) {
    QFileDialog dialog(parent, request.title);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    // Only the description shows, as in the filter list of the request.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Any name is accepted, as typed: a file that is missing or no picture is
    // refused by whoever opens it, with its own message.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(qtNameFilter(request.filter));
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
