#pragma once

#include "ui/diagnostics/launch_plan.h"

#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <optional>

class AppModel;
class Theme;
class QWidget;

// The pauses of the diagnostic runs; tests shorten them.
struct DiagnosticsTiming
{
    int waitChecks = 120; // looking for a project by name: one minute in all
    std::chrono::milliseconds checkInterval{500};
    std::chrono::milliseconds reportDelay{30000}; // after the start, before the report
    std::chrono::milliseconds attachDelay{4000};  // after selecting (and starting) the project
    std::chrono::milliseconds settleDelay{1500};  // after sizing the window
    std::chrono::milliseconds tabDelay{2000};     // after switching tabs, before the picture
};

// Acts on the diagnostic variables once start-up has finished: adds a root, runs the
// start-and-report run or the screenshot run, and ends the process through `exit` with 0 on
// completion, 1 when the named project never appears, 2 when there is no window to photograph.
// Each step is a timer callback on the main thread: the interface keeps drawing meanwhile.
class DiagnosticsRunner : public QObject
{
    Q_OBJECT

public:
    struct Hooks
    {
        std::function<QWidget*()> mainWindow; // the window with a title bar, or null
        std::function<QWidget*()> trayMenu;   // photographed after the tabs, when present
        std::function<void()> bringToFront;
        std::function<void(int code)> exit;
        // Opens the settings window and returns it; photographed after the tabs when given.
        std::function<QWidget*()> settingsWindow;
    };

    DiagnosticsRunner(AppModel& model, Theme& theme, DiagnosticsPlan plan, Hooks hooks,
                      DiagnosticsTiming timing = {}, QObject* parent = nullptr);

    void run();

    // Written pictures, in order (for tests and the log).
    const QStringList& pictures() const { return pictures_; }

private:
    void waitForProject(const QString& name, std::function<void(std::optional<QString>)> found,
                        int checksDone = 0);
    void startAndReport();
    void screenshots();
    void takePictures(const QPointer<QWidget>& window, const QString& folder, const QString& scheme,
                      int index);
    void settingsPictures(const QString& folder, const QString& scheme);
    // The project's environment picker opened, when the Settings tab shows one; then `next`.
    void environmentPickerPicture(const QPointer<QWidget>& window, const QString& file,
                                  std::function<void()> next);
    void savePicture(const QPixmap& picture, const QString& file);
    void after(std::chrono::milliseconds delay, std::function<void()> step);

    AppModel& model_;
    Theme& theme_;
    DiagnosticsPlan plan_;
    Hooks hooks_;
    DiagnosticsTiming timing_;
    QStringList pictures_;
};
