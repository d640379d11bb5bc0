// The splash screen, on view while start-up backs up, compacts and opens the
// layout database. It has no caption, takes no input and is unloaded by
// start-up.
#pragma once

#include "common/Form.h"

class QLabel;

class FrmSplash : public Form {
    Q_OBJECT
public:
    explicit FrmSplash(QWidget* parent = nullptr);

protected:
    void Form_Load() override;
    // Start-up unloads the splash; a close request from the window system does nothing.
    void CloseBox_Click() override {}

private:
    QLabel* Image;
    QLabel* lblPlatform;
    QLabel* lblVersion;
};
