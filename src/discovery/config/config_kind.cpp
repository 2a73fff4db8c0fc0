#include "discovery/config/config_kind.h"

#include <QFileInfo>

QString rawValue(ConfigKind kind)
{
    switch (kind) {
    case ConfigKind::toml: return QStringLiteral("toml");
    case ConfigKind::json: return QStringLiteral("json");
    case ConfigKind::jsonc: return QStringLiteral("jsonc");
    }
    return {};
}

std::optional<ConfigKind> configKindFromRaw(const QString& raw)
{
    for (ConfigKind kind : {ConfigKind::toml, ConfigKind::json, ConfigKind::jsonc})
        if (rawValue(kind) == raw)
            return kind;
    return std::nullopt;
}

ConfigKind configKindForFile(const QString& fileName)
{
    const QString extension = QFileInfo(fileName).suffix().toLower();
    if (extension == QLatin1StringView("toml"))
        return ConfigKind::toml;
    if (extension == QLatin1StringView("json"))
        return ConfigKind::json;
    return ConfigKind::jsonc;
}
