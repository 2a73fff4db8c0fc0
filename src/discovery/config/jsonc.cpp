#include "discovery/config/jsonc.h"

#include <algorithm>
#include <cstring>
#include <string_view>

// Both passes work on UTF-8 bytes. Every character they look for is ASCII, and no byte of a
// multi-byte sequence is ASCII, so this is the same as walking Unicode scalar values.
namespace {

// Collects the kept bytes of one pass; records where each run came from when asked to.
class PassOutput
{
public:
    PassOutput(std::string_view source, std::vector<CleanedRun>* runs)
        : source_(source), runs_(runs), out_(qsizetype(source.size()), Qt::Uninitialized)
    {}

    void keep(std::size_t from, std::size_t to)
    {
        if (from >= to)
            return;
        if (runs_ && (runs_->empty() || from != nextSource_))
            runs_->push_back({written_, from});
        std::memcpy(out_.data() + written_, source_.data() + from, to - from);
        written_ += to - from;
        nextSource_ = to;
    }

    QByteArray finish()
    {
        out_.truncate(qsizetype(written_));
        return std::move(out_);
    }

private:
    std::string_view source_;
    std::vector<CleanedRun>* runs_;
    QByteArray out_;
    std::size_t written_ = 0;
    std::size_t nextSource_ = 0;
};

// Index just past the string that opens at `quote`: past its closing quote, or the end. A
// backslash takes the next byte with it, so an escaped quote does not end the string.
std::size_t skipString(std::string_view s, std::size_t quote)
{
    std::size_t i = quote + 1;
    const std::size_t n = s.size();
    while (i < n) {
        const char c = s[i];
        if (c == '\\') {
            i += 2;
            continue;
        }
        ++i;
        if (c == '"')
            break;
    }
    return std::min(i, n);
}

QByteArray removeComments(std::string_view s, std::vector<CleanedRun>* runs)
{
    PassOutput out(s, runs);
    const std::size_t n = s.size();
    std::size_t i = 0;
    if (s.substr(0, 3) == "\xEF\xBB\xBF")
        i = 3;
    std::size_t runStart = i;
    while (i < n) {
        const char c = s[i];
        if (c == '"') {
            i = skipString(s, i);
        } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            out.keep(runStart, i);
            // The search starts after "/*", so "/*/" does not close itself.
            const std::size_t close = s.find("*/", i + 2);
            i = close == std::string_view::npos ? n : close + 2;
            runStart = i;
        } else if (c == '/' && i + 1 < n && s[i + 1] == '/') {
            out.keep(runStart, i);
            const std::size_t lineFeed = s.find('\n', i + 2);
            i = lineFeed == std::string_view::npos ? n : lineFeed; // the line feed stays
            runStart = i;
        } else {
            ++i;
        }
    }
    out.keep(runStart, n);
    return out.finish();
}

bool isJsonSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

QByteArray removeTrailingCommas(std::string_view s, std::vector<CleanedRun>* runs)
{
    PassOutput out(s, runs);
    const std::size_t n = s.size();
    std::size_t i = 0;
    std::size_t runStart = 0;
    while (i < n) {
        const char c = s[i];
        if (c == '"') {
            i = skipString(s, i);
            continue;
        }
        if (c == ',') {
            std::size_t next = i + 1;
            while (next < n && isJsonSpace(s[next]))
                ++next;
            if (next < n && (s[next] == '}' || s[next] == ']')) {
                out.keep(runStart, i);
                runStart = i + 1; // the whitespace after the comma stays
            }
        }
        ++i;
    }
    out.keep(runStart, n);
    return out.finish();
}

std::string_view view(QByteArrayView bytes)
{
    return {bytes.data(), std::size_t(bytes.size())};
}

std::size_t mapBack(const std::vector<CleanedRun>& runs, std::size_t offset)
{
    auto after =
        std::upper_bound(runs.begin(), runs.end(), offset,
                         [](std::size_t o, const CleanedRun& run) { return o < run.cleaned; });
    if (after == runs.begin())
        return offset;
    const CleanedRun& run = *(after - 1);
    return run.source + (offset - run.cleaned);
}

} // namespace

QByteArray cleanJsoncUtf8(QByteArrayView utf8)
{
    const QByteArray withoutComments = removeComments(view(utf8), nullptr);
    return removeTrailingCommas(view(withoutComments), nullptr);
}

QByteArray cleanJsoncUtf8(QByteArrayView utf8, CleanedOffsets& offsets)
{
    offsets = {};
    const QByteArray withoutComments = removeComments(view(utf8), &offsets.commentsRemoved);
    return removeTrailingCommas(view(withoutComments), &offsets.commasRemoved);
}

QString cleanJsonc(const QString& text)
{
    return QString::fromUtf8(cleanJsoncUtf8(text.toUtf8()));
}

std::size_t sourceOffset(const CleanedOffsets& offsets, std::size_t cleanedOffset)
{
    return mapBack(offsets.commentsRemoved, mapBack(offsets.commasRemoved, cleanedOffset));
}
