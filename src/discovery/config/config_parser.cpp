#include "discovery/config/config_parser.h"

#include "discovery/config/jsonc.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <sstream>
#include <string_view>
#include <toml++/toml.h>

namespace {

struct TextPosition
{
    int line = 1;
    int column = 1;
};

// 1-based line and column (in characters) of a byte offset into UTF-8 text.
TextPosition positionOf(QByteArrayView utf8, std::size_t offset)
{
    TextPosition position;
    const std::size_t end = std::min(offset, std::size_t(utf8.size()));
    for (std::size_t i = 0; i < end; ++i) {
        const auto byte = static_cast<unsigned char>(utf8[qsizetype(i)]);
        if (byte == '\n') {
            ++position.line;
            position.column = 1;
        } else if ((byte & 0xC0) != 0x80) { // continuation bytes belong to the previous character
            ++position.column;
        }
    }
    return position;
}

ConfigParseError errorAt(const QString& what, int line, int column)
{
    return {QStringLiteral("%1 at line %2, column %3").arg(what).arg(line).arg(column), line,
            column};
}

// Parses JSON text with the one JSON parser. Returns the error offset in `json` on failure.
std::optional<QJsonParseError> parseJson(const QByteArray& json, QJsonObject& tree)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return error;
    if (document.isObject()) // any other top level is an empty tree
        tree = document.object();
    return std::nullopt;
}

ConfigParseResult parseJsonc(QByteArrayView utf8)
{
    CleanedOffsets offsets;
    const QByteArray cleaned = cleanJsoncUtf8(utf8, offsets);
    ConfigParseResult result;
    if (const auto error = parseJson(cleaned, result.tree)) {
        // Report the place in the file as the user wrote it, comments and all.
        const std::size_t offset = sourceOffset(offsets, std::size_t(std::max(0, error->offset)));
        const TextPosition at = positionOf(utf8, offset);
        result.error = errorAt(QStringLiteral("Invalid JSON: %1").arg(error->errorString()),
                               at.line, at.column);
    }
    return result;
}

ConfigParseResult parseToml(QByteArrayView utf8)
{
    ConfigParseResult result;
    const std::string_view text(utf8.data(), std::size_t(utf8.size()));
    std::ostringstream json;
    constexpr auto flags = toml::json_formatter::default_flags & ~toml::format_flags::indentation;
#if TOML_EXCEPTIONS
    try {
        const toml::table table = toml::parse(text);
        json << toml::json_formatter(table, flags);
    } catch (const toml::parse_error& error) {
        const toml::source_position begin = error.source().begin;
        result.error = errorAt(QStringLiteral("Invalid TOML: %1")
                                   .arg(QString::fromUtf8(error.description().data(),
                                                          qsizetype(error.description().size()))),
                               int(begin.line), int(begin.column));
        return result;
    }
#else
    const toml::parse_result parsed = toml::parse(text);
    if (!parsed) {
        const toml::parse_error& error = parsed.error();
        const toml::source_position begin = error.source().begin;
        result.error = errorAt(QStringLiteral("Invalid TOML: %1")
                                   .arg(QString::fromUtf8(error.description().data(),
                                                          qsizetype(error.description().size()))),
                               int(begin.line), int(begin.column));
        return result;
    }
    json << toml::json_formatter(parsed.table(), flags);
#endif
    const std::string rendered = std::move(json).str();
    if (const auto error =
            parseJson(QByteArray(rendered.data(), qsizetype(rendered.size())), result.tree)) {
        // The TOML was valid but its JSON form is not (a value JSON cannot hold).
        result.error =
            ConfigParseError{QStringLiteral("The TOML document has a value that cannot be read: %1")
                                 .arg(error->errorString()),
                             0, 0};
        result.tree = {};
    }
    return result;
}

} // namespace

ConfigParseResult parseConfigUtf8(QByteArrayView utf8, ConfigKind kind)
{
    switch (kind) {
    case ConfigKind::toml: return parseToml(utf8);
    case ConfigKind::json:
    case ConfigKind::jsonc: return parseJsonc(utf8);
    }
    return {};
}

ConfigParseResult parseConfigText(const QString& text, ConfigKind kind)
{
    return parseConfigUtf8(text.toUtf8(), kind);
}
