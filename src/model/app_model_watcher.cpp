// The root watcher follows the roots and the watchRoots setting.
#include "model/app_model.h"

void AppModel::restartWatcher()
{
    // A fresh watcher every time: a rescan the old one had pending is dropped with it.
    watcher_.reset();
    if (!settings_.watchRoots || roots_.isEmpty())
        return;
    QPointer<AppModel> model(this);
    watcher_ = std::make_unique<RootWatcher>(
        roots_,
        [model] {
            if (model)
                model->rescan();
        },
        nullptr, context_.watcherTiming);
}
