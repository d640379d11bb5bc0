#include "common/Globals.h"

Workspace* LayoutWorkspace = nullptr;
Database* LayoutDatabase = nullptr;

double OffsetLeft = 0;
double OffsetTop = 0;
double DefaultFontSize = 0;
qint16 DefaultColCount = 0;
qint16 DefaultRowCount = 0;
qint16 DefaultAlign = 0;

qint16 TemplateMode = 0;
QString CurrentTemplateId;

QString AppTitle() {
    return QStringLiteral("VESK");
}
int AppMajor() {
    return VESK_VERSION_MAJOR;
}
int AppMinor() {
    return VESK_VERSION_MINOR;
}
