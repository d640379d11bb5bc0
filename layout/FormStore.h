// The form image of each page, kept in forms.vsk beside data.vsk. The file is
// attached to the run's layout database as `forms`, so a change to the layout
// and to its forms commits or rolls back as one transaction across both
// files. Images go in and out through bound parameters only.
#pragma once

#include "layout/StoredForm.h"

#include <QImage>
#include <QSizeF>
#include <QString>
#include <optional>

class Database;

// Attaches forms.vsk of `folder` to `database`, the layout database opened
// exclusively: creates the file when it is missing (with data.vsk's
// permission bits), checks its table, takes its lock with data.vsk's (no
// other process reads it while the program runs) and removes the forms whose
// page no longer exists.
void AttachForms(Database* database, const QString& folder);

class FormStore {
public:
    explicit FormStore(Database* database);

    // Keeps `picture` as the page's form, reduced for its sheet of `sheetMm`
    // (ReduceForm), in place of the one it had.
    void RememberForm(const QString& pageId, const QImage& picture, const QSizeF& sheetMm);
    // Keeps `form` as the page's form, in place of the one it had. Throws
    // when the page does not exist.
    void StoreForm(const QString& pageId, const StoredForm& form);
    // The page's form; none when it has none.
    std::optional<StoredForm> Form(const QString& pageId);
    void DeleteForm(const QString& pageId);

    // Inside the layout store's transactions: the form of page `from`, if
    // any, becomes page `to`'s too; the forms of a template's pages go.
    void CopyForm(const QString& fromPageId, const QString& toPageId);
    void DeleteTemplateForms(const QString& templateId);
    // Removes the forms whose page no longer exists; returns how many.
    int RemoveOrphans();

private:
    Database* database_;
};

// The forms of the run's layout database.
FormStore Forms();
