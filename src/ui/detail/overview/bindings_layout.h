#pragma once

#include <QString>

#include <optional>

// How the Overview shows a project's bindings. The raw value is the stored form.
enum class BindingsLayout { diagram, list };

QString rawValue(BindingsLayout layout);
std::optional<BindingsLayout> bindingsLayoutFromRaw(const QString& raw);

// The chosen layout, kept under "bindingsLayout" in the application's preferences
// ($XDG_CONFIG_HOME/Tallowmere/preferences.ini), the same for every project. Diagram until
// the user chooses; an unknown stored value reads as the default.
namespace BindingsLayoutStore {

BindingsLayout load();
void save(BindingsLayout layout);

} // namespace BindingsLayoutStore
