#include "ui/app_menu_bar.h"

#include <QAction>
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
        if (command)
            project->addAction(command);
        else
            project->addSeparator();
    }
}
