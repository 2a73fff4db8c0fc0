#include "ui/desktop/desktop_notifications.h"

#include "ui/about/product.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");

} // namespace

DesktopNotifications::DesktopNotifications(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus_(bus)
{
    bus_.connect(service, path, interface, QStringLiteral("ActionInvoked"), this,
                 SLOT(actionInvoked(uint, QString)));
    bus_.connect(service, path, interface, QStringLiteral("NotificationClosed"), this,
                 SLOT(notificationClosed(uint, uint)));
}

void DesktopNotifications::notify(const QString& key, const QString& summary, const QString& body)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
    // "default" is the action of clicking the notification itself.
    const QStringList actions{QStringLiteral("default"), QStringLiteral("Show")};
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("tallowmere")}};
    call << Product::name << uint(0) << QStringLiteral("tallowmere") << summary << body << actions
         << hints << int(-1);
    // A missing service is not started for us: no service, no notification.
    call.setAutoStartService(false);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, key](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusPendingReply<uint> reply = *finished;
                if (reply.isValid())
                    keys_.insert(reply.value(), key);
            });
}

void DesktopNotifications::actionInvoked(uint id, const QString& action)
{
    const auto found = keys_.constFind(id);
    if (found != keys_.cend() && action == QStringLiteral("default"))
        emit activated(found.value());
}

void DesktopNotifications::notificationClosed(uint id, uint)
{
    keys_.remove(id);
}
