#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>

// What a desktop session offers a tray application, in private: an X server (Xvfb) and a D-Bus
// session bus (dbus-daemon) of the test's own, both ended with the session. The test process is
// connected to the bus and plays the panel.
class PrivateSession
{
public:
    // `home`, when given, is the HOME of the bus and of what it starts, and the bus then starts
    // the session's services (xfconfd for a real panel) as a desktop's bus does.
    explicit PrivateSession(const QString& home = {});
    ~PrivateSession();

    // False when Xvfb or dbus-daemon could not be started; the reason is in `problem`.
    bool ok() const { return !display_.isEmpty() && !busAddress_.isEmpty(); }
    QString problem() const { return problem_; }
    QString display() const { return display_; }
    QString busAddress() const { return busAddress_; }
    QDBusConnection& bus() { return *bus_; }
    // An environment for a program of this session on the xcb platform.
    QProcessEnvironment environment() const;
    // Ends the X server at once, as a crashed or closed X session does.
    void endDisplay();

private:
    QProcess xvfb_;
    QProcess dbus_;
    QString display_;
    QString busAddress_;
    QString problem_;
    QString connectionName_;
    std::unique_ptr<QDBusConnection> bus_;
};

// org.kde.StatusNotifierWatcher with a host registered: tray items register here.
class StatusNotifierWatcher : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    // Registers itself on `bus` under the watcher's service name.
    static StatusNotifierWatcher* serve(QDBusConnection& bus, QObject* owner);

    bool isHostRegistered() const { return true; }
    QStringList items() const { return items_; }
    int protocolVersion() const { return 0; }
    // The bus name of the first registered item (empty while there is none).
    QString firstItemService() const { return services_.value(0); }

public slots:
    void RegisterStatusNotifierItem(const QString& service, const QDBusMessage& message);
    void RegisterStatusNotifierHost(const QString&) {}

signals:
    void StatusNotifierItemRegistered(const QString& item);
    void StatusNotifierHostRegistered();

private:
    explicit StatusNotifierWatcher(QObject* owner);

    QStringList items_;
    QStringList services_;
};

// A stand-in notification service (org.freedesktop.Notifications) that records each call and
// can activate a notification as a click would.
class NotificationService : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Notification
    {
        uint id;
        QString appName;
        QString summary;
        QString body;
        QStringList actions;
    };

    static NotificationService* serve(QDBusConnection& bus, QObject* owner);

    const QList<Notification>& received() const { return received_; }
    // Emits ActionInvoked(id, "default"), what clicking the notification does.
    void activate(uint id);

public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int timeout);
    QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }
    void CloseNotification(uint) {}

signals:
    void ActionInvoked(uint id, const QString& actionKey);
    void NotificationClosed(uint id, uint reason);

private:
    explicit NotificationService(QObject* owner);

    QList<Notification> received_;
};

// One entry of a menu read over com.canonical.dbusmenu.
struct MenuNode
{
    int id = 0;
    QVariantMap properties;
    QList<MenuNode> children;

    QString label() const;
    bool isSeparator() const;
    // The entry's own text: its label, "-" for a divider, "label [children]" for a submenu
    // (children listed the same way); invisible entries are left out.
    QString describe() const;
    // The first visible entry (depth first) whose label path matches, e.g. {"○  api", "Start"}.
    const MenuNode* find(const QStringList& labels) const;
};

// Calls a tray item's own methods (org.kde.StatusNotifierItem) as a panel does on a click:
// Activate on a left click, SecondaryActivate on a middle click, ContextMenu on a right click
// where the panel draws no menu of its own, Scroll on the wheel. Each returns whether the item
// answered with a reply rather than an error.
class PanelItem
{
public:
    PanelItem(QDBusConnection& bus, QString itemService);

    bool activate(int x, int y) { return call(QStringLiteral("Activate"), {x, y}); }
    bool secondaryActivate(int x, int y)
    {
        return call(QStringLiteral("SecondaryActivate"), {x, y});
    }
    bool contextMenu(int x, int y) { return call(QStringLiteral("ContextMenu"), {x, y}); }
    bool scroll(int delta, const QString& orientation)
    {
        return call(QStringLiteral("Scroll"), {delta, orientation});
    }

private:
    bool call(const QString& method, const QVariantList& arguments);

    QDBusConnection& bus_;
    QString service_;
};

// Reads and clicks a tray item's menu as a panel does.
class PanelMenu
{
public:
    PanelMenu(QDBusConnection& bus, QString itemService);

    // The whole layout (null id 0 node on failure).
    MenuNode layout();
    // The visible top-level entries, described as MenuNode::describe does.
    QStringList describeTop();
    // Clicks the entry at `labels`; false when there is none.
    bool click(const QStringList& labels);
    // Clicks until `done` holds (up to five clicks, each given `ms` to show its effect). A menu
    // rebuilt between reading its layout and the click ignores the click, as it would a panel's.
    bool clickUntil(const QStringList& labels, const std::function<bool()>& done, int ms = 5000);

private:
    QString menuPath();

    QDBusConnection& bus_;
    QString service_;
    QString path_;
};
