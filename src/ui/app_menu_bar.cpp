#include "ui/app_menu_bar.h"

#include "ui/window_actions.h"

#include <QAction>
#include <QLayout>
#include <QMenu>

AppMenuBar::AppMenuBar(const QList<QAction*>& projectCommands, QWidget* parent) : QMenuBar(parent)
{
    setObjectName(QStringLiteral("appMenuBar"));
    QMenu* application = addMenu(QStringLiteral("&Tallowmere"));
    application->setObjectName(QStringLiteral("applicationMenu"));
    about_ = application->addAction(QStringLiteral("About Tallowmere"), this,
                                    &AppMenuBar::aboutRequested);
    about_->setObjectName(QStringLiteral("aboutAction"));
    about_->setMenuRole(QAction::AboutRole);
    settings_ =
        application->addAction(QStringLiteral("Settings…"), this, &AppMenuBar::settingsRequested);
    settings_->setObjectName(QStringLiteral("settingsAction"));
    settings_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    settings_->setMenuRole(QAction::PreferencesRole);
    application->addSeparator();
    quit_ =
        application->addAction(QStringLiteral("Quit Tallowmere"), this, &AppMenuBar::quitRequested);
    quit_->setObjectName(QStringLiteral("quitAction"));
    quit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit_->setMenuRole(QAction::QuitRole);

    QMenu* project = addMenu(QStringLiteral("&Project"));
    project->setObjectName(QStringLiteral("projectMenu"));
    for (QAction* command : projectCommands) {
        if (!command) {
            project->addSeparator();
            continue;
        }
        // An entry that is never disabled and binds no key: it shows the command's shortcut
        // and triggers the command, which owns the key and does nothing where it does not
        // apply (Start on a running project, anything without a selection).
        const QString keys = command->shortcut().toString(QKeySequence::NativeText);
        QAction* entry = project->addAction(command->text() + u'\t' + keys);
        entry->setObjectName(command->objectName() + QStringLiteral("MenuEntry"));
        connect(entry, &QAction::triggered, command, [command] {
            if (command->isEnabled())
                command->trigger();
        });
    }
}

AppMenuBar* AppMenuBar::addTo(QWidget* window, const WindowActions& commands)
{
    auto* menuBar = new AppMenuBar(
        {commands.start(), commands.restart(), commands.stop(), nullptr, commands.rescan()},
        window);
    window->layout()->setMenuBar(menuBar);
    return menuBar;
}
