#include "support/fake_desktop.h"

namespace {

void note(QStringList* journal, const QString& entry)
{
    if (journal)
        journal->append(entry);
}

} // namespace

void FakeAlertPresenter::show(const Alert& alert, Choice onChoice)
{
    shown_.append(alert);
    note(journal_, QStringLiteral("alert:") + alert.message);
    if (answers_.empty()) {
        pending_.push_back({alert, std::move(onChoice)});
        return;
    }
    const int choice = answers_.front();
    answers_.pop_front();
    if (onChoice)
        onChoice(choice);
}

bool FakeAlertPresenter::answerPending(int choice)
{
    if (pending_.empty())
        return false;
    // Taken out first: the callback may show the next alert.
    Pending pending = std::move(pending_.front());
    pending_.pop_front();
    if (pending.onChoice)
        pending.onChoice(choice);
    return true;
}

bool FakeAlertPresenter::dismissPending()
{
    if (pending_.empty())
        return false;
    return answerPending(dismissalChoice(pending_.front().alert));
}

QStringList FakeAlertPresenter::messages() const
{
    QStringList result;
    for (const Alert& alert : shown_)
        result.append(alert.message);
    return result;
}

void FakeApplicationPresence::applyAppearance(AppearanceMode mode)
{
    appearances_.append(mode);
    note(journal_, QStringLiteral("appearance:") + rawValue(mode));
}

void FakeApplicationPresence::applyTaskbarPolicy(TaskbarPolicy policy)
{
    policies_.append(policy);
    note(journal_, QStringLiteral("taskbar:") + rawValue(policy));
}

void FakeApplicationPresence::bringToFront()
{
    ++bringToFrontCount_;
    note(journal_, QStringLiteral("bringToFront"));
}

void FakeWorkspace::openAddress(const QUrl& address)
{
    addresses_.append(address);
    note(journal_, QStringLiteral("openAddress:") + address.toString());
}

void FakeWorkspace::openWithApplication(const LaunchRequest& request)
{
    launches_.append(request);
    note(journal_, QStringLiteral("launch:") + request.program);
}

void FakeWorkspace::revealInFileManager(const QString& path)
{
    revealed_.append(path);
    note(journal_, QStringLiteral("reveal:") + path);
}
