#pragma once

#include <QString>

// The one failure of starting a dev server. Its message is what the user sees.
struct SpawnError
{
    QString message;

    QString description() const { return message; }
    friend bool operator==(const SpawnError&, const SpawnError&) = default;
};
