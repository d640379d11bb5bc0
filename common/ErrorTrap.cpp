#include "common/ErrorTrap.h"

#include "common/Messages.h"
#include "platform/Database.h"

Transaction::Transaction(Workspace* workspace) : workspace_(workspace) {
    if (!workspace_)
        throw DatabaseError(QStringLiteral("レイアウトのデータベースが開いていません"));
    workspace_->BeginTrans();
    open_ = true;
}

Transaction::~Transaction() {
    if (open_) {
        try {
            workspace_->Rollback();
        } catch (...) {
            // Nothing more can be undone; the handler's message follows.
        }
    }
}

void Transaction::Commit() {
    workspace_->CommitTrans();
    open_ = false;
}

QString CauseText(const std::exception& failure) {
    // Failures carry their cause as UTF-8.
    const QString what = QString::fromUtf8(failure.what());
    if (dynamic_cast<const DatabaseError*>(&failure))
        return QStringLiteral("データベースの処理に失敗しました: ") + what;
    return what;
}

void ReportTrapped(const QString& message, const QString& cause) {
    // A failure while showing the message has nowhere further to go.
    try {
        ShowMessage(QString(), QString(), message, cause);
    } catch (...) {
    }
}
