#include "base/run_mode.h"

const QList<RunModeKind>& allRunModes()
{
    static const QList<RunModeKind> modes{RunModeKind::wrangler, RunModeKind::vite,
                                          RunModeKind::custom, RunModeKind::pages,
                                          RunModeKind::devScript};
    return modes;
}

QString rawValue(RunModeKind mode)
{
    switch (mode) {
    case RunModeKind::wrangler: return QStringLiteral("wrangler");
    case RunModeKind::vite: return QStringLiteral("vite");
    case RunModeKind::custom: return QStringLiteral("custom");
    case RunModeKind::pages: return QStringLiteral("pages");
    case RunModeKind::devScript: return QStringLiteral("devScript");
    }
    return {};
}

std::optional<RunModeKind> runModeFromRaw(const QString& raw)
{
    for (RunModeKind mode : allRunModes())
        if (rawValue(mode) == raw)
            return mode;
    return std::nullopt;
}

QString label(RunModeKind mode)
{
    switch (mode) {
    case RunModeKind::wrangler: return QStringLiteral("Plain Wrangler");
    case RunModeKind::vite: return QStringLiteral("Vite plugin");
    case RunModeKind::custom: return QStringLiteral("Custom command");
    case RunModeKind::pages: return QStringLiteral("Wrangler Pages");
    case RunModeKind::devScript: return QStringLiteral("Project dev script");
    }
    return {};
}
