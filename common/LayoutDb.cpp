#include "common/LayoutDb.h"

#include "common/Globals.h"
#include "common/Numbers.h"
#include "common/Statements.h"
#include "platform/Database.h"

#include <memory>

qint16 NextId(const QString& table, const QString& column) {
    std::unique_ptr<Recordset> sharedRecordset =
        LayoutDatabase->OpenRecordset(Statements::MaxId(table, column));
    const QVariant maxId = sharedRecordset->Field(QStringLiteral("max_id"));
    const qint16 result = maxId.isValid() ? DoubleToInt16(maxId.toDouble() + 1) : qint16(1);
    sharedRecordset->Close();
    return result;
}

namespace {
QVariant notNull(const Recordset& rs, const QString& name) {
    const QVariant v = rs.Field(name);
    if (!v.isValid())
        throw DatabaseError(QStringLiteral("Invalid use of Null: %1").arg(name));
    return v;
}
} // namespace

QString FieldText(const Recordset& rs, const QString& name) {
    const QVariant v = notNull(rs, name);
    if (v.typeId() == QMetaType::Double)
        return DoubleToText(v.toDouble());
    return v.toString();
}

QString FieldNumberText(const Recordset& rs, const QString& name) {
    const QVariant v = notNull(rs, name);
    if (v.typeId() == QMetaType::Double)
        return DoubleToText(v.toDouble());
    if (v.typeId() == QMetaType::LongLong)
        return QString::number(DoubleToInt16(double(v.toLongLong())));
    return NumericLiteral(v.toString());
}

double FieldDouble(const Recordset& rs, const QString& name) {
    const QVariant v = notNull(rs, name);
    if (v.typeId() == QMetaType::QString)
        return TextToDouble(v.toString());
    return v.toDouble();
}

qint16 FieldInt16(const Recordset& rs, const QString& name) {
    return DoubleToInt16(FieldDouble(rs, name));
}
