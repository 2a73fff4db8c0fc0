#include "ui/logs/log_text_view.h"

#include "ui/theme/type_scale.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

namespace {

// Characters that would split a line into several blocks become line separators: the line
// stays one block, and the text still breaks where it did. A line longer than the view shows
// is cut, saying how much is left out.
QString blockText(const QString& text)
{
    if (text.size() > LogTextView::maxLineChars)
        return blockText(text.first(LogTextView::maxLineChars)) +
               QStringLiteral(" … [%1 more characters]")
                   .arg(text.size() - LogTextView::maxLineChars);
    const auto splits = [](QChar c) {
        return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar(0xFDD0) ||
               c == QChar(0xFDD1); // frame markers of QTextDocument
    };
    if (std::none_of(text.cbegin(), text.cend(), splits))
        return text;
    QString result = text;
    for (QChar& c : result)
        if (splits(c))
            c = QChar::LineSeparator;
    return result;
}

int styleKey(const LogLineStyle& style)
{
    return int(style.color) * 8 + int(style.weight);
}

QFont::Weight fontWeight(LogLineStyle::Weight weight)
{
    switch (weight) {
    case LogLineStyle::Weight::regular: return QFont::Normal;
    case LogLineStyle::Weight::medium: return QFont::Medium;
    case LogLineStyle::Weight::semibold: return QFont::DemiBold;
    }
    return QFont::Normal;
}

} // namespace

LogTextView::LogTextView(QWidget* parent) : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("logsText"));
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setUndoRedoEnabled(false); // an undo stack would keep every dropped line
    setFrameShape(QFrame::NoFrame);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setFont(TypeScale::monospaced());
    document()->setDocumentMargin(inset);
}

void LogTextView::applyPalette(const Palette& palette)
{
    palette_ = palette;
    formats_.clear();
    QPalette pal = QPlainTextEdit::palette();
    pal.setColor(QPalette::Base, palette.logBackground);
    pal.setColor(QPalette::Text, LogLineStyle::colorOf(LogLineStyle::Color::primary, palette));
    pal.setColor(QPalette::Highlight, Palette::withAlpha(palette.accent, 0.25));
    pal.setColor(QPalette::HighlightedText, palette.primaryText);
    QPlainTextEdit::setPalette(pal);
}

const QTextCharFormat& LogTextView::formatFor(const LogLineStyle& style)
{
    const int key = styleKey(style);
    auto it = formats_.find(key);
    if (it == formats_.end()) {
        QTextCharFormat format;
        format.setFontWeight(fontWeight(style.weight));
        format.setForeground(LogLineStyle::colorOf(style.color, palette_));
        it = formats_.insert(key, format);
    }
    return *it;
}

void LogTextView::appendLines(QTextCursor& cursor, const QList<LogLine>& lines)
{
    for (const LogLine& line : lines) {
        const QTextCharFormat& format = formatFor(LogLineStyle::of(line.text));
        if (ids_.empty()) {
            // The empty document's one block takes the first line.
            cursor.setBlockFormat(blockFormat_);
            cursor.setBlockCharFormat(format);
        } else {
            cursor.insertBlock(blockFormat_, format);
        }
        cursor.insertText(blockText(line.text), format);
        ids_.push_back(line.id);
    }
}

void LogTextView::rebuild(const QList<LogLine>& lines)
{
    ids_.clear();
    document()->clear();
    document()->setDocumentMargin(inset);
    if (!lines.isEmpty()) {
        QTextCursor cursor(document());
        cursor.beginEditBlock();
        appendLines(cursor, lines);
        cursor.endEditBlock();
    }
    scrollToEndIfFollowing();
}

void LogTextView::update(const QList<LogLine>& added, qint64 firstKeptID)
{
    qsizetype dropped = 0;
    while (dropped < qsizetype(ids_.size()) && ids_[size_t(dropped)] < firstKeptID)
        ++dropped;
    if (dropped == qsizetype(ids_.size())) {
        if (dropped > 0 || !added.isEmpty())
            rebuild(added);
        return;
    }
    if (added.isEmpty() && dropped == 0)
        return; // nothing changed: no scrolling either

    const int keptFirstLine = verticalScrollBar()->value();
    const QTextCursor selection = textCursor();
    const int anchor = selection.anchor();
    const int position = selection.position();
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    appendLines(cursor, added);
    keepSelection(anchor, position);
    if (dropped > 0) {
        // The dropped lines are whole blocks at the front: cut up to the first kept one.
        cursor.setPosition(0);
        cursor.setPosition(document()->findBlockByNumber(int(dropped)).position(),
                           QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        ids_.erase(ids_.begin(), ids_.begin() + dropped);
    }
    cursor.endEditBlock();
    if (follow_)
        scrollToEndIfFollowing();
    else if (dropped > 0) // the lines in view stay in view
        verticalScrollBar()->setValue(std::max(0, keptFirstLine - int(dropped)));
}

void LogTextView::keepSelection(int anchor, int position)
{
    // A selection that reaches the end would grow with every appended line.
    QTextCursor selection = textCursor();
    if (selection.anchor() == anchor && selection.position() == position)
        return;
    const int scrolled = verticalScrollBar()->value();
    selection.setPosition(anchor);
    selection.setPosition(position, QTextCursor::KeepAnchor);
    setTextCursor(selection);
    verticalScrollBar()->setValue(scrolled);
}

std::optional<qint64> LogTextView::lastID() const
{
    if (ids_.empty())
        return std::nullopt;
    return ids_.back();
}

void LogTextView::setFollow(bool follow)
{
    follow_ = follow;
    scrollToEndIfFollowing();
}

void LogTextView::scrollToEndIfFollowing()
{
    if (follow_)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

QString LogTextView::selectedLogText() const
{
    QString text = textCursor().selectedText();
    for (QChar& c : text)
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            c = u'\n';
    return text;
}
