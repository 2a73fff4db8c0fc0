#pragma once

#include <utility>

// Assigns `value` to `field` only when they differ; returns whether it changed, so that the
// caller emits its change signal only on a real change.
template <typename T, typename U> bool assignIfChanged(T& field, U&& value)
{
    if (field == value)
        return false;
    field = std::forward<U>(value);
    return true;
}
