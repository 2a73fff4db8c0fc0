#pragma once

#include "desktop/detached_launcher.h"

#include <QObject>

// The desktop's workspace: addresses open with the default application, folders are revealed
// by the file manager over D-Bus (org.freedesktop.FileManager1), or opened when no file manager
// answers, and programs start detached.
class GuiWorkspace : public QObject, public LaunchingWorkspace
{
    Q_OBJECT

public:
    explicit GuiWorkspace(QObject* parent = nullptr);

    void openAddress(const QUrl& address) override;
    void revealInFileManager(const QString& path) override;
};
