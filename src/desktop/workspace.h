#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

// One program to start detached: it outlives the application and runs in a session of its own,
// so it never joins a dev server's process group. Its standard streams are the null device.
struct LaunchRequest
{
    QString program = {}; // absolute path of the executable
    QStringList arguments = {};
    QString workingFolder = {}; // empty keeps the application's own working folder
    // The complete environment of the program; none means the application's own.
    std::optional<QMap<QString, QString>> environment = {};

    friend bool operator==(const LaunchRequest&, const LaunchRequest&) = default;
};

// The desktop's workspace operations. Failures are not reported: a browser, file manager or
// program that cannot be started is silently skipped. Called on the main thread.
class Workspace
{
public:
    virtual ~Workspace() = default;

    // Opens an address (http, https or file) with the desktop's default application.
    virtual void openAddress(const QUrl& address) = 0;
    // Starts a program detached, for example a terminal or editor on a project folder, or the
    // shell running the user's custom editor command.
    virtual void openWithApplication(const LaunchRequest& request) = 0;
    // Shows the file manager with the given file or folder selected.
    virtual void revealInFileManager(const QString& path) = 0;
};
