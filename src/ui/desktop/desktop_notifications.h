#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>

// Desktop notifications through org.freedesktop.Notifications on a D-Bus session bus. Sending
// never waits; without a notification service nothing happens. A notification that the user
// activates comes back as its key.
class DesktopNotifications : public QObject
{
    Q_OBJECT

public:
    explicit DesktopNotifications(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                                  QObject* parent = nullptr);

    void notify(const QString& key, const QString& summary, const QString& body);

signals:
    void activated(const QString& key);

private slots:
    // The service's signals, subscribed by slot name.
    void actionInvoked(uint id, const QString& action);
    void notificationClosed(uint id, uint reason);

private:
    QDBusConnection bus_;
    QHash<uint, QString> keys_; // notifications on screen, by the service's id
};
