#include "ui/diagnostics/diagnostics_runner.h"

#include "base/deliver.h"
#include "base/paths.h"
#include "model/app_model.h"
#include "runs/project_runtime.h"
#include "ui/detail/tab_bar.h"
#include "ui/diagnostics/start_report.h"
#include "ui/logs/log_find_bar.h"
#include "ui/theme/theme.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QSaveFile>
#include <QScreen>
#include <QTimer>
#include <QWidget>

DiagnosticsRunner::DiagnosticsRunner(AppModel& model, Theme& theme, DiagnosticsPlan plan,
                                     Hooks hooks, DiagnosticsTiming timing, QObject* parent)
    : QObject(parent), model_(model), theme_(theme), plan_(std::move(plan)),
      hooks_(std::move(hooks)), timing_(timing)
{}

void DiagnosticsRunner::run()
{
    if (plan_.addRoot) {
        const QString root = standardizePath(*plan_.addRoot);
        if (model_.roots().contains(root))
            model_.rescan();
        else
            model_.addRoot(root);
    }
    if (plan_.startAndReport())
        startAndReport();
    else if (plan_.snapshotFolder)
        screenshots();
}

void DiagnosticsRunner::after(std::chrono::milliseconds delay, std::function<void()> step)
{
    QTimer::singleShot(delay, this, std::move(step));
}

void DiagnosticsRunner::waitForProject(const QString& name,
                                       std::function<void(std::optional<QString>)> found,
                                       int checksDone)
{
    for (const Project& project : model_.projects())
        if (project.name == name) {
            found(project.path);
            return;
        }
    if (checksDone + 1 >= timing_.waitChecks) {
        found(std::nullopt);
        return;
    }
    after(timing_.checkInterval, [this, name, found = std::move(found), checksDone]() mutable {
        waitForProject(name, std::move(found), checksDone + 1);
    });
}

void DiagnosticsRunner::startAndReport()
{
    waitForProject(*plan_.startProject, [this](std::optional<QString> path) {
        if (!path) {
            writeReport(*plan_.reportFile, QStringLiteral("project not found"));
            hooks_.exit(1);
            return;
        }
        model_.refreshInfo(*path);
        model_.startProject(*path);
        after(timing_.reportDelay, [this, path = *path] {
            writeReport(*plan_.reportFile, startReport(model_, path));
            // Exits once the server's group is gone: none outlives the run.
            if (!model_.runtimeFor(path)->managed()) {
                hooks_.exit(0);
                return;
            }
            deliverTo(this, model_.stopProject(path), [this] { hooks_.exit(0); });
        });
    });
}

void DiagnosticsRunner::screenshots()
{
    const QString folder = *plan_.snapshotFolder;
    QDir().mkpath(folder);
    const QString scheme = plan_.dark ? QStringLiteral("dark") : QStringLiteral("light");
    theme_.setMode(plan_.dark ? AppearanceMode::dark : AppearanceMode::light);

    waitForProject(plan_.snapshotProject, [this, folder, scheme](std::optional<QString> path) {
        if (!path) {
            hooks_.exit(1);
            return;
        }
        model_.select(*path);
        model_.refreshInfo(*path);
        if (plan_.attach)
            model_.startProject(*path);
        after(timing_.attachDelay, [this, folder, scheme] {
            QPointer<QWidget> window = hooks_.mainWindow ? hooks_.mainWindow() : nullptr;
            if (!window) {
                hooks_.exit(2);
                return;
            }
            window->resize(plan_.snapshotSize);
            if (const QScreen* screen = window->screen()) {
                QRect frame(QPoint(), plan_.snapshotSize);
                frame.moveCenter(screen->availableGeometry().center());
                window->move(frame.topLeft());
            }
            window->show();
            if (hooks_.bringToFront)
                hooks_.bringToFront();
            if (QWidget* focus = window->focusWidget())
                focus->clearFocus();
            after(timing_.settleDelay,
                  [this, window, folder, scheme] { takePictures(window, folder, scheme, 0); });
        });
    });
}

void DiagnosticsRunner::takePictures(const QPointer<QWidget>& window, const QString& folder,
                                     const QString& scheme, int index)
{
    if (index == allDetailTabs().size()) {
        if (QWidget* menu = hooks_.trayMenu ? hooks_.trayMenu() : nullptr) {
            menu->ensurePolished();
            menu->adjustSize();
            savePicture(menu->grab(),
                        QDir(folder).filePath(scheme + QStringLiteral("-tray-menu.png")));
        }
        settingsPictures(folder, scheme);
        return;
    }
    // Activation may have handed the focus to a field since the window was sized.
    if (window && window->focusWidget())
        window->focusWidget()->clearFocus();
    const DetailTab tab = allDetailTabs()[index];
    model_.setSelectedTab(tab);
    after(timing_.tabDelay, [this, window, folder, scheme, index, tab] {
        if (!window) {
            hooks_.exit(2);
            return;
        }
        const QString file = QDir(folder).filePath(
            scheme + QLatin1Char('-') + tabTitle(tab).toLower() + QStringLiteral(".png"));
        savePicture(window->grab(), file);
        if (tab == DetailTab::overview) {
            // The traffic card on its own, while the project runs.
            auto* card = window->findChild<QWidget*>(QStringLiteral("trafficCard"));
            if (card && card->isVisible())
                savePicture(card->grab(),
                            QDir(folder).filePath(scheme + QStringLiteral("-traffic-card.png")));
        }
        if (tab == DetailTab::logs) {
            // The find bar open on a match.
            if (auto* bar = window->findChild<LogFindBar*>(QStringLiteral("logsFindBar"))) {
                bar->open();
                if (auto* field = bar->findChild<QLineEdit*>(QStringLiteral("logsFindField")))
                    field->setText(QStringLiteral("projects"));
                after(timing_.tabDelay, [this, window, folder, scheme, index, bar] {
                    if (!window) {
                        hooks_.exit(2);
                        return;
                    }
                    savePicture(window->grab(),
                                QDir(folder).filePath(scheme + QStringLiteral("-logs-find.png")));
                    bar->close();
                    takePictures(window, folder, scheme, index + 1);
                });
                return;
            }
        }
        if (tab != DetailTab::settings) {
            takePictures(window, folder, scheme, index + 1);
            return;
        }
        environmentPickerPicture(
            window, QDir(folder).filePath(scheme + QStringLiteral("-environment-picker.png")),
            [this, window, folder, scheme, index] {
                takePictures(window, folder, scheme, index + 1);
            });
    });
}

void DiagnosticsRunner::environmentPickerPicture(const QPointer<QWidget>& window,
                                                 const QString& file, std::function<void()> next)
{
    QPointer<QComboBox> picker =
        window ? window->findChild<QComboBox*>(QStringLiteral("environmentPicker")) : nullptr;
    if (!picker || !picker->isVisible()) {
        next();
        return;
    }
    picker->showPopup();
    after(timing_.tabDelay, [this, window, picker, file, next = std::move(next)] {
        if (picker && window) {
            // The open list is a window of its own: the picture is the tab with it on top.
            QPixmap picture = window->grab();
            QWidget* popup = picker->view()->window();
            QPainter painter(&picture);
            // Drawn below the picker: where the window system puts the list is not the
            // window's to know (offscreen, it is clamped to the screen).
            painter.drawPixmap(picker->mapTo(window, QPoint(0, picker->height())), popup->grab());
            painter.end();
            savePicture(picture, file);
            picker->hidePopup();
        }
        next();
    });
}

void DiagnosticsRunner::settingsPictures(const QString& folder, const QString& scheme)
{
    QPointer<QWidget> window = hooks_.settingsWindow ? hooks_.settingsWindow() : nullptr;
    if (!window) {
        hooks_.exit(0);
        return;
    }
    after(timing_.tabDelay, [this, window, folder, scheme] {
        if (window) {
            if (QWidget* focus = window->focusWidget())
                focus->clearFocus();
            const QString base = QDir(folder).filePath(scheme + QStringLiteral("-settings-window"));
            savePicture(window->grab(), base + QStringLiteral(".png"));
            // The whole form, beyond what the window shows without scrolling.
            if (auto* content = window->findChild<QWidget*>(QStringLiteral("settingsContent")))
                savePicture(content->grab(), base + QStringLiteral("-all.png"));
            window->close();
        }
        hooks_.exit(0);
    });
}

void DiagnosticsRunner::savePicture(const QPixmap& picture, const QString& file)
{
    QSaveFile out(file);
    if (out.open(QIODevice::WriteOnly) && picture.save(&out, "PNG"))
        out.commit();
    pictures_.append(file);
}
