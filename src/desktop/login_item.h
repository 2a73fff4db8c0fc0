#pragma once

#include <QString>

#include <optional>

// Whether the application starts when the user logs in.
enum class LoginItemStatus { notRegistered, enabled };

// The desktop's mechanism for starting the application at login. The settings window reads the
// status when it is shown and after every change; tests replace it or point it at a temporary
// folder.
class LoginItem
{
public:
    virtual ~LoginItem() = default;

    virtual LoginItemStatus status() const = 0;
    // Each returns the description of what went wrong, or nothing on success.
    virtual std::optional<QString> enable() = 0;
    virtual std::optional<QString> disable() = 0;
};
