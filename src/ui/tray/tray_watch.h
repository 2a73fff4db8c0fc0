#pragma once

#include <QDBusConnection>
#include <QObject>

class QDBusPendingCallWatcher;

// Whether the desktop offers a system tray, and the moment one appears: at login the panel often
// starts after the application. A tray is the status-notifier watcher on the session bus
// (org.kde.StatusNotifierWatcher) with a host registered, which KDE Plasma, XFCE and GNOME's
// AppIndicator extension provide. Qt decides once per process, when the first tray item is
// created, whether items go to that watcher, so nothing may create one before this says so.
// On X11, where no watcher appears within a grace period, Qt's own answer (an XEmbed tray) is
// asked once instead.
class TrayWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr int graceMs = 10000;

    explicit TrayWatch(QDBusConnection bus, QObject* parent = nullptr);

    bool available() const { return available_; }

signals:
    // Once, when a tray became available after construction.
    void appeared();

private slots:
    void hostRegistered();

private:
    void askHost();
    void hostAnswered(QDBusPendingCallWatcher* call);
    void markAvailable();

    QDBusConnection bus_;
    bool available_ = false;
};
