#include "ui/diagnostics/launch_plan.h"

#include <QStringList>

#include <cmath>

namespace {

std::optional<QString> value(const QMap<QString, QString>& environment, const char* name)
{
    const auto it = environment.find(QString::fromLatin1(name));
    if (it == environment.end())
        return std::nullopt;
    return *it;
}

bool present(const QMap<QString, QString>& environment, const char* name)
{
    return environment.contains(QString::fromLatin1(name));
}

std::optional<double> number(const QString& text)
{
    bool ok = false;
    const double result = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(result))
        return std::nullopt;
    return result;
}

} // namespace

std::optional<QSize> parseSize(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    if (parts.size() != 2)
        return std::nullopt;
    const auto width = number(parts[0]);
    const auto height = number(parts[1]);
    // A window needs a positive size; absurd ones would fail to allocate the picture.
    if (!width || !height || *width < 1 || *height < 1 || *width > 16384 || *height > 16384)
        return std::nullopt;
    return QSize(qRound(*width), qRound(*height));
}

LaunchPlan LaunchPlan::fromEnvironment(const QMap<QString, QString>& environment)
{
    LaunchPlan plan;
    plan.inert = present(environment, "XCTestConfigurationFilePath");
    plan.iconFolder = value(environment, "TALLOWMERE_DEBUG_ICON");
    if (present(environment, "TALLOWMERE_DEBUG_SNAPSHOT"))
        plan.policy = present(environment, "TALLOWMERE_DEBUG_ACTIVE") ? TaskbarPolicy::shown
                                                                      : TaskbarPolicy::trayOnly;
    if (present(environment, "TALLOWMERE_DEBUG_START"))
        plan.policy = TaskbarPolicy::prohibited;
    if (const auto width = value(environment, "TALLOWMERE_WIDTH"))
        if (const auto w = number(*width); w && *w >= 1 && *w <= 16384)
            plan.windowWidth = qRound(*w);
    plan.crashOnSignal = value(environment, "TALLOWMERE_DEBUG_CRASH");
    return plan;
}

DiagnosticsPlan DiagnosticsPlan::fromEnvironment(const QMap<QString, QString>& environment)
{
    DiagnosticsPlan plan;
    plan.addRoot = value(environment, "TALLOWMERE_DEBUG_ADD_ROOT");
    plan.startProject = value(environment, "TALLOWMERE_DEBUG_START");
    plan.reportFile = value(environment, "TALLOWMERE_DEBUG_OUT");
    plan.snapshotFolder = value(environment, "TALLOWMERE_DEBUG_SNAPSHOT");
    plan.dark = value(environment, "TALLOWMERE_DEBUG_SCHEME") == QStringLiteral("dark");
    plan.snapshotProject = value(environment, "TALLOWMERE_DEBUG_PROJECT").value_or(QString());
    plan.attach = present(environment, "TALLOWMERE_DEBUG_ATTACH");
    if (const auto size = value(environment, "TALLOWMERE_DEBUG_SIZE"))
        plan.snapshotSize = parseSize(*size).value_or(QSize(1180, 780));
    return plan;
}
