#include "desktop/autostart_login_item.h"

AutostartLoginItem::AutostartLoginItem(AutostartEntry entry, QString executable)
    : entry_(std::move(entry)), executable_(std::move(executable))
{}

LoginItemStatus AutostartLoginItem::status() const
{
    return entry_.isEnabled() ? LoginItemStatus::enabled : LoginItemStatus::notRegistered;
}

std::optional<QString> AutostartLoginItem::enable()
{
    return entry_.enable(executable_);
}

std::optional<QString> AutostartLoginItem::disable()
{
    return entry_.disable();
}
