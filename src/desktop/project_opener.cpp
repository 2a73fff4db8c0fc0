#include "desktop/project_opener.h"

#include "desktop/alert_presenter.h"
#include "desktop/app_resolution.h"
#include "desktop/folder_launch.h"
#include "desktop/workspace.h"

#include <QDir>

namespace {

Alert nothingToOpenWith(const QString& message)
{
    return Alert{message, {}, {}, AlertStyle::warning};
}

} // namespace

ProjectOpener::ProjectOpener(Workspace& workspace, AlertPresenter& alerts,
                             std::function<void()> openSettings)
    : workspace_(workspace), alerts_(alerts), openSettings_(std::move(openSettings))
{}

void ProjectOpener::askToChooseInSettings(const QString& message) const
{
    alerts_.show(nothingToOpenWith(message), [openSettings = openSettings_](int) {
        if (openSettings)
            openSettings();
    });
}

void ProjectOpener::openInTerminal(const QString& folder, const AppSettings& settings,
                                   const QList<ExternalApp>& installedTerminals) const
{
    if (const auto terminal = resolveApp(settings.terminalApp, installedTerminals))
        workspace_.openWithApplication(terminalLaunch(*terminal, folder));
    else
        askToChooseInSettings(QStringLiteral("No terminal app found. Choose one in Settings."));
}

void ProjectOpener::openInEditor(const QString& folder, const QString& relativePath,
                                 const AppSettings& settings,
                                 const QList<ExternalApp>& installedEditors,
                                 const QMap<QString, QString>& childEnvironment) const
{
    const QString target =
        relativePath.isEmpty() ? folder : QDir::cleanPath(folder + u'/' + relativePath);
    if (const auto command =
            customEditorLaunch(settings.editorCommand, folder, target, childEnvironment)) {
        workspace_.openWithApplication(*command);
        return;
    }
    if (const auto editor = resolveApp(settings.editorApp, installedEditors))
        workspace_.openWithApplication(editorLaunch(*editor, folder, target));
    else
        askToChooseInSettings(QStringLiteral("No code editor found. Choose one in Settings."));
}

void ProjectOpener::revealInFileManager(const QString& folder) const
{
    workspace_.revealInFileManager(folder);
}
