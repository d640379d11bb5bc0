// A template: a name and up to 30 pages.
#pragma once

#include <QString>

struct Template {
    // The id as its decimal text, as the screens hand it over.
    QString id;
    QString name;
};
