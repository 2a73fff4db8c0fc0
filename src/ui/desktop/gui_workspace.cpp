#include "ui/desktop/gui_workspace.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QUrl>

GuiWorkspace::GuiWorkspace(QObject* parent) : QObject(parent) {}

void GuiWorkspace::openAddress(const QUrl& address)
{
    QDesktopServices::openUrl(address);
}

void GuiWorkspace::revealInFileManager(const QString& path)
{
    const QUrl target = QUrl::fromLocalFile(path);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QDesktopServices::openUrl(target);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{target.toString()} << QString();
    // Asynchronous: a file manager that has to be started first must not freeze the window.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [target](QDBusPendingCallWatcher* w) {
                if (w->isError())
                    QDesktopServices::openUrl(target);
                w->deleteLater();
            });
}
