#include "layout/FormStore.h"

#include "common/Globals.h"
#include "common/LayoutFiles.h"
#include "common/Numbers.h"
#include "layout/FormFile.h"
#include "platform/Database.h"
#include "platform/Statement.h"

#include <QDir>
#include <QFile>
#include <stdexcept>

void AttachForms(Database* database, const QString& folder) {
    const QDir dir(folder);
    const QString path = dir.filePath(LayoutFiles::Forms);
    if (!QFile::exists(path))
        FormFile(path).Create(dir.filePath(LayoutFiles::Data));

    Statement attach(*database, QStringLiteral("ATTACH DATABASE ? AS forms KEY ?"));
    attach.Bind(1, path);
    attach.Bind(2, Database::PasswordOf(LayoutFiles::Connect));
    attach.Execute();
    RequireFormTable(*database, QStringLiteral("forms"));
    // The locking mode of data.vsk's exclusive open holds for databases
    // attached after it; an exclusive transaction takes the lock at once.
    database->Execute(QStringLiteral("BEGIN EXCLUSIVE"));
    database->Execute(QStringLiteral("COMMIT"));
    FormStore(database).RemoveOrphans();
}

FormStore::FormStore(Database* database) : database_(database) {}

FormStore Forms() {
    return FormStore(LayoutDatabase);
}

void FormStore::RememberForm(const QString& pageId, const QImage& picture, const QSizeF& sheetMm) {
    StoreForm(pageId, ReduceForm(picture, sheetMm));
}

void FormStore::StoreForm(const QString& pageId, const StoredForm& form) {
    Statement store(
        *database_,
        QStringLiteral("insert or replace into forms.page_form (page_id, image, format, "
                       "width_px, height_px) select ?1, ?2, ?3, ?4, ?5 "
                       "where exists (select 1 from main.page where page_id = ?1)"));
    store.Bind(1, IdNumber(pageId));
    store.BindBlob(2, form.image);
    store.Bind(3, form.format);
    store.Bind(4, qint64(form.widthPx));
    store.Bind(5, qint64(form.heightPx));
    if (store.Execute() != 1)
        throw std::runtime_error(("no page " + pageId + " to keep a form for").toStdString());
}

std::optional<StoredForm> FormStore::Form(const QString& pageId) {
    Statement read(*database_,
                   QStringLiteral("select image, format, width_px, height_px from forms.page_form "
                                  "where page_id = ?"));
    read.Bind(1, IdNumber(pageId));
    if (!read.Step())
        return std::nullopt;
    return StoredForm{read.Blob(0), read.Text(1), int(read.Integer(2)), int(read.Integer(3))};
}

void FormStore::DeleteForm(const QString& pageId) {
    Statement remove(*database_, QStringLiteral("delete from forms.page_form where page_id = ?"));
    remove.Bind(1, IdNumber(pageId));
    remove.Execute();
}

void FormStore::CopyForm(const QString& fromPageId, const QString& toPageId) {
    Statement copy(*database_,
                   QStringLiteral("insert into forms.page_form (page_id, image, format, width_px, "
                                  "height_px) select ?, image, format, width_px, height_px "
                                  "from forms.page_form where page_id = ?"));
    copy.Bind(1, IdNumber(toPageId));
    copy.Bind(2, IdNumber(fromPageId));
    copy.Execute();
}

void FormStore::DeleteTemplateForms(const QString& templateId) {
    Statement remove(*database_,
                     QStringLiteral("delete from forms.page_form where page_id in "
                                    "(select page_id from main.page where template_id = ?)"));
    remove.Bind(1, IdNumber(templateId));
    remove.Execute();
}

int FormStore::RemoveOrphans() {
    Statement remove(*database_, QStringLiteral("delete from forms.page_form where page_id not in "
                                                "(select page_id from main.page)"));
    return remove.Execute();
}
