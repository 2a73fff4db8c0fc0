#include "ui/tray/tray_watch.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");

QDBusMessage hostQuestion()
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        watcherService, watcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << watcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    return get;
}

bool saysYes(const QDBusMessage& reply)
{
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

} // namespace

TrayWatch::TrayWatch(QDBusConnection bus, QObject* parent) : QObject(parent), bus_(std::move(bus))
{
    if (!bus_.isConnected()) {
        // No session bus: only Qt's own tray (XEmbed on X11) can be there.
        available_ = QSystemTrayIcon::isSystemTrayAvailable();
        return;
    }
    // Start-up asks once, blocking briefly: the answer decides whether a window opens.
    const QDBusConnectionInterface* names = bus_.interface();
    if (names && names->isServiceRegistered(watcherService).value() &&
        saysYes(bus_.call(hostQuestion(), QDBus::Block, 2000))) {
        available_ = true;
        return;
    }
    auto* appearing = new QDBusServiceWatcher(watcherService, bus_,
                                              QDBusServiceWatcher::WatchForRegistration, this);
    connect(appearing, &QDBusServiceWatcher::serviceRegistered, this, &TrayWatch::askHost);
    // A watcher that had no host yet announces the host when it comes.
    bus_.connect(watcherService, watcherPath, watcherService,
                 QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(hostRegistered()));
    // Only X11 has a tray that is not a watcher; asking Qt settles its choice for good.
    if (QGuiApplication::platformName() == QStringLiteral("xcb"))
        QTimer::singleShot(graceMs, this, [this] {
            if (!available_ && QSystemTrayIcon::isSystemTrayAvailable())
                markAvailable();
        });
}

void TrayWatch::askHost()
{
    if (available_)
        return;
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(hostQuestion(), 5000), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, &TrayWatch::hostAnswered);
}

void TrayWatch::hostAnswered(QDBusPendingCallWatcher* call)
{
    call->deleteLater();
    if (saysYes(call->reply()))
        markAvailable();
}

void TrayWatch::hostRegistered()
{
    markAvailable();
}

void TrayWatch::markAvailable()
{
    if (available_)
        return;
    available_ = true;
    emit appeared();
}
