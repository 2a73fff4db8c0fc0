#include "base/app_settings.h"

QString rawValue(AppearanceMode mode)
{
    switch (mode) {
    case AppearanceMode::system: return QStringLiteral("system");
    case AppearanceMode::light: return QStringLiteral("light");
    case AppearanceMode::dark: return QStringLiteral("dark");
    }
    return {};
}

std::optional<AppearanceMode> appearanceFromRaw(const QString& raw)
{
    for (AppearanceMode mode : {AppearanceMode::system, AppearanceMode::light, AppearanceMode::dark})
        if (rawValue(mode) == raw)
            return mode;
    return std::nullopt;
}
