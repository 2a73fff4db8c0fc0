#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (the session ending, Ctrl+C in a terminal, a closed
// terminal) into a signal on the main thread's event loop, so that the application can stop its
// servers and exit normally instead of dying with its children left running. The handler only
// writes the signal number into a pipe; the event loop reads it. One instance per process.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    // Restores the default dispositions.
    ~TerminationSignals() override;

    // False when the pipe or the handlers could not be set up (the signals then keep their
    // default effect).
    bool isActive() const { return notifier_ != nullptr; }

signals:
    // Emitted once per signal received, on the thread that created this object.
    void received(int signalNumber);

private:
    void drain();

    int pipe_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
};
