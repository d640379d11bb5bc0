#include "common/Statements.h"

#include "common/Numbers.h"

namespace Statements {

namespace {
QString num(const QString& typed) {
    return NumericLiteral(typed);
}
QString code(qint16 value) {
    return QString::number(value);
}
} // namespace

QString QuoteDoubled(const QString& text) {
    QString doubled = text;
    doubled.replace(u'\'', QStringLiteral("''"));
    return doubled;
}

QString MaxId(const QString& table, const QString& column) {
    return "select max(" + table + "." + column + ") as max_id from " + table;
}

QString InsertTemplate(const QString& templateId) {
    return "insert into template (template_id) select " + num(templateId);
}

QString SelectTemplates() {
    return QStringLiteral("select * from template");
}

QString SelectTemplate(const QString& templateId) {
    return QStringLiteral("select * from template ") + "where template_id = " + num(templateId);
}

QString UpdateTemplateName(const QString& name, const QString& templateId) {
    return QStringLiteral("update template set ") + "template_name = '" + QuoteDoubled(name) + "'" +
           " " + "where " + "template_id = " + num(templateId);
}

QString DeleteTemplate(const QString& templateId) {
    return QStringLiteral("delete from template ") + "where " + "template_id = " + num(templateId);
}

QString SelectPagesById(const QString& templateId) {
    return QStringLiteral("select * from page ") + "where template_id = " + num(templateId) +
           " order by page_id";
}

QString SelectPagesByNo(const QString& templateId) {
    return QStringLiteral("select * from page ") + "where template_id = " + num(templateId) +
           " order by page_no";
}

QString InsertPage(const QString& pageId, const QString& templateId, const QString& pageNo,
                   qint16 direction, qint16 size) {
    return QStringLiteral("insert into page ( page_id, template_id, page_no, paper_direction, "
                          "paper_size) select ") +
           num(pageId) + ", " + num(templateId) + ", " + num(pageNo) + " ," + code(direction) +
           " ," + code(size);
}

QString UpdatePage(const QString& pageNo, qint16 direction, qint16 size, const QString& pageId) {
    return QStringLiteral("update page set ") + "page_no = " + num(pageNo) + " ," +
           "paper_direction = " + code(direction) + " ," + "paper_size = " + code(size) + " " +
           "where " + "page_id = " + num(pageId);
}

QString DeletePage(const QString& pageId) {
    return QStringLiteral("delete from page ") + "where " + "page_id = " + num(pageId);
}

QString SelectItemsOrdered(const QString& pageId) {
    return QStringLiteral("select * from moji ") + "where page_id = " + num(pageId) +
           " order by moji_id";
}

QString SelectItems(const QString& pageId) {
    return QStringLiteral("select * from moji ") + "where page_id = " + num(pageId);
}

QString DeleteItems(const QString& pageId) {
    return QStringLiteral("delete from moji ") + "where " + "page_id = " + num(pageId);
}

QString InsertItem(const QString& itemId, const QString& pageId, const QString& text,
                   const QString& fontSize, const QString& left, const QString& right,
                   const QString& top, const QString& colCount, const QString& rowCount,
                   qint16 align) {
    return QStringLiteral("insert into moji ( moji_id, page_id, moji, p_size, p_left, p_right, "
                          "p_top, p_col_count, p_row_count, p_position) select ") +
           num(itemId) + ", " + num(pageId) + ", '" + QuoteDoubled(text) + "' ," + num(fontSize) +
           " ," + num(left) + " ," + num(right) + " ," + num(top) + " ," + num(colCount) + " ," +
           num(rowCount) + " ," + code(align);
}

} // namespace Statements
