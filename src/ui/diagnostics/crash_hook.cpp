#include "ui/diagnostics/crash_hook.h"

#include <QSocketNotifier>

#include <csignal>
#include <exception>
#include <fcntl.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t writeEnd = -1;

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(writeEnd, &byte, 1);
}

} // namespace

CrashHook::CrashHook(const QString& how, QObject* parent) : QObject(parent), how_(how)
{
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    writeEnd = pipe_[1];
    struct sigaction action = {};
    action.sa_handler = &onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGUSR1, &action, nullptr);
    notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &CrashHook::crash);
}

void CrashHook::crash()
{
    if (how_ == QStringLiteral("terminate"))
        std::terminate();
    ::raise(SIGSEGV);
}
