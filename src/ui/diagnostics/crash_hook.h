#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;

// A crash on request, for tests of what a crash leaves behind: after SIGUSR1 the event loop
// raises SIGSEGV ("segv") or calls std::terminate ("terminate"), as a fault or an uncaught
// exception in the application would. Only installed when a test asks for it.
class CrashHook : public QObject
{
    Q_OBJECT

public:
    CrashHook(const QString& how, QObject* parent = nullptr);

private:
    void crash();

    QString how_;
    int pipe_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
};
