#include "storage/settings_file.h"

#include "storage/json_fields.h"
#include "storage/storage.h"

#include <QJsonDocument>

namespace {

namespace key {
const QString appearance = QStringLiteral("appearance");
const QString editorApp = QStringLiteral("editorApp");
const QString editorCommand = QStringLiteral("editorCommand");
const QString nodePath = QStringLiteral("nodePath");
const QString showDockIcon = QStringLiteral("showDockIcon");
const QString terminalApp = QStringLiteral("terminalApp");
const QString watchRoots = QStringLiteral("watchRoots");
} // namespace key

// An absent or null key keeps the default already in `out`.
bool readString(const QJsonObject& object, const QString& name, QString& out)
{
    std::optional<QString> value;
    if (!json_fields::readOptionalString(object, name, value))
        return false;
    if (value)
        out = *value;
    return true;
}

bool readBool(const QJsonObject& object, const QString& name, bool& out)
{
    std::optional<bool> value;
    if (!json_fields::readOptionalBool(object, name, value))
        return false;
    if (value)
        out = *value;
    return true;
}

} // namespace

QJsonObject encodeSettings(const AppSettings& settings)
{
    return QJsonObject{
        {key::appearance, rawValue(settings.appearance)}, {key::editorApp, settings.editorApp},
        {key::editorCommand, settings.editorCommand},     {key::nodePath, settings.nodePath},
        {key::showDockIcon, settings.showDockIcon},       {key::terminalApp, settings.terminalApp},
        {key::watchRoots, settings.watchRoots},
    };
}

std::optional<AppSettings> decodeSettings(const QByteArray& json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    AppSettings settings;
    QString appearance = rawValue(settings.appearance);
    const bool ok = readString(object, key::appearance, appearance) &&
                    readString(object, key::editorApp, settings.editorApp) &&
                    readString(object, key::editorCommand, settings.editorCommand) &&
                    readString(object, key::nodePath, settings.nodePath) &&
                    readBool(object, key::showDockIcon, settings.showDockIcon) &&
                    readString(object, key::terminalApp, settings.terminalApp) &&
                    readBool(object, key::watchRoots, settings.watchRoots);
    if (!ok)
        return std::nullopt;
    const std::optional<AppearanceMode> mode = appearanceFromRaw(appearance);
    if (!mode)
        return std::nullopt;
    settings.appearance = *mode;
    // "code" was once the default editor command; it now means the automatic editor choice.
    if (settings.editorCommand == QLatin1StringView("code"))
        settings.editorCommand.clear();
    return settings;
}

std::optional<QString> saveSettings(const AppSettings& settings)
{
    return saveJSON(encodeSettings(settings), QString::fromLatin1(settingsFileName));
}

std::optional<AppSettings> loadSettings()
{
    const QString fileName = QString::fromLatin1(settingsFileName);
    const DataFileRead read = readDataFile(fileName);
    if (read.status == DataFileRead::Status::absent)
        return std::nullopt;
    std::optional<AppSettings> settings;
    if (read.status == DataFileRead::Status::read)
        settings = decodeSettings(read.bytes);
    if (!settings)
        moveDataFileAside(fileName);
    return settings;
}
