#include "merge/MergeFields.h"

#include <QRegularExpression>
#include <stdexcept>

namespace {

// A field: two opening braces, a name without braces of either width, two
// closing braces of the same width ("{{名}}" or "｛｛名｝｝"; "{{名｝｝" is not a field). Blanks
// around the name (full-width ones too) are not part of it, so "{{ 氏名 }}"
// names the column 氏名, as column names are read without them; a name of
// blanks only is no field, and stays as written.
const QRegularExpression& fieldPattern() {
    static const QRegularExpression pattern(
        QStringLiteral("\\{\\{([^{}｛｝]*)\\}\\}|｛｛([^{}｛｝]*)｝｝"));
    return pattern;
}

struct Field {
    qsizetype start;
    qsizetype length;
    QString name;
};

QList<Field> fields(const QString& text) {
    QList<Field> result;
    if (!text.contains(QLatin1String("{{")) && !text.contains(QStringLiteral("｛｛")))
        return result; // most texts hold no field
    for (auto it = fieldPattern().globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString name = (m.hasCaptured(1) ? m.captured(1) : m.captured(2)).trimmed();
        if (!name.isEmpty())
            result.append({m.capturedStart(), m.capturedLength(), name});
    }
    return result;
}

// `text` with the fields whose columns `columns` has replaced; `replaced`
// tells whether any was.
QString merge(const QString& text, const QStringList& columns, const QStringList& record,
              bool* replaced) {
    *replaced = false;
    const QList<Field> found = fields(text);
    if (found.isEmpty())
        return text;
    QString result;
    qsizetype from = 0;
    for (const Field& f : found) {
        // Of two columns with one name, the first is the one meant.
        const qsizetype column = columns.indexOf(f.name);
        if (column < 0)
            continue; // left as written
        QString value = record.value(column);
        value.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        value.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        result += QStringView(text).sliced(from, f.start - from);
        result += value;
        from = f.start + f.length;
        *replaced = true;
    }
    result += QStringView(text).sliced(from);
    return result;
}

} // namespace

QStringList FieldNames(const QString& text) {
    QStringList names;
    for (const Field& f : fields(text))
        if (!names.contains(f.name))
            names.append(f.name);
    return names;
}

QString MergeText(const QString& text, const QStringList& columns, const QStringList& record) {
    bool replaced;
    return merge(text, columns, record, &replaced);
}

QStringList UnknownFields(const SheetPlan& plan, const QStringList& columns) {
    QStringList unknown;
    for (const Sheet& sheet : plan)
        for (const TextItem& item : sheet.items)
            for (const QString& name : FieldNames(item.moji))
                if (!columns.contains(name) && !unknown.contains(name))
                    unknown.append(name);
    return unknown;
}

SheetPlan MergeRecord(const SheetPlan& plan, const MergeList& list, int record) {
    if (record < 0 || record >= list.records.size())
        throw std::out_of_range("No merge record " + std::to_string(record));
    const QStringList& values = list.records[record];
    SheetPlan merged = plan;
    for (Sheet& sheet : merged)
        for (TextItem& item : sheet.items) {
            bool replaced;
            item.moji = merge(item.moji, list.columns, values, &replaced);
            // Only an item that took a value breaks its lines at "\n": every
            // other prints exactly as it always has.
            if (replaced)
                item.breakLines = true;
        }
    return merged;
}
