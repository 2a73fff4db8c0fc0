#pragma once

#include <QString>

#include <optional>

enum class AppearanceMode { system, light, dark };

QString rawValue(AppearanceMode mode);
std::optional<AppearanceMode> appearanceFromRaw(const QString& raw);

// The user's preferences, stored whole in "settings.json".
struct AppSettings
{
    AppearanceMode appearance = AppearanceMode::system;
    bool showDockIcon = true;
    QString terminalApp;
    QString editorApp;
    QString editorCommand;
    QString nodePath;
    bool watchRoots = false;

    friend bool operator==(const AppSettings&, const AppSettings&) = default;
};
