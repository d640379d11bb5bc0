// The error trap of every event handler: run the body; on any failure let the
// transaction guards roll back, show the handler's 020 message and return.
#pragma once

#include <QString>
#include <exception>

class Workspace;

// A transaction on the layout workspace that rolls back unless committed.
class Transaction {
public:
    explicit Transaction(Workspace* workspace);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit();

private:
    Workspace* workspace_;
    bool open_ = false;
};

// Shows `message` for a failure that reached the trap. Nothing is logged.
void ReportTrapped(const QString& message, const char* cause);

// Runs `body` inside the trap; returns true when it finished without failure.
template <class Body> bool Trap(const QString& message, Body&& body) {
    try {
        body();
        return true;
    } catch (const std::exception& e) {
        ReportTrapped(message, e.what());
    } catch (...) {
        ReportTrapped(message, "unknown failure");
    }
    return false;
}
