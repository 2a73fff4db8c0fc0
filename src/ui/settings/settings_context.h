#pragma once

#include "base/app_settings.h"

#include <QString>

#include <functional>

class AppModel;
class LoginItem;
class QWidget;
struct UiContext;

// How the settings window asks the user for paths. Each shows a modal chooser on `parent` and
// calls `chosen` with the path; a cancelled chooser calls nothing. Tests answer from a queue.
struct SettingsChoosers
{
    using Chosen = std::function<void(const QString& path)>;

    // A folder to scan for projects ("Add Folder…").
    std::function<void(QWidget* parent, const QString& prompt, const QString& message, Chosen)>
        folder;
    // The node binary or its bin folder: files and folders are both accepted.
    std::function<void(QWidget* parent, Chosen)> nodePath;
    // Another terminal or editor: an executable file.
    std::function<void(QWidget* parent, Chosen)> application;

    // The desktop's file dialogs.
    static SettingsChoosers dialogs();
};

// What the sections of the settings window work with.
struct SettingsContext
{
    UiContext& ui;
    LoginItem& loginItem;
    SettingsChoosers choosers;
};

// Writes one change to the model's settings at once; the model saves and applies it.
void editSettings(AppModel& model, const std::function<void(AppSettings&)>& edit);
