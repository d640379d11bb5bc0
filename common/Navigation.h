// The hand-overs between the screens that follow one another without being
// modal: the main menu, the template dialog and the page setup screen. The
// screen that hands over unloads itself; these show the next one.
#pragma once

void ShowMenu();
// The template dialog, for what TemplateMode says.
void ShowTemplateDialog();
// The page setup screen on CurrentTemplateId.
void ShowPageSetup();
