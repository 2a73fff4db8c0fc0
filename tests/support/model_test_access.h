#pragma once

#include "model/app_model.h"

// Puts a model into the state that start-up would reach (inspection records, detected
// applications, the captured shell environment) without running the start-up sequence, for
// views under test. These steps are private in the model: nothing but its own sequence and
// these tests may take them.
struct AppModelTestAccess
{
    static void applyInfos(AppModel& model, const QList<std::pair<QString, ProjectInfo>>& infos)
    {
        model.applyInfos(infos);
    }
    static void setInstalledApps(AppModel& model, const QList<ExternalApp>& terminals,
                                 const QList<ExternalApp>& editors)
    {
        model.setInstalledApps(terminals, editors);
    }
    static void setRawShellEnv(AppModel& model, const Environment& environment)
    {
        model.setRawShellEnv(environment);
    }
    static void setShellEnvLoaded(AppModel& model, bool loaded) { model.setShellEnvLoaded(loaded); }
};
