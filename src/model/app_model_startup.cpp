// Bringing the model to life after the application has launched: appearance, the start-up
// sequence, and capturing the login-shell environment (at start-up and on reload).
#include "base/deliver.h"
#include "desktop/app_detection.h"
#include "model/app_model.h"
#include "model/demo_data.h"
#include "model/future_helpers.h"
#include "supervision/shell_environment.h"

#include <QDir>
#include <QTimer>

void AppModel::launch()
{
    applyAppearance();
    if (!settings_.showDockIcon)
        applyDockIconPolicy();
    setInstalledApps(::installedTerminals(rawShellEnv_), ::installedEditors(rawShellEnv_));
    // The sequence runs from the event loop, so the caller's launching ends first.
    QTimer::singleShot(0, this, &AppModel::bootstrap);
}

void AppModel::bootstrap()
{
    if (isDemo_) {
        // Demo data only: no shell, no inspection, no processes, no watcher.
        const QString home = context_.environment.value(QStringLiteral("HOME"), QDir::homePath());
        loadDemo(*this, context_.environment, home);
        emit bootstrapFinished();
        return;
    }
    // Each step starts when the one before has been applied on the main thread; none runs
    // once the model is gone.
    const QFuture<void> steps = Futures::inTurn(
        this, {[this] { return captureShellEnvironment(); }, [this] { return inspectAll(); },
               [this] { return refreshExternal(); }, [this] { return recoverOrphans(); }});
    deliverTo(this, steps, [this] {
        restartWatcher();
        emit bootstrapFinished();
    });
}

void AppModel::reloadShellEnvironment()
{
    setShellEnvLoaded(false);
    captureShellEnvironment();
}

QFuture<void> AppModel::captureShellEnvironment()
{
    const quint64 generation = ++shellCaptureGeneration_;
    const QFuture<Environment> capture =
        ShellEnvironment::resolve(ShellEnvironment::loginShell(context_.environment),
                                  double(context_.shellCaptureLimit.count()) / 1000.0);
    auto applied = Futures::shared<void>();
    deliverTo(this, capture, [this, generation, applied](const Environment& environment) {
        // A reload started meanwhile owns the loading state; its capture is applied instead.
        if (generation == shellCaptureGeneration_) {
            setRawShellEnv(environment);
            // The login shell's PATH can reach folders the launch-time detection missed.
            setInstalledApps(::installedTerminals(rawShellEnv_), ::installedEditors(rawShellEnv_));
            setShellEnvLoaded(true);
        }
        applied->finish();
    });
    return applied->future();
}
