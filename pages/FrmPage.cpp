#include "pages/FrmPage.h"

FrmPage::FrmPage(QWidget* parent) : Form(parent) {
    setWindowTitle(QStringLiteral("ページ設定"));
}

void ShowPageSetup() {
    auto* page = new FrmPage;
    page->show();
}
