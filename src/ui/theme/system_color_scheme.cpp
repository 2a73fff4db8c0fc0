#include "ui/theme/system_color_scheme.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QPalette>

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString appearanceGroup = QStringLiteral("org.freedesktop.appearance");
const QString colorSchemeKey = QStringLiteral("color-scheme");

// The portal wraps the value in one or two variants depending on its version.
uint unwrap(QVariant value)
{
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value.toUInt();
}

} // namespace

SystemColorScheme::SystemColorScheme(QObject* parent) : QObject(parent)
{
    const QColor window = QGuiApplication::palette().color(QPalette::Window);
    paletteScheme_ = window.lightnessF() < 0.5 ? Scheme::dark : Scheme::light;
    askPortal();
}

Scheme SystemColorScheme::scheme() const
{
    return portalScheme_.value_or(paletteScheme_);
}

std::optional<Scheme> SystemColorScheme::fromPortalValue(uint value)
{
    switch (value) {
    case 1: return Scheme::dark;
    case 2: return Scheme::light;
    default: return std::nullopt;
    }
}

void SystemColorScheme::askPortal()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    // Subscribed by slot name: the bus only offers that. The slot takes the whole message,
    // which the bus can always deliver, and unpacks the arguments itself.
    bus.connect(portalService, portalPath, settingsInterface, QStringLiteral("SettingChanged"),
                this, SLOT(portalSettingChanged(QDBusMessage)));
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, settingsInterface,
                                                       QStringLiteral("Read"));
    call << appearanceGroup << colorSchemeKey;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<QVariant> reply = *w;
        if (!reply.isError())
            setPortalScheme(fromPortalValue(unwrap(reply.value())));
        w->deleteLater();
    });
}

void SystemColorScheme::portalSettingChanged(const QDBusMessage& message)
{
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() == 3 && arguments[0].toString() == appearanceGroup &&
        arguments[1].toString() == colorSchemeKey)
        setPortalScheme(fromPortalValue(unwrap(arguments[2])));
}

void SystemColorScheme::setPortalScheme(std::optional<Scheme> scheme)
{
    const Scheme before = this->scheme();
    portalScheme_ = scheme;
    if (this->scheme() != before)
        emit schemeChanged(this->scheme());
}
