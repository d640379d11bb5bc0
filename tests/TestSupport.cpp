#include "TestSupport.h"

#include "common/AppFolder.h"
#include "common/Globals.h"
#include "common/LayoutFiles.h"
#include "common/Program.h"
#include "layout/FormStore.h"
#include "platform/Database.h"
#include "platform/Engine.h"
#include "platform/QtJapanese.h"

#include <QtTest> // with QtCore
#include <stdexcept>

namespace {

// A box no recorder expected fails the test and gets the answer that changes nothing.
QMessageBox::StandardButton UnexpectedMessageBox(const MessageBoxRequest& r) {
    const QString shown = QString(r.text).replace(u'\r', QStringLiteral("\\r"));
    QTest::qFail(qPrintable("Unexpected message box: " + shown), __FILE__, __LINE__);
    const QMessageBox::StandardButton escape = EscapeAnswer(r.buttons);
    return escape != QMessageBox::NoButton ? escape : r.defaultButton;
}

QString quotedText(QString text) {
    return "'" + text.replace(u'\'', QStringLiteral("''")) + "'";
}

} // namespace

// Every suite: the program's fonts, Qt's texts in Japanese, no waiting on a box.
static void setUpProgram() {
    RegisterFontSubstitutions();
    SetProgramFont();
    LoadQtJapanese();
    SetMessageBoxResponder(UnexpectedMessageBox);
}
Q_COREAPP_STARTUP_FUNCTION(setUpProgram)

MessageRecorder::MessageRecorder() {
    previous_ = SetMessageBoxResponder([this](const MessageBoxRequest& r) {
        shown.append(r);
        if (onShow)
            onShow(r);
        return answers.isEmpty() ? answer : answers.takeFirst();
    });
}
MessageRecorder::~MessageRecorder() {
    SetMessageBoxResponder(std::move(previous_));
}
QStringList MessageRecorder::texts() const {
    QStringList list;
    for (const MessageBoxRequest& r : shown)
        list.append(r.text);
    return list;
}

void PressKey(Qt::Key key) {
    QTest::keyClick(static_cast<QWidget*>(nullptr), key);
}
void TypeText(const QString& text) {
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Press, QApplication::focusWidget(), Qt::Key(0), QString(c),
                            Qt::NoModifier);
}

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size());
}

void CloseAllScreens() {
    for (QWidget* w : QApplication::topLevelWidgets())
        delete w;
}

QString DeliveredSettings() {
    return QStringLiteral(VESK_DELIVERED_INI);
}

AppFolderFixture::AppFolderFixture(bool withDatabase, bool withSettings) {
    if (!dir_.isValid())
        throw std::runtime_error("no temporary folder");
    if (withDatabase && !QFile::copy(QStringLiteral(VESK_DELIVERED_DB), file(LayoutFiles::Data)))
        throw std::runtime_error("cannot copy the delivered data.vsk");
    if (withSettings && !QFile::copy(DeliveredSettings(), file(QStringLiteral("vesk.ini"))))
        throw std::runtime_error("cannot copy the delivered vesk.ini");
    for (const QString& name : {LayoutFiles::Data, QStringLiteral("vesk.ini")})
        QFile::setPermissions(file(name), QFile::ReadOwner | QFile::WriteOwner);
    SetAppPath(path());
}
AppFolderFixture::~AppFolderFixture() {
    CloseLayoutDatabase();
    SetAppPath(QString());
}
QString AppFolderFixture::file(const QString& name) const {
    return QDir(path()).filePath(name);
}

void AppFolderFixture::OpenLayoutDatabase() {
    LayoutWorkspace = &DefaultWorkspace();
    LayoutDatabase =
        LayoutWorkspace->OpenDatabase(file(LayoutFiles::Data), true, false, LayoutFiles::Connect);
    AttachForms(LayoutDatabase, path());
}
void AppFolderFixture::CloseLayoutDatabase() {
    if (LayoutWorkspace)
        LayoutWorkspace->Close();
    LayoutDatabase = nullptr;
    LayoutWorkspace = nullptr;
}

void AppFolderFixture::Exec(const QString& sql) {
    LayoutDatabase->Execute(sql);
}
qlonglong AppFolderFixture::Scalar(const QString& sql) {
    auto rs = LayoutDatabase->OpenRecordset(sql);
    return rs->EOF_() ? 0 : rs->Field(QStringLiteral("n")).toLongLong();
}
QList<QVariantList> AppFolderFixture::Rows(const QString& sql, const QStringList& columns) {
    QList<QVariantList> rows;
    for (auto rs = LayoutDatabase->OpenRecordset(sql); !rs->EOF_(); rs->MoveNext()) {
        rows.append(QVariantList());
        for (const QString& column : columns)
            rows.last().append(rs->Field(column));
    }
    return rows;
}

QString CopyProgramInto(const QString& folder) {
    const QString target = QDir(folder).filePath(QStringLiteral("vesk"));
    QFile::remove(target);
    if (!QFile::copy(QStringLiteral(VESK_BINARY), target))
        throw std::runtime_error("cannot copy the program");
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return target;
}
QString RunSqlcipherShell(const QString& file, const QString& sql, int* exitCode) {
    QProcess shell;
    shell.setProcessChannelMode(QProcess::MergedChannels);
    shell.start(QStringLiteral("sqlcipher"), {QStringLiteral("-batch"), file});
    shell.write(sql.toUtf8());
    shell.closeWriteChannel();
    shell.waitForFinished(30000);
    if (exitCode)
        *exitCode = shell.exitStatus() == QProcess::NormalExit ? shell.exitCode() : -1;
    return QString::fromUtf8(shell.readAll());
}

void AppFolderFixture::AddTemplate(const QString& id) {
    Exec("insert into template (template_id) values (" + id + ")");
}
void AppFolderFixture::NameTemplate(const QString& name, const QString& id) {
    Exec("update template set template_name = " + quotedText(name) + " where template_id = " + id);
}
void AppFolderFixture::AddPage(const QString& id, const QString& templateId, const QString& pageNo,
                               int direction, int size) {
    Exec(QString("insert into page (page_id, template_id, page_no, paper_direction, paper_size) "
                 "values (%1, %2, %3, %4, %5)")
             .arg(id, templateId, pageNo, QString::number(direction), QString::number(size)));
}
void AppFolderFixture::AddItem(const QString& id, const QString& pageId, const QString& text,
                               const QString& size, const QString& left, const QString& right,
                               const QString& top, const QString& colCount, const QString& rowCount,
                               int align) {
    Exec(QString("insert into moji (moji_id, page_id, moji, p_size, p_left, p_right, p_top, "
                 "p_col_count, p_row_count, p_position) values (%1, %2, %3, %4, %5, %6, %7, %8, "
                 "%9, %10)")
             .arg(id, pageId, quotedText(text), size, left, right, top, colCount, rowCount,
                  QString::number(align)));
}
