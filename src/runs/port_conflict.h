#pragma once

#include <QString>

#include <optional>

// A dev server reported that its port is taken. The owner is the other registered project
// that is active on that port, when there is one.
struct PortConflict
{
    int port = 0;
    std::optional<QString> ownerID;
    std::optional<QString> ownerName;

    friend bool operator==(const PortConflict&, const PortConflict&) = default;
};
