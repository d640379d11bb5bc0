// Qt's own file dialog (never the desktop's native one) run modally, as the
// open and save dialogs show it.
#pragma once

#include <QFileDialog>
#include <QString>
#include <optional>

class QWidget;

struct QtFileDialogSetup {
    QString title;
    QString fileName;
    QString filter; // one Qt name filter, "description (*.a *.b)"
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    QFileDialog::Options options;
    // Given to a typed name without one before the dialog checks for an
    // existing file, so a save asks about the file that is written.
    QString defaultSuffix;
};

// The chosen path, or nullopt for a cancel.
std::optional<QString> RunQtFileDialog(const QtFileDialogSetup& setup, QWidget* parent);
