#include "supervision/group_terminator.h"

#include "supervision/process_groups.h"

#include <csignal>

GroupTerminator::GroupTerminator(pid_t pgid, const TerminationTiming& timing,
                                 std::function<void()> done, QObject* parent)
    : QObject(parent), pgid_(pgid), timing_(timing), done_(std::move(done))
{
    timer_.setInterval(timing_.pollIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &GroupTerminator::poll);
}

void GroupTerminator::start()
{
    ProcessGroups::askGroupToQuit(pgid_);
    if (!ProcessGroups::groupAlive(pgid_)) {
        finish();
        return;
    }
    timer_.start();
}

void GroupTerminator::poll()
{
    ++polls_;
    if (!ProcessGroups::groupAlive(pgid_)) {
        finish();
        return;
    }
    if (!killed_ && polls_ >= timing_.termPolls) {
        killed_ = true;
        polls_ = 0;
        ProcessGroups::signalGroup(pgid_, SIGKILL);
        if (!ProcessGroups::groupAlive(pgid_))
            finish();
        return;
    }
    if (killed_ && polls_ >= timing_.killPolls)
        finish(); // survived SIGKILL: give up silently
}

void GroupTerminator::abandon()
{
    if (finished_)
        return;
    ProcessGroups::signalGroup(pgid_, SIGKILL);
    finish();
}

void GroupTerminator::finish()
{
    finished_ = true;
    timer_.stop();
    if (done_)
        std::exchange(done_, nullptr)();
    deleteLater();
}
