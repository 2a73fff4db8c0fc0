// What a change of the user's preferences does beyond storing them.
#include "desktop/application_presence.h"
#include "model/app_model.h"

void AppModel::applySettingsChange(const AppSettings& oldValue, const AppSettings& newValue)
{
    if (oldValue.appearance != newValue.appearance)
        applyAppearance();
    if (oldValue.showDockIcon != newValue.showDockIcon) {
        applyDockIconPolicy();
        // Switching the taskbar entry would otherwise leave the application in the
        // background.
        if (context_.desktop.presence)
            context_.desktop.presence->bringToFront();
    }
    context_.services.saveSettings(newValue);
    if (oldValue.watchRoots != newValue.watchRoots)
        restartWatcher();
}

void AppModel::applyAppearance()
{
    if (context_.desktop.presence)
        context_.desktop.presence->applyAppearance(settings_.appearance);
}

void AppModel::applyDockIconPolicy()
{
    // A demo shows the window as it is, whatever the stored preference.
    if (isDemo_ || !context_.desktop.presence)
        return;
    context_.desktop.presence->applyTaskbarPolicy(settings_.showDockIcon ? TaskbarPolicy::shown
                                                                         : TaskbarPolicy::trayOnly);
}
