#pragma once

#include "discovery/config/config_kind.h"

#include <QByteArrayView>
#include <QJsonObject>
#include <QString>

#include <optional>

// Why a configuration could not be parsed, and where (1-based; 0 when not known).
struct ConfigParseError
{
    QString description; // complete sentence-like text including the place, e.g. "... at line 3,
                         // column 7"
    int line = 0;
    int column = 0;
};

// A configuration reduced to one JSON-shaped key/value tree, or the error that stopped it.
struct ConfigParseResult
{
    QJsonObject tree;
    std::optional<ConfigParseError> error;

    bool ok() const { return !error.has_value(); }
};

// JSON and JSONC are cleaned (cleanJsonc) and parsed as JSON; TOML is parsed with toml++ and
// rendered to JSON by its JSON formatter, then parsed the same way. A top level that is not an
// object gives an empty tree, not an error.
ConfigParseResult parseConfigText(const QString& text, ConfigKind kind);
ConfigParseResult parseConfigUtf8(QByteArrayView utf8, ConfigKind kind);
