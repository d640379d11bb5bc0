// One page of a template, as the page grid shows a row.
#pragma once

#include <QString>
#include <QtGlobal>

struct Page {
    // The id of the saved page as its decimal text; empty for a row not saved yet.
    QString id;
    // The page number as stored or as typed; empty when the row holds none.
    QString pageNo;
    // The paper direction and size codes (-1 when none is chosen).
    qint16 direction = -1;
    qint16 size = -1;
};
