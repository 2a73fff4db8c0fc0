#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class AppModel;
class QWidget;

// How the application ends. Quitting asks the model's confirmQuit (only while servers started
// here run), then awaits stopping every server before the process ends; cancelling keeps
// everything running. The session ending (a termination signal) stops every server without
// asking. Closing the main window leaves the application in the tray, or, where there is no
// tray, quits through the same confirmation, so that no invisible process keeps servers running.
class AppLifecycle : public QObject
{
    Q_OBJECT

public:
    // `exit` ends the event loop with a code (QCoreApplication::exit in the application).
    AppLifecycle(AppModel& model, std::function<void(int code)> exit, QObject* parent = nullptr);

    // Quit Tallowmere: the confirmation, then the stops, then exit 0. Ignored while a quit is
    // already under way.
    void requestQuit();
    // The session ends: every server is stopped without asking, then exit 0.
    void endSession();
    // Watches the main window's close: hidden into the tray, or a quit without a tray.
    void watchMainWindow(QWidget* window, bool hasTray);
    // A tray appeared after start-up: closing the window hides it from now on.
    void setHasTray(bool hasTray) { hasTray_ = hasTray; }

    bool isQuitting() const { return quitting_ || asking_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void stopAllAndExit();

    AppModel& model_;
    std::function<void(int)> exit_;
    QPointer<QWidget> window_;
    bool hasTray_ = true;
    bool asking_ = false;   // the confirmation is on screen
    bool quitting_ = false; // the servers are being stopped
};
