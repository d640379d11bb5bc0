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

// The cause of a failure as the user reads it in the message's details: a
// database refusal led in by what failed, then the engine's own words; any
// other failure as it was phrased where it happened.
QString CauseText(const std::exception& failure);

// Shows `message` for a failure that reached the trap, with `cause` as its
// details. Nothing is logged.
void ReportTrapped(const QString& message, const QString& cause);

// Runs `body` inside the trap; returns true when it finished without failure.
template <class Body> bool Trap(const QString& message, Body&& body) {
    try {
        body();
        return true;
    } catch (const std::exception& e) {
        ReportTrapped(message, CauseText(e));
    } catch (...) {
        ReportTrapped(message, QStringLiteral("原因のわからない異常です。"));
    }
    return false;
}
