// Id allocation and typed reads of stored values on the layout database.
#pragma once

#include <QString>
#include <QtGlobal>

class Recordset;

// The id for the next row of `table`: its highest `column` plus one, 1 for an
// empty table. Throws when the result does not fit 16 bits.
qint16 NextId(const QString& table, const QString& column);

// Stored values as the screens take them. A Null throws ("Invalid use of Null").
QString FieldText(const Recordset& rs, const QString& name);
// A number column turned into text: REAL by the standard double form, whole
// numbers by the 16-bit rule.
QString FieldNumberText(const Recordset& rs, const QString& name);
double FieldDouble(const Recordset& rs, const QString& name);
qint16 FieldInt16(const Recordset& rs, const QString& name);
