// What one print command prints: the sheets in order, each with the paper
// size and direction of its page and the page's text items, all read before
// anything is drawn, and the page it comes from (whose form the preview shows).
#pragma once

#include "layout/TextItem.h"

#include <QList>
#include <QString>
#include <QtGlobal>

struct Sheet {
    // Paper direction and size codes; a code outside the lists leaves the
    // direction or size of the sheet before in force.
    qint16 direction = -1;
    qint16 size = -1;
    QList<TextItem> items;
    QString pageId = {}; // empty: no saved page (no form)
};

using SheetPlan = QList<Sheet>;
