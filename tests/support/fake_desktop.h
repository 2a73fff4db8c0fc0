#pragma once

#include "desktop/alert_presenter.h"
#include "desktop/application_presence.h"
#include "desktop/desktop_services.h"
#include "desktop/workspace.h"

#include <QList>
#include <QStringList>
#include <QUrl>

#include <deque>

// Scripted stand-ins for the desktop interfaces. Each records every call; all three can share
// one journal so that tests can check the order of calls across interfaces, e.g.
// "taskbar:trayOnly" before "bringToFront".
//
// Journal entries: "alert:<message>", "appearance:<raw mode>", "taskbar:<policy>",
// "bringToFront", "openAddress:<url>", "launch:<program>", "reveal:<path>".

class FakeAlertPresenter : public AlertPresenter
{
public:
    explicit FakeAlertPresenter(QStringList* journal = nullptr) : journal_(journal) {}

    // Answers for the next alerts, in order. An alert shown while no answer is queued stays
    // pending until answerPending() is called.
    void queueAnswer(int choice) { answers_.push_back(choice); }
    // Answers the oldest pending alert; returns false when none is pending.
    bool answerPending(int choice);
    // Dismisses the oldest pending alert as Escape would (see dismissalChoice).
    bool dismissPending();

    void show(const Alert& alert, Choice onChoice = {}) override;

    const QList<Alert>& shown() const { return shown_; }
    QStringList messages() const;
    int pendingCount() const { return int(pending_.size()); }

private:
    struct Pending
    {
        Alert alert;
        Choice onChoice;
    };

    QStringList* journal_;
    std::deque<int> answers_;
    std::deque<Pending> pending_;
    QList<Alert> shown_;
};

class FakeApplicationPresence : public ApplicationPresence
{
public:
    explicit FakeApplicationPresence(QStringList* journal = nullptr) : journal_(journal) {}

    void applyAppearance(AppearanceMode mode) override;
    void applyTaskbarPolicy(TaskbarPolicy policy) override;
    void bringToFront() override;

    const QList<AppearanceMode>& appearances() const { return appearances_; }
    const QList<TaskbarPolicy>& policies() const { return policies_; }
    int bringToFrontCount() const { return bringToFrontCount_; }

private:
    QStringList* journal_;
    QList<AppearanceMode> appearances_;
    QList<TaskbarPolicy> policies_;
    int bringToFrontCount_ = 0;
};

class FakeWorkspace : public Workspace
{
public:
    explicit FakeWorkspace(QStringList* journal = nullptr) : journal_(journal) {}

    void openAddress(const QUrl& address) override;
    void openWithApplication(const LaunchRequest& request) override;
    void revealInFileManager(const QString& path) override;

    const QList<QUrl>& openedAddresses() const { return addresses_; }
    const QList<LaunchRequest>& launches() const { return launches_; }
    const QStringList& revealed() const { return revealed_; }
    bool nothingHappened() const
    {
        return addresses_.isEmpty() && launches_.isEmpty() && revealed_.isEmpty();
    }

private:
    QStringList* journal_;
    QList<QUrl> addresses_;
    QList<LaunchRequest> launches_;
    QStringList revealed_;
};

// All three fakes on one journal, with the DesktopServices that points at them.
struct FakeDesktop
{
    QStringList journal;
    FakeAlertPresenter alerts{&journal};
    FakeApplicationPresence presence{&journal};
    FakeWorkspace workspace{&journal};

    DesktopServices services() { return {&alerts, &presence, &workspace}; }
};
