#pragma once

#include "desktop/login_item.h"
#include "ui/settings/settings_form.h"

#include <optional>

class QLabel;
class SegmentedControl;
class ToggleSwitch;
struct SettingsContext;

// "General": the theme, starting at login and the taskbar entry.
class GeneralSection : public FormSection
{
    Q_OBJECT

public:
    GeneralSection(SettingsContext& context, QWidget* parent = nullptr);

    // Shows the model's settings.
    void refresh();
    // Reads the login item's status again (when the window is shown).
    void readLoginStatus();

private:
    void setOpenAtLogin(bool on);
    void showLoginState();

    SettingsContext& context_;
    SegmentedControl* theme_;
    ToggleSwitch* login_;
    QLabel* loginHelp_ = nullptr;
    QLabel* loginError_ = nullptr;
    ToggleSwitch* taskbar_;
    // The login item's status as last read, and the failure of the last change.
    LoginItemStatus loginStatus_ = LoginItemStatus::notRegistered;
    std::optional<QString> loginFailure_;
};
