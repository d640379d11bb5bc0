#include "layout/LayoutStore.h"

#include "common/ErrorTrap.h"
#include "common/Globals.h"
#include "common/Numbers.h"
#include "layout/FormStore.h"
#include "platform/Database.h"
#include "platform/Statement.h"

#include <QLocale>
#include <memory>
#include <stdexcept>

namespace {

// A template brings at most as many pages as the page grid has rows.
constexpr int MaxCopiedPages = PageRowCount;

QString num(const QString& typed) {
    return NumericLiteral(typed);
}
QString code(qint16 value) {
    return QString::number(value);
}
QString quoted(const QString& text) {
    QString doubled = text;
    doubled.replace(u'\'', QStringLiteral("''"));
    return doubled;
}

// The statements, each with its exact pieces and spaces.
QString selectMaxId(const QString& table, const QString& column) {
    return "select max(" + table + "." + column + ") as max_id from " + table;
}
QString insertTemplate(const QString& templateId) {
    return "insert into template (template_id) select " + num(templateId);
}
QString selectTemplates() {
    return QStringLiteral("select * from template");
}
QString selectTemplate(const QString& templateId) {
    return QStringLiteral("select * from template ") + "where template_id = " + num(templateId);
}
QString updateTemplateName(const QString& name, const QString& templateId) {
    return QStringLiteral("update template set ") + "template_name = '" + quoted(name) + "'" + " " +
           "where " + "template_id = " + num(templateId);
}
QString deleteTemplate(const QString& templateId) {
    return QStringLiteral("delete from template ") + "where " + "template_id = " + num(templateId);
}
QString selectPagesInOrderMade(const QString& templateId) {
    return QStringLiteral("select * from page ") + "where template_id = " + num(templateId) +
           " order by page_id";
}
QString selectPagesByNumber(const QString& templateId) {
    return QStringLiteral("select * from page ") + "where template_id = " + num(templateId) +
           " order by page_no";
}
QString insertPage(const QString& pageId, const QString& templateId, const QString& pageNo,
                   qint16 direction, qint16 size) {
    return QStringLiteral("insert into page ( page_id, template_id, page_no, paper_direction, "
                          "paper_size) select ") +
           num(pageId) + ", " + num(templateId) + ", " + num(pageNo) + " ," + code(direction) +
           " ," + code(size);
}
QString updatePage(const QString& pageNo, qint16 direction, qint16 size, const QString& pageId) {
    return QStringLiteral("update page set ") + "page_no = " + num(pageNo) + " ," +
           "paper_direction = " + code(direction) + " ," + "paper_size = " + code(size) + " " +
           "where " + "page_id = " + num(pageId);
}
QString deletePage(const QString& pageId) {
    return QStringLiteral("delete from page ") + "where " + "page_id = " + num(pageId);
}
QString selectItemsInOrderMade(const QString& pageId) {
    return QStringLiteral("select * from moji ") + "where page_id = " + num(pageId) +
           " order by moji_id";
}
QString selectItems(const QString& pageId) {
    return QStringLiteral("select * from moji ") + "where page_id = " + num(pageId);
}
QString deleteItems(const QString& pageId) {
    return QStringLiteral("delete from moji ") + "where " + "page_id = " + num(pageId);
}
QString insertItem(const QString& itemId, const QString& pageId, const QString& text,
                   const QString& fontSize, const QString& left, const QString& right,
                   const QString& top, const QString& colCount, const QString& rowCount,
                   qint16 align) {
    return QStringLiteral("insert into moji ( moji_id, page_id, moji, p_size, p_left, p_right, "
                          "p_top, p_col_count, p_row_count, p_position) select ") +
           num(itemId) + ", " + num(pageId) + ", '" + quoted(text) + "' ," + num(fontSize) + " ," +
           num(left) + " ," + num(right) + " ," + num(top) + " ," + num(colCount) + " ," +
           num(rowCount) + " ," + code(align);
}
QString insertItem(const QString& itemId, const QString& pageId, const TextItemTexts& item) {
    using T = TextItemTexts;
    const auto& n = item.numbers;
    return insertItem(itemId, pageId, item.text, n[T::Size], n[T::Left], n[T::Right], n[T::Top],
                      n[T::ColCount], n[T::RowCount], item.align);
}

// The merge file remembered per template. The table came after the first
// three; its statements bind their values.
const QString CreateMergeTable = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS template_merge (template_id INTEGER PRIMARY KEY REFERENCES "
    "template ON DELETE CASCADE, path TEXT, encoding TEXT)");

void copyMergeSource(Database& database, const QString& fromId, const QString& toId) {
    Statement copy(database,
                   QStringLiteral("insert into template_merge (template_id, path, encoding) "
                                  "select ?, path, encoding from template_merge "
                                  "where template_id = ?"));
    copy.Bind(1, IdNumber(toId));
    copy.Bind(2, IdNumber(fromId));
    copy.Execute();
}

void deleteMergeSource(Database& database, const QString& templateId) {
    Statement remove(database, QStringLiteral("delete from template_merge where template_id = ?"));
    remove.Bind(1, IdNumber(templateId));
    remove.Execute();
}

// Typed reads of stored values. A Null throws ("Invalid use of Null").
QVariant notNull(const Recordset& rs, const QString& name) {
    const QVariant v = rs.Field(name);
    if (!v.isValid())
        throw DatabaseError(QStringLiteral("Invalid use of Null: %1").arg(name));
    return v;
}
QString fieldText(const Recordset& rs, const QString& name) {
    const QVariant v = notNull(rs, name);
    if (v.typeId() == QMetaType::Double)
        return DoubleToText(v.toDouble());
    return v.toString();
}
// A number column as text: REAL by the standard double form, whole numbers by
// the 16-bit rule.
QString fieldNumberText(const Recordset& rs, const QString& name) {
    const QVariant v = notNull(rs, name);
    if (v.typeId() == QMetaType::Double)
        return DoubleToText(v.toDouble());
    if (v.typeId() == QMetaType::LongLong)
        return QString::number(DoubleToInt16(double(v.toLongLong())));
    return NumericLiteral(v.toString());
}
double fieldDouble(const Recordset& rs, const QString& name) {
    const QVariant v = notNull(rs, name);
    if (v.typeId() == QMetaType::QString)
        return TextToDouble(v.toString());
    return v.toDouble();
}
qint16 fieldInt16(const Recordset& rs, const QString& name) {
    return DoubleToInt16(fieldDouble(rs, name));
}

// The number columns of an item, in the order of TextItemTexts::Number.
const char* const ItemNumberColumns[TextItemTexts::NumberCount] = {
    "p_size", "p_left", "p_right", "p_top", "p_col_count", "p_row_count"};

TextItemTexts readItemTexts(const Recordset& rs) {
    TextItemTexts item;
    item.text = fieldText(rs, QStringLiteral("moji"));
    for (int n = 0; n < TextItemTexts::NumberCount; ++n) {
        const QString column = QString::fromLatin1(ItemNumberColumns[n]);
        item.numbers[n] = fieldNumberText(rs, column);
        const QVariant stored = rs.Field(column);
        if (stored.typeId() == QMetaType::Double &&
            TextToDouble(item.numbers[n]) != stored.toDouble())
            item.exact[n] = QString::number(stored.toDouble(), 'g', QLocale::FloatingPointShortest);
    }
    item.align = fieldInt16(rs, QStringLiteral("p_position"));
    return item;
}

TextItem readItem(const Recordset& rs) {
    TextItem item;
    item.moji = fieldText(rs, QStringLiteral("moji"));
    item.pSize = fieldDouble(rs, QStringLiteral("p_size"));
    item.pLeft = fieldDouble(rs, QStringLiteral("p_left"));
    item.pRight = fieldDouble(rs, QStringLiteral("p_right"));
    item.pTop = fieldDouble(rs, QStringLiteral("p_top"));
    item.pColCount = fieldInt16(rs, QStringLiteral("p_col_count"));
    item.pRowCount = fieldInt16(rs, QStringLiteral("p_row_count"));
    item.pPosition = fieldInt16(rs, QStringLiteral("p_position"));
    return item;
}

// Reads every row of `statement` through `read`, first to last.
template <class Read> auto readAll(Database* database, const QString& statement, Read read) {
    QList<decltype(read(std::declval<const Recordset&>()))> rows;
    std::unique_ptr<Recordset> rs = database->OpenRecordset(statement);
    while (!rs->EOF_()) {
        rows.append(read(*rs));
        rs->MoveNext();
    }
    rs->Close();
    return rows;
}

Page readPage(const Recordset& rs) {
    Page page;
    page.id = fieldNumberText(rs, QStringLiteral("page_id"));
    page.pageNo = fieldNumberText(rs, QStringLiteral("page_no"));
    page.direction = fieldInt16(rs, QStringLiteral("paper_direction"));
    page.size = fieldInt16(rs, QStringLiteral("paper_size"));
    return page;
}

} // namespace

LayoutStore::LayoutStore(Workspace* workspace, Database* database)
    : workspace_(workspace), database_(database) {}

LayoutStore Layout() {
    return LayoutStore(LayoutWorkspace, LayoutDatabase);
}

qint16 LayoutStore::NextId(const QString& table, const QString& column) {
    std::unique_ptr<Recordset> rs = database_->OpenRecordset(selectMaxId(table, column));
    const QVariant maxId = rs->Field(QStringLiteral("max_id"));
    const qint16 result = maxId.isValid() ? DoubleToInt16(maxId.toDouble() + 1) : qint16(1);
    rs->Close();
    return result;
}

QList<Template> LayoutStore::Templates() {
    return readAll(database_, selectTemplates(), [](const Recordset& rs) {
        return Template{QString::number(fieldInt16(rs, QStringLiteral("template_id"))),
                        fieldText(rs, QStringLiteral("template_name"))};
    });
}

QString LayoutStore::CreateTemplate() {
    Transaction transaction(workspace_);
    const QString id =
        QString::number(NextId(QStringLiteral("template"), QStringLiteral("template_id")));
    database_->Execute(insertTemplate(id));
    transaction.Commit();
    return id;
}

QString LayoutStore::TemplateName(const QString& templateId) {
    std::unique_ptr<Recordset> rs = database_->OpenRecordset(selectTemplate(templateId));
    const QString name = fieldText(*rs, QStringLiteral("template_name"));
    rs->Close();
    return name;
}

QString LayoutStore::CopyTemplate(const QString& templateId) {
    const QString newTemplateId =
        QString::number(NextId(QStringLiteral("template"), QStringLiteral("template_id")));
    Transaction transaction(workspace_);
    database_->Execute(insertTemplate(newTemplateId));

    // Pages in the order they were made, each under the next free id.
    QList<std::pair<QString, QString>> pageIds; // old, new
    {
        std::unique_ptr<Recordset> pages =
            database_->OpenRecordset(selectPagesInOrderMade(templateId));
        while (!pages->EOF_()) {
            if (pageIds.size() >= MaxCopiedPages)
                throw std::runtime_error("a template has more pages than the page grid holds");
            const Page page = readPage(*pages);
            const QString newId =
                QString::number(NextId(QStringLiteral("page"), QStringLiteral("page_id")));
            database_->Execute(
                insertPage(newId, newTemplateId, page.pageNo, page.direction, page.size));
            pageIds.append({page.id, newId});
            pages->MoveNext();
        }
        pages->Close();
    }

    copyMergeSource(*database_, templateId, newTemplateId);

    // Then each page's form and items, as the database returns them.
    FormStore forms(database_);
    for (const auto& [oldId, newId] : pageIds) {
        forms.CopyForm(oldId, newId);
        std::unique_ptr<Recordset> items = database_->OpenRecordset(selectItems(oldId));
        while (!items->EOF_()) {
            const QString itemId =
                QString::number(NextId(QStringLiteral("moji"), QStringLiteral("moji_id")));
            database_->Execute(insertItem(itemId, newId, readItemTexts(*items)));
            items->MoveNext();
        }
        items->Close();
    }

    transaction.Commit();
    return newTemplateId;
}

void LayoutStore::DeleteTemplate(const QString& templateId) {
    Transaction transaction(workspace_);
    // The forms first: deleting the template takes its pages with it.
    FormStore(database_).DeleteTemplateForms(templateId);
    // Whether or not the database cascades the delete.
    deleteMergeSource(*database_, templateId);
    database_->Execute(deleteTemplate(templateId));
    transaction.Commit();
}

QList<Page> LayoutStore::Pages(const QString& templateId) {
    return readAll(database_, selectPagesByNumber(templateId), readPage);
}

void LayoutStore::SaveTemplate(const QString& templateId, const QString& name,
                               const QList<Page>& rows) {
    Transaction transaction(workspace_);
    database_->Execute(updateTemplateName(name, templateId));
    for (const Page& row : rows) {
        QString sql;
        if (!row.pageNo.isEmpty() && !row.id.isEmpty()) {
            sql = updatePage(row.pageNo, row.direction, row.size, row.id);
        } else if (!row.pageNo.isEmpty()) {
            const QString newId =
                QString::number(NextId(QStringLiteral("page"), QStringLiteral("page_id")));
            sql = insertPage(newId, templateId, row.pageNo, row.direction, row.size);
        } else if (!row.id.isEmpty()) {
            sql = deletePage(row.id);
        } else {
            continue;
        }
        database_->Execute(sql);
        if (row.pageNo.isEmpty())
            FormStore(database_).DeleteForm(row.id); // the page was deleted
    }
    transaction.Commit();
}

QList<TextItem> LayoutStore::ItemsToPrint(const QString& pageId) {
    return readAll(database_, selectItems(pageId), readItem);
}

QList<TextItemTexts> LayoutStore::Items(const QString& pageId) {
    return readAll(database_, selectItemsInOrderMade(pageId), readItemTexts);
}

TextItemTexts LayoutStore::Item(const QString& pageId, const QString& itemId) {
    // Only the asked row is read: what the page's other items hold does not matter.
    std::unique_ptr<Recordset> rs = database_->OpenRecordset(selectItemsInOrderMade(pageId));
    while (!rs->EOF_() && fieldText(*rs, QStringLiteral("moji_id")) != itemId)
        rs->MoveNext();
    if (rs->EOF_())
        throw std::runtime_error("No stored item " + itemId.toStdString() + " on page " +
                                 pageId.toStdString());
    const TextItemTexts item = readItemTexts(*rs);
    rs->Close();
    return item;
}

void LayoutStore::SaveItems(const QString& pageId, const QList<TextItemTexts>& items) {
    Transaction transaction(workspace_);
    database_->Execute(deleteItems(pageId));
    for (const TextItemTexts& item : items) {
        const QString id =
            QString::number(NextId(QStringLiteral("moji"), QStringLiteral("moji_id")));
        database_->Execute(insertItem(id, pageId, item));
    }
    transaction.Commit();
}

QString LayoutStore::InsertItem(const QString& pageId, const TextItemTexts& item) {
    const QString id = QString::number(NextId(QStringLiteral("moji"), QStringLiteral("moji_id")));
    database_->Execute(insertItem(id, pageId, item));
    return id;
}

std::optional<MergeSource> LayoutStore::TemplateMergeSource(const QString& templateId) {
    Statement read(
        *database_,
        QStringLiteral("select path, encoding from template_merge where template_id = ?"));
    read.Bind(1, IdNumber(templateId));
    if (!read.Step())
        return std::nullopt;
    return MergeSource{read.Text(0), read.Text(1)};
}

void LayoutStore::SaveTemplateMergeSource(const QString& templateId, const MergeSource& source) {
    Statement save(*database_, QStringLiteral("insert or replace into template_merge (template_id, "
                                              "path, encoding) values (?, ?, ?)"));
    save.Bind(1, IdNumber(templateId));
    save.Bind(2, source.path);
    save.Bind(3, source.encoding);
    save.Execute();
}

void AddMergeTable(Database* database) {
    database->Execute(CreateMergeTable);
}
