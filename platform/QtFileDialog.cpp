#include "platform/QtFileDialog.h"

std::optional<QString> RunQtFileDialog(const QtFileDialogSetup& setup, QWidget* parent) {
    QFileDialog dialog(parent, setup.title);
    dialog.setOptions(setup.options | QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(setup.mode);
    // Any name is accepted, as typed: whoever opens or writes the file refuses
    // one that will not do, with its own message.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(setup.filter);
    if (!setup.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(setup.defaultSuffix);
    dialog.selectFile(setup.fileName);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}
