#pragma once

#include "desktop/autostart_entry.h"
#include "desktop/login_item.h"

// Starting at login through the XDG autostart entry that starts `executable` with --autostart.
class AutostartLoginItem : public LoginItem
{
public:
    AutostartLoginItem(AutostartEntry entry, QString executable);

    LoginItemStatus status() const override;
    std::optional<QString> enable() override;
    std::optional<QString> disable() override;

private:
    AutostartEntry entry_;
    QString executable_;
};
