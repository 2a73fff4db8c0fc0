#include "runs/request_line.h"

namespace OutputParser {

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isUpper(QChar c)
{
    return c >= QLatin1Char('A') && c <= QLatin1Char('Z');
}

bool isNameChar(QChar c)
{
    return isUpper(c) || (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || isDigit(c) ||
           c == QLatin1Char('_') || c == QLatin1Char('$') || c == QLatin1Char('.');
}

// The text after "[wrangler:LEVEL] ", or after "[wrangler-NAME:LEVEL] " (the proxy's prefix at
// debug level); nothing for any other line.
std::optional<QStringView> afterPrefix(QStringView line, QLatin1StringView level)
{
    static constexpr QLatin1StringView tool("[wrangler");
    if (!line.startsWith(tool))
        return std::nullopt;
    const qsizetype close = line.indexOf(QLatin1Char(']'), tool.size());
    if (close < 0 || close + 1 >= line.size() || line.at(close + 1) != QLatin1Char(' '))
        return std::nullopt;
    const QStringView inside = line.sliced(tool.size(), close - tool.size());
    if (!inside.endsWith(level) || inside.size() <= level.size() ||
        inside.at(inside.size() - level.size() - 1) != QLatin1Char(':'))
        return std::nullopt;
    if (inside.size() > level.size() + 1 && inside.at(0) != QLatin1Char('-'))
        return std::nullopt;
    return line.sliced(close + 2);
}

// A whole number of at most `maxDigits` digits, the whole of `digits`.
std::optional<int> number(QStringView digits, qsizetype maxDigits)
{
    if (digits.isEmpty() || digits.size() > maxDigits)
        return std::nullopt;
    int value = 0;
    for (const QChar c : digits) {
        if (!isDigit(c))
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

} // namespace

std::optional<RequestLine> requestLine(QStringView line)
{
    const std::optional<QStringView> rest = afterPrefix(line, QLatin1StringView("info"));
    if (!rest)
        return std::nullopt;
    const QStringView text = *rest;
    RequestLine parsed;

    qsizetype at = 0;
    while (at < text.size() && isUpper(text.at(at)))
        ++at;
    if (at == 0 || at > 16 || at >= text.size() || text.at(at) != QLatin1Char(' '))
        return std::nullopt;
    parsed.method = text.first(at);

    const qsizetype pathStart = at + 1;
    if (pathStart >= text.size() || text.at(pathStart) != QLatin1Char('/'))
        return std::nullopt;
    const qsizetype pathEnd = text.indexOf(QLatin1Char(' '), pathStart);
    if (pathEnd < 0)
        return std::nullopt;
    parsed.path = text.sliced(pathStart, pathEnd - pathStart);

    const qsizetype statusStart = pathEnd + 1;
    if (statusStart + 4 > text.size() || text.at(statusStart + 3) != QLatin1Char(' '))
        return std::nullopt;
    const std::optional<int> status = number(text.sliced(statusStart, 3), 3);
    if (!status)
        return std::nullopt;
    parsed.status = *status;

    // The status text runs up to the first "(Nms)" that ends the line or is followed by a
    // space: the text itself never holds one.
    const qsizetype textStart = statusStart + 4;
    for (qsizetype open = text.indexOf(QLatin1Char('('), textStart); open >= 0;
         open = text.indexOf(QLatin1Char('('), open + 1)) {
        const qsizetype close = text.indexOf(QLatin1StringView("ms)"), open + 1);
        if (close < 0)
            return std::nullopt;
        const std::optional<int> duration = number(text.sliced(open + 1, close - open - 1), 9);
        const qsizetype after = close + 3;
        if (!duration || (after < text.size() && text.at(after) != QLatin1Char(' ')))
            continue;
        if (open > textStart && text.at(open - 1) != QLatin1Char(' '))
            continue;
        parsed.durationMs = *duration;
        parsed.statusText = text.sliced(textStart, open - textStart).trimmed();
        parsed.note = after < text.size() ? text.sliced(after + 1).trimmed() : QStringView();
        return parsed;
    }
    return std::nullopt;
}

std::optional<UncaughtException> uncaughtException(QStringView line)
{
    const std::optional<QStringView> rest = afterPrefix(line, QLatin1StringView("error"));
    if (!rest)
        return std::nullopt;
    const QStringView text = *rest;
    qsizetype at = 0;
    while (at < text.size() && isNameChar(text.at(at)))
        ++at;
    if (at == 0 || at + 1 >= text.size() || text.at(at) != QLatin1Char(':') ||
        text.at(at + 1) != QLatin1Char(' '))
        return std::nullopt;
    return UncaughtException{text.first(at), text.sliced(at + 2).trimmed()};
}

std::optional<QStringView> errorLog(QStringView line)
{
    static const QString frame = QStringLiteral("✘ [ERROR]");
    const QStringView text = line.trimmed();
    if (!text.startsWith(frame))
        return std::nullopt;
    return text.sliced(frame.size()).trimmed();
}

} // namespace OutputParser
