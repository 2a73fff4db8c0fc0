#include "runs/output_parser.h"

#include <QRegularExpression>

#include <cstring>

namespace OutputParser {

namespace {

QRegularExpression compiled(const char* pattern, QRegularExpression::PatternOptions options = {})
{
    QRegularExpression re(QString::fromLatin1(pattern), options);
    re.optimize();
    return re;
}

// Every pattern is built once, on first use; function statics initialise thread-safely.
struct Patterns
{
    QRegularExpression ready = compiled(R"(Ready on (https?://[^\s]+))");
    QRegularExpression localAddress =
        compiled(R"((https?://(?:localhost|127\.0\.0\.1|\[::1\]|0\.0\.0\.0):\d+[^\s]*))");
    QRegularExpression alreadyRunning =
        compiled(R"(already running at (https?://[^\s\\]+) \(pid (\d+)\))");
    QRegularExpression viteRefusal = compiled(
        R"(Found another Vite dev process for this project at (https?://[^\s\\]+) \(PID (\d+)\))");
    QRegularExpression urlField = compiled(R"(^\s*URL:\s+(https?://\S+))");
    QRegularExpression pidField = compiled(R"(^\s*PID:\s+(\d+))");
    QRegularExpression portAfterWord =
        compiled(R"(port (\d{2,5}))", QRegularExpression::CaseInsensitiveOption);
};

const Patterns& patterns()
{
    static const Patterns instance;
    return instance;
}

// Every pattern needs a literal piece of text; lines without it (nearly all of them) are
// turned away by a substring search before any pattern runs.
bool mayMatch(const QString& line, const char* literal)
{
    return line.contains(QLatin1String(literal));
}

// Case-insensitive search for a lower-case ASCII keyword. Qt's general case-insensitive
// search folds every character through Unicode tables, which costs more than all the patterns
// together on a busy server's output.
bool containsIgnoringCase(const QString& line, const char* keyword)
{
    const qsizetype length = qsizetype(std::strlen(keyword));
    const char16_t* text = reinterpret_cast<const char16_t*>(line.constData());
    const qsizetype last = line.size() - length;
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    for (qsizetype start = 0; start <= last; ++start) {
        qsizetype i = 0;
        while (i < length && lower(text[start + i]) == char16_t(keyword[i]))
            ++i;
        if (i == length)
            return true;
    }
    return false;
}

// Group `group` of the first match, when the pattern matched and the group took part.
std::optional<QString> firstCapture(const QRegularExpression& pattern, const QString& line,
                                    int group = 1)
{
    const QRegularExpressionMatch match = pattern.match(line);
    if (!match.hasMatch() || match.capturedStart(group) < 0)
        return std::nullopt;
    return match.captured(group);
}

std::optional<qint32> parsePid(const QString& digits)
{
    bool ok = false;
    const qint32 value = digits.toInt(&ok, 10);
    return ok ? std::optional<qint32>(value) : std::nullopt;
}

bool isTrimmed(QChar c)
{
    return c == QLatin1Char('.') || c == QLatin1Char(',') || c == QLatin1Char(';') ||
           c == QLatin1Char(')');
}

// The port after the last colon that is followed by at least two digits: up to five of them.
// This is what the pattern ":(\d{2,5})(?!.*:\d{2,5})" finds, in one pass: as a pattern, the
// look-ahead rescans the rest of the line at every colon, which takes seconds on a 64 KiB line.
std::optional<QString> digitsAfterLastColon(const QString& line)
{
    auto digit = [&line](qsizetype i) {
        return i < line.size() && line.at(i) >= QLatin1Char('0') && line.at(i) <= QLatin1Char('9');
    };
    for (qsizetype at = line.lastIndexOf(QLatin1Char(':')); at >= 0;
         at = at > 0 ? line.lastIndexOf(QLatin1Char(':'), at - 1) : -1) {
        if (!digit(at + 1) || !digit(at + 2))
            continue;
        qsizetype end = at + 3;
        while (end < at + 6 && digit(end))
            ++end;
        return line.sliced(at + 1, end - at - 1);
    }
    return std::nullopt;
}

std::optional<RunningAt> runningAt(const QRegularExpression& pattern, const QString& line)
{
    const QRegularExpressionMatch match = pattern.match(line);
    if (!match.hasMatch() || match.capturedStart(1) < 0 || match.capturedStart(2) < 0)
        return std::nullopt;
    const std::optional<QUrl> url = normalizeAddress(match.captured(1));
    const std::optional<qint32> pid = parsePid(match.captured(2));
    if (!url || !pid)
        return std::nullopt;
    return RunningAt{*url, *pid};
}

constexpr quint32 trigram(char a, char b, char c)
{
    return quint32(quint8(a)) << 16 | quint32(quint8(b)) << 8 | quint32(quint8(c));
}

} // namespace

LineClues cluesIn(QStringView line)
{
    // The last three characters, folded to lower-case ASCII (anything else counts as 0).
    quint32 window = 0;
    LineClues clues;
    for (const QChar qc : line) {
        char16_t c = qc.unicode();
        if (c >= u'A' && c <= u'Z')
            c = char16_t(c + 32);
        window = ((window << 8) | (c < 0x80 ? c : 0)) & 0xFFFFFF;
        switch (window) {
        case trigram('u', 's', 'e'): clues.portInUse = true; break;
        case trigram('u', 'n', 'n'): clues.alreadyRunning = clues.attachField = true; break;
        case trigram('f', 'o', 'u'): clues.alreadyRunning = true; break;
        case trigram('r', 'l', ':'):
        case trigram('i', 'd', ':'): clues.attachField = true; break;
        default: break;
        }
    }
    return clues;
}

std::optional<QUrl> normalizeAddress(const QString& captured)
{
    qsizetype start = 0;
    qsizetype end = captured.size();
    while (start < end && isTrimmed(captured.at(start)))
        ++start;
    while (end > start && isTrimmed(captured.at(end - 1)))
        --end;
    QString text = captured.sliced(start, end - start);
    text.replace(QLatin1String("0.0.0.0"), QLatin1String("localhost"));
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.port() < 0)
        return std::nullopt;
    return url;
}

std::optional<int> portInUse(const QString& line)
{
    auto has = [&line](const char* keyword) { return containsIgnoringCase(line, keyword); };
    std::optional<QString> digits;
    if (has("address already in use") || has("eaddrinuse"))
        digits = digitsAfterLastColon(line);
    else if (has("is already in use") || has("is in use"))
        digits = firstCapture(patterns().portAfterWord, line);
    if (!digits || digits->isEmpty())
        return std::nullopt;
    bool ok = false;
    const int port = digits->toInt(&ok, 10);
    return ok ? std::optional<int>(port) : std::nullopt;
}

std::optional<RunningAt> alreadyRunningAt(const QString& line)
{
    if (mayMatch(line, "already running at ")) {
        if (std::optional<RunningAt> found = runningAt(patterns().alreadyRunning, line))
            return found;
    }
    if (mayMatch(line, "Found another Vite dev process"))
        return runningAt(patterns().viteRefusal, line);
    return std::nullopt;
}

std::optional<AttachField> attachField(const QString& line)
{
    if (line.contains(QLatin1String("is already running")) && !line.contains(QLatin1String("(pid")))
        return AttachField::marker();
    if (!mayMatch(line, "URL:") && !mayMatch(line, "PID:"))
        return std::nullopt;
    if (const std::optional<QString> address = firstCapture(patterns().urlField, line)) {
        if (const std::optional<QUrl> url = normalizeAddress(*address))
            return AttachField{*url};
    }
    if (const std::optional<QString> digits = firstCapture(patterns().pidField, line)) {
        if (const std::optional<qint32> pid = parsePid(*digits))
            return AttachField{*pid};
    }
    return std::nullopt;
}

std::optional<QUrl> readyURL(const QString& line, RunModeKind mode)
{
    if (mayMatch(line, "Ready on ")) {
        if (const std::optional<QString> address = firstCapture(patterns().ready, line))
            return normalizeAddress(*address);
    }
    if (mode == RunModeKind::wrangler || mode == RunModeKind::pages || !mayMatch(line, "://"))
        return std::nullopt;
    if (const std::optional<QString> address = firstCapture(patterns().localAddress, line))
        return normalizeAddress(*address);
    return std::nullopt;
}

} // namespace OutputParser
