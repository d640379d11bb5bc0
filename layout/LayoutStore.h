// The one place that reads and writes the layout database: templates, their
// pages and the pages' text items. Every statement is assembled here as text,
// texts between single quotes with their own quotes doubled, numbers pasted
// only as plain numeric literals (anything else throws before the database
// sees it). Operations that write more than one row run in one transaction:
// on any failure nothing of them stays.
#pragma once

#include "layout/Page.h"
#include "layout/Template.h"
#include "layout/TextItem.h"
#include "merge/MergeSource.h"

#include <QList>
#include <QString>
#include <QtGlobal>
#include <optional>

class Database;
class Workspace;

class LayoutStore {
public:
    LayoutStore(Workspace* workspace, Database* database);

    // The id for the next row of `table`: its highest `column` plus one, 1
    // for an empty table. Throws when the result does not fit 16 bits.
    qint16 NextId(const QString& table, const QString& column);

    // Every template, in the order the database returns them.
    QList<Template> Templates();
    // A new template with an empty name; returns its id.
    QString CreateTemplate();
    QString TemplateName(const QString& templateId);
    // A copy of the template, its pages (at most 30), their items and their
    // forms under new ids; returns the new template's id.
    QString CopyTemplate(const QString& templateId);
    // The template with its pages, their items and their forms.
    void DeleteTemplate(const QString& templateId);

    // The template's pages by page number.
    QList<Page> Pages(const QString& templateId);
    // Saves the name and the page rows: a row with a number and an id updates
    // its page, one with a number only becomes a new page, one with an id
    // only deletes its page (and its items and form); an empty row is skipped.
    void SaveTemplate(const QString& templateId, const QString& name, const QList<Page>& rows);

    // A page's items as printing takes them, in the order the database returns them.
    QList<TextItem> ItemsToPrint(const QString& pageId);
    // A page's items as the item grid shows them, in the order they were made.
    QList<TextItemTexts> Items(const QString& pageId);
    // The page's item `itemId`, read as Items() reads each; throws when the
    // page has no such item.
    TextItemTexts Item(const QString& pageId, const QString& itemId);
    // Replaces the page's items by `items` (each under a new id).
    void SaveItems(const QString& pageId, const QList<TextItemTexts>& items);
    // Adds one item to the page; returns its id.
    QString InsertItem(const QString& pageId, const TextItemTexts& item);

    // The merge file the template was last previewed with; nullopt for none.
    std::optional<MergeSource> TemplateMergeSource(const QString& templateId);
    // Remembers `source` for the template, replacing what it had.
    void SaveTemplateMergeSource(const QString& templateId, const MergeSource& source);

private:
    Workspace* workspace_;
    Database* database_;
};

// Adds the table of the merge files remembered per template to a layout
// database made before it existed; a database that has it stays as it is.
void AddMergeTable(Database* database);

// The store of the run's layout database, open from start-up until the end.
LayoutStore Layout();
