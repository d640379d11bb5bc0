#pragma once
#include "common/Form.h"
class FrmSplash : public Form {
    Q_OBJECT
public:
    explicit FrmSplash(QWidget* parent = nullptr) : Form(parent) {}
};
