#include "ui/window_actions.h"

#include "model/app_model.h"
#include "runs/project_runtime.h"

#include <QAction>

namespace {

QAction* windowAction(const QString& text, const QString& objectName,
                      const QList<QKeySequence>& keys, QObject* parent)
{
    auto* action = new QAction(text, parent);
    action->setObjectName(objectName);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    return action;
}

} // namespace

WindowActions::WindowActions(AppModel& model, QObject* parent)
    : QObject(parent), model_(model),
      start_(windowAction(
          QStringLiteral("Start"), QStringLiteral("startAction"),
          {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}, this)),
      stop_(windowAction(QStringLiteral("Stop"), QStringLiteral("stopAction"),
                         {QKeySequence(Qt::CTRL | Qt::Key_Period)}, this)),
      restart_(windowAction(QStringLiteral("Restart"), QStringLiteral("restartAction"),
                            {QKeySequence(Qt::CTRL | Qt::Key_R)}, this)),
      rescan_(windowAction(QStringLiteral("Rescan Folders"), QStringLiteral("rescanAction"),
                           {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R)}, this))
{
    // Each one reads the selection when it fires; the model refuses what does not apply.
    AppModel* m = &model_;
    connect(start_, &QAction::triggered, this, [m] {
        if (m->selection())
            m->startProject(*m->selection());
    });
    connect(stop_, &QAction::triggered, this, [m] {
        if (m->selection())
            m->stopProject(*m->selection());
    });
    connect(restart_, &QAction::triggered, this, [m] {
        if (m->selection())
            m->restartProject(*m->selection());
    });
    connect(rescan_, &QAction::triggered, m, &AppModel::rescan);

    connect(m, &AppModel::selectionChanged, this, &WindowActions::followSelection);
    connect(m, &AppModel::projectsChanged, this, &WindowActions::followSelection);
    followSelection();
}

void WindowActions::followSelection()
{
    const auto& selection = model_.selection();
    ProjectRuntime* next =
        selection && model_.findProject(*selection) ? model_.runtimeFor(*selection) : nullptr;
    if (next != runtime_) {
        if (runtime_)
            disconnect(runtime_, nullptr, this, nullptr);
        runtime_ = next;
        if (runtime_)
            connect(runtime_, &ProjectRuntime::statusChanged, this, &WindowActions::updateEnabled);
    }
    updateEnabled();
}

void WindowActions::updateEnabled()
{
    const bool active = runtime_ && runtime_->status().isActive();
    start_->setEnabled(runtime_ && !active);
    stop_->setEnabled(active);
    restart_->setEnabled(active);
}
