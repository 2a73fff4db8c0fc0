#pragma once

#include "base/app_settings.h"
#include "desktop/external_app.h"

#include <QMap>

#include <functional>

class AlertPresenter;
class Workspace;

// Opens a project folder in the user's terminal, editor or file manager. It decides what to
// start from the settings and the installed applications; the workspace starts it and the
// alert presenter shows the warning when nothing is available.
class ProjectOpener
{
public:
    // `openSettings`, when given, runs once the user has read a warning that asks them to
    // choose an application in Settings.
    ProjectOpener(Workspace& workspace, AlertPresenter& alerts,
                  std::function<void()> openSettings = {});

    void openInTerminal(const QString& folder, const AppSettings& settings,
                        const QList<ExternalApp>& installedTerminals) const;

    // Opens the folder, or the file or folder at `relativePath` inside it when one is given.
    // The custom editor command, when set, runs in `childEnvironment` instead of an editor app.
    void openInEditor(const QString& folder, const QString& relativePath,
                      const AppSettings& settings, const QList<ExternalApp>& installedEditors,
                      const QMap<QString, QString>& childEnvironment) const;

    void revealInFileManager(const QString& folder) const;

private:
    void askToChooseInSettings(const QString& message) const;

    Workspace& workspace_;
    AlertPresenter& alerts_;
    std::function<void()> openSettings_;
};
