#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>

#include <functional>

class AppModel;

// Tells the user, through a desktop notification, when a server stops with an error or finds
// its port taken while the main window is hidden: nobody would see it in the window. One
// notification per project and event within one run of its server (a new start may notify
// again), never a stream.
class ServerEventNotifier : public QObject
{
    Q_OBJECT

public:
    // `windowShown` tells whether the main window is on screen; `send` gets the project's path
    // (the notification's key), the summary and the body.
    ServerEventNotifier(
        AppModel& model, std::function<bool()> windowShown,
        std::function<void(const QString& path, const QString& summary, const QString& body)> send,
        QObject* parent = nullptr);

private:
    void watchRuntimes();
    void statusChanged(const QString& path);
    void portConflictChanged(const QString& path);
    void tell(const QString& path, const QString& event, const QString& body);

    AppModel& model_;
    std::function<bool()> windowShown_;
    std::function<void(const QString&, const QString&, const QString&)> send_;
    QPointer<QObject> watch_;
    // The events already told per project, since its last start.
    QHash<QString, QSet<QString>> told_;
    QHash<QString, bool> wasError_;
};
