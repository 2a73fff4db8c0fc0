#pragma once

#include "base/app_settings.h"

#include <QByteArray>
#include <QJsonObject>

#include <optional>

// "settings.json": all seven keys are always written.
QJsonObject encodeSettings(const AppSettings& settings);
// Every key is optional (absent or null gives the default); a stored editor command "code"
// reads as "". A value of the wrong type or an unknown appearance fails the whole document.
std::optional<AppSettings> decodeSettings(const QByteArray& json);

// Writes the settings through saveJSON; returns the logged failure line, if any.
std::optional<QString> saveSettings(const AppSettings& settings);
// Reads "settings.json"; none when it is missing or undecodable. A file that is present but
// undecodable is moved aside first, so that the next save does not destroy it.
std::optional<AppSettings> loadSettings();
