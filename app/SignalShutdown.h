#pragma once

#include <QObject>

class DataService;
class QSocketNotifier;

// SIGTERM, SIGHUP and SIGINT (the session logging out, the machine shutting
// down, Ctrl+C in a terminal) end the program as Cerrar does, not with the
// database left to its log: the signal is passed into the event loop through
// a socket pair (a signal handler may do nothing more), and there, also while
// a message or another modal window is up, the database is checkpointed and
// closed and the process ends with status 0. A value being typed in a cell is
// not written: a value not ended by the operator is not guessed at.
class SignalShutdown : public QObject
{
public:
    explicit SignalShutdown(DataService& data);
    ~SignalShutdown() override;
    SignalShutdown(const SignalShutdown&) = delete;
    SignalShutdown& operator=(const SignalShutdown&) = delete;

private:
    void arrived();

    DataService& m_data;
    QSocketNotifier* m_notifier = nullptr;
};
