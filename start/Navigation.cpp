// The one place that knows the screens handed over to, so that no screen
// includes the screen it goes back to.
#include "common/Navigation.h"

#include "pages/FrmPage.h"
#include "templates/FrmMenu.h"
#include "templates/FrmTemplateDlg.h"

void ShowMenu() {
    auto* menu = new FrmMenu;
    menu->show();
}

void ShowTemplateDialog() {
    auto* dialog = new FrmTemplateDlg;
    dialog->show();
}

void ShowPageSetup() {
    auto* page = new FrmPage;
    page->show();
}
