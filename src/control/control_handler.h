#pragma once

#include "control/control_protocol.h"

#include <QStringList>

#include <chrono>
#include <optional>
#include <variant>

class AppModel;
class ControlReply;
struct LookupFailure;

// Carries out the requests of the control socket on the model, on the main thread.
class ControlHandler
{
public:
    explicit ControlHandler(AppModel& model,
                            std::chrono::milliseconds settleLimit = std::chrono::minutes(2));

    void handle(const ControlRequest& request, ControlReply* reply);

private:
    // The projects the names stand for, in order, or the answer that refuses them all.
    std::variant<QStringList, QJsonObject> resolve(const ControlRequest& request) const;
    // Chooses `environment` for every project as the Settings tab does, or returns the answer
    // that refuses the request (then nothing is chosen).
    std::optional<QJsonObject> chooseEnvironment(const QStringList& paths,
                                                 const QString& environment);
    void show(ControlReply* reply);
    void open(const QString& path, bool explorer, ControlReply* reply);

    AppModel& model_;
    std::chrono::milliseconds settleLimit_;
};
