#include "supervision/output_parser.h"

#include <QRegularExpression>

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
    QRegularExpression portAfterColon =
        compiled(R"(:(\d{2,5})(?!.*:\d{2,5}))", QRegularExpression::CaseInsensitiveOption);
    QRegularExpression portAfterWord =
        compiled(R"(port (\d{2,5}))", QRegularExpression::CaseInsensitiveOption);
};

const Patterns& patterns()
{
    static const Patterns instance;
    return instance;
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

} // namespace

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
    const QString lower = line.toLower();
    const QRegularExpression* pattern = nullptr;
    if (lower.contains(QLatin1String("address already in use")) ||
        lower.contains(QLatin1String("eaddrinuse")))
        pattern = &patterns().portAfterColon;
    else if (lower.contains(QLatin1String("is already in use")) ||
             lower.contains(QLatin1String("is in use")))
        pattern = &patterns().portAfterWord;
    if (!pattern)
        return std::nullopt;
    const std::optional<QString> digits = firstCapture(*pattern, line);
    if (!digits || digits->isEmpty())
        return std::nullopt;
    bool ok = false;
    const int port = digits->toInt(&ok, 10);
    return ok ? std::optional<int>(port) : std::nullopt;
}

std::optional<RunningAt> alreadyRunningAt(const QString& line)
{
    if (std::optional<RunningAt> found = runningAt(patterns().alreadyRunning, line))
        return found;
    return runningAt(patterns().viteRefusal, line);
}

std::optional<AttachField> attachField(const QString& line)
{
    if (line.contains(QLatin1String("is already running")) && !line.contains(QLatin1String("(pid")))
        return AttachField::marker();
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
    if (const std::optional<QString> address = firstCapture(patterns().ready, line))
        return normalizeAddress(*address);
    if (mode == RunModeKind::wrangler || mode == RunModeKind::pages)
        return std::nullopt;
    if (const std::optional<QString> address = firstCapture(patterns().localAddress, line))
        return normalizeAddress(*address);
    return std::nullopt;
}

} // namespace OutputParser
