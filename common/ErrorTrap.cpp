#include "common/ErrorTrap.h"

#include "common/Messages.h"
#include "platform/Database.h"

Transaction::Transaction(Workspace* workspace) : workspace_(workspace) {
    if (!workspace_)
        throw DatabaseError(QStringLiteral("The layout database is not open"));
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

void ReportTrapped(const QString& message, const char* /*cause*/) {
    // A failure while showing the message has nowhere further to go.
    try {
        ShowMessage(QString(), QString(), message);
    } catch (...) {
    }
}
