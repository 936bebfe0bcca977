#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP end the program the way closing its window
// does, so that a session logging out, a `kill` or Ctrl+C in a terminal
// keep the settings. A signal handler may do next to nothing: it writes one
// byte to a socket pair, and a notifier turns the byte into `received` on
// the user-interface thread. One instance at a time.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    // The default actions come back.
    ~TerminationSignals() override;

    // A signal has come (and `received` was emitted).
    bool Requested() const { return requested_; }

signals:
    void received();

private:
    void Drain();

    QSocketNotifier* notifier_ = nullptr;
    bool requested_ = false;
};
