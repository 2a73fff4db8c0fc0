#include "ui/support/panel_session.h"

#include "support/temp_folder.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTest>

namespace {

// A bus of its own: no service directories, so nothing real is ever activated.
const QByteArray busConfig = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  %SERVICES%
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

// The first line a program prints on standard output, within `ms`.
QString firstLine(QProcess& process, int ms)
{
    const QDeadlineTimer deadline(ms);
    if (!process.waitForStarted(ms))
        return {};
    while (!process.canReadLine() && !deadline.hasExpired() && process.state() == QProcess::Running)
        process.waitForReadyRead(qMax<qint64>(1, deadline.remainingTime()));
    return QString::fromUtf8(process.readLine()).trimmed();
}

void stop(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

} // namespace

PrivateSession::PrivateSession(const QString& home)
{
    xvfb_.setProcessChannelMode(QProcess::SeparateChannels);
    xvfb_.start(QStringLiteral("Xvfb"),
                {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                 QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                 QStringLiteral("1280x800x24")});
    const QString number = firstLine(xvfb_, 10000);
    if (number.isEmpty()) {
        problem_ = QStringLiteral("Xvfb did not start: ") + xvfb_.errorString();
        return;
    }
    display_ = u':' + number;

    static int sessions = 0;
    const QString config = QDir::temp().filePath(QStringLiteral("tallowmere-bus-%1-%2.conf")
                                                     .arg(QCoreApplication::applicationPid())
                                                     .arg(++sessions));
    QFile file(config);
    if (file.open(QIODevice::WriteOnly))
        file.write(QByteArray(busConfig).replace(
            "%SERVICES%", home.isEmpty() ? "" : "<standard_session_servicedirs/>"));
    file.close();
    if (!home.isEmpty()) {
        // Services the bus starts read its environment: the session's HOME and display.
        QProcessEnvironment busEnvironment = QProcessEnvironment::systemEnvironment();
        busEnvironment.insert(QStringLiteral("HOME"), home);
        busEnvironment.insert(QStringLiteral("DISPLAY"), display_);
        busEnvironment.remove(QStringLiteral("XDG_CONFIG_HOME"));
        dbus_.setProcessEnvironment(busEnvironment);
    }
    dbus_.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                 QStringLiteral("--print-address=1")});
    busAddress_ = firstLine(dbus_, 10000);
    QFile::remove(config);
    if (busAddress_.isEmpty()) {
        problem_ = QStringLiteral("dbus-daemon did not start: ") + dbus_.errorString();
        display_.clear();
        return;
    }
    connectionName_ = QStringLiteral("panel-%1").arg(sessions);
    bus_ = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(busAddress_, connectionName_));
    if (!bus_->isConnected()) {
        problem_ = QStringLiteral("cannot connect to the private bus");
        busAddress_.clear();
    }
}

PrivateSession::~PrivateSession()
{
    if (bus_) {
        bus_.reset();
        QDBusConnection::disconnectFromBus(connectionName_);
    }
    stop(dbus_);
    stop(xvfb_);
}

QProcessEnvironment PrivateSession::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display_);
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress_);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("XDG_CURRENT_DESKTOP"));
    return environment;
}

void PrivateSession::endDisplay()
{
    xvfb_.kill();
    xvfb_.waitForFinished(5000);
}

// ---- StatusNotifierWatcher ----

StatusNotifierWatcher::StatusNotifierWatcher(QObject* owner) : QDBusAbstractAdaptor(owner) {}

StatusNotifierWatcher* StatusNotifierWatcher::serve(QDBusConnection& bus, QObject* owner)
{
    auto* watcher = new StatusNotifierWatcher(owner);
    bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), owner);
    bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    return watcher;
}

void StatusNotifierWatcher::RegisterStatusNotifierItem(const QString& service,
                                                       const QDBusMessage& message)
{
    // The item names either its bus name or its object path.
    const QString busName = service.startsWith(u'/') ? message.service() : service;
    services_.append(busName);
    items_.append(busName + QStringLiteral("/StatusNotifierItem"));
    emit StatusNotifierItemRegistered(busName);
}

// ---- NotificationService ----

NotificationService::NotificationService(QObject* owner) : QDBusAbstractAdaptor(owner) {}

NotificationService* NotificationService::serve(QDBusConnection& bus, QObject* owner)
{
    auto* service = new NotificationService(owner);
    bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), owner);
    bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
    return service;
}

uint NotificationService::Notify(const QString& appName, uint, const QString&,
                                 const QString& summary, const QString& body,
                                 const QStringList& actions, const QVariantMap&, int)
{
    const uint id = uint(received_.size()) + 1;
    received_.append({id, appName, summary, body, actions});
    return id;
}

void NotificationService::activate(uint id)
{
    emit ActionInvoked(id, QStringLiteral("default"));
}

// ---- The item's own methods ----

PanelItem::PanelItem(QDBusConnection& bus, QString itemService)
    : bus_(bus), service_(std::move(itemService))
{}

bool PanelItem::call(const QString& method, const QVariantList& arguments)
{
    QDBusMessage message =
        QDBusMessage::createMethodCall(service_, QStringLiteral("/StatusNotifierItem"),
                                       QStringLiteral("org.kde.StatusNotifierItem"), method);
    message.setArguments(arguments);
    return bus_.call(message, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
}

// ---- The menu over com.canonical.dbusmenu ----

namespace {

MenuNode readNode(const QDBusArgument& argument)
{
    MenuNode node;
    argument.beginStructure();
    argument >> node.id;
    argument >> node.properties;
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        node.children.append(readNode(child.variant().value<QDBusArgument>()));
    }
    argument.endArray();
    argument.endStructure();
    return node;
}

bool visible(const MenuNode& node)
{
    return node.properties.value(QStringLiteral("visible"), true).toBool();
}

} // namespace

QString MenuNode::label() const
{
    // Mnemonics come as "_x"; a literal underscore as "__".
    QString text = properties.value(QStringLiteral("label")).toString();
    text.replace(QStringLiteral("__"), QStringLiteral("\x01"));
    text.remove(u'_');
    text.replace(u'\x01', u'_');
    return text;
}

bool MenuNode::isSeparator() const
{
    return properties.value(QStringLiteral("type")).toString() == QStringLiteral("separator");
}

QString MenuNode::describe() const
{
    if (isSeparator())
        return QStringLiteral("-");
    QString text = label();
    if (!properties.value(QStringLiteral("enabled"), true).toBool())
        text += QStringLiteral(" (disabled)");
    if (properties.value(QStringLiteral("children-display")).toString() ==
        QStringLiteral("submenu")) {
        QStringList parts;
        for (const MenuNode& child : children)
            if (visible(child))
                parts.append(child.describe());
        text += QStringLiteral(" [") + parts.join(QStringLiteral(", ")) + u']';
    }
    return text;
}

const MenuNode* MenuNode::find(const QStringList& labels) const
{
    if (labels.isEmpty())
        return this;
    for (const MenuNode& child : children)
        if (visible(child) && !child.isSeparator() && child.label() == labels.first())
            return child.find(labels.mid(1));
    return nullptr;
}

PanelMenu::PanelMenu(QDBusConnection& bus, QString itemService)
    : bus_(bus), service_(std::move(itemService))
{}

QString PanelMenu::menuPath()
{
    if (!path_.isEmpty())
        return path_;
    QDBusMessage get = QDBusMessage::createMethodCall(
        service_, QStringLiteral("/StatusNotifierItem"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.kde.StatusNotifierItem") << QStringLiteral("Menu");
    const QDBusReply<QDBusVariant> reply = bus_.call(get, QDBus::Block, 5000);
    if (reply.isValid())
        path_ = reply.value().variant().value<QDBusObjectPath>().path();
    return path_;
}

MenuNode PanelMenu::layout()
{
    const QString path = menuPath();
    if (path.isEmpty())
        return {};
    QDBusMessage call = QDBusMessage::createMethodCall(
        service_, path, QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("GetLayout"));
    call << 0 << -1 << QStringList();
    const QDBusMessage reply = bus_.call(call, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() < 2)
        return {};
    return readNode(reply.arguments().at(1).value<QDBusArgument>());
}

QStringList PanelMenu::describeTop()
{
    QStringList entries;
    for (const MenuNode& child : layout().children)
        if (visible(child))
            entries.append(child.describe());
    return entries;
}

bool PanelMenu::click(const QStringList& labels)
{
    const MenuNode root = layout();
    const MenuNode* node = root.find(labels);
    if (!node || labels.isEmpty())
        return false;
    QDBusMessage event = QDBusMessage::createMethodCall(
        service_, menuPath(), QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("Event"));
    event << node->id << QStringLiteral("clicked") << QVariant::fromValue(QDBusVariant(QVariant(0)))
          << uint(QDateTime::currentSecsSinceEpoch());
    return bus_.call(event, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
}

bool PanelMenu::clickUntil(const QStringList& labels, const std::function<bool()>& done, int ms)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (!click(labels))
            return done();
        if (QTest::qWaitFor(done, ms))
            return true;
    }
    return false;
}
