// Fields in item texts: "{{列名}}", or with full-width braces "｛｛列名｝｝"
// as a Japanese input method types them, stand for a merge list's value of
// that column. Without a list, a text prints exactly as stored.
#pragma once

#include "merge/MergeList.h"
#include "print/SheetPlan.h"

#include <QString>
#include <QStringList>

// The column names the fields of `text` name, in order, each once.
QStringList FieldNames(const QString& text);

// `text` with each field replaced by `record`'s value of its column
// (`columns[i]` names `record[i]`); a field whose column `columns` lacks is
// left as written.
QString MergeText(const QString& text, const QStringList& columns, const QStringList& record);

// The fields of the items of `plan` whose columns `columns` lacks, each once,
// in the order the sheets and items name them.
QStringList UnknownFields(const SheetPlan& plan, const QStringList& columns);

// `plan` with record `record` (from 0) of `list` merged into every item's
// text; a line break inside a value ends the printed line there.
SheetPlan MergeRecord(const SheetPlan& plan, const MergeList& list, int record);
