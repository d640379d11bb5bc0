// The catalogue of every statement the program runs on the layout database,
// S1 to S15, built piece by piece with their exact spaces. Texts are quoted
// with their own quotes doubled; numbers are pasted only as plain numeric
// literals (anything else throws before the database sees it).
#pragma once

#include <QString>
#include <QtGlobal>

namespace Statements {

// S1
QString MaxId(const QString& table, const QString& column);
// S2
QString InsertTemplate(const QString& templateId);
// S3
QString SelectTemplates();
// S4
QString SelectTemplate(const QString& templateId);
// S5
QString UpdateTemplateName(const QString& name, const QString& templateId);
// S6
QString DeleteTemplate(const QString& templateId);
// S7: a template's pages in the order they were made, for copying.
QString SelectPagesById(const QString& templateId);
// S8: a template's pages by page number, for the page grid.
QString SelectPagesByNo(const QString& templateId);
// S9
QString InsertPage(const QString& pageId, const QString& templateId, const QString& pageNo,
                   qint16 direction, qint16 size);
// S10
QString UpdatePage(const QString& pageNo, qint16 direction, qint16 size, const QString& pageId);
// S11
QString DeletePage(const QString& pageId);
// S12: a page's items in the order they were made, for the item grid.
QString SelectItemsOrdered(const QString& pageId);
// S13: a page's items as the database returns them, for printing and copying.
QString SelectItems(const QString& pageId);
// S14
QString DeleteItems(const QString& pageId);
// S15
QString InsertItem(const QString& itemId, const QString& pageId, const QString& text,
                   const QString& fontSize, const QString& left, const QString& right,
                   const QString& top, const QString& colCount, const QString& rowCount,
                   qint16 align);

// A text between single quotes with each quote inside it doubled.
QString QuoteDoubled(const QString& text);

} // namespace Statements
