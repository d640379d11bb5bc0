#pragma once
#include "common/Form.h"
class FrmMenu : public Form {
    Q_OBJECT
public:
    explicit FrmMenu(QWidget* parent = nullptr) : Form(parent) {}
};
