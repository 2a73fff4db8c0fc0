#pragma once

#include "desktop/workspace.h"

#include <QObject>

// Starts programs that must outlive the application: terminals, editors and the shell of a
// custom editor command. Each child runs in a session of its own (so it never joins a dev
// server's process group and no signal meant for the application's group reaches it), with its
// standard streams on the null device. The launcher reaps every child by its pid when it exits;
// the exit status is of no interest.
class DetachedLauncher : public QObject
{
    Q_OBJECT

public:
    struct Result
    {
        qint64 pid = 0; // positive when the program started
        QString error;  // why it did not start, otherwise empty
    };

    explicit DetachedLauncher(QObject* parent = nullptr);
    ~DetachedLauncher() override;

    Result launch(const LaunchRequest& request);

signals:
    // A child started by launch() has exited and been reaped.
    void exited(qint64 pid);

private:
    void watch(qint64 pid);
};

// The workspace's "open with an application" done by starting the program detached. The GUI's
// workspace derives from it and adds opening addresses and revealing in the file manager.
class LaunchingWorkspace : public Workspace
{
public:
    void openWithApplication(const LaunchRequest& request) override { launcher_.launch(request); }
    DetachedLauncher& launcher() { return launcher_; }

private:
    DetachedLauncher launcher_;
};
