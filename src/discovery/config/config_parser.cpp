#include "discovery/config/config_parser.h"

#include "discovery/config/jsonc.h"

#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>
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

// Qt's own messages name parser states ("unterminated object"); these say what to fix.
QString describeJsonError(const QJsonParseError& error)
{
    switch (error.error) {
    case QJsonParseError::UnterminatedObject:
        return QStringLiteral("missing comma or closing brace in an object");
    case QJsonParseError::MissingNameSeparator: return QStringLiteral("missing colon after a key");
    case QJsonParseError::UnterminatedArray:
        return QStringLiteral("missing comma or closing bracket in an array");
    case QJsonParseError::MissingValueSeparator:
        return QStringLiteral("missing comma between values");
    case QJsonParseError::IllegalValue: return QStringLiteral("unexpected character");
    case QJsonParseError::TerminationByNumber:
        return QStringLiteral("the text ends before the document is closed");
    case QJsonParseError::IllegalNumber: return QStringLiteral("invalid number");
    case QJsonParseError::IllegalEscapeSequence:
        return QStringLiteral("invalid escape sequence in a string");
    case QJsonParseError::IllegalUTF8String: return QStringLiteral("invalid UTF-8 in a string");
    case QJsonParseError::UnterminatedString:
        return QStringLiteral("a string is not closed with a double quote");
    case QJsonParseError::MissingObject: return QStringLiteral("expected a value after a comma");
    case QJsonParseError::DeepNesting: return QStringLiteral("objects and arrays nest too deeply");
    case QJsonParseError::DocumentTooLarge: return QStringLiteral("the document is too large");
    case QJsonParseError::GarbageAtEnd:
        return QStringLiteral("unexpected text after the end of the document");
    default: return error.errorString();
    }
}

// Qt reports the offset just past the token it stopped at; the token itself is where the
// reader should look.
std::size_t faultOffset(const QJsonParseError& error)
{
    const int offset = std::max(0, error.offset);
    if (offset > 0 && error.error != QJsonParseError::GarbageAtEnd)
        return std::size_t(offset - 1);
    return std::size_t(offset);
}

bool isBlank(const QByteArray& text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; });
}

ConfigParseResult parseJsonc(QByteArrayView utf8)
{
    CleanedOffsets offsets;
    const QByteArray cleaned = cleanJsoncUtf8(utf8, offsets);
    ConfigParseResult result;
    if (isBlank(cleaned)) {
        result.error =
            ConfigParseError{QStringLiteral("Invalid JSON: the file holds no JSON document"), 1, 1};
        return result;
    }
    if (const auto error = parseJson(cleaned, result.tree)) {
        // Report the place in the file as the user wrote it, comments and all.
        const TextPosition at = positionOf(utf8, sourceOffset(offsets, faultOffset(*error)));
        result.error = errorAt(QStringLiteral("Invalid JSON: %1").arg(describeJsonError(*error)),
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
