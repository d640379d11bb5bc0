// The page setup screen ("ページ設定"): a template's name and its pages.
#pragma once

#include "common/Form.h"

class FrmPage : public Form {
    Q_OBJECT
public:
    explicit FrmPage(QWidget* parent = nullptr);
};

// Shows the page setup screen on CurrentTemplateId, not modal.
void ShowPageSetup();
